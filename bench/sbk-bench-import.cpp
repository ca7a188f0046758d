// sbk-bench-import: how fast the style import stores STY files, beside two floors measured in the
// same run and rounds. The floor: the same rows (styles with their facts and fingerprints, the
// directory entries of a newer file, one bank per file) inserted into the program's schema with
// plain prepared statements in one transaction, from styles read before the time counts. The bare
// floor: the same files read and the same blocks inserted by one prepared statement in one
// transaction into a table with one index on (search key, lengths) and nothing else
// (bench::bareDatabase). Measured for both directory layouts, into an empty database and into one
// that already holds many small styles; the figures are the medians of the rounds, and each floor's
// time as a share of the import's (goal: at least 0.90 of the bare floor). Also: what reading the
// tempo and meter of every style costs the import, the import of files from a ZIP beside their
// import from the folder (goal: at most 1.2 times as long; styles that deflate as real ones do, to
// about a third, made for it alone), and how long opening a library of
// the previous version takes, which reads the facts of every stored style. The generated blocks are
// compressed chunk trees as instruments save them (OC31 streams of literal runs), their facts in
// front and the bulk of their data after them.
//
//   sbk-bench-import [--files N] [--block-size BYTES] [--preload N] [--fill N] [--fill-block-size BYTES]
//                    [--rounds N] [--folder DIR] [--only floor|bare|import|zip]
#include "ArchiveMaker.h"
#include "BenchLibrary.h"
#include "core/Progress.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/KORFStyles.h"
#include "sty/KORFBytes.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "sty/StyleFacts.h"
#include "sty/StyleFingerprint.h"
#include "StyleBlocks.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {

constexpr int StylesPerFile = 32;
using Layout = KORFLibrary::Layout;

QByteArray randomBytes(QRandomGenerator& random, int size) {
    QByteArray body(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(body.data()), size / 4);
    return body;
}

// Bytes that deflate as the data of instruments' styles do (to about 36 %): note events of a few
// lengths, keys and velocities, in phrases that come again with some of their notes changed.
QByteArray phraseBytes(QRandomGenerator& random, int size) {
    static const char steps[] = {0, 0, 24, 48, 96, char(192)};
    static const char velocities[] = {64, 80, 100, 127};
    QByteArray body;
    body.reserve(size + 64);
    while (body.size() < size) {
        if (body.size() >= 64 && random.bounded(10) >= 6) {
            const int length = 4 * int(random.bounded(4, 17));
            const qsizetype from =
                qsizetype(random.bounded(int(qMax<qsizetype>(1, body.size() - length)))) & ~3;
            QByteArray phrase = body.mid(from, length);
            for (qsizetype k = 2; k < phrase.size(); k += 4) {
                if (random.bounded(4) == 0)
                    phrase[k] = char(36 + random.bounded(48));
            }
            body += phrase;
            continue;
        }
        for (int n = int(random.bounded(1, 9)); n > 0; --n) {
            const char event[] = {steps[random.bounded(6)], char(0x90 | random.bounded(4)),
                                  char(36 + random.bounded(48)), velocities[random.bounded(4)]};
            body.append(event, 4);
        }
    }
    body.truncate(size);
    return body;
}
using Filler = QByteArray (*)(QRandomGenerator&, int);

// A style's two blocks of about size and size / 4 bytes, the meter and tempo varying with n. As
// in the styles of instruments, the first 250 bytes (the search key) differ from style to style:
// n is written into them (bench::writeNumber), and the blocks still decode to their end.
std::pair<QByteArray, QByteArray> styleBlocks(QRandomGenerator& random, int size, int n,
                                              Filler filler = &randomBytes) {
    static const quint8 meters[] = {0x22, 0x1A, 0x33, 0x63, 0x12};
    const bool newer = n % 2;
    QByteArray first =
        StyleBlocks::styleBlock(meters[n % 5], newer, filler(random, qMax(4, size - 220) & ~3));
    bench::writeNumber(first.data() + bench::numberMark(first), quint32(n));
    return {first,
            StyleBlocks::performanceBlock(40 + n % 200, newer, filler(random, qMax(4, size / 4 - 250) & ~3))};
}

