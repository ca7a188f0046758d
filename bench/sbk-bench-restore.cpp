// sbk-bench-restore: how fast a PDD file of a large library is restored, beside the floor measured
// in the same run: the same styles and banks inserted into an empty database with statements
// prepared once, in one transaction. The library (100,000 styles of some 6.5 kB and a bank for
// every 32 styles, blocks as instruments save them) is made by that floor, backed up with the
// program's backup, checked by the validation pass and restored into an empty database and over
// the full library; then the floor and the restore into an empty database are measured in turn,
// in rounds, and the fastest of each counts. The restore
// over the full library is measured against a floor of its own: the same inserts into a copy of
// the library, after deleting its banks and styles in the same transaction. Before each measured
// run the writes of the one before are synced, so that none pays for another's write-back. The
// bare floor, in the same rounds: the same blocks inserted by one prepared statement in one
// transaction into a table with one index on (search key, lengths) and nothing else
// (bench::bareDatabase); goal: a restore into an empty database at most 1.2 times as long.
//
//   sbk-bench-restore [--styles N] [--block-size BYTES] [--rounds N] [--folder DIR]
#include "BenchLibrary.h"
#include "core/SbkError.h"
#include "interchange/PddBackup.h"
#include "interchange/PddRestore.h"
#include "store/Database.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

// The styles and banks inserted by statements prepared once, in one transaction; with replace,
// after deleting every stored bank and style in the same transaction, as a restore over a full
// library does.
double measureFloor(const QString& path, const BenchLibrary& library, int styles, bool replace = false) {
    Database db(path);
    bench::settle();
    QSqlQuery query(db.connection());
    QElapsedTimer timer;
    timer.start();
    Database::exec(query, QStringLiteral("BEGIN"));
    if (replace) {
        Database::exec(query, QStringLiteral("DELETE FROM KORFBanks"));
        Database::exec(query, QStringLiteral("DELETE FROM KORFStyles"));
    }
    double seconds = timer.nsecsElapsed() / 1e9;
    seconds += BenchLibrary::insertBanks(db.connection(), qMax(1, styles / 32), styles, true);
    seconds += library.insertStyles(db.connection(), 1, styles, true);
    timer.restart();
    Database::exec(query, QStringLiteral("COMMIT"));
    return seconds + timer.nsecsElapsed() / 1e9;
}

// The bare floor: the blocks of the styles inserted into a fresh bare library in one transaction;
// the blocks are made before the time counts. Returns the seconds spent in the database.
double measureBare(const QString& path, const BenchLibrary& library, int styles) {
    bench::BareLibrary bare(path);
    bench::settle();
    QElapsedTimer timer;
    qint64 spent = 0;
    timer.start();
    bare.begin();
    spent += timer.nsecsElapsed();
    for (qint32 n = 1; n <= styles; ++n) {
        const BenchLibrary::Style style = library.style(n);
        timer.restart();
        bare.insert(n, style.content1, style.content2);
        spent += timer.nsecsElapsed();
    }
    timer.restart();
    bare.commit();
    return (spent + timer.nsecsElapsed()) / 1e9;
}

// A copy of the library to replace.
QString copyOf(const QString& path, const QString& name) {
    const QString copy = QDir(QFileInfo(path).path()).filePath(name);
    QFile::remove(copy);
    if (!QFile::copy(path, copy))
        throw SbkError(QStringLiteral("cannot copy %1").arg(path));
    return copy;
}

// What the restored database holds, to compare with the library.
QString contents(const QString& path) {
    Database db(path);
    QSqlQuery query(db.connection());
    Database::exec(query, QStringLiteral("SELECT COUNT(*), SUM(StyleLength1 + StyleLength2), SUM(Tempo), "
                                         "COUNT(Meter), SUM(LENGTH(StyleSeek)) FROM KORFStyles"));
    query.next();
    QString text = QStringLiteral("%1 styles, %2 bytes of blocks, tempo sum %3, %4 meters, seek bytes %5")
                       .arg(query.value(0).toLongLong())
                       .arg(query.value(1).toLongLong())
                       .arg(query.value(2).toLongLong())
                       .arg(query.value(3).toLongLong())
                       .arg(query.value(4).toLongLong());
    Database::exec(query, QStringLiteral("SELECT COUNT(*), SUM(BankStyle01 + BankStyle32) FROM KORFBanks"));
    query.next();
    return text + QStringLiteral("; %1 banks, slot sum %2")
                      .arg(query.value(0).toLongLong())
                      .arg(query.value(1).toLongLong());
}

double restore(const QString& databasePath, const QString& pddPath, qint64 records) {
    Database db(databasePath);
    bench::settle();
    QElapsedTimer timer;
    timer.start();
    PddRestore::restore(db.connection(), pddPath, records);
    return timer.nsecsElapsed() / 1e9;
}

