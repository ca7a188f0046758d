// sbk-bench-listing: how the listing commands of sbk-cli cope with a large library. Builds a small
// library (1,000 styles) and a large one (100,000 styles of some 6.5 kB, with a bank for every 32
// styles), runs each listing command on both as a child process and prints, for the large one, its
// time as a ratio to the floor (the same rows read by a plain query in this process, nothing
// printed, plus the start of sbk-cli --version) and its peak memory (wait4) beside the same command's peak on
// the small library, which a streamed listing must match. The size and SHA-1 of each output let two builds be
// compared.
//
//   sbk-bench-listing [--styles N] [--small N] [--block-size BYTES] [--folder DIR] [--cli PATH]
#include "BenchLibrary.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/StyleListing.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

struct Command {
    QString title;
    QStringList args;
    QString floorSql; // the rows the command lists, read plainly
};

QList<Command> commands() {
    const QString styles = StyleListing::statement(QString(), QString());
    return {
        {QStringLiteral("list"), {QStringLiteral("list")}, styles},
        {QStringLiteral("list --json"), {QStringLiteral("list"), QStringLiteral("--json")}, styles},
        {QStringLiteral("list --json --sort name"),
         {QStringLiteral("list"), QStringLiteral("--json"), QStringLiteral("--sort"), QStringLiteral("name")},
         StyleListing::statement(QString(), QStringLiteral("STYLENAME1"))},
        {QStringLiteral("list --group GROUP3"),
         {QStringLiteral("list"), QStringLiteral("--group"), QStringLiteral("GROUP3")},
         StyleListing::statement(QStringLiteral("STYLECAT = 'GROUP3'"), QString())},
        {QStringLiteral("banks"),
         {QStringLiteral("banks")},
         QStringLiteral("SELECT * FROM KORFBanks ORDER BY BankProg")},
        {QStringLiteral("banks --json"),
         {QStringLiteral("banks"), QStringLiteral("--json")},
         QStringLiteral("SELECT * FROM KORFBanks ORDER BY BankProg")},
        {QStringLiteral("where-is 1 --json"),
         {QStringLiteral("where-is"), QStringLiteral("1"), QStringLiteral("--json")},
         QStringLiteral("SELECT * FROM QUERY1 WHERE BANKPROG IN (SELECT BANKPROG FROM KORFBANKS WHERE "
                        "BANKSTYLE01 = 1) ORDER BY BANKNAME")},
    };
}

// Reads every value of every row the statement gives; returns the seconds.
double plainRead(const QString& path, const QString& sql) {
    Database db(path);
    QElapsedTimer timer;
    timer.start();
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    Database::exec(query, sql);
    qint64 values = 0;
    while (query.next())
        for (int c = 0; c < 9; ++c)
            values += query.value(c).toString().size();
    const double seconds = timer.nsecsElapsed() / 1e9;
    return values >= 0 ? seconds : 0;
}

