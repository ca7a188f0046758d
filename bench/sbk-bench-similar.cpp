// sbk-bench-similar: the note fingerprints of a large library. What reading the notes adds to an
// import of STY files of music (goal: at most 5 %); how long bringing a library of the previous
// version up to date takes, which reads the notes of every stored style (goal: 100,000 styles in
// under a minute, with progress); and how long the search for the 20 most similar styles takes in
// the engine and as a whole run of sbk-cli similar (goal: under 0.3 s). Each figure is the median
// of the rounds, in wall time and in processor time (the machine may be busy with other work).
//
// The styles play music as BenchLibrary makes it (notes on every track of every element, spread
// over the keys), so their fingerprints are fuller than most instruments' styles; --sty imports
// the STY files of a folder (not of its subfolders) instead. After the upgrade each style's
// fingerprint is changed a little, so that no two are alike. The import is measured with the notes
// read by the scan of the style block (as the program reads them), scanned but not stored, read
// through the full music model (for comparison) and not read at all; --notes model makes the
// upgrade read them through the model.
//
//   sbk-bench-similar [--styles N] [--block-size BYTES] [--files N] [--sty DIR] [--rounds N]
//   [--only import|upgrade|similar] [--notes scan|model] [--cli SBK-CLI] [--folder DIR]
#include "BenchLibrary.h"
#include "core/NoteVector.h"
#include "core/Progress.h"
#include "core/SbkError.h"
#include "music/NoteFingerprint.h"
#include "music/SimilarStyles.h"
#include "music/StyleMusicReader.h"
#include "store/Database.h"
#include "store/KORFStyles.h"
#include "sty/BlockTree.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "sty/StyleFacts.h"
#include "StyleBlocks.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
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

double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Wall time and the processor time of this process (or of a child).
struct Times {
    double wall = 0;
    double cpu = 0;
};

class Stopwatch {
public:
    Stopwatch() { m_wall.start(); }
    Times elapsed() const { return {seconds(m_wall), processorSeconds() - m_cpu}; }

private:
    QElapsedTimer m_wall;
    double m_cpu = processorSeconds();
};

// The median of the rounds' wall times and, apart, of their processor times.
Times median(const QList<Times>& rounds) {
    QList<double> wall, cpu;
    for (const Times& t : rounds)
        wall << t.wall, cpu << t.cpu;
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    const qsizetype m = rounds.size() / 2;
    if (rounds.size() % 2)
        return {wall.at(m), cpu.at(m)};
    return {(wall.at(m - 1) + wall.at(m)) / 2, (cpu.at(m - 1) + cpu.at(m)) / 2};
}

QString text(const Times& t, int decimals = 2) {
    return QStringLiteral("%1 s (CPU %2 s)").arg(t.wall, 0, 'f', decimals).arg(t.cpu, 0, 'f', decimals);
}

QString increase(double with, double without) {
    return QStringLiteral("%1%2 %")
        .arg(with >= without ? "+" : "")
        .arg(100.0 * (with - without) / without, 0, 'f', 1);
}