// The files of one layout and the styles as the import reads them back from those files (with
// the directory entries of a newer file), which the floor inserts.
struct Collection {
    QString folder;
    QStringList files;
    QList<KORFStyles> lists;
    // Where the two blocks of each style of each file lie in it: offset and size of each.
    QList<QList<std::array<qsizetype, 4>>> spans;
    QList<StyleFactsValues> facts; // of every style in order, read before anything is timed
    qint64 styles = 0;
};

// fileCount bank files of 32 styles in the layout: a first block of about blockSize bytes and a
// second of a quarter, their bulk made by filler. The same seed gives both layouts the same blocks.
Collection generate(const QString& folder, int fileCount, int blockSize, Layout layout,
                    Filler filler = &randomBytes) {
    Collection collection;
    collection.folder = folder;
    QDir().mkpath(folder);
    QRandomGenerator random(20240601);
    KORFLibrary library;
    KORFLibrary::WriteOptions options;
    options.layout = layout;
    options.userBank = 17;
    options.writeTime = QDateTime(QDate(2024, 6, 1), QTime(12, 0));
    for (int f = 0; f < fileCount; ++f) {
        KORFStyles styles;
        for (int s = 0; s < StylesPerFile; ++s) {
            const int size1 = (blockSize - 512 + int(random.bounded(1024))) & ~3;
            const auto [first, second] = styleBlocks(random, size1, f * StylesPerFile + s, filler);
            styles.Add(s + 1, QStringLiteral("Bench %1-%2").arg(f).arg(s), QStringLiteral("Perf"),
                       qint32(first.size()), qint32(second.size()), first, second);
        }
        const QString path = QDir(folder).filePath(QStringLiteral("B%1.STY").arg(f, 4, 10, QLatin1Char('0')));
        library.WriteStyleFromCollection(path, styles, options);
        KORFStyles read;
        library.FillCollectionFromStyle(path, read);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw SbkError(QStringLiteral("cannot read %1").arg(path));
        const QByteArray bytes = file.readAll();
        QList<std::array<qsizetype, 4>>& spans = collection.spans.emplace_back();
        qsizetype from = 0;
        for (const KORFStylePtr& style : read) {
            std::array<qsizetype, 4>& span = spans.emplace_back();
            for (int b = 0; b < 2; ++b) {
                const QByteArray& block = b == 0 ? style->StyleContent1() : style->StyleContent2();
                span[size_t(2 * b)] = bytes.indexOf(block, from);
                span[size_t(2 * b + 1)] = block.size();
                if (span[size_t(2 * b)] < 0)
                    throw SbkError(QStringLiteral("a block of %1 is not found in it").arg(path));
                from = span[size_t(2 * b)] + block.size();
            }
            collection.facts.append(StyleFacts::read(style->StyleContent1(), style->StyleContent2()));
            if (!collection.facts.last().FingerprintSettings)
                throw SbkError(QStringLiteral("a generated style does not decode to its end"));
        }
        collection.styles += read.Count();
        collection.files.append(path);
        collection.lists.append(read);
    }
    return collection;
}

