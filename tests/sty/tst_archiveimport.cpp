// The import from archives: a folder of packs as they are downloaded (ZIP, 7z, tar with archives
// inside to a depth of 3), instrument-saved files from an archive stored as from their folder, and
// every kind of damaged or hostile archive named in the log with nothing of it kept.
#include "ArchiveMaker.h"
#include "core/ArchiveReader.h"
#include "core/ZipInflater.h"
#include "sty/ImportSource.h"
#include "sty/KORFLibrary.h"
#include "sty/StyleFacts.h"
#include "StyTestData.h"

#include <QDirIterator>
#include <QtEndian>
#include <QtTest>

using namespace StyTestData;
using Kind = ArchiveMaker::Kind;

namespace {

// A tar written entry by entry at its place in the file: an entry without bytes is a hole of its
// declared size, so that a test holds no entry of hundreds of MB.
void writeTar(const QString& path, const QList<std::tuple<QByteArray, qint64, QByteArray>>& entries) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    qint64 at = 0;
    for (const auto& [name, size, bytes] : entries) {
        file.seek(at);
        file.write(ArchiveMaker::tarHeader(name, size) + bytes);
        at += 512 + (size + 511) / 512 * 512;
    }
    QVERIFY(file.resize(at + 1024));
}

// Every item an archive reader gives, as a line: its kind, where it is, its problem and its bytes.
QStringList itemsOf(ArchiveReader& reader) {
    QStringList items;
    for (ArchiveReader::Item item; reader.next(item);)
        items << QStringLiteral("%1 %2 %3 %4")
                     .arg(int(item.kind))
                     .arg(item.shown, item.problem, QString::fromLatin1(item.bytes.toHex().left(64)))
                     .append(QString::number(qHash(item.bytes)));
    return items;
}

// A ZIP of count banks E0.STY, E1.STY, ... deflated, with entries after them.
QByteArray banksZip(int count, const QList<std::pair<QByteArray, QByteArray>>& after = {},
                    Kind kind = Kind::Zip) {
    ArchiveMaker maker(kind);
    for (int i = 0; i < count; ++i)
        maker.add("E" + QByteArray::number(i) + ".STY", bankFile(2, i));
    for (const auto& [name, bytes] : after)
        maker.add(name, bytes);
    return maker.bytes();
}

} // namespace

class TestArchiveImport : public QObject {
    Q_OBJECT

private slots:
    void packsAsTheyArrive() {
        // A ZIP with a SET folder, a text file, the resource files a Mac adds and a 7z inside, which
        // holds a tar.xz (the third archive deep), which holds a tgz (a fourth: not read); a tar.bz2
        // in a subfolder and a plain STY file beside them.
        ImportFixture f;
        const QByteArray deeper = ArchiveMaker::make(Kind::TarGz, {{"X.STY", bankFile(1, 9)}});
        const QByteArray deep =
            ArchiveMaker::make(Kind::TarXz, {{"D.STY", bankFile(1, 4)}, {"Deeper.tgz", deeper}});
        const QByteArray more = ArchiveMaker::make(
            Kind::SevenZip, {{"Jazz.SET/STYLE/USER01.STY", bankFile(1, 3)}, {"deep.tar.xz", deep}});
        f.env.writeFile("in/PopPack.zip",
                        ArchiveMaker::make(Kind::Zip, {{"Pop.SET/", {}},
                                                       {"Pop.SET/STYLE/USER01.STY", bankFile(2, 1)},
                                                       {"Pop.SET\\STYLE\\user02.sty", bankFile(1, 2)},
                                                       {"readme.txt", "Enjoy"},
                                                       {"__MACOSX/Pop.SET/._USER01.STY", "fork"},
                                                       {"More.7z", more}}));
        f.env.writeFile("in/A.STY", bankFile(1, 6));
        f.env.writeFile("in/sub/Latin.tar.bz2",
                        ArchiveMaker::make(Kind::TarBz2, {{"./LATIN.STY", bankFile(1, 5)}}));
        QStringList shown;
        f.import.setPicker([&shown](const StyImport::PickerRequest& request) {
            shown << request.shortName;
            StyImport::PickerAnswer answer{{}, request.values};
            answer.picked.fill(true);
            return std::optional(answer);
        });
        f.import.setSubfolders(true);
        QCOMPARE(f.run("in", true),
                 "PopPack.zip/More.7z/deep.tar.xz/Deeper.tgz is an archive inside 3 others; "
                 "archives are read to a depth of 3; it was passed over\r\n"
                 "PopPack.zip: 2 entries that are neither STY files nor archives were "
                 "passed over\r\n");
        // The picker and the log name each entry by its path; the database by its own file name.
        QCOMPARE(shown, (QStringList{"A.STY", "PopPack.zip/Pop.SET/STYLE/USER01.STY",
                                     "PopPack.zip/Pop.SET/STYLE/user02.sty",
                                     "PopPack.zip/More.7z/Jazz.SET/STYLE/USER01.STY",
                                     "PopPack.zip/More.7z/deep.tar.xz/D.STY", "Latin.tar.bz2/LATIN.STY"}));
        QCOMPARE(f.rows("SELECT StyleFile FROM KORFStyles ORDER BY StyleProg"),
                 (QStringList{"A.STY", "USER01.STY", "USER01.STY", "user02.sty", "USER01.STY", "D.STY",
                              "LATIN.STY"}));
        QCOMPARE(f.rows("SELECT BankName, BankStyle01, BankStyle02 FROM KORFBanks ORDER BY BankProg"),
                 (QStringList{"A001|1|0", "USER0002|2|3", "USER0003|4|0", "USER0004|5|0", "D005|6|0",
                              "LATIN006|7|0"}));
        // Counted before the run: every entry taken and the one passed over.
        QCOMPARE(f.import.fileCount(), 7);
        QCOMPARE(f.import.filesDone(), 7);

        f.import.setPicker({});
        const QString again = f.run("in", true);
        QCOMPARE(int(again.count("will not be imported")), 7);
        QVERIFY2(
            again.contains("Style Style 1          (1) from file PopPack.zip/Pop.SET/STYLE/USER01.STY is "
                           "the same as style Style 1          (2) from file USER01.STY"),
            qPrintable(again));
    }