void print(const QString& what, double seconds, double floor) {
    bench::line(QStringLiteral("%1 %2 s  %3 x floor  (peak %4 MB)")
                    .arg(bench::padded(what))
                    .arg(seconds, 7, 'f', 2)
                    .arg(seconds / floor, 5, 'f', 2)
                    .arg(bench::peakMegabytes(), 0, 'f', 0));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto given =
        bench::options(app.arguments().mid(1), {QStringLiteral("--styles"), QStringLiteral("--block-size"),
                                                QStringLiteral("--rounds"), QStringLiteral("--folder")});
    const int styles = given ? given->value(QStringLiteral("--styles"), QStringLiteral("100000")).toInt() : 0;
    const int blockSize =
        given ? given->value(QStringLiteral("--block-size"), QStringLiteral("4096")).toInt() : 0;
    const int rounds = given ? given->value(QStringLiteral("--rounds"), QStringLiteral("3")).toInt() : 0;
    if (styles < 1 || blockSize < 1024 || rounds < 1) {
        std::fprintf(stderr,
                     "usage: sbk-bench-restore [--styles N] [--block-size BYTES >= 1024] [--rounds N >= 1] "
                     "[--folder DIR]\n");
        return 2;
    }
    QTemporaryDir temporary;
    const QString folder = bench::workFolder(given->value(QStringLiteral("--folder")), temporary);

    try {
        const BenchLibrary library(blockSize, 20240601);
        const QString libraryPath = bench::freshDatabase(folder, QStringLiteral("library.mdb"));
        const double floorBefore = measureFloor(libraryPath, library, styles);
        bench::line(QStringLiteral("%1 styles (blocks of about %2 and %3 bytes) and %4 banks: %5 MB")
                        .arg(styles)
                        .arg(blockSize)
                        .arg(blockSize / 4)
                        .arg(qMax(1, styles / 32))
                        .arg(QFileInfo(libraryPath).size() / 1e6, 0, 'f', 0));
        print(QStringLiteral("floor, first run (made the library)"), floorBefore, floorBefore);

        const QString pddPath = QDir(folder).filePath(QStringLiteral("LIBRARY.PDD"));
        QElapsedTimer timer;
        timer.start();
        {
            Database db(libraryPath);
            PddBackup::backup(db.connection(), pddPath);
        }
        const double backupSeconds = timer.nsecsElapsed() / 1e9;
        timer.restart();
        const PddRestore::Check check = PddRestore::validate(pddPath);
        const double validateSeconds = timer.nsecsElapsed() / 1e9;
        if (!check.valid)
            throw SbkError(check.problem);

        const double firstIntoEmpty =
            restore(bench::freshDatabase(folder, QStringLiteral("restored.mdb")), pddPath, check.records);
        const QString expected = contents(libraryPath);
        const QString restored = contents(QDir(folder).filePath(QStringLiteral("restored.mdb")));
        if (restored != expected)
            throw SbkError(QStringLiteral("the restore gave %1, not %2").arg(restored, expected));
        const double replaceFloor =
            measureFloor(copyOf(libraryPath, QStringLiteral("replaced.mdb")), library, styles, true);
        QFile::remove(QDir(folder).filePath(QStringLiteral("replaced.mdb")));
        const double overFull = restore(libraryPath, pddPath, check.records);

        // The floor and the restore into an empty database again, in turn (each first in every
        // other round), so that both meet the machine in the same state; the fastest of each
        // counts. The runs before (the first floor made the library) are printed as they were.
        double floor = 1e100;
        double intoEmpty = 1e100;
        QList<double> bares, restores;
        for (int round = 0; round < rounds; ++round) {
            double floorRun = 0;
            double restoreRun = 0;
            double bareRun = 0;
            for (int turn = 0; turn < 3; ++turn) {
                const int which = (round + turn) % 3;
                if (which == 0)
                    floorRun = measureFloor(bench::freshDatabase(folder, QStringLiteral("floor.mdb")),
                                            library, styles);
                else if (which == 1)
                    bareRun =
                        measureBare(bench::bareDatabase(folder, QStringLiteral("bare.mdb")), library, styles);
                else
                    restoreRun = restore(bench::freshDatabase(folder, QStringLiteral("restored.mdb")),
                                         pddPath, check.records);
            }
            bench::line(QStringLiteral("%1 floor %2 s, bare %3 s, restore %4 s: %5 x floor, %6 x bare")
                            .arg(bench::padded(QStringLiteral("round %1").arg(round + 1)))
                            .arg(floorRun, 0, 'f', 2)
                            .arg(bareRun, 0, 'f', 2)
                            .arg(restoreRun, 0, 'f', 2)
                            .arg(restoreRun / floorRun, 0, 'f', 2)
                            .arg(restoreRun / bareRun, 0, 'f', 2));
            floor = qMin(floor, floorRun);
            intoEmpty = qMin(intoEmpty, restoreRun);
            bares.append(bareRun);
            restores.append(restoreRun);
        }
        print(QStringLiteral("floor, fastest of the rounds"), floor, floor);
        bench::line(QStringLiteral("the PDD file: %1 MB").arg(QFileInfo(pddPath).size() / 1e6, 0, 'f', 0));
        print(QStringLiteral("backup"), backupSeconds, floor);
        print(QStringLiteral("validation pass"), validateSeconds, floor);
        print(QStringLiteral("first restore into an empty database"), firstIntoEmpty, floor);
        print(QStringLiteral("restore into an empty database, fastest"), intoEmpty, floor);
        print(QStringLiteral("floor over the full library (deletes first)"), replaceFloor, replaceFloor);
        print(QStringLiteral("restore over the full library"), overFull, replaceFloor);
        print(QStringLiteral("validation and restore into an empty one"), validateSeconds + intoEmpty, floor);
        const double bare = bench::median(bares), restoreMedian = bench::median(restores);
        bench::line(QStringLiteral("%1 %2 s, bare floor %3 s: %4 x bare (goal: at most 1.20)")
                        .arg(bench::padded(QStringLiteral("restore, medians of the rounds")))
                        .arg(restoreMedian, 0, 'f', 2)
                        .arg(bare, 0, 'f', 2)
                        .arg(restoreMedian / bare, 0, 'f', 2));
        bench::line(QStringLiteral("restored: %1").arg(restored));
        bench::line(
            QStringLiteral("goal: a restore at most 1.50 x floor (over the full library: its own floor)"));
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-restore: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
