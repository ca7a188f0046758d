// sbk-bench-import: how fast the style import stores STY files, beside a floor measured in the
// same run (the same blocks inserted with plain prepared statements in one transaction), into an
// empty database and into one that already holds many small styles.
//
//   sbk-bench-import [--files N] [--block-size BYTES] [--preload N] [--folder DIR]
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/KORFStyles.h"
#include "sty/KORFBytes.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int StylesPerFile = 32;

QTextStream out(stdout);

QByteArray randomBlock(QRandomGenerator& random, int bodySize, const QByteArray& chunkId) {
    QByteArray body(bodySize, Qt::Uninitialized);
    random.fillRange(reinterpret_cast<quint32*>(body.data()), bodySize / 4);
    return chunkId + KORFBytes::LongToBytes(bodySize) + body;
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
            const QByteArray first = randomBlock(random, size1, QByteArray("\x06\x00\x00\x30", 4));
            const QByteArray second =
                randomBlock(random, (size1 / 4) & ~3, QByteArray("\x09\x01\x00\x30", 4));
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

Figure runImport(const QString& databasePath, const QString& folder, const Collection& collection) {
    Database db(databasePath);
    StyImport import(db.connection());
    QElapsedTimer timer;
    timer.start();
    import.run(folder, true, QString(), QString(), QString());
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (import.stylesStored() != collection.styles)
        throw SbkError(QStringLiteral("The import stored %1 styles, not %2.")
                           .arg(import.stylesStored())
                           .arg(collection.styles));
    return {seconds, collection.styles, collection.bytes};
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
    QString folder;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--files"))
            files = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--block-size"))
            blockSize = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--preload"))
            preloadCount = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--folder"))
            folder = args[i + 1];
        else {
            std::fprintf(
                stderr,
                "usage: sbk-bench-import [--files N] [--block-size BYTES] [--preload N] [--folder DIR]\n");
            return 2;
        }
    }
    if (files < 1 || blockSize < 1024 || preloadCount < 0) {
        std::fprintf(stderr, "sbk-bench-import: --files >= 1, --block-size >= 1024, --preload >= 0\n");
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
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-import: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
