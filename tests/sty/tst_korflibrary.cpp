// The STY reader and writer: the byte layout of a bank file, round trips, odd layouts, damaged and
// foreign files, and the instrument's own files.
#include "core/SbkError.h"
#include "sty/KORFBytes.h"
#include "sty/KORFLibrary.h"
#include "StyTestData.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QtTest>

using namespace StyTestData;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// Reads bytes and returns the error text ("" when the read succeeded).
QString readError(const QByteArray& bytes, KORFLibrary& library, KORFStyles& styles) {
    try {
        library.FillCollectionFromBytes(bytes, QStringLiteral("BANK.STY"), styles);
    } catch (const SbkError& error) {
        return error.message();
    }
    return QString();
}

} // namespace

class TestKORFLibrary : public QObject {
    Q_OBJECT

private slots:
    void emptyListIsSixtyBytes();
    void twoBlocksOfOneStyle();
    void roundTrip_data();
    void roundTrip();
    void namesFromBytes();
    void versionBytesFollowTheBlocks();
    void gapsInPositionsAreCompacted();
    void blockTypes_data();
    void blockTypes();
    void foreignFiles_data();
    void foreignFiles();
    void truncatedAtEveryByte();
    void newerModelIsRecognised();
    void failedWriteKeepsOlderFile();
    void realInstrumentFiles();
    void regressionInputs_data();
    void regressionInputs();
};

void TestKORFLibrary::emptyListIsSixtyBytes() {
    const QByteArray bytes = KORFLibrary::encodeCollection(KORFStyles());
    QCOMPARE(bytes, hex("01000114"
                        "00000034"
                        "02000018"
                        "0000000c"
                        "0b000000000000"
                        "4b4f5246"
                        "00"
                        "05000018"
                        "00000000"
                        "fe000018"
                        "00000010"
                        "4b424547"
                        "0000001c"
                        "4b454e44"
                        "00000001"));
    KORFLibrary library;
    KORFStyles styles;
    library.FillCollectionFromBytes(bytes, QStringLiteral("EMPTY.STY"), styles);
    QCOMPARE(library.RetVal(), 0);
    QCOMPARE(styles.Count(), 0);
    QCOMPARE(KORFBytes::LongToBytes(-5), QByteArray(4, '\0'));
    QCOMPARE(KORFBytes::LongToBytes(0x123456789LL), hex("23456789"));
}

void TestKORFLibrary::twoBlocksOfOneStyle() {
    KORFStyles styles;
    // A second block whose chunk ID carries 00 02 keeps the usual version bytes 00 02.
    addStyle(styles, QStringLiteral("Pop"), block(92, 1), QStringLiteral("Pop perf"),
             block(192, 2, hex("09000230")));
    const QByteArray bytes = KORFLibrary::encodeCollection(styles, 18);
    QCOMPARE(bytes.size(), 416);
    QVERIFY(bytes.startsWith(hex("0100011400000198")));
    QCOMPARE(bytes.mid(28, 8), hex("0500001800000030"));
    QCOMPARE(bytes.mid(36 + 16, 8), hex("0000021200000000"));
    QCOMPARE(bytes.mid(60 + 16, 8), hex("0000071200000200"));
    QCOMPARE(bytes.mid(84, 100), block(92, 1));
    QCOMPARE(bytes.mid(184, 200), block(192, 2, hex("09000230")));
    QCOMPARE(bytes.mid(384), hex("fe00001800000018") + "KBEG" +
                                 hex("0000001c"
                                     "00000054"
                                     "000000b8") +
                                 "KEND" + hex("00000003"));
}

void TestKORFLibrary::roundTrip_data() {
    QTest::addColumn<int>("styleCount");
    QTest::addColumn<bool>("secondBlocks");
    QTest::addColumn<int>("blockSize");
    QTest::newRow("one style, one block") << 1 << false << 10;
    QTest::newRow("three styles, two blocks") << 3 << true << 300;
    QTest::newRow("a full bank") << 32 << true << 1000;
    QTest::newRow("empty bodies") << 5 << true << 0;
}

