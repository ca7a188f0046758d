// The STY reader and writer: the byte layout of a bank file, round trips, odd layouts, damaged and
// foreign files, and the instrument's own files.
#include "StyTestData.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QtTest>

using namespace StyTestData;

class TestKORFLibrary : public QObject {
    Q_OBJECT

private slots:
    void emptyBankLayout() {
        KORFStyles styles;
        QCOMPARE(KORFLibrary::encodeCollection(styles),
                 hex("0100011400000034020000180000000c0b0000000000004b4f5246000500001800000000"
                     "fe000018000000104b4245470000001c4b454e4400000001"));
        // A second block whose chunk ID carries 00 02 keeps the usual version bytes 00 02. The blanks
        // the reader pads a name with are written as the instrument's 00 bytes.
        addStyle(styles, "Pop             ", block(92, 1), "Pop perf", block(192, 2, hex("09000230")));
        const QByteArray bytes = KORFLibrary::encodeCollection(styles, 18);
        QCOMPARE(bytes.left(36 + 24),
                 hex("0100011400000198020000180000000c0b0000000000004b4f524600"
                     "0500001800000030506f70000000000000000000000000000000021200000000"));
        QCOMPARE(bytes.mid(60 + 16, 8), hex("0000071200000200"));
        QCOMPARE(bytes.mid(84), block(92, 1) + block(192, 2, hex("09000230")) + hex("fe00001800000018") +
                                    "KBEG" + hex("0000001c00000054000000b8") + "KEND" + hex("00000003"));

        // The version bytes follow the block's chunk ID (a Pa600 performance block says 1.0); blocks
        // too short to carry a chunk ID keep the usual 00 00 and 00 02.
        styles.Clear();
        addStyle(styles, "Pa600", block(20, 1), "Perf", block(20, 2, hex("09010030")));
        addStyle(styles, "Tiny", hex("0a0b0c"), "Tiny 2", hex("0102"));
        const QByteArray versions = KORFLibrary::encodeCollection(styles);
        QCOMPARE(versions.mid(57, 2) + versions.mid(81, 2) + versions.mid(105, 2) + versions.mid(129, 2),
                 hex("0000010000000002"));
        // Lengths are written as four bytes, big-endian: a negative one as 0, a larger one cut.
        QCOMPARE(KORFBytes::LongToBytes(-5) + KORFBytes::LongToBytes(0x123456789LL), hex("0000000023456789"));
    }

    void roundTrip() {
        TestEnvironment env;
        KORFStyles styles;
        const int styleCount = 32;
        // Every other style has a second block; some bodies are empty. Names come back cut to 16
        // bytes, padded with blanks, with "'" as "`" and control bytes as blanks.
        for (int i = 0; i < styleCount; ++i)
            addStyle(styles, QString::fromLatin1("Rock'n'Roll \xe9\x01 %1 and more").arg(i),
                     block(i < 4 ? 0 : 1000 + 2 * i, i), i % 2 ? QString() : QStringLiteral("Perf"),
                     i % 2 ? QByteArray() : block(i < 4 ? 0 : 1000 + i, i + 100));
        const QString path = env.path("ROUND.STY");
        KORFLibrary library;
        library.WriteStyleFromCollection(path, styles, 19);
        KORFStyles back;
        library.FillCollectionFromStyle(path, back);
        QVERIFY(library.RetVal() == 0 && back.Count() == styleCount);
        for (int i = 1; i <= styleCount; ++i) {
            QCOMPARE(back.Item(i)->StyleProg(), i);
            QCOMPARE(back.Item(i)->StyleName1(),
                     QString::fromLatin1("Rock`n`Roll \xe9  %1 ").arg(i - 1).left(16));
            QCOMPARE(back.Item(i)->StyleName2(), i % 2 ? QStringLiteral("Perf            ") : QString());
        }
        // Written again, the blocks, their lengths and the index are the same byte for byte.
        const QByteArray again = KORFLibrary::encodeCollection(back, 19);
        const QByteArray original = TestEnvironment::readFile(path);
        const int directoryEnd = 36 + KORFBytes::BytesToLong(original.mid(32, 4));
        QCOMPARE(again.size(), original.size());
        QCOMPARE(again.mid(directoryEnd), original.mid(directoryEnd));
    }