// The floor: every row the import stores, inserted by statements prepared once, in one
// transaction. Returns the seconds.
double insertPlain(QSqlDatabase db, const Collection& collection, qint32 firstNumber, int firstBank) {
    QElapsedTimer timer;
    timer.start();
    QSqlQuery begin(db);
    Database::exec(begin, QStringLiteral("BEGIN"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO KORFStyles (StyleProg,StyleName1,StyleName2,StyleLength1,StyleLength2,StyleContent1,"
        "StyleContent2,StyleSeek,StyleDate,StyleDesc,StyleCat,StyleFamily,StyleFile,StyleAuthor,Tempo,Meter,"
        "FingerprintExact,FingerprintRenamed,FingerprintSettings) VALUES "
        "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    QSqlQuery entry(db);
    entry.prepare(QStringLiteral("INSERT INTO KORFEntries (StyleProg, EntryBlock, EntryTime, EntrySystem, "
                                 "EntryProperties) VALUES (?, ?, ?, ?, ?)"));
    QStringList bankColumns{QStringLiteral("BankProg"), QStringLiteral("BankName"),
                            QStringLiteral("BankDesc")};
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        bankColumns << DbKORFBank::slotColumn(k);
    QSqlQuery bank(db);
    bank.prepare(
        QStringLiteral("INSERT INTO KORFBanks (%1) VALUES (?%2)")
            .arg(bankColumns.join(QLatin1Char(',')), QStringLiteral(",?").repeated(bankColumns.size() - 1)));
    const QString date = QStringLiteral("2024/06/01");
    const QString blank = QStringLiteral(" ");
    qint32 number = firstNumber;
    qsizetype styleIndex = 0;
    for (qsizetype f = 0; f < collection.lists.size(); ++f) {
        const QString file = QFileInfo(collection.files.at(f)).fileName();
        const qint32 fileFirst = number;
        for (const KORFStylePtr& style : collection.lists.at(f)) {
            const StyleFactsValues& facts = collection.facts.at(styleIndex++);
            insert.bindValue(0, number);
            insert.bindValue(1, style->StyleName1());
            insert.bindValue(2, style->StyleName2());
            insert.bindValue(3, style->StyleLength1());
            insert.bindValue(4, style->StyleLength2());
            insert.bindValue(5, style->StyleContent1());
            insert.bindValue(6, style->StyleContent2());
            insert.bindValue(7, style->StyleContent1().left(250));
            insert.bindValue(8, date);
            insert.bindValue(9, style->StyleName1());
            insert.bindValue(10, blank);
            insert.bindValue(11, blank);
            insert.bindValue(12, file);
            insert.bindValue(13, blank);
            insert.bindValue(14, facts.Tempo ? QVariant(*facts.Tempo) : QVariant(QMetaType::fromType<int>()));
            insert.bindValue(15, facts.Meter);
            const std::optional<qint64> fingerprints[] = {facts.FingerprintExact, facts.FingerprintRenamed,
                                                          facts.FingerprintSettings};
            for (int k = 0; k < 3; ++k)
                insert.bindValue(16 + k, fingerprints[k] ? QVariant(*fingerprints[k])
                                                         : QVariant(QMetaType::fromType<qint64>()));
            Database::exec(insert);
            const KORFEntry* entries[] = {&style->StyleEntry1(), &style->StyleEntry2()};
            for (int block = 1; block <= 2; ++block) {
                if (entries[block - 1]->isEmpty())
                    continue;
                entry.bindValue(0, number);
                entry.bindValue(1, block);
                entry.bindValue(2, entries[block - 1]->timestampText());
                entry.bindValue(3, entries[block - 1]->systemText());
                entry.bindValue(4, entries[block - 1]->properties());
                Database::exec(entry);
            }
            ++number;
        }
        bank.bindValue(0, firstBank + int(f));
        bank.bindValue(1, QStringLiteral("B%1").arg(firstBank + f, 7, 10, QLatin1Char('0')));
        bank.bindValue(2, QStringLiteral("Bank B%1").arg(f));
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
            bank.bindValue(2 + k, fileFirst + k - 1);
        Database::exec(bank);
    }
    insert.finish();
    Database::exec(begin, QStringLiteral("COMMIT"));
    return timer.nsecsElapsed() / 1e9;
}

// The small styles stored before the import is measured (blocks of about 200 bytes).
QList<QByteArray> smallBlocks(int count) {
    QList<QByteArray> blocks;
    blocks.reserve(count);
    QRandomGenerator random(7);
    for (int i = 1; i <= count; ++i)
        blocks.append(QByteArray("\x06\x00\x00\x30", 4) + KORFBytes::LongToBytes(192) +
                      randomBytes(random, 192));
    return blocks;
}

// The small styles stored in the program's library, each with its exact fingerprint as the program
// stores every style, and in the bare floor's.
void preload(const QString& path, const QString& barePath, const QList<QByteArray>& blocks) {
    Database db(path);
    QSqlQuery query(db.connection());
    Database::exec(query, QStringLiteral("BEGIN"));
    query.prepare(QStringLiteral("INSERT INTO KORFStyles (StyleProg,StyleName1,StyleName2,StyleLength1,"
                                 "StyleLength2,StyleContent1,StyleContent2,StyleSeek,StyleDate,StyleDesc,"
                                 "StyleCat,StyleFamily,StyleFile,StyleAuthor,FingerprintExact) "
                                 "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    bench::BareLibrary bare(barePath);
    bare.begin();
    for (int i = 1; i <= blocks.size(); ++i) {
        const QByteArray& block = blocks.at(i - 1);
        const QVariant values[] = {i,
                                   QStringLiteral("Small %1").arg(i),
                                   QString(),
                                   qint32(block.size()),
                                   0,
                                   block,
                                   QByteArray(" "),
                                   block.left(250),
                                   QStringLiteral("2024/06/01"),
                                   QString(),
                                   QString(),
                                   QString(),
                                   QStringLiteral("SMALL.STY"),
                                   QString(),
                                   StyleFingerprint::exact(block, QByteArray(" "))};
        for (int v = 0; v < 15; ++v)
            query.bindValue(v, values[v]);
        Database::exec(query);
        bare.insert(i, block, QByteArray(" "));
    }
    QSqlQuery commit(db.connection());
    Database::exec(commit, QStringLiteral("COMMIT"));
    bare.commit();
}

// A copy of the prepared start (an empty database or the preloaded one) to run on.
QString startFrom(const QString& base, const QString& name) {
    const QString path = QDir(QFileInfo(base).path()).filePath(name);
    QFile::remove(path);
    if (!QFile::copy(base, path))
        throw SbkError(QStringLiteral("cannot copy %1").arg(base));
    return path;
}

// facts: whether the import reads the tempo and meter of each style (as the program does);
// archive: the collection's files from this archive instead of their folder.
// counts: the page counts of its connection, when given.
double runImport(const QString& databasePath, const Collection& collection, bool facts = true,
                 const QString& archive = QString(), QString* counts = nullptr) {
    Database db(databasePath);
    StyImport import(db.connection());
    if (!facts)
        import.setFactsReader({});
    QElapsedTimer timer;
    timer.start();
    const QString log = import.run(archive.isEmpty() ? collection.folder : archive, archive.isEmpty(),
                                   QString(), QString(), QString());
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (counts)
        *counts = bench::pageCounts(db.connection());
    if (import.stylesStored() != collection.styles)
        throw SbkError(QStringLiteral("The import stored %1 styles, not %2.")
                           .arg(import.stylesStored())
                           .arg(collection.styles));
    if (facts && !log.isEmpty())
        throw SbkError(QStringLiteral("The import logged: %1").arg(log.left(300)));
    return seconds;
}

double floorRun(const QString& databasePath, const Collection& collection, int stored,
                QString* counts = nullptr) {
    Database db(databasePath);
    const double seconds = insertPlain(db.connection(), collection, stored + 1, 1);
    if (counts)
        *counts = bench::pageCounts(db.connection());
    return seconds;
}

// The bare floor: each file read and its blocks inserted, as they lie in the file, into the bare
// library. Returns the seconds.
double bareFloorRun(const QString& databasePath, const Collection& collection, int stored,
                    QString* counts = nullptr) {
    bench::BareLibrary bare(databasePath);
    QElapsedTimer timer;
    timer.start();
    bare.begin();
    qint32 number = stored + 1;
    for (qsizetype f = 0; f < collection.files.size(); ++f) {
        QFile file(collection.files.at(f));
        if (!file.open(QIODevice::ReadOnly))
            throw SbkError(QStringLiteral("cannot read %1").arg(file.fileName()));
        const QByteArray bytes = file.readAll();
        for (const std::array<qsizetype, 4>& span : collection.spans.at(f)) {
            if (span[2] + span[3] > bytes.size())
                throw SbkError(QStringLiteral("%1 is shorter than it was").arg(file.fileName()));
            bare.insert(number++, QByteArray::fromRawData(bytes.constData() + span[0], span[1]),
                        QByteArray::fromRawData(bytes.constData() + span[2], span[3]));
        }
    }
    bare.commit();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (counts)
        *counts = bench::pageCounts(bare.connection());
    return seconds;
}

// The import of a collection's files from a ZIP of them (deflated, as packs are) beside their
// import from the folder, in turn, rounds times into an empty database; the median of each counts.
// Their styles are made of phrases (phraseBytes), so that the ZIP is as small as a real pack of them.
void measureZip(const QString& folder, const QString& empty, int files, int blockSize, int rounds) {
    QElapsedTimer timer;
    timer.start();
    const Collection collection = generate(QDir(folder).filePath(QStringLiteral("packed")), files, blockSize,
                                           Layout::Older, &phraseBytes);
    ArchiveMaker maker(ArchiveMaker::Kind::Zip);
    for (const QString& path : collection.files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw SbkError(QStringLiteral("cannot read %1").arg(path));
        maker.add("Bench.SET/STYLE/" + QFileInfo(path).fileName().toUtf8(), file.readAll());
    }
    const QString zip = QDir(folder).filePath(QStringLiteral("bench.zip"));
    QFile out(zip);
    if (!out.open(QIODevice::WriteOnly) || out.write(maker.bytes()) < 0 || !out.flush())
        throw SbkError(QStringLiteral("cannot write %1").arg(zip));
    out.close();
    qint64 unpacked = 0;
    for (const QString& path : collection.files)
        unpacked += QFileInfo(path).size();
    bench::line(QStringLiteral("%1 files of the older layout (%2 MB) and a ZIP of them (%3 MB) made in %4 s")
                    .arg(collection.files.size())
                    .arg(unpacked / 1e6, 0, 'f', 0)
                    .arg(QFileInfo(zip).size() / 1e6, 0, 'f', 0)
                    .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 1));
    QList<double> folderTimes, zipTimes;
    for (int round = 0; round < rounds; ++round) {
        for (const bool archive : {round % 2 == 0, round % 2 != 0}) {
            const QString path = startFrom(empty, QStringLiteral("run.mdb"));
            bench::settle();
            (archive ? zipTimes : folderTimes).append(runImport(path, collection, true, archive ? zip : QString()));
        }
    }
    // The median of the rounds, which one slow or fast round on a shared machine does not move.
    const auto median = [](QList<double> times) {
        std::sort(times.begin(), times.end());
        return times.at(times.size() / 2);
    };
    const double fromFolder = median(folderTimes), fromZip = median(zipTimes);
    bench::line(QStringLiteral("%1 %2 s, from the folder %3 s: %4 x (goal: at most 1.20)")
                    .arg(bench::padded(QStringLiteral("import from a ZIP")))
                    .arg(fromZip, 0, 'f', 2)
                    .arg(fromFolder, 0, 'f', 2)
                    .arg(fromZip / fromFolder, 0, 'f', 3));
    QFile::remove(zip);
}

// Prints the progress of opening the old library at every tenth of the way.
class PrintedProgress : public Progress {
public:
    void begin(qint64 total, const QString& label) override {
        m_total = total;
        m_timer.start();
        bench::line(QStringLiteral("  %1: %2 styles").arg(label).arg(total));
    }
    void step(qint64 done, const QString&) override {
        ++steps;
        if (m_total > 0 && done * 10 / m_total > m_shown) {
            m_shown = int(done * 10 / m_total);
            bench::line(QStringLiteral("  %1 of %2 after %3 s")
                            .arg(done)
                            .arg(m_total)
                            .arg(m_timer.nsecsElapsed() / 1e9, 0, 'f', 1));
        }
    }
    qint64 steps = 0;

private:
    qint64 m_total = 0;
    int m_shown = 0;
    QElapsedTimer m_timer;
};

// A library of the previous version holding count styles of about blockSize bytes; opened, it
// reads the facts of every one. Prints the time that takes.
void measureFill(const QString& folder, int count, int blockSize) {
    const QString path = bench::freshDatabase(folder, QStringLiteral("old.mdb"));
    QElapsedTimer timer;
    timer.start();
    {
        Database db(path);
        QSqlQuery query(db.connection());
        Database::exec(query, QStringLiteral("BEGIN"));
        query.prepare(QStringLiteral("INSERT INTO KORFStyles (StyleProg,StyleName1,StyleLength1,StyleLength2,"
                                     "StyleContent1,StyleContent2,StyleSeek) VALUES (?,?,?,?,?,?,?)"));
        QRandomGenerator random(99);
        for (int n = 0; n < count; ++n) {
            const auto [first, second] = styleBlocks(random, blockSize, n);
            const QVariant values[] = {n + 1,
                                       QStringLiteral("Old %1").arg(n),
                                       qint32(first.size()),
                                       qint32(second.size()),
                                       first,
                                       second,
                                       first.left(250)};
            for (int v = 0; v < 7; ++v)
                query.bindValue(v, values[v]);
            Database::exec(query);
        }
        QSqlQuery change(db.connection());
        Database::exec(change, QStringLiteral("COMMIT"));
        Database::exec(change, QStringLiteral("ALTER TABLE KORFStyles DROP COLUMN Tempo"));
        Database::exec(change, QStringLiteral("ALTER TABLE KORFStyles DROP COLUMN Meter"));
        Database::exec(change, QStringLiteral("PRAGMA user_version = 2"));
    }
    bench::line(QStringLiteral("a library of the previous version with %1 styles (blocks of about %2 and %3 "
                               "bytes, %4 MB) made in %5 s")
                    .arg(count)
                    .arg(blockSize)
                    .arg(blockSize / 4)
                    .arg(QFileInfo(path).size() / 1e6, 0, 'f', 0)
                    .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 1));
    PrintedProgress progress;
    timer.restart();
    qint64 without = 0;
    {
        Database db(path, {&StyleFacts::read, &progress});
        without = db.stylesWithoutFacts();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    bench::line(QStringLiteral("%1 %2 s  %3 styles/s  (%4 progress steps, %5 styles without facts)")
                    .arg(bench::padded(QStringLiteral("opening it, facts of every style read")))
                    .arg(seconds, 7, 'f', 2)
                    .arg(count / seconds, 0, 'f', 0)
                    .arg(progress.steps)
                    .arg(without));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto given =
        bench::options(app.arguments().mid(1), {QStringLiteral("--files"), QStringLiteral("--block-size"),
                                                QStringLiteral("--preload"), QStringLiteral("--fill"),
                                                QStringLiteral("--fill-block-size"),
                                                QStringLiteral("--rounds"), QStringLiteral("--folder"),
                                                QStringLiteral("--only")});
    const auto number = [&given](const char* name, int otherwise) {
        return given ? given->value(QLatin1String(name), QString::number(otherwise)).toInt() : -1;
    };
    const int files = number("--files", 200);
    const int blockSize = number("--block-size", 16384);
    const int preloadCount = number("--preload", 100000);
    const int fillCount = number("--fill", 100000);
    const int fillBlockSize = number("--fill-block-size", 4096);
    const int rounds = number("--rounds", 5);
    // --only floor|bare|import: that run alone, once for each layout into the preloaded library
    // (for a profiler), and nothing else; --only zip: the import from a ZIP beside the folder alone.
    const QString only = given ? given->value(QStringLiteral("--only")) : QString();
    if (files < 1 || blockSize < 1024 || preloadCount < 0 || fillCount < 0 || fillBlockSize < 1024 ||
        rounds < 1 || !QStringList{QString(), QStringLiteral("floor"), QStringLiteral("bare"),
                                   QStringLiteral("import"), QStringLiteral("zip")}
                            .contains(only)) {
        std::fprintf(stderr, "usage: sbk-bench-import [--files N >= 1] [--block-size BYTES >= 1024] "
                             "[--preload N] [--fill N] [--fill-block-size BYTES >= 1024] [--rounds N >= 1] "
                             "[--folder DIR] [--only floor|bare|import|zip]\n");
        return 2;
    }
    QTemporaryDir temporary;
    const QString folder = bench::workFolder(given->value(QStringLiteral("--folder")), temporary);

    try {
        if (only == QStringLiteral("zip")) {
            measureZip(folder, bench::freshDatabase(folder, QStringLiteral("empty.mdb")), files, blockSize,
                       rounds);
            return 0;
        }
        QElapsedTimer timer;
        timer.start();
        const Collection older =
            generate(QDir(folder).filePath(QStringLiteral("older")), files, blockSize, Layout::Older);
        const Collection newer =
            generate(QDir(folder).filePath(QStringLiteral("newer")), files, blockSize, Layout::Newer);
        const QString empty = bench::freshDatabase(folder, QStringLiteral("empty.mdb"));
        const QString preloaded = bench::freshDatabase(folder, QStringLiteral("preloaded.mdb"));
        const QString bareEmpty = bench::bareDatabase(folder, QStringLiteral("bare-empty.mdb"));
        const QString barePreloaded = bench::bareDatabase(folder, QStringLiteral("bare-preloaded.mdb"));
        preload(preloaded, barePreloaded, smallBlocks(preloadCount));
        bench::line(
            QStringLiteral("%1 files x %2 styles in each layout (first blocks of about %3 bytes, second "
                           "blocks a quarter), %4 small styles preloaded: made in %5 s")
                .arg(files)
                .arg(StylesPerFile)
                .arg(blockSize)
                .arg(preloadCount)
                .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 1));
        if (!only.isEmpty()) {
            for (const Collection* collection : {&older, &newer}) {
                const QString path = startFrom(only == QStringLiteral("bare") ? barePreloaded : preloaded,
                                               QStringLiteral("run.mdb"));
                bench::settle();
                QString counts;
                const double seconds =
                    only == QStringLiteral("bare")    ? bareFloorRun(path, *collection, preloadCount, &counts)
                    : only == QStringLiteral("floor") ? floorRun(path, *collection, preloadCount, &counts)
                                                     : runImport(path, *collection, true, QString(), &counts);
                bench::line(QStringLiteral("%1, %2 layout: %3 s, %4")
                                .arg(only, collection == &older ? QStringLiteral("older") : QStringLiteral("newer"))
                                .arg(seconds, 0, 'f', 2)
                                .arg(counts));
            }
            return 0;
        }
        bench::line(QStringLiteral("%1 %2 %3 %4 %5 %6")
                        .arg(bench::padded(QStringLiteral("import (medians of %1 rounds)").arg(rounds)),
                             QStringLiteral("import s"), QStringLiteral("floor s"), QStringLiteral("of floor"),
                             QStringLiteral("bare s"), QStringLiteral("of bare")));

        // Each case: the floor, the bare floor and the import in turn, rounds times, each on a copy
        // of its start; the median of each counts.
        for (const Collection* collection : {&older, &newer}) {
            const QString layout = collection == &older ? QStringLiteral("older") : QStringLiteral("newer");
            for (const int stored : {0, preloadCount}) {
                const QString& base = stored == 0 ? empty : preloaded;
                const QString& bareBase = stored == 0 ? bareEmpty : barePreloaded;
                QList<double> floors, bares, imports;
                std::array<QList<double>, 3> cpu; // of the floor, the bare floor and the import
                for (int round = 0; round < rounds; ++round) {
                    // In turn first, second and third, each after the writes before it reached the disk.
                    for (int turn = 0; turn < 3; ++turn) {
                        const int which = (round + turn) % 3;
                        const QString path =
                            startFrom(which == 1 ? bareBase : base, QStringLiteral("run.mdb"));
                        bench::settle();
                        const double cpuBefore = bench::cpuSeconds();
                        if (which == 0)
                            floors.append(floorRun(path, *collection, stored));
                        else if (which == 1)
                            bares.append(bareFloorRun(path, *collection, stored));
                        else
                            imports.append(runImport(path, *collection));
                        cpu[size_t(which)].append(bench::cpuSeconds() - cpuBefore);
                    }
                }
                const double import = bench::median(imports), floor = bench::median(floors),
                             bare = bench::median(bares);
                bench::line(QStringLiteral("%1 %2 %3 %4 %5 %6")
                                .arg(bench::padded(
                                    QStringLiteral("%1 layout, %2 styles stored").arg(layout).arg(stored)))
                                .arg(import, 8, 'f', 2)
                                .arg(floor, 7, 'f', 2)
                                .arg(floor / import, 8, 'f', 2)
                                .arg(bare, 6, 'f', 2)
                                .arg(bare / import, 7, 'f', 2));
                const double importCpu = bench::median(cpu[2]), floorCpu = bench::median(cpu[0]),
                             bareCpu = bench::median(cpu[1]);
                bench::line(
                    QStringLiteral("%1 %2 %3 %4 %5 %6")
                        .arg(bench::padded(QStringLiteral("  the same in CPU time (user and system)")))
                        .arg(importCpu, 8, 'f', 2)
                        .arg(floorCpu, 7, 'f', 2)
                        .arg(floorCpu / importCpu, 8, 'f', 2)
                        .arg(bareCpu, 6, 'f', 2)
                        .arg(bareCpu / importCpu, 7, 'f', 2));
            }
        }
        bench::line(
            QStringLiteral("of floor: the import's speed as a share of plain prepared inserts of the same "
                           "rows; of bare: as a share of the same files read and their blocks inserted with "
                           "one index (goal: at least 0.90)"));

        // The facts' cost: the same import without reading them and with, in turn.
        double withFacts = 1e100, withoutFacts = 1e100;
        for (int round = 0; round < rounds; ++round) {
            for (const bool facts : {false, true}) {
                const QString path = startFrom(empty, QStringLiteral("run.mdb"));
                bench::settle();
                double& best = facts ? withFacts : withoutFacts;
                best = qMin(best, runImport(path, older, facts));
            }
        }
        bench::line(QStringLiteral("%1 %2 s, without them %3 s: %4 x")
                        .arg(bench::padded(QStringLiteral("import with tempo and meter")))
                        .arg(withFacts, 0, 'f', 2)
                        .arg(withoutFacts, 0, 'f', 2)
                        .arg(withFacts / withoutFacts, 0, 'f', 3));
        measureZip(folder, empty, files, blockSize, rounds);
        if (fillCount > 0)
            measureFill(folder, fillCount, fillBlockSize);
        bench::line(QStringLiteral("peak memory: %1 MB").arg(bench::peakMegabytes(), 0, 'f', 0));
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-import: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