void TestKORFLibrary::roundTrip() {
    QFETCH(int, styleCount);
    QFETCH(bool, secondBlocks);
    QFETCH(int, blockSize);
    TestEnvironment env;
    KORFStyles styles;
    for (int i = 0; i < styleCount; ++i) {
        const QByteArray second = secondBlocks && i % 2 == 0 ? block(blockSize + i, i + 100) : QByteArray();
        addStyle(styles, QStringLiteral("Style %1").arg(i), block(blockSize + 2 * i, i),
                 second.isEmpty() ? QString() : QStringLiteral("Perf %1").arg(i), second);
    }
    const QString path = env.path(QStringLiteral("ROUND.STY"));
    KORFLibrary library;
    library.WriteStyleFromCollection(path, styles, 19);
    QCOMPARE(library.RetVal(), 0);

    KORFStyles back;
    library.FillCollectionFromStyle(path, back);
    QCOMPARE(library.RetVal(), 0);
    QCOMPARE(back.Count(), styleCount);
    for (int i = 1; i <= styleCount; ++i) {
        const KORFStyle& in = *styles.Item(i);
        const KORFStyle& out = *back.Item(i);
        QCOMPARE(out.StyleProg(), i);
        QCOMPARE(out.StyleName1(), in.StyleName1().leftJustified(16));
        QCOMPARE(out.StyleName2(), in.StyleLength2() ? in.StyleName2().leftJustified(16) : QString());
        QCOMPARE(out.StyleContent1(), in.StyleContent1());
        QCOMPARE(out.StyleContent2(), in.StyleContent2());
        QCOMPARE(out.StyleLength1(), in.StyleLength1());
        QCOMPARE(out.StyleLength2(), in.StyleLength2());
    }
    // Writing what was read gives the same file but for the names' padding (blanks for 00 bytes).
    const QByteArray again = KORFLibrary::encodeCollection(back, 19);
    const QByteArray original = TestEnvironment::readFile(path);
    QCOMPARE(again.size(), original.size());
    const int directoryEnd = 36 + KORFBytes::BytesToLong(original.mid(32, 4));
    QCOMPARE(again.mid(directoryEnd), original.mid(directoryEnd));
}

void TestKORFLibrary::namesFromBytes() {
    KORFStyles styles;
    addStyle(styles, QStringLiteral("Rock'n'Roll"), block(4, 1));
    addStyle(styles, QStringLiteral("A name longer than sixteen"), block(4, 2));
    addStyle(styles, QString::fromLatin1("Caf\xe9 \xff\x01\x1f!"), block(4, 3));
    KORFLibrary library;
    KORFStyles back;
    library.FillCollectionFromBytes(KORFLibrary::encodeCollection(styles), QStringLiteral("N.STY"), back);
    QCOMPARE(back.Item(1)->StyleName1(), QStringLiteral("Rock`n`Roll     "));
    QCOMPARE(back.Item(2)->StyleName1(), QStringLiteral("A name longer th"));
    QCOMPARE(back.Item(3)->StyleName1(), QString::fromLatin1("Caf\xe9 \xff  !").leftJustified(16));
}

void TestKORFLibrary::versionBytesFollowTheBlocks() {
    KORFStyles styles;
    addStyle(styles, QStringLiteral("Pa600"), block(20, 1), QStringLiteral("Perf"),
             block(20, 2, hex("09010030")));
    addStyle(styles, QStringLiteral("Tiny"), hex("0a0b0c"), QStringLiteral("Tiny 2"), hex("0102"));
    const QByteArray bytes = KORFLibrary::encodeCollection(styles);
    QCOMPARE(bytes.mid(36 + 21, 2), hex("0000"));
    QCOMPARE(bytes.mid(60 + 21, 2), hex("0100"));
    // Blocks too short to carry a chunk ID keep the usual 00 00 and 00 02.
    QCOMPARE(bytes.mid(84 + 21, 2), hex("0000"));
    QCOMPARE(bytes.mid(108 + 21, 2), hex("0002"));
}

void TestKORFLibrary::gapsInPositionsAreCompacted() {
    const QByteArray file = rawSty({{"First", 2, 0}, {"Third", 2, 2}, {"Third perf", 7, 2}},
                                   {block(10, 1), block(11, 2), block(12, 3)});
    KORFLibrary library;
    KORFStyles styles;
    library.FillCollectionFromBytes(file, QStringLiteral("GAPS.STY"), styles);
    QCOMPARE(styles.Count(), 2);
    QCOMPARE(styles.Item(1)->StyleProg(), 1);
    QCOMPARE(styles.Item(2)->StyleProg(), 3);
    QCOMPARE(styles.Item(2)->StyleContent2(), block(12, 3));
    // Written back, the positions run from 0 without gaps.
    const QByteArray written = KORFLibrary::encodeCollection(styles);
    QCOMPARE(int(written.at(36 + 20)), 0);
    QCOMPARE(int(written.at(60 + 20)), 1);
    QCOMPARE(int(written.at(84 + 20)), 1);
}

void TestKORFLibrary::blockTypes_data() {
    QTest::addColumn<int>("secondType");
    QTest::newRow("7") << 7;
    QTest::newRow("3") << 3;
    QTest::newRow("0") << 0;
}

