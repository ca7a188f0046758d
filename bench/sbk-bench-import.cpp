// sbk-bench-import: how fast the style import stores STY files, beside a floor measured in the
// same run (the same blocks inserted with plain prepared statements in one transaction), into an
// empty database and into one that already holds many small styles; what reading the tempo and
// meter of every style costs the import (the same import with and without it, alternately); and
// how long opening a library of the previous version takes, which reads the facts of every stored
// style. The generated blocks are compressed chunk trees as instruments save them (OC31 streams of
// literal runs), their facts in front and the bulk of their data after them.
//
//   sbk-bench-import [--files N] [--block-size BYTES] [--preload N] [--fill N] [--fill-block-size BYTES]
//                    [--folder DIR]
#include "core/Progress.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/KORFStyles.h"
#include "sty/KORFBytes.h"
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
#include <QTextStream>

namespace {

constexpr int StylesPerFile = 32;

QTextStream out(stdout);

QByteArray randomBytes(QRandomGenerator& random, int size) {
    QByteArray body(size, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(body.data()), size / 4);
    return body;
}

QByteArray randomBlock(QRandomGenerator& random, int bodySize, const QByteArray& chunkId) {
    return chunkId + KORFBytes::LongToBytes(bodySize) + randomBytes(random, bodySize);
}

// A style's two blocks of about size and size / 4 bytes, the meter and tempo varying with n.
std::pair<QByteArray, QByteArray> styleBlocks(QRandomGenerator& random, int size, int n) {
    static const quint8 meters[] = {0x22, 0x1A, 0x33, 0x63, 0x12};
    const bool newer = n % 2;
    return {StyleBlocks::styleBlock(meters[n % 5], newer, randomBytes(random, qMax(4, size - 220) & ~3)),
            StyleBlocks::performanceBlock(40 + n % 200, newer,
                                          randomBytes(random, qMax(4, size / 4 - 250) & ~3))};
}

struct Collection {
    QStringList files;
    QList<KORFStyles> lists;
    qint64 styles = 0;
    qint64 bytes = 0;
};

// N bank files of 32 styles: a first block of about blockSize bytes and a second of a quarter.
Collection generate(const QString& folder, int fileCount, int blockSize) {
    Collection collection;
    QRandomGenerator random(20240601);
    KORFLibrary library;
    for (int f = 0; f < fileCount; ++f) {
        KORFStyles styles;
        for (int s = 0; s < StylesPerFile; ++s) {
            const int size1 = (blockSize - 512 + int(random.bounded(1024))) & ~3;
            const auto [first, second] = styleBlocks(random, size1, f * StylesPerFile + s);
            styles.Add(s + 1, QStringLiteral("Bench %1-%2").arg(f).arg(s), QStringLiteral("Perf"),
                       qint32(first.size()), qint32(second.size()), first, second);
            collection.bytes += first.size() + second.size();
            ++collection.styles;
        }
        const QString path = QDir(folder).filePath(QStringLiteral("B%1.STY").arg(f, 4, 10, QLatin1Char('0')));
        library.WriteStyleFromCollection(path, styles, 17);
        collection.files.append(path);
        collection.lists.append(styles);
    }
    return collection;
}

QString freshDatabase(const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    QFile::remove(path);
    Database::createEmpty(path);
    return path;
}

void insertPlain(QSqlDatabase db, const QList<KORFStyles>& lists, qint32 firstNumber) {
    QSqlQuery begin(db);
    Database::exec(begin, QStringLiteral("BEGIN"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO KORFStyles (StyleProg,StyleName1,StyleName2,StyleLength1,StyleLength2,StyleContent1,"
        "StyleContent2,StyleSeek,StyleDate,StyleDesc,StyleCat,StyleFamily,StyleFile,StyleAuthor) "
        "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    qint32 number = firstNumber;
    for (const KORFStyles& styles : lists) {
        for (const KORFStylePtr& style : styles) {
            insert.bindValue(0, number++);
            insert.bindValue(1, style->StyleName1());
            insert.bindValue(2, style->StyleName2());
            insert.bindValue(3, style->StyleLength1());
            insert.bindValue(4, style->StyleLength2());
            insert.bindValue(5, style->StyleContent1());
            insert.bindValue(6, style->StyleContent2());
            insert.bindValue(7, style->StyleContent1().left(250));
            insert.bindValue(8, QStringLiteral("2024/06/01"));
            insert.bindValue(9, style->StyleName1());
            insert.bindValue(10, QStringLiteral(" "));
            insert.bindValue(11, QStringLiteral(" "));
            insert.bindValue(12, QStringLiteral("BENCH.STY"));
            insert.bindValue(13, QStringLiteral(" "));
            Database::exec(insert);
        }
    }
    Database::exec(begin, QStringLiteral("COMMIT"));
}

// many small styles (blocks of about 200 bytes), stored before the import is measured.
void preload(QSqlDatabase db, int count) {
    QRandomGenerator random(7);
    QList<KORFStyles> lists;
    KORFStyles styles;
    for (int i = 0; i < count; ++i) {
        const QByteArray block = randomBlock(random, 192, QByteArray("\x06\x00\x00\x30", 4));
        styles.Add(i + 1, QStringLiteral("Small %1").arg(i), QString(), qint32(block.size()), 0, block,
                   QByteArray(" "));
    }
    lists.append(styles);
    insertPlain(db, lists, 1);
}

struct Figure {
    double seconds;
    qint64 styles;
    qint64 bytes;
    double stylesPerSecond() const { return styles / seconds; }
    double megabytesPerSecond() const { return bytes / seconds / 1e6; }
};

void print(const char* what, const Figure& figure) {
    out << QStringLiteral("%1 %2 s  %3 styles/s  %4 MB/s\n")
               .arg(QLatin1String(what), -34)
               .arg(figure.seconds, 8, 'f', 2)
               .arg(figure.stylesPerSecond(), 9, 'f', 0)
               .arg(figure.megabytesPerSecond(), 7, 'f', 1);
    out.flush();
}

// facts: whether the import reads the tempo and meter of each style (as the program does).
Figure runImport(const QString& databasePath, const QString& folder, const Collection& collection,
                 bool facts = true) {
    Database db(databasePath);
    StyImport import(db.connection());
    if (!facts)
        import.setFactsReader({});
    QElapsedTimer timer;
    timer.start();
    const QString log = import.run(folder, true, QString(), QString(), QString());
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (import.stylesStored() != collection.styles)
        throw SbkError(QStringLiteral("The import stored %1 styles, not %2.")
                           .arg(import.stylesStored())
                           .arg(collection.styles));
    if (facts && !log.isEmpty())
        throw SbkError(QStringLiteral("The import did not read every style's facts: %1").arg(log.left(300)));
    return {seconds, collection.styles, collection.bytes};
}

// Prints the progress of opening the old library at every tenth of the way.
class PrintedProgress : public Progress {
public:
    void begin(qint64 total, const QString& label) override {
        m_total = total;
        m_timer.start();
        out << QStringLiteral("  %1: %2 styles\n").arg(label).arg(total);
        out.flush();
    }
    void step(qint64 done, const QString&) override {
        ++steps;
        if (m_total > 0 && done * 10 / m_total > m_shown) {
            m_shown = int(done * 10 / m_total);
            out << QStringLiteral("  %1 of %2 after %3 s\n")
                       .arg(done)
                       .arg(m_total)
                       .arg(m_timer.nsecsElapsed() / 1e9, 0, 'f', 1);
            out.flush();
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
    const QString path = freshDatabase(folder, QStringLiteral("old.mdb"));
    QElapsedTimer timer;
    timer.start();
    {
        Database db(path);
        QRandomGenerator random(99);
        QList<KORFStyles> lists;
        for (int done = 0, n = 0; done < count; done += StylesPerFile * 32) {
            lists.clear();
            for (int f = 0; f < 32 && n < count; ++f) {
                KORFStyles styles;
                for (int s = 0; s < StylesPerFile && n < count; ++s, ++n) {
                    const auto [first, second] = styleBlocks(random, blockSize, n);
                    styles.Add(s + 1, QStringLiteral("Old %1").arg(n), QString(), qint32(first.size()),
                               qint32(second.size()), first, second);
                }
                lists.append(styles);
            }
            insertPlain(db.connection(), lists, done + 1);
        }
        QSqlQuery query(db.connection());
        Database::exec(query, QStringLiteral("ALTER TABLE KORFStyles DROP COLUMN Tempo"));
        Database::exec(query, QStringLiteral("ALTER TABLE KORFStyles DROP COLUMN Meter"));
        Database::exec(query, QStringLiteral("PRAGMA user_version = 2"));
    }
    out << QStringLiteral(
               "a library of the previous version with %1 styles (blocks of about %2 and %3 bytes, "
               "%4 MB) made in %5 s\n")
               .arg(count)
               .arg(blockSize)
               .arg(blockSize / 4)
               .arg(QFileInfo(path).size() / 1e6, 0, 'f', 0)
               .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 1);
    out.flush();
    PrintedProgress progress;
    timer.restart();
    qint64 without = 0;
    {
        Database db(path, {&StyleFacts::read, &progress});
        without = db.stylesWithoutFacts();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    out << QStringLiteral("%1 %2 s  %3 styles/s  (%4 progress steps, %5 styles without facts)\n")
               .arg(QStringLiteral("opening it, facts of every style read"), -34)
               .arg(seconds, 8, 'f', 2)
               .arg(count / seconds, 9, 'f', 0)
               .arg(progress.steps)
               .arg(without);
    out.flush();
}

Figure measureFloor(const QString& folder, const Collection& collection) {
    const QString path = freshDatabase(folder, QStringLiteral("floor.mdb"));
    Database db(path);
    QElapsedTimer timer;
    timer.start();
    insertPlain(db.connection(), collection.lists, 1);
    return {timer.nsecsElapsed() / 1e9, collection.styles, collection.bytes};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int files = 200;
    int blockSize = 16384;
    int preloadCount = 100000;
    int fillCount = 100000;
    int fillBlockSize = 4096;
    QString folder;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--files"))
            files = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--block-size"))
            blockSize = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--preload"))
            preloadCount = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--fill"))
            fillCount = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--fill-block-size"))
            fillBlockSize = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--folder"))
            folder = args[i + 1];
        else {
            std::fprintf(stderr,
                         "usage: sbk-bench-import [--files N] [--block-size BYTES] [--preload N] [--fill N] "
                         "[--fill-block-size BYTES] [--folder DIR]\n");
            return 2;
        }
    }
    if (files < 1 || blockSize < 1024 || preloadCount < 0 || fillCount < 0 || fillBlockSize < 1024) {
        std::fprintf(stderr,
                     "sbk-bench-import: --files >= 1, --block-size >= 1024, --preload >= 0, --fill >= 0, "
                     "--fill-block-size >= 1024\n");
        return 2;
    }
    QTemporaryDir temporary;
    if (folder.isEmpty())
        folder = temporary.path();
    const QString styFolder = QDir(folder).filePath(QStringLiteral("sty"));
    QDir().mkpath(styFolder);

    try {
        out << QStringLiteral(
                   "Generating %1 files x %2 styles, first blocks of about %3 bytes, second blocks a "
                   "quarter of that, in %4\n")
                   .arg(files)
                   .arg(StylesPerFile)
                   .arg(blockSize)
                   .arg(folder);
        out.flush();
        const Collection collection = generate(styFolder, files, blockSize);
        out << QStringLiteral("%1 styles, %2 MB of style data\n")
                   .arg(collection.styles)
                   .arg(collection.bytes / 1e6, 0, 'f', 1);

        // Floor: the same blocks with plain prepared inserts in one transaction, measured before and after
        // the imports so that both meet the same state of the disk cache; the faster one counts.
        const Figure floorBefore = measureFloor(folder, collection);
        print("floor (plain prepared inserts)", floorBefore);
        const Figure empty =
            runImport(freshDatabase(folder, QStringLiteral("empty.mdb")), styFolder, collection);
        print("import into an empty database", empty);

        // The facts' cost: the same import without reading them and with, twice each in turn; the
        // faster run of each counts.
        double withFacts = empty.seconds, withoutFacts = 1e100;
        for (int round = 0; round < 2; ++round) {
            const Figure off =
                runImport(freshDatabase(folder, QStringLiteral("off.mdb")), styFolder, collection, false);
            print("  the same without tempo and meter", off);
            const Figure on =
                runImport(freshDatabase(folder, QStringLiteral("on.mdb")), styFolder, collection);
            print("  the same with tempo and meter", on);
            withoutFacts = qMin(withoutFacts, off.seconds);
            withFacts = qMin(withFacts, on.seconds);
        }
        out << QStringLiteral("import with tempo and meter / without: %1x\n")
                   .arg(withFacts / withoutFacts, 0, 'f', 3);

        const QString fullPath = freshDatabase(folder, QStringLiteral("full.mdb"));
        {
            Database db(fullPath);
            preload(db.connection(), preloadCount);
        }
        const Figure full = runImport(fullPath, styFolder, collection);
        print(qPrintable(QStringLiteral("import with %1 styles present").arg(preloadCount)), full);

        const Figure floorAfter = measureFloor(folder, collection);
        print("floor, measured again", floorAfter);
        const Figure floor = floorBefore.seconds < floorAfter.seconds ? floorBefore : floorAfter;

        out << QStringLiteral("import / floor: %1 %   per-style cost with %2 styles present / empty: %3x\n")
                   .arg(100.0 * empty.stylesPerSecond() / floor.stylesPerSecond(), 0, 'f', 0)
                   .arg(preloadCount)
                   .arg(full.seconds / empty.seconds, 0, 'f', 2);
        if (fillCount > 0)
            measureFill(folder, fillCount, fillBlockSize);
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-import: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
