// sbk-bench-similar: the note fingerprints of a large library. How long bringing a library of the
// previous version up to date takes, which reads the notes of every stored style (goal: 100,000
// styles in under a minute, with progress); how long the search for the 20 most similar styles
// takes in the engine and as sbk-cli similar (goal: under 0.3 s); and what reading the notes adds
// to an import of STY files of music (goal: at most 5 %).
//
// The styles play music as BenchLibrary makes it (notes on every track of every element, spread
// over the keys), so their fingerprints are fuller than most instruments' styles; after the upgrade
// each style's fingerprint is changed a little, so that no two are alike.
//
//   sbk-bench-similar [--styles N] [--block-size BYTES] [--files N] [--rounds N] [--cli SBK-CLI] [--folder
//   DIR]
#include "BenchLibrary.h"
#include "core/NoteVector.h"
#include "core/Progress.h"
#include "core/SbkError.h"
#include "music/NoteFingerprint.h"
#include "music/SimilarStyles.h"
#include "store/Database.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "sty/StyleFacts.h"
#include "StyleBlocks.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

struct CountingProgress : Progress {
    qint64 total = 0;
    qint64 steps = 0;
    void begin(qint64 all, const QString&) override { total = all; }
    void step(qint64, const QString&) override { ++steps; }
};

double seconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e9;
}

// The library as the previous version kept it: every style without its note fingerprint (the
// generated rows have none), the index not yet made.
void makeLibrary(const QString& path, int styles, int blockSize) {
    Database db(path);
    const BenchLibrary library(blockSize, 20240601, BenchLibrary::Content::Music);
    for (int first = 1; first <= styles; first += 1000)
        library.insertStyles(db.connection(), first, qMin(1000, styles - first + 1));
    QSqlQuery query(db.connection());
    Database::exec(query, QStringLiteral("DROP INDEX KORFStyles_NoteFingerprint"));
    Database::exec(query, QStringLiteral("PRAGMA user_version = 4"));
}

// Every stored fingerprint changed a little (a few of its cells moved up or down), in one transaction.
void varyFingerprints(QSqlDatabase db) {
    QRandomGenerator random(7);
    QSqlQuery query(db);
    Database::exec(query, QStringLiteral("BEGIN"));
    Database::exec(query, QStringLiteral("SELECT StyleProg, NoteFingerprint FROM KORFStyles WHERE "
                                         "NoteFingerprint IS NOT NULL"));
    QList<std::pair<qint32, QByteArray>> rows;
    NoteVector::Cells cells;
    while (query.next()) {
        if (!NoteVector::decode(query.value(1).toByteArray(), cells))
            continue;
        for (int k = 0; k < 12; ++k) {
            quint8& cell = cells[size_t(random.bounded(NoteVector::Size))];
            cell = quint8(qBound(0, int(cell) + int(random.bounded(61)) - 30, 255));
        }
        rows.append({query.value(0).toInt(), NoteVector::encode(cells)});
    }
    query.finish();
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE KORFStyles SET NoteFingerprint = ? WHERE StyleProg = ?"));
    for (const auto& [prog, bytes] : std::as_const(rows)) {
        update.bindValue(0, bytes);
        update.bindValue(1, prog);
        Database::exec(update);
    }
    Database::exec(query, QStringLiteral("COMMIT"));
}

void benchUpgradeAndSearch(const QString& folder, int styles, int blockSize, int rounds, const QString& cli) {
    const QString path = bench::freshDatabase(folder, QStringLiteral("similar.mdb"));
    QElapsedTimer timer;
    timer.start();
    makeLibrary(path, styles, blockSize);
    bench::line(
        QStringLiteral("a library of %1 styles of music (style blocks of about %2 bytes) made in %3 s")
            .arg(styles)
            .arg(blockSize)
            .arg(seconds(timer), 0, 'f', 1));
    bench::settle();
    CountingProgress progress;
    timer.restart();
    {
        Database db(path, {&NoteFingerprint::readFacts, &progress});
        const double upgrade = seconds(timer);
        QSqlQuery query(db.connection());
        Database::exec(query, QStringLiteral("SELECT COUNT(NoteFingerprint), AVG(LENGTH(NoteFingerprint)) "
                                             "FROM KORFStyles"));
        query.next();
        bench::line(QStringLiteral("%1%2 s (goal < 60 s for 100,000): %3 fingerprints of %4 bytes on "
                                   "average, %5 progress steps, peak %6 MB")
                        .arg(bench::padded(QStringLiteral("upgrade from version 4")))
                        .arg(upgrade, 0, 'f', 1)
                        .arg(query.value(0).toLongLong())
                        .arg(query.value(1).toDouble(), 0, 'f', 0)
                        .arg(progress.steps)
                        .arg(bench::peakMegabytes(), 0, 'f', 0));
        query.finish();
        varyFingerprints(db.connection());
    }

    const qint32 asked = styles / 2 + 1;
    double load = 1e9, search = 1e9;
    for (int r = 0; r < rounds; ++r) {
        Database db(path);
        timer.restart();
        const SimilarStyles library(db.connection());
        load = qMin(load, seconds(timer));
        timer.restart();
        const auto found = library.nearest(asked, 20);
        search = qMin(search, seconds(timer));
        if (!found || found->size() != qMin(20, library.count() - 1))
            throw SbkError(QStringLiteral("the search found no similar styles"));
    }
    bench::line(QStringLiteral("%1%2 s (reading %3 s, search %4 s; goal < 0.3 s)")
                    .arg(bench::padded(QStringLiteral("similar, in the engine")))
                    .arg(load + search, 0, 'f', 3)
                    .arg(load, 0, 'f', 3)
                    .arg(search, 0, 'f', 3));
    if (QFileInfo(cli).isExecutable()) {
        double best = 1e9;
        for (int r = 0; r < rounds; ++r) {
            const bench::ChildRun run =
                bench::runChild(cli, {QStringLiteral("--db"), path, QStringLiteral("similar"),
                                      QString::number(asked), QStringLiteral("--json")});
            if (run.exitStatus != 0)
                throw SbkError(QStringLiteral("sbk-cli similar failed"));
            best = qMin(best, run.seconds);
        }
        bench::line(QStringLiteral("%1%2 s (goal < 0.3 s)")
                        .arg(bench::padded(QStringLiteral("sbk-cli similar --json, whole run")))
                        .arg(best, 0, 'f', 3));
    }
}