void TestKORFLibrary::blockTypes() {
    QFETCH(int, secondType);
    // Three records (an odd count): style 0 with two blocks, style 1 with only a second block,
    // which holds no style; then a later first block for position 0 replaces the earlier one.
    const QByteArray file = rawSty({{"One", 2, 0},
                                    {"One b", quint8(secondType), 0},
                                    {"Lonely", quint8(secondType), 1},
                                    {"One again", 2, 0}},
                                   {block(5, 1), block(6, 2), block(7, 3), block(8, 4)});
    KORFLibrary library;
    KORFStyles styles;
    library.FillCollectionFromBytes(file, QStringLiteral("TYPES.STY"), styles);
    QCOMPARE(styles.Count(), 1);
    QCOMPARE(styles.Item(1)->StyleName1(), QStringLiteral("One again       "));
    QCOMPARE(styles.Item(1)->StyleContent1(), block(8, 4));
    QCOMPARE(styles.Item(1)->StyleLength1(), 16);
    QCOMPARE(styles.Item(1)->StyleName2(), QStringLiteral("One b           "));
    QCOMPARE(styles.Item(1)->StyleContent2(), block(6, 2));

    const QByteArray odd = rawSty({{"A", 2, 0}, {"B", 2, 1}, {"B2", quint8(secondType), 1}},
                                  {block(1, 1), block(2, 2), block(3, 3)});
    library.FillCollectionFromBytes(odd, QStringLiteral("ODD.STY"), styles);
    QCOMPARE(styles.Count(), 2);
    QCOMPARE(styles.Item(1)->StyleLength2(), 0);
    QCOMPARE(styles.Item(2)->StyleLength2(), 11);
}

void TestKORFLibrary::foreignFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("retVal");
    QTest::newRow("KORG9") << QByteArray("KORG9 and more bytes to fill the header") << 1;
    QTest::newRow("KORG<") << QByteArray("KORG<") << 2;
    QTest::newRow("KORGM") << QByteArray("KORGM-------------------------KORF") << 3;
    QTest::newRow("KORGI") << QByteArray("KORGI") << 4;
    QTest::newRow("text") << QByteArray("Just a text file, not a style bank at all.") << 5;
    QTest::newRow("one byte") << QByteArray("K") << 5;
    QTest::newRow("27 bytes") << QByteArray(27, 'x') << 5;
    QTest::newRow("KORF one byte late") << (QByteArray(24, '\0') + "KORF") << 5;
}

void TestKORFLibrary::foreignFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, retVal);
    TestEnvironment env;
    KORFLibrary library;
    KORFStyles styles;
    addStyle(styles, QStringLiteral("left over"), block(1, 1));
    library.FillCollectionFromStyle(env.writeFile(QStringLiteral("F.STY"), bytes), styles);
    QCOMPARE(library.RetVal(), retVal);
    QCOMPARE(styles.Count(), 0);
}

void TestKORFLibrary::truncatedAtEveryByte() {
    KORFStyles styles;
    addStyle(styles, QStringLiteral("A"), block(30, 1), QStringLiteral("A2"), block(40, 2));
    addStyle(styles, QStringLiteral("B"), block(50, 3));
    const QByteArray whole = KORFLibrary::encodeCollection(styles);
    // The chunk boundaries: directory header, directory, each block, index header, index end.
    const QList<int> boundaries{28, 36, 108, 146, 194, 252, 260};
    KORFLibrary library;
    for (int size = 1; size < whole.size(); ++size) {
        KORFStyles back;
        const QString error = readError(whole.left(size), library, back);
        if (size < 27) {
            QVERIFY2(error.isEmpty(), qPrintable(error));
            QCOMPARE(library.RetVal(), 5);
            continue;
        }
        QVERIFY2(!error.isEmpty(), qPrintable(QString::number(size)));
        QCOMPARE(library.RetVal(), -1);
        QCOMPARE(back.Count(), 0);
        QVERIFY(error.startsWith(QStringLiteral("BANK.STY: at byte offset ")));
        QVERIFY(error.contains(QStringLiteral("end of file")));
        if (boundaries.contains(size))
            QVERIFY2(error.contains(QStringLiteral("offset %1:").arg(size)), qPrintable(error));
    }
    QCOMPARE(whole.size(), 288);
    QVERIFY(readError(QByteArray(), library, styles).contains(QStringLiteral("end of file")));
}

void TestKORFLibrary::newerModelIsRecognised() {
    QByteArray file = rawSty({{"A", 2, 0}}, {block(10, 1)});
    file.replace(28, 4, hex("05010018"));
    KORFLibrary library;
    KORFStyles styles;
    library.FillCollectionFromBytes(file, QStringLiteral("USER01.STY"), styles);
    QCOMPARE(library.RetVal(), 6);
    QCOMPARE(styles.Count(), 0);
}