    void oddLayouts() {
        // Five records (an odd count): position 0 with two blocks, position 1 with only a second
        // block (no style), a gap at position 1, a later first block for position 0 replacing the
        // earlier one. Second blocks of type 7, or of any type but 2.
        for (const quint8 t : {7, 0}) {
            const QByteArray file = rawSty(
                {{"One", 2, 0}, {"One b", t, 0}, {"Lonely", t, 1}, {"Third", 2, 2}, {"One again", 2, 0}},
                {block(5, 1), block(6, 2), block(7, 3), block(8, 4), block(9, 5)});
            KORFLibrary library;
            KORFStyles styles;
            library.FillCollectionFromBytes(file, "ODD.STY", styles);
            QCOMPARE(styles.Count(), 2);
            QCOMPARE(styles.Item(1)->StyleName1() + styles.Item(1)->StyleName2(),
                     "One again       One b           ");
            QCOMPARE(styles.Item(1)->StyleContent1() + styles.Item(1)->StyleContent2(),
                     block(9, 5) + block(6, 2));
            QVERIFY(styles.Item(2)->StyleProg() == 3 && styles.Item(2)->StyleLength1() == 16 &&
                    styles.Item(2)->StyleLength2() == 0);
            // Written back, the positions run from 0 without gaps.
            const QByteArray written = KORFLibrary::encodeCollection(styles);
            QCOMPARE(QByteArray(1, written.at(36 + 20)) + written.at(60 + 20) + written.at(84 + 20),
                     hex("000001"));
        }
    }

    void foreignFiles() {
        TestEnvironment env;
        KORFLibrary library;
        const QByteArray files[] = {"KORG9 and more bytes to fill the header", "KORG<",
                                    "KORGM-------------------------KORF", "KORGI",
                                    QByteArray(24, '\0') + "KORF"};
        for (int retVal = 1; retVal <= 5; ++retVal) {
            KORFStyles styles;
            addStyle(styles, "left over", block(1, 1));
            library.FillCollectionFromStyle(env.writeFile("F.STY", files[retVal - 1]), styles);
            QCOMPARE(library.RetVal(), retVal);
            QCOMPARE(styles.Count(), 0);
        }
    }

    void truncatedAtEveryByte() {
        KORFStyles styles;
        addStyle(styles, "A", block(30, 1), "A2", block(40, 2));
        addStyle(styles, "B", block(50, 3));
        const QByteArray whole = KORFLibrary::encodeCollection(styles);
        // The chunk boundaries: directory header, directory, each block; the index starts at 252.
        const QList<int> boundaries{28, 36, 108, 146, 194};
        KORFLibrary library;
        for (int size = 0; size <= whole.size(); ++size) {
            KORFStyles back;
            const QString error =
                errorOf([&] { library.FillCollectionFromBytes(whole.left(size), "BANK.STY", back); });
            if (size > 0 && size < 27) { // too short for a header: simply not a KORF file
                QVERIFY2(error.isEmpty() && library.RetVal() == 5, qPrintable(error));
                continue;
            }
            // Every block whole: a cut or missing index loses nothing, and the damage is noted.
            if (size >= 252) {
                QVERIFY2(error.isEmpty() && library.RetVal() == 0 && back.Count() == 2, qPrintable(error));
                QCOMPARE(back.Item(2)->StyleContent1(), block(50, 3));
                QCOMPARE(library.IndexDamaged(), size < whole.size());
                continue;
            }
            QVERIFY2(library.RetVal() == -1 && back.Count() == 0, qPrintable(error));
            QVERIFY2(error.startsWith("BANK.STY: at byte offset ") && error.contains("end of file"),
                     qPrintable(error));
            if (boundaries.contains(size))
                QVERIFY2(error.contains(QStringLiteral("offset %1:").arg(size)), qPrintable(error));
        }
    }

    void failedWriteKeepsOlderFile() {
        TestEnvironment env;
        const QString path = env.writeFile("out/BANK.STY", "older file");
        KORFStyles styles;
        // A length that does not match the block stops the write half-way.
        styles.Add(1, "Bad", QString(), 50, 0, block(10, 1), QByteArray());
        KORFLibrary library;
        QVERIFY(!errorOf([&] { library.WriteStyleFromCollection(path, styles); }).isEmpty());
        QCOMPARE(library.RetVal(), -1);
        QCOMPARE(QDir(env.path("out")).entryList(QDir::Files), QStringList{"BANK.STY"});
        QCOMPARE(TestEnvironment::readFile(path), QByteArray("older file"));
        QVERIFY_THROWS_EXCEPTION(SbkError, library.WriteStyleFromCollection(env.path("no/X.STY"), {}));
        QVERIFY_THROWS_EXCEPTION(SbkError, library.WriteStyleFromCollection(path, {}, 256));
    }