QString build(const QString& folder, const QString& name, int styles, int blockSize) {
    const QString path = bench::freshDatabase(folder, name);
    Database db(path);
    const BenchLibrary library(blockSize, 20240601);
    for (int first = 1; first <= styles; first += 10000)
        library.insertStyles(db.connection(), first, qMin(10000, styles - first + 1));
    BenchLibrary::insertBanks(db.connection(), qMax(1, styles / 32), styles);
    return path;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto given =
        bench::options(app.arguments().mid(1),
                       {QStringLiteral("--styles"), QStringLiteral("--small"), QStringLiteral("--block-size"),
                        QStringLiteral("--folder"), QStringLiteral("--cli")});
    const int styles = given ? given->value(QStringLiteral("--styles"), QStringLiteral("100000")).toInt() : 0;
    const int small = given ? given->value(QStringLiteral("--small"), QStringLiteral("1000")).toInt() : 0;
    const int blockSize =
        given ? given->value(QStringLiteral("--block-size"), QStringLiteral("4096")).toInt() : 0;
    if (styles < 1 || small < 1 || blockSize < 1024) {
        std::fprintf(stderr, "usage: sbk-bench-listing [--styles N] [--small N] [--block-size BYTES >= 1024] "
                             "[--folder DIR] [--cli PATH]\n");
        return 2;
    }
    const QString cli =
        given->value(QStringLiteral("--cli"),
                     QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sbk-cli")));
    QTemporaryDir temporary;
    const QString folder = bench::workFolder(given->value(QStringLiteral("--folder")), temporary);
    // The children keep their settings in the benchmark's folder, never in the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(QDir(folder).filePath(QStringLiteral("config"))));

    try {
        QElapsedTimer timer;
        timer.start();
        const QString smallPath = build(folder, QStringLiteral("small.mdb"), small, blockSize);
        const QString largePath = build(folder, QStringLiteral("large.mdb"), styles, blockSize);
        bench::line(QStringLiteral("libraries of %1 and %2 styles (blocks of about %3 and %4 bytes; %5 MB) "
                                   "made in %6 s")
                        .arg(small)
                        .arg(styles)
                        .arg(blockSize)
                        .arg(blockSize / 4)
                        .arg(QFileInfo(largePath).size() / 1e6, 0, 'f', 0)
                        .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 1));
        bench::line(QStringLiteral("%1 %2 %3 %4 %5 %6  output")
                        .arg(bench::padded(QStringLiteral("command"), 26))
                        .arg(QStringLiteral("time"), 8)
                        .arg(QStringLiteral("x floor"), 8)
                        .arg(QStringLiteral("peak MB"), 8)
                        .arg(QStringLiteral("at %1").arg(small), 9)
                        .arg(QStringLiteral("ratio"), 6));
        // What starting a process costs, the best of three.
        double start = 1e100;
        for (int i = 0; i < 3; ++i)
            start = qMin(start, bench::runChild(cli, {QStringLiteral("--version")}).seconds);
        bench::line(QStringLiteral("starting sbk-cli --version: %1 s").arg(start, 0, 'f', 3));
        for (const Command& command : commands()) {
            // The floor first, so the large file is in the disk cache for both.
            plainRead(largePath, command.floorSql);
            const double floor = start + plainRead(largePath, command.floorSql);
            const bench::ChildRun onSmall =
                bench::runChild(cli, QStringList{QStringLiteral("--db"), smallPath} + command.args);
            const bench::ChildRun onLarge =
                bench::runChild(cli, QStringList{QStringLiteral("--db"), largePath} + command.args);
            if (onSmall.exitStatus != 0 || onLarge.exitStatus != 0)
                throw SbkError(QStringLiteral("sbk-cli %1 failed").arg(command.title));
            bench::line(QStringLiteral("%1 %2 %3 %4 %5 %6  %7 bytes, sha1 %8")
                            .arg(bench::padded(command.title, 26))
                            .arg(onLarge.seconds, 7, 'f', 2)
                            .arg(onLarge.seconds / floor, 8, 'f', 2)
                            .arg(onLarge.peakMegabytes, 8, 'f', 1)
                            .arg(onSmall.peakMegabytes, 9, 'f', 1)
                            .arg(onLarge.peakMegabytes / onSmall.peakMegabytes, 6, 'f', 2)
                            .arg(onLarge.outputBytes)
                            .arg(QString::fromLatin1(onLarge.outputSha1)));
        }
        bench::line(
            QStringLiteral("time: the command as a process / the same rows read by a plain query and a "
                           "process start; "
                           "ratio: peak memory at %1 styles / at %2 (goal: at most 64 MB, ratio at "
                           "most 1.10)")
                .arg(styles)
                .arg(small));
        bench::line(QStringLiteral("benchmark process peak: %1 MB").arg(bench::peakMegabytes(), 0, 'f', 1));
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-listing: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