    void realFilesFromAnArchive() {
        const QString folder = qEnvironmentVariable("SBK_REAL_STY");
        if (folder.isEmpty() || !QDir(folder).exists())
            QSKIP("the folder of instrument-saved STY files is not available");
        // Every instrument-saved file, from a ZIP and again from a 7z inside it, is stored as the
        // same file from its folder: its blocks, directory entries, tempo and meter.
        QList<std::pair<QByteArray, QByteArray>> entries;
        QDirIterator it(folder, {"*.STY"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            entries.append({QDir(folder).relativeFilePath(path).toUtf8(), TestEnvironment::readFile(path)});
        }
        QList<std::pair<QByteArray, QByteArray>> packed = entries;
        packed.append({"again.7z", ArchiveMaker::make(Kind::SevenZip, entries)});
        const QString sql =
            "SELECT StyleName1, StyleName2, hex(StyleContent1), hex(StyleContent2), StyleFile, "
            "Tempo, Meter, (SELECT group_concat(hex(EntryProperties)) FROM KORFEntries e "
            "WHERE e.StyleProg = s.StyleProg) FROM KORFStyles s";
        QStringList stored[2];
        for (int i = 0; i < 2; ++i) {
            ImportFixture f;
            f.import.setFactsReader(&StyleFacts::read);
            f.import.setPolicy(StyImport::Policy::ImportAll);
            f.import.setSubfolders(true);
            const QString path =
                i == 0 ? folder : f.env.writeFile("Real.zip", ArchiveMaker::make(Kind::Zip, packed));
            QCOMPARE(f.import.run(path, i == 0, {}, {}, {}), QString());
            stored[i] = f.rows(sql);
            stored[i].sort();
            if (i == 0)
                stored[0] += stored[0];
            QCOMPARE(f.import.banksStored(), int(entries.size()) * (i + 1));
        }
        stored[0].sort();
        QCOMPARE(stored[1], stored[0]);
    }

    void damagedAndHostileArchivesArePassedOver() {
        ImportFixture f;
        f.env.writeFile("in/A.STY", bankFile(1, 1));
        // Read up to where it is cut or found to be a bomb: what came before is not kept either.
        f.env.writeFile("in/Cut.tar", ArchiveMaker::make(Kind::Tar, {{"T1.STY", bankFile(1, 2)},
                                                                     {"T2.STY", bankFile(30, 3)}})
                                          .left(2000));
        ArchiveMaker bomb(Kind::TarBz2);
        f.env.writeFile("in/Bomb.tar.bz2",
                        bomb.add("B1.STY", bankFile(1, 4)).addZeros("ZEROS.STY", 8 << 20).bytes());
        writeTar(f.env.path("in/Huge.tar"), {{"B2.STY", bankFile(1, 5).size(), bankFile(1, 5)},
                                             {"a.wav", 1 << 30, {}},
                                             {"b.wav", 1 << 30, {}}});
        f.env.writeFile("in/Fake.zip", "not an archive");
        // Passed over entry by entry: a damaged one, an encrypted one, one too large, odd names.
        QByteArray crc =
            ArchiveMaker::make(Kind::ZipStored, {{"Z1.STY", bankFile(1, 6)}, {"Z2.STY", bankFile(1, 7)}});
        crc[crc.indexOf(bankFile(1, 7)) + 60] ^= 0x55;
        f.env.writeFile("in/Crc.zip", crc);
        f.env.writeFile("in/Secret.zip",
                        ArchiveMaker(Kind::Zip, "secret").add("S.STY", bankFile(1, 8)).bytes());
        writeTar(f.env.path("in/Large.tar"),
                 {{"BIG.STY", 300 << 20, {}}, {"OK.STY", bankFile(1, 9).size(), bankFile(1, 9)}});
        f.env.writeFile("in/Names.tar", ArchiveMaker::make(Kind::Tar, {{"../up.sty", bankFile(1, 10)},
                                                                       {"/abs.sty", bankFile(1, 11)},
                                                                       {"lat\xe9.sty", bankFile(1, 12)}}));
        const QStringList log = f.run("in", true).split("\r\n", Qt::SkipEmptyParts);
        const QStringList expected{
            "Bomb.tar.bz2 unpacks to more than 1000 times its own size, as an archive bomb does (found "
            "at Bomb.tar.bz2/ZEROS.STY); nothing of it was imported",
            "Crc.zip/Z2.STY is damaged (",
            "Cut.tar is damaged in Cut.tar/T2.STY (",
            "Fake.zip cannot be read as an archive (",
            "Huge.tar unpacks to more than 2 GB, more than a pack of styles ever holds (found at "
            "Huge.tar/b.wav); nothing of it was imported",
            "Large.tar/BIG.STY holds more than 268435456 bytes, more than a file of its kind ever holds; "
            "it was passed over",
            "Names.tar holds the entry ../up.sty, whose name leads out of the archive with \"..\"; it was "
            "passed over",
            "Names.tar holds the entry /abs.sty, whose name is an absolute path; it was passed over",
            "Names.tar holds the entry lat\\xE9.sty, whose name is not valid UTF-8; it was passed over",
            "Secret.zip/S.STY is encrypted, and SBK reads no encrypted entries; it was passed over"};
        QCOMPARE(log.size(), expected.size());
        for (int i = 0; i < log.size(); ++i)
            QVERIFY2(log[i].startsWith(expected[i]), qPrintable(log[i]));
        QCOMPARE(f.rows("SELECT StyleFile FROM KORFStyles ORDER BY StyleProg"),
                 (QStringList{"A.STY", "Z1.STY", "OK.STY"}));
        QCOMPARE(f.import.filesSkipped(), 10);
        QCOMPARE(f.import.filesDone(), f.import.fileCount()); // counted before the run as it took them

        // Given on its own, an archive that cannot be read is the run's error.
        const QString error = errorOf([&] { f.run("in/Cut.tar"); });
        QVERIFY2(error.startsWith("Cut.tar is damaged in Cut.tar/T2.STY (") &&
                     error.endsWith("the database is as it was before."),
                 qPrintable(error));
        QCOMPARE(f.counts(), "3|3");
    }

    void compressedArchivesAreCountedAsTheyAreRead() {
        // Not unpacked twice: each counts as one until the run reads it, then as what it held.
        ImportFixture f;
        f.env.writeFile("in/None.tar.xz", ArchiveMaker::make(Kind::TarXz, {{"readme.txt", "Enjoy"}}));
        f.env.writeFile("in/Two.tgz",
                        ArchiveMaker::make(Kind::TarGz, {{"A.STY", bankFile(1, 1)}, {"B.STY", bankFile(1, 2)}}));
        QList<int> totals;
        f.import.setProgress([&totals](StyImport::Stage stage, const QString&, int, int fileCount) {
            if (stage == StyImport::Stage::File)
                totals << fileCount;
        });
        f.run("in", true);
        QCOMPARE(totals, (QList<int>{1, 2}));
        QCOMPARE(f.import.filesDone(), f.import.fileCount());
    }

    void archivesThatOnceMisledTheReader() {
        // Inputs kept from the fuzz target: a folder run names each of them, and none stops it.
        ImportFixture f;
        const QDir data(SBK_STY_TEST_DATA "/archives");
        const QStringList names = data.entryList(QDir::Files);
        QVERIFY(!names.isEmpty());
        QDir().mkpath(f.env.path("in"));
        for (const QString& name : names)
            QVERIFY(QFile::copy(data.filePath(name), f.env.path("in/" + name)));
        const QString log = f.run("in", true);
        for (const QString& name : names)
            QVERIFY2(log.contains(name + " "), qPrintable(log));
    }

    void readAheadReadsAsOneThreadDoes_data() {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<QString>("last"); // the start of the last item's line
        QByteArray damaged = banksZip(9);
        damaged.replace(damaged.indexOf("E5.STY") + 60, 40, QByteArray(40, '\xFF')); // its deflated data
        QTest::newRow("damaged") << damaged << "4 x.zip is damaged in x.zip/E5.STY (";
        QByteArray crc = banksZip(9, {}, Kind::ZipStored);
        crc[crc.indexOf("E5.STY") + 300] ^= 0x5A;
        QTest::newRow("bad CRC") << crc << "3 x.zip ";
        // The archive inside unpacks to a lot, which only the reader that reads it counts; the
        // entry read ahead after it then makes a bomb of the whole.
        ArchiveMaker inside(Kind::TarBz2);
        inside.addZeros("FILL.BIN", 3 << 20);
        QTest::newRow("bomb") << banksZip(5, {{"in.tar.bz2", inside.bytes()}, {"Z1.STY", QByteArray(2 << 20, '\0')},
                                              {"E9.STY", bankFile(1)}})
                              << "4 x.zip unpacks to more than 1000 times its own size, as an archive bomb does "
                                 "(found at x.zip/Z1.STY)";
        QTest::newRow("mixed") << banksZip(7, {{"readme.txt", "hi"}, {"../up.sty", bankFile(1)},
                                               {"in.zip", banksZip(3)}, {"F.STY", bankFile(3)}})
                               << "3 x.zip ";
        // What the central directory says of E5 (its checksum, its size) is not what its data give.
        for (const auto& [name, field] : {std::pair{"directory CRC", 16}, {"directory size", 24}}) {
            QByteArray zip = banksZip(9);
            zip[zip.lastIndexOf("E5.STY") - 46 + field] ^= 0x01;
            QTest::newRow(name) << zip << "3 x.zip ";
        }
        QTest::newRow("after a program") << QByteArray(700, 'x') + banksZip(5) << "3 x.zip ";
    }
    void readAheadReadsAsOneThreadDoes() {
        // The STY entries of a ZIP file are inflated ahead on threads of their own; read from
        // memory, one thread reads everything. Both give the same items, problems and bytes.
        QFETCH(QByteArray, zip);
        QFETCH(QString, last);
        TestEnvironment env;
        const QString path = env.writeFile("x.zip", zip);
        ArchiveReader fromFile(path, &ImportSource::isStyName, KORFLibrary::MaxFileSize);
        ArchiveReader fromMemory(zip, path, &ImportSource::isStyName, KORFLibrary::MaxFileSize);
        const QStringList items = itemsOf(fromMemory);
        QCOMPARE(itemsOf(fromFile), items);
        QVERIFY2(items.last().startsWith(last), qPrintable(items.join("\n")));
    }

    void entriesReadAheadAreTheirOwn() {
        // A ZIP whose central directory cannot be found is read from its start, and when the local
        // header of E1 gives too large a size, a reader that passes E1 by finds E3 next, one that
        // reads it finds E2: the threads that read ahead see other entries than the reader they
        // read for, which still hands on every entry with its own bytes.
        QByteArray zip = banksZip(6);
        const qsizetype e1 = zip.indexOf("E1.STY") - 30, e2 = zip.indexOf("E2.STY") - 30;
        const qsizetype data = e1 + 30 + qFromLittleEndian<quint16>(zip.constData() + e1 + 26) +
                               qFromLittleEndian<quint16>(zip.constData() + e1 + 28);
        qToLittleEndian<quint32>(quint32(e2 + 100 - data), zip.data() + e1 + 18);
        zip[zip.size() - 22 + 13] = char(0xD8); // the size of the central directory
        TestEnvironment env;
        ArchiveReader reader(env.writeFile("x.zip", zip), &ImportSource::isStyName, KORFLibrary::MaxFileSize);
        QStringList entries;
        for (ArchiveReader::Item item; reader.next(item);) {
            if (item.kind != ArchiveReader::Item::Kind::Entry)
                continue;
            entries << item.shown;
            QCOMPARE(item.bytes, bankFile(2, item.shown.mid(7, 1).toInt()));
        }
        QCOMPARE(entries, (QStringList{"x.zip/E0.STY", "x.zip/E1.STY", "x.zip/E3.STY", "x.zip/E4.STY",
                                       "x.zip/E5.STY"}));
    }

    void zipEntriesAreInflatedStraightFromTheFile() {
        // What the threads that read a ZIP file ahead inflate themselves, libarchive only saying
        // where an entry's data begin: a stored or deflated entry, also behind a program; one whose
        // checksum or size the central directory gives otherwise is left to libarchive.
        TestEnvironment env;
        const QByteArray bank = bankFile(3, 1);
        for (const Kind kind : {Kind::Zip, Kind::ZipStored}) {
            const QByteArray zip = ArchiveMaker::make(kind, {{"A.STY", bank}, {"B.STY", bankFile(2, 2)}});
            const qsizetype record = zip.lastIndexOf("A.STY") - 46; // in the central directory
            QByteArray badCrc = zip, badSize = zip;
            badCrc[record + 16] ^= 0x01;
            badSize[record + 24] ^= 0x01;
            for (const auto& [bytes, read] : {std::pair{zip, true},
                                              {QByteArray(700, 'x') + zip, true},
                                              {badCrc, false},
                                              {badSize, false}}) {
                QFile file(env.writeFile("t.zip", bytes));
                QVERIFY(file.open(QIODevice::ReadOnly));
                const qsizetype header = bytes.indexOf("A.STY") - 30,
                                directory = bytes.lastIndexOf("A.STY") - 46;
                const auto le = [&bytes](qsizetype at) {
                    return qFromLittleEndian<quint16>(bytes.constData() + at);
                };
                ZipInflater inflater(file);
                const std::optional<QByteArray> data =
                    inflater.read(header + 30 + le(header + 26) + le(header + 28),
                                  le(directory + 24) | le(directory + 26) << 16);
                QCOMPARE(data.has_value(), read);
                QCOMPARE(data.value_or(bank), bank);
                QCOMPARE(file.pos(), 0);
            }
        }
    }

    void cancellingAZipImportStopsItsReaders() {
        // Cancelled while the threads read ahead: nothing is kept, nothing hangs, and the next run
        // (and a reader left after its first entry) ends as well.
        ImportFixture f;
        const QString path = f.env.writeFile("many.zip", banksZip(40));
        f.import.begin(path, false, {}, {}, {});
        QVERIFY(f.import.importNext());
        QVERIFY(f.import.importNext());
        f.import.cancel();
        QCOMPARE(f.counts(), "0|0");
        {
            ArchiveReader reader(path, &ImportSource::isStyName, KORFLibrary::MaxFileSize);
            ArchiveReader::Item item;
            QVERIFY(reader.next(item) && reader.next(item));
            QCOMPARE(item.shown, "many.zip/E0.STY");
        }
        QCOMPARE(f.run("many.zip"), QString());
        QCOMPARE(f.counts(), "80|40");
    }

    void archivesInsideShareTheReadLimit() {
        // With a read limit of 2,000 bytes the ZIP inside (over 1,000 bytes) is held in memory, which
        // leaves too little for its entry of 1,000 bytes.
        const QByteArray inner = ArchiveMaker::make(Kind::ZipStored, {{"A.STY", QByteArray(1000, 'a')}});
        ArchiveReader reader(ArchiveMaker::make(Kind::ZipStored, {{"inner.zip", inner}}), "/x/outer.zip",
                             &ImportSource::isStyName, 2000);
        QStringList items;
        for (ArchiveReader::Item item; reader.next(item);)
            items << QStringLiteral("%1 %2 %3").arg(int(item.kind)).arg(item.shown, item.problem);
        QCOMPARE(items,
                 (QStringList{"0 outer.zip ", "0 outer.zip/inner.zip ",
                              QStringLiteral("2 outer.zip/inner.zip/A.STY holds more than the %1 bytes "
                                             "left to read it inside its archives")
                                  .arg(2000 - inner.size()),
                              "3 outer.zip/inner.zip ", "3 outer.zip "}));
    }
};

QTEST_GUILESS_MAIN(TestArchiveImport)
#include "tst_archiveimport.moc"
