#pragma once

// What the window benchmarks share: a prompt that asks nothing, the memory the process holds, the
// floor of a window (its rows read by a plain query in the same run) and the printing of figures.

#include "core/Prompt.h"
#include "session/SBKModule.h"
#include "store/Database.h"

#include <algorithm>
#include <cstdio>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <sys/resource.h>

namespace bench {

// Answers every question No; the benchmarks ask none.
class SilentPrompt : public Prompt {
public:
    Answer message(const QString&, const QString&, Icon, Buttons, Answer) override { return Answer::No; }
    std::optional<QString> input(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    QString openFile(const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&) override { return {}; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }
};

// Connects the module to a new empty database inside the given folder.
inline void connectEmptyDatabase(SBKModule& module, const QTemporaryDir& dir) {
    module.DatabasePath = dir.filePath(QStringLiteral("bench.mdb"));
    Database::createEmpty(module.DatabasePath);
    module.ConnectDatabase();
}

// The resident memory of this process in kB, -1 where /proc does not tell it.
inline long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The peak resident memory of this process so far, in MB (getrusage).
inline double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// The floor of a window that shows rows: the milliseconds a plain query takes to read every value
// of every row the statement gives, the best of three.
inline double plainReadMs(QSqlDatabase db, const QString& sql) {
    double best = 1e100;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer timer;
        timer.start();
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec(sql);
        qint64 values = 0;
        const int columns = query.record().count();
        while (query.next())
            for (int c = 0; c < columns; ++c)
                values += query.value(c).toString().size();
        best = std::min(best, values >= 0 ? timer.nsecsElapsed() / 1e6 : 0);
    }
    return best;
}

// "  <what>  123 ms  (goal < 200 ms; 1.85 x floor of 66 ms)", the floor left out when it is 0.
inline void figure(const char* what, double ms, double goalMs, double floorMs = 0) {
    std::printf("  %-34s %6.0f ms  (goal < %.0f ms", what, ms, goalMs);
    if (floorMs > 0)
        std::printf("; %.2f x floor of %.0f ms", ms / floorMs, floorMs);
    std::printf(")\n");
}

} // namespace bench