    void newerLayout() {
        // The first entry of a Pa700 bank (style "1/4" in USER07) and the checksum the instrument
        // stored behind it.
        QCOMPARE(KORFDirectory::checksum(hex("005200050002001c") + QByteArray("1/4").leftJustified(28, '\0') +
                                         hex("0000000302170000010002000000050007141a011d023a0e00060010") +
                                         "Z113A ORT v1.5.0"),
                 0xE28C6100u);
        KORFStyles styles;
        addStyle(styles, "Maqsum", block(10, 1), "Maqsum", block(20, 2, hex("09020130")));
        const QByteArray bytes = KORFLibrary::encodeCollection(styles, newerOptions(0x1C));
        // Each entry: size 82, 5 properties in the instrument's order (name, place, version,
        // timestamp, system), then the checksum over the entry.
        auto entry = [](const char* place, const char* version) {
            return hex("005200050002001c") + QByteArray("Maqsum").leftJustified(28, '\0') + hex("00000003") +
                   hex(place) + hex("00010002") + hex(version) + hex("000500071418050607080900060010") +
                   "Z112A STD v1.3.1";
        };
        const QByteArray first = entry("021c00", "0000"), second = entry("071c00", "0201");
        QCOMPARE(bytes.mid(28, 8), hex("05010018000000a8"));
        QCOMPARE(bytes.mid(36, 168), first + KORFBytes::LongToBytes(KORFDirectory::checksum(first)) + second +
                                         KORFBytes::LongToBytes(KORFDirectory::checksum(second)));
        QCOMPARE(bytes.mid(204 + 18 + 28),
                 hex("fe000018000000184b4245470000001c000000cc000000de4b454e4400000003"));

        // Read back (the real files prove the bytes come back the same): a renamed style gets its
        // new name and keeps its timestamp.
        KORFLibrary library;
        KORFStyles back;
        library.FillCollectionFromBytes(bytes, "NEW.STY", back);
        QVERIFY(library.RetVal() == 0 && library.ReadLayout() == KORFLibrary::Layout::Newer);
        back.Item(1)->setStyleName1("Maqsum 2");
        const QByteArray renamed = KORFLibrary::encodeCollection(back, newerOptions(0x11, QDate(2030, 1, 1)));
        KORFStyles again;
        library.FillCollectionFromBytes(renamed, "NEW.STY", again);
        QCOMPARE(again.Item(1)->StyleName1() + "|" + again.Item(1)->StyleName2(), "Maqsum 2|Maqsum");
        QCOMPARE(again.Item(1)->StyleEntry1().timestampText() + "|" +
                     QString::number(again.Item(1)->StyleEntry1().bankByte()),
                 "2024-05-06 07:08:09|17");

        // A damaged entry is refused, naming the file, the offset and the entry.
        QByteArray damaged = bytes;
        damaged[36 + 10] = 'm';
        const QString error = errorOf([&] { library.FillCollectionFromBytes(damaged, "NEW.STY", back); });
        QVERIFY2(error.startsWith("NEW.STY: at byte offset 116: directory entry 1: the checksum "),
                 qPrintable(error));
        QVERIFY(library.RetVal() == -1 && back.Count() == 0);
        damaged = bytes;
        damaged[36 + 1] = 0x51; // one byte short: the system string now overlaps the checksum
        QVERIFY(errorOf([&] {
                    library.FillCollectionFromBytes(damaged, "NEW.STY", back);
                }).contains("offset 96: directory entry 1: property 5 claims 16 bytes, 15 are left"));
    }