// files STY files of 32 styles of music each.
QString makeFiles(const QString& folder, int files, int blockSize) {
    const QString where = QDir(folder).filePath(QStringLiteral("sty"));
    QDir(where).removeRecursively();
    QDir().mkpath(where);
    KORFLibrary library;
    KORFLibrary::WriteOptions options;
    options.userBank = 17;
    for (int f = 0; f < files; ++f) {
        KORFStyles styles;
        for (int s = 0; s < 32; ++s) {
            const QByteArray first =
                BenchLibrary::musicBlock(blockSize, s % 3 ? 0x22 : 0x1A, false, quint32(f * 32 + s + 1));
            const QByteArray second =
                StyleBlocks::performanceBlock(80 + s, false, QByteArray(blockSize / 4, 'p'));
            styles.Add(s + 1, QStringLiteral("Bench %1-%2").arg(f).arg(s), QStringLiteral("Perf"),
                       qint32(first.size()), qint32(second.size()), first, second);
        }
        library.WriteStyleFromCollection(
            QDir(where).filePath(QStringLiteral("M%1.STY").arg(f, 4, 10, QLatin1Char('0'))), styles, options);
    }
    return where;
}

double importOnce(const QString& folder, const QString& files, const StyleFactsReader& reader) {
    const QString path = bench::freshDatabase(folder, QStringLiteral("import.mdb"));
    Database db(path);
    bench::settle();
    QElapsedTimer timer;
    timer.start();
    StyImport import(db.connection());
    import.setPolicy(StyImport::Policy::ImportAll);
    import.setFactsReader(reader);
    import.run(files, true, QString(), QString(), QString());
    return seconds(timer);
}

void benchImport(const QString& folder, int files, int blockSize, int rounds) {
    const QString sty = makeFiles(folder, files, blockSize);
    double without = 1e9, with = 1e9;
    for (int r = 0; r < rounds; ++r) {
        without = qMin(without, importOnce(folder, sty, &StyleFacts::read));
        with = qMin(with, importOnce(folder, sty, &NoteFingerprint::readFacts));
    }
    bench::line(QStringLiteral("%1%2 s with the note fingerprints, %3 s without: +%4 % (goal <= 5 %)")
                    .arg(bench::padded(QStringLiteral("import of %1 styles of music").arg(files * 32)))
                    .arg(with, 0, 'f', 2)
                    .arg(without, 0, 'f', 2)
                    .arg(100.0 * (with - without) / without, 0, 'f', 1));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList known{QStringLiteral("--styles"), QStringLiteral("--block-size"),
                            QStringLiteral("--files"),  QStringLiteral("--rounds"),
                            QStringLiteral("--cli"),    QStringLiteral("--folder")};
    const auto given = bench::options(app.arguments().mid(1), known);
    const int styles = given ? given->value(QStringLiteral("--styles"), QStringLiteral("100000")).toInt() : 0;
    const int blockSize =
        given ? given->value(QStringLiteral("--block-size"), QStringLiteral("16384")).toInt() : 0;
    const int files = given ? given->value(QStringLiteral("--files"), QStringLiteral("40")).toInt() : 0;
    const int rounds = given ? given->value(QStringLiteral("--rounds"), QStringLiteral("3")).toInt() : 0;
    if (styles < 2 || blockSize < 4096 || files < 1 || rounds < 1) {
        std::fprintf(stderr,
                     "usage: sbk-bench-similar [--styles N >= 2] [--block-size BYTES >= 4096] [--files N] "
                     "[--rounds N] [--cli SBK-CLI] [--folder DIR]\n");
        return 2;
    }
    const QString cli =
        given->value(QStringLiteral("--cli"),
                     QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sbk-cli")));
    QTemporaryDir temporary;
    const QString folder = bench::workFolder(given->value(QStringLiteral("--folder")), temporary);
    try {
        benchImport(folder, files, blockSize, rounds);
        benchUpgradeAndSearch(folder, styles, blockSize, rounds, cli);
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-similar: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