void TestKORFLibrary::failedWriteKeepsOlderFile() {
    TestEnvironment env;
    const QString path = env.writeFile(QStringLiteral("out/BANK.STY"), "older file");
    KORFStyles styles;
    styles.Add(1, QStringLiteral("Bad"), QString(), 50, 0, block(10, 1), QByteArray());
    KORFLibrary library;
    QVERIFY_THROWS_EXCEPTION(SbkError, library.WriteStyleFromCollection(path, styles));
    QCOMPARE(library.RetVal(), -1);
    QCOMPARE(TestEnvironment::readFile(path), QByteArray("older file"));
    QCOMPARE(QDir(env.path(QStringLiteral("out"))).entryList(QDir::Files),
             QStringList{QStringLiteral("BANK.STY")});

    QVERIFY_THROWS_EXCEPTION(
        SbkError, library.WriteStyleFromCollection(env.path(QStringLiteral("missing/X.STY")), KORFStyles()));
    QVERIFY_THROWS_EXCEPTION(SbkError, library.WriteStyleFromCollection(path, KORFStyles(), 256));

    library.WriteStyleFromCollection(path, KORFStyles());
    QCOMPARE(TestEnvironment::readFile(path).size(), 60);
    QCOMPARE(library.RetVal(), 0);
}

void TestKORFLibrary::realInstrumentFiles() {
    const QString folder = qEnvironmentVariable("SBK_REAL_STY");
    if (folder.isEmpty() || !QDir(folder).exists())
        QSKIP("the folder of instrument-saved STY files is not available");
    int older = 0;
    int newer = 0;
    QDirIterator it(folder, {QStringLiteral("*.STY")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray original = TestEnvironment::readFile(path);
        KORFLibrary library;
        KORFStyles styles;
        library.FillCollectionFromStyle(path, styles);
        if (original.mid(28, 4) == hex("05010018")) {
            QCOMPARE(library.RetVal(), 6);
            QCOMPARE(styles.Count(), 0);
            ++newer;
            continue;
        }
        QCOMPARE(library.RetVal(), 0);
        QVERIFY(styles.Count() >= 1);
        ++older;
        // Written back: the same size, the same directory bytes after each name, and the same
        // blocks and index byte for byte.
        const QByteArray written = KORFLibrary::encodeCollection(styles, quint8(original.at(36 + 19)));
        QCOMPARE(written.size(), original.size());
        const int directoryEnd = 36 + KORFBytes::BytesToLong(original.mid(32, 4));
        for (int at = 36; at < directoryEnd; at += 24)
            QCOMPARE(written.mid(at + 16, 8).toHex(), original.mid(at + 16, 8).toHex());
        QCOMPARE(written.mid(directoryEnd), original.mid(directoryEnd));
    }
    QVERIFY(older > 0);
    QVERIFY(newer > 0);
}

void TestKORFLibrary::regressionInputs_data() {
    // Inputs that once misled or could mislead the reader, kept as files; every file of the
    // folder must be listed here with what it must give (an error text or a RetVal).
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("retVal");
    QTest::newRow("2 GB block") << "excessive-block-length.sty"
                                << "at byte offset 68: unexpected end of file" << -1;
    QTest::newRow("top bit") << "length-top-bit.sty"
                             << "at byte offset 64: overflow" << -1;
    QTest::newRow("65 records") << "directory-65-records.sty"
                                << "holds 65 records" << -1;
    QTest::newRow("position 32") << "position-32.sty"
                                 << "names style position 32" << -1;
    QTest::newRow("truncated index") << "truncated-index.sty"
                                     << "at byte offset 86: unexpected end of file" << -1;
    QTest::newRow("blocks without directory") << "zero-length-directory-with-blocks.sty"
                                              << "" << 0;
    QTest::newRow("short header") << "short-header.sty"
                                  << "" << 5;
}

void TestKORFLibrary::regressionInputs() {
    QFETCH(QString, file);
    QFETCH(QString, error);
    QFETCH(int, retVal);
    const QDir data(QStringLiteral(SBK_STY_TEST_DATA));
    QCOMPARE(data.entryList(QDir::Files).size(), 9);
    KORFLibrary library;
    KORFStyles styles;
    QString message;
    try {
        library.FillCollectionFromStyle(data.filePath(file), styles);
    } catch (const SbkError& e) {
        message = e.message();
    }
    QCOMPARE(library.RetVal(), retVal);
    if (error.isEmpty()) {
        QCOMPARE(message, QString());
    } else {
        QVERIFY2(message.startsWith(data.filePath(file) + QStringLiteral(": ")), qPrintable(message));
        QVERIFY2(message.contains(error), qPrintable(message));
    }
}

QTEST_GUILESS_MAIN(TestKORFLibrary)
#include "tst_korflibrary.moc"