    void mixedBankInEachLayout() {
        // A style of an older file and one of a newer file in one bank.
        KORFLibrary library;
        KORFStyles olderStyles, newerStyles, bank, list;
        library.FillCollectionFromBytes(bankFile(1), "OLD.STY", olderStyles);
        addStyle(list, "A newer style of 28 letters!", block(30, 7), "Perf", block(40, 8, hex("09020130")));
        library.FillCollectionFromBytes(KORFLibrary::encodeCollection(list, newerOptions(0x1A)), "NEW.STY",
                                        newerStyles);
        bank.Add(1, "", "", 0, 0, {}, {});
        bank.Add(2, "", "", 0, 0, {}, {});
        *bank.Item(1) = *olderStyles.Item(1);
        *bank.Item(2) = *newerStyles.Item(1);
        for (const bool newer : {false, true}) {
            const auto layout = newer ? KORFLibrary::Layout::Newer : KORFLibrary::Layout::Older;
            KORFLibrary::WriteOptions options = newerOptions(0x12, QDate(2031, 2, 3));
            options.layout = layout;
            KORFStyles back;
            library.FillCollectionFromBytes(KORFLibrary::encodeCollection(bank, options), "MIX.STY", back);
            QCOMPARE(library.ReadLayout(), layout);
            QCOMPARE(back.Item(2)->StyleContent2(), bank.Item(2)->StyleContent2());
            // Older names come back without the blanks they were padded with in the newer layout; the
            // newer name is cut to 16 bytes in the older one. The newer style keeps its timestamp; the
            // older one gets the write time.
            QCOMPARE(back.Item(1)->StyleName1() + "|" + back.Item(2)->StyleName1(),
                     newer ? "Style 1|A newer style of 28 letters!" : "Style 1         |A newer style of");
            QCOMPARE(back.Item(1)->StyleEntry1().timestampText() + "|" +
                         back.Item(2)->StyleEntry2().timestampText(),
                     newer ? "2031-02-03 07:08:09|2024-05-06 07:08:09" : "|");
        }
    }

    void newerNames() {
        const struct {
            QByteArray bytes;
            QString name;
        } cases[] = {
            {QByteArray("Caf\xc3\xa9") + QByteArray(2, '\0') + "junk after the end",
             QString::fromUtf8("Café")},
            {"\xd9\x85\xd9\x82 \xf0\x9f\x8e\xb5", "?? ?"},          // no one-byte form
            {"\xe9t\xe9 \x01", QString::fromLatin1("\xe9t\xe9  ")}, // not UTF-8: one character per byte
        };
        for (const auto& c : cases)
            QCOMPARE(KORFDirectory::nameFromNewer(c.bytes), c.name);
        // Written: without trailing blanks, cut at a character boundary within 28 bytes.
        QCOMPARE(KORFDirectory::nameForNewer("Pop Ballad      "),
                 QByteArray("Pop Ballad").leftJustified(28, '\0'));
        QCOMPARE(KORFDirectory::nameForNewer(QString(20, QChar(0xE9))), QString(14, QChar(0xE9)).toUtf8());
    }

    void regressionInputs() {
        // Inputs that once misled or could mislead the reader, kept as files; every file of the
        // folder is listed here with what it must give (an error, or none and a RetVal).
        const struct {
            const char* file;
            const char* error;
            int retVal;
        } inputs[] = {
            {"excessive-block-length.sty", "at byte offset 68: unexpected end of file", -1},
            {"length-top-bit.sty", "at byte offset 64: overflow", -1},
            {"directory-length-top-bit.sty", "at byte offset 32: overflow", -1},
            {"directory-65-records.sty", "at byte offset 36: the directory holds 65 records", -1},
            {"position-32.sty", "at byte offset 80: directory record 2 names style position 32", -1},
            {"position-255.sty", "at byte offset 56: directory record 1 names style position 255", -1},
            {"truncated-index.sty", "", 0},
            {"zero-length-directory-with-blocks.sty",
             "at byte offset 32: the directory is empty, but 36 bytes", -1},
            {"short-header.sty", "", 5},
        };
        const QDir data(QStringLiteral(SBK_STY_TEST_DATA));
        QCOMPARE(data.entryList(QDir::Files).size(), int(std::size(inputs)));
        for (const auto& input : inputs) {
            KORFLibrary library;
            KORFStyles styles;
            const QString path = data.filePath(input.file);
            const QString message = errorOf([&] { library.FillCollectionFromStyle(path, styles); });
            QVERIFY2(library.RetVal() == input.retVal, input.file);
            QVERIFY2(*input.error ? message.startsWith(path + ": " + input.error) : message.isEmpty(),
                     qPrintable(path + ": " + message));
        }
    }
};

QTEST_GUILESS_MAIN(TestKORFLibrary)
#include "tst_korflibrary.moc"
