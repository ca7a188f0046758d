#pragma once

// What the window benchmarks share: a prompt that asks nothing and the memory the process holds.

#include "core/Prompt.h"
#include "session/SBKModule.h"
#include "store/Database.h"

#include <QFile>
#include <QTemporaryDir>

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

} // namespace bench