// The note fingerprint read through the full music model StyleMusicReader makes.
QByteArray notesOfModel(BlockTree& tree) {
    try {
        return NoteFingerprint::of(StyleMusicReader::readTree(tree));
    } catch (const SbkError&) {
        return {};
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// The facts with the note fingerprint scanned but not kept: what storing it costs is left out.
StyleFactsValues factsScannedOnly(const QByteArray& content1, const QByteArray& content2) {
    StyleFactsValues facts = NoteFingerprint::readFacts(content1, content2);
    facts.NoteFingerprint.clear();
    return facts;
}

StyleFactsValues factsWithModel(const QByteArray& content1, const QByteArray& content2) {
    return StyleFacts::readWith(content1, content2, &notesOfModel);
}

struct Settings {
    int styles = 100000;
    int blockSize = 16384;
    int files = 40;
    int rounds = 5;
    QString sty;
    QString only;
    bool model = false;
    QString cli;
    QString folder;
};

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

// The library back at version 4: no fingerprints, no index of them.
void downgrade(const QString& path) {
    Database db(path);
    QSqlQuery query(db.connection());
    Database::exec(query, QStringLiteral("UPDATE KORFStyles SET NoteFingerprint = NULL"));
    Database::exec(query, QStringLiteral("DROP INDEX IF EXISTS KORFStyles_NoteFingerprint"));
    Database::exec(query, QStringLiteral("PRAGMA user_version = 4"));
}

// Brings the library of version 4 up to date rounds times (taken back to version 4 between them).
void benchUpgrade(const QString& path, const Settings& settings, int rounds) {
    const StyleFactsReader reader =
        settings.model ? StyleFactsReader(&factsWithModel) : StyleFactsReader(&NoteFingerprint::readFacts);
    QList<Times> times;
    CountingProgress progress;
    for (int r = 0; r < rounds; ++r) {
        if (r > 0)
            downgrade(path);
        bench::settle();
        progress = CountingProgress();
        const Stopwatch watch;
        Database db(path, {reader, &progress});
        times << watch.elapsed();
    }
    Database db(path);
    QSqlQuery query(db.connection());
    Database::exec(query, QStringLiteral("SELECT COUNT(NoteFingerprint), AVG(LENGTH(NoteFingerprint)) "
                                         "FROM KORFStyles"));
    query.next();
    bench::line(QStringLiteral("%1%2 (goal < 60 s for 100,000; notes read by the %3): %4 fingerprints "
                               "of %5 bytes on average, %6 progress steps, peak %7 MB")
                    .arg(bench::padded(QStringLiteral("upgrade from version 4")))
                    .arg(text(median(times), 1))
                    .arg(settings.model ? QStringLiteral("model") : QStringLiteral("scan"))
                    .arg(query.value(0).toLongLong())
                    .arg(query.value(1).toDouble(), 0, 'f', 0)
                    .arg(progress.steps)
                    .arg(bench::peakMegabytes(), 0, 'f', 0));
    query.finish();
    varyFingerprints(db.connection());
}

void benchSearch(const QString& path, const Settings& settings) {
    const qint32 asked = settings.styles / 2 + 1;
    QList<Times> load, search, whole;
    for (int r = 0; r < settings.rounds; ++r) {
        Database db(path);
        Stopwatch watch;
        const SimilarStyles library(db.connection());
        load << watch.elapsed();
        watch = Stopwatch();
        const auto found = library.nearest(asked, 20);
        search << watch.elapsed();
        whole << Times{load.last().wall + search.last().wall, load.last().cpu + search.last().cpu};
        if (!found || found->size() != qMin(20, library.count() - 1))
            throw SbkError(QStringLiteral("the search found no similar styles"));
    }
    bench::line(QStringLiteral("%1%2 (reading %3 s, search %4 s; goal < 0.3 s)")
                    .arg(bench::padded(QStringLiteral("similar, in the engine")))
                    .arg(text(median(whole), 3))
                    .arg(median(load).wall, 0, 'f', 3)
                    .arg(median(search).wall, 0, 'f', 3));
    if (!QFileInfo(settings.cli).isExecutable())
        return;
    QList<Times> runs;
    for (int r = 0; r < settings.rounds; ++r) {
        const bench::ChildRun run =
            bench::runChild(settings.cli, {QStringLiteral("--db"), path, QStringLiteral("similar"),
                                           QString::number(asked), QStringLiteral("--json")});
        if (run.exitStatus != 0)
            throw SbkError(QStringLiteral("sbk-cli similar failed"));
        runs << Times{run.seconds, run.cpuSeconds};
    }
    bench::line(QStringLiteral("%1%2 (goal < 0.3 s)")
                    .arg(bench::padded(QStringLiteral("sbk-cli similar --json, whole run")))
                    .arg(text(median(runs), 3)));
}

void benchLibrary(const Settings& settings) {
    const QString path = bench::freshDatabase(settings.folder, QStringLiteral("similar.mdb"));
    const Stopwatch watch;
    makeLibrary(path, settings.styles, settings.blockSize);
    bench::line(
        QStringLiteral("a library of %1 styles of music (style blocks of about %2 bytes) made in %3 s")
            .arg(settings.styles)
            .arg(settings.blockSize)
            .arg(watch.elapsed().wall, 0, 'f', 1));
    const bool upgrade = settings.only.isEmpty() || settings.only == QLatin1String("upgrade");
    benchUpgrade(path, settings, upgrade ? settings.rounds : 1);
    if (settings.only.isEmpty() || settings.only == QLatin1String("similar"))
        benchSearch(path, settings);
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

Times importOnce(const QString& folder, const QString& files, const StyleFactsReader& reader, int& styles) {
    const QString path = bench::freshDatabase(folder, QStringLiteral("import.mdb"));
    Database db(path);
    bench::settle();
    const Stopwatch watch;
    StyImport import(db.connection());
    import.setPolicy(StyImport::Policy::ImportAll);
    import.setFactsReader(reader);
    import.run(files, true, QString(), QString(), QString());
    const Times spent = watch.elapsed();
    QSqlQuery query(db.connection());
    Database::exec(query, QStringLiteral("SELECT COUNT(*) FROM KORFStyles"));
    styles = query.next() ? query.value(0).toInt() : 0;
    return spent;
}

// The facts of every style of the files read in this thread alone, without the import around them.
void benchFacts(const QString& sty, int rounds) {
    QList<std::pair<QByteArray, QByteArray>> blocks;
    QDirIterator it(sty, {QStringLiteral("*.STY")}, QDir::Files);
    while (it.hasNext()) {
        KORFStyles styles;
        KORFLibrary().FillCollectionFromStyle(it.next(), styles);
        for (const KORFStylePtr& style : styles)
            blocks.append({style->StyleContent1(), style->StyleContent2()});
    }
    // The readers take turns in each round, so that other work on the machine weighs on each alike.
    const QList<StyleFactsReader> readers{&StyleFacts::read, &NoteFingerprint::readFacts, &factsWithModel};
    QList<QList<Times>> times(readers.size());
    QList<int> noted(readers.size());
    for (int r = 0; r < rounds; ++r) {
        for (qsizetype k = 0; k < readers.size(); ++k) {
            noted[k] = 0;
            const Stopwatch watch;
            for (const auto& [first, second] : std::as_const(blocks))
                noted[k] += !readers[k](first, second).NoteFingerprint.isEmpty();
            times[k] << watch.elapsed();
        }
    }
    const auto perStyle = [&](int k) {
        return 1e6 * median(times[k]).cpu / double(qMax<qsizetype>(1, blocks.size()));
    };
    const double none = perStyle(0);
    const double scan = perStyle(1);
    const double model = perStyle(2);
    bench::line(QStringLiteral("%1%2 us a style (CPU); with the notes scanned %3 us (%4), through the "
                               "model %5 us (%6); %7 and %8 styles with notes")
                    .arg(bench::padded(QStringLiteral("  the facts alone, in one thread")))
                    .arg(none, 0, 'f', 1)
                    .arg(scan, 0, 'f', 1)
                    .arg(increase(scan, none))
                    .arg(model, 0, 'f', 1)
                    .arg(increase(model, none))
                    .arg(noted[1])
                    .arg(noted[2]));
}

void benchImport(const Settings& settings) {
    const QString sty = settings.sty.isEmpty()
                            ? makeFiles(settings.folder, settings.files, settings.blockSize)
                            : settings.sty;
    int styles = 0;
    QList<Times> without, scan, unstored, model;
    for (int r = 0; r < settings.rounds; ++r) {
        without << importOnce(settings.folder, sty, &StyleFacts::read, styles);
        scan << importOnce(settings.folder, sty, &NoteFingerprint::readFacts, styles);
        unstored << importOnce(settings.folder, sty, &factsScannedOnly, styles);
        model << importOnce(settings.folder, sty, &factsWithModel, styles);
    }
    const Times none = median(without);
    bench::line(QStringLiteral("%1%2 without the note fingerprints")
                    .arg(bench::padded(QStringLiteral("import of %1 styles of music").arg(styles)))
                    .arg(text(none)));
    for (const auto& [what, rounds] : {std::pair{"scanned", scan}, std::pair{"scanned, not stored", unstored},
                                       std::pair{"read through the model", model}}) {
        const Times with = median(rounds);
        bench::line(QStringLiteral("%1%2: %3 wall, %4 CPU (goal <= 5 %)")
                        .arg(bench::padded(QStringLiteral("  with the notes %1").arg(QLatin1String(what))))
                        .arg(text(with))
                        .arg(increase(with.wall, none.wall))
                        .arg(increase(with.cpu, none.cpu)));
    }
    benchFacts(sty, settings.rounds);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList known{
        QStringLiteral("--styles"), QStringLiteral("--block-size"), QStringLiteral("--files"),
        QStringLiteral("--sty"),    QStringLiteral("--rounds"),     QStringLiteral("--only"),
        QStringLiteral("--notes"),  QStringLiteral("--cli"),        QStringLiteral("--folder")};
    const auto given = bench::options(app.arguments().mid(1), known);
    Settings settings;
    if (given) {
        settings.styles = given->value(QStringLiteral("--styles"), QString::number(settings.styles)).toInt();
        settings.blockSize =
            given->value(QStringLiteral("--block-size"), QString::number(settings.blockSize)).toInt();
        settings.files = given->value(QStringLiteral("--files"), QString::number(settings.files)).toInt();
        settings.rounds = given->value(QStringLiteral("--rounds"), QString::number(settings.rounds)).toInt();
        settings.sty = given->value(QStringLiteral("--sty"));
        settings.only = given->value(QStringLiteral("--only"));
        settings.model = given->value(QStringLiteral("--notes")) == QLatin1String("model");
    }
    const QStringList parts{QString(), QStringLiteral("import"), QStringLiteral("upgrade"),
                            QStringLiteral("similar")};
    const QString notes = given ? given->value(QStringLiteral("--notes"), QStringLiteral("scan")) : QString();
    if (!given || settings.styles < 2 || settings.blockSize < 4096 || settings.files < 1 ||
        settings.rounds < 1 || !parts.contains(settings.only) ||
        (notes != QLatin1String("scan") && notes != QLatin1String("model")) ||
        (!settings.sty.isEmpty() && !QFileInfo(settings.sty).isDir())) {
        std::fprintf(
            stderr,
            "usage: sbk-bench-similar [--styles N >= 2] [--block-size BYTES >= 4096] [--files N] [--sty DIR] "
            "[--rounds N] [--only import|upgrade|similar] [--notes scan|model] [--cli SBK-CLI] "
            "[--folder DIR]\n");
        return 2;
    }
    settings.cli =
        given->value(QStringLiteral("--cli"),
                     QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sbk-cli")));
    QTemporaryDir temporary;
    settings.folder = bench::workFolder(given->value(QStringLiteral("--folder")), temporary);
    try {
        if (settings.only.isEmpty() || settings.only == QLatin1String("import"))
            benchImport(settings);
        if (settings.only != QLatin1String("import"))
            benchLibrary(settings);
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-similar: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
