#include "core/SbkError.h"
#include "sty/KORFLibrary.h"
#include "sty/Oc31Decoder.h"
#include "sty/StyleFacts.h"
#include "sty/StyleFingerprint.h"
#include "StyleBlocks.h"
#include "TestEnvironment.h"

#include <QDirIterator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// An OC31 stream by hand: the header for a declared size, then the token bytes as given.
QByteArray stream(quint32 size, const QByteArray& tokens) {
    QByteArray out("OC31");
    for (int i = 0; i < 4; ++i)
        out += char(size >> (8 * i));
    return out + tokens;
}

quint8 xorOf(const QByteArray& bytes) {
    quint8 sum = 0;
    for (const char b : bytes)
        sum ^= quint8(b);
    return sum;
}

QByteArray ended(const QByteArray& output) {
    return hex("010000") + char(xorOf(output));
}

quint32 bigEndian32(const QByteArray& bytes, qsizetype at) {
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 |
           quint32(quint8(bytes[at + 2])) << 8 | quint8(bytes[at + 3]);
}

void setBigEndian32(QByteArray& bytes, qsizetype at, quint32 value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(value >> (24 - 8 * i));
}

// A compressed style block saved again under another name inside it: decoded, the name in its style
// information chunk replaced (the sizes of that chunk and of the root follow), compressed again.
QByteArray renamedInside(const QByteArray& styleBlock, const QByteArray& name) {
    QByteArray tree = Oc31Decoder::decode(styleBlock.mid(8), u"style"_s);
    const auto span = StyleFingerprint::nameIn(tree);
    if (!span)
        qFatal("the block holds no name");
    const qsizetype grown = 1 + name.size() - span->size;
    tree.replace(span->at, span->size, char(name.size()) + name);
    setBigEndian32(tree, 4, bigEndian32(tree, 4) + quint32(grown));
    setBigEndian32(tree, 12, bigEndian32(tree, 12) + quint32(grown));
    return StyleBlocks::compressed(bigEndian32(styleBlock, 0), tree);
}

// Which of the fingerprints of two styles agree: "exact renamed settings", each as "=" or "x".
QString agreeing(const StyleFactsValues& a, const StyleFactsValues& b) {
    auto same = [](const std::optional<qint64>& x, const std::optional<qint64>& y) {
        return x && y && *x == *y ? u"="_s : u"x"_s;
    };
    return same(a.FingerprintExact, b.FingerprintExact) + same(a.FingerprintRenamed, b.FingerprintRenamed) +
           same(a.FingerprintSettings, b.FingerprintSettings);
}

} // namespace

class TestStyleFacts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodesEveryTokenKind() {
        // Literal runs (short and long), near references with their literal tails, the three
        // forms of the middle references and a far one that reaches 16 KB back.
        const QByteArray lit18 = QByteArray("0123456789abcdefgh");
        QByteArray expected = "abcd" + QByteArray("abcd") + "XY" + lit18;
        QByteArray tokens = hex("02") + "abcd" + hex("600e") + "XY" + hex("0000") + lit18;
        // 0x22: length 4, distance (v >> 2) + 1 = 3, one literal byte.
        tokens += hex("22") + hex("0009") + "Z";
        expected += expected.right(3) + expected.right(3).left(1) + "Z";
        // 0x20: length next + 0x22 = 0x22 bytes, overlapping a 2-byte pattern.
        tokens += hex("20") + hex("00") + hex("0004");
        for (int i = 0; i < 0x22; ++i)
            expected += expected.at(expected.size() - 2);
        // 0x21: a 16-bit length of 5 from 10 bytes back.
        tokens += hex("21") + hex("0005") + hex("0024");
        expected += expected.mid(expected.size() - 10, 5);
        QCOMPARE(Oc31Decoder::decode(stream(quint32(expected.size()), tokens + ended(expected)), u"t"_s),
                 expected);

        // A far reference (0x12: length 4, distance 0x4000 + (v >> 2) + 1) back to the very first bytes.
        QByteArray far = QByteArray(0x4001, 'x');
        far[0] = 'F';
        QByteArray farStream = StyleBlocks::oc31Literal(far).chopped(4) + hex("120000");
        far += "Fxxx";
        farStream.replace(4, 4, QByteArray::fromRawData("\x05\x40\x00\x00", 4));
        QCOMPARE(Oc31Decoder::decode(farStream + ended(far), u"t"_s), far);
    }

    void refusesDamagedStreamsNamingTheOffset_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no signature")
            << QByteArray("OC30\4\0\0\0") << u"at byte offset 0: the block is not OC31"_s;
        QTest::newRow("size too large")
            << stream(5 * 1024 * 1024, {}) << u"offset 4: a decoded size of 5242880"_s;
        QTest::newRow("run past the input")
            << stream(8, hex("06") + "abc") << u"offset 8: a literal run of 8 bytes, but only 3"_s;
        QTest::newRow("reference before the start") << stream(12, hex("02") + "abcd" + hex("6010"))
                                                    << u"offset 13: a back-reference to 5 bytes back"_s;
        QTest::newRow("reference past the size")
            << stream(6, hex("02") + "abcd" + hex("600c")) << u"of 4 bytes passes the declared size of 6"_s;
        QTest::newRow("early end") << stream(8, hex("02") + "abcd" + hex("010000") + char(xorOf("abcd")))
                                   << u"offset 13: the end mark comes after 4 of the 8"_s;
        QTest::newRow("no end mark") << stream(4, hex("02") + "abcd") << u"offset 13: unexpected end"_s;
        QTest::newRow("wrong check byte")
            << stream(4, hex("02") + "abcd" + hex("01000000"))
            << u"offset 16: the check byte is 0x00, but the decoded bytes give 0x04"_s;
    }
    void refusesDamagedStreamsNamingTheOffset() {
        QFETCH(QByteArray, data);
        QFETCH(QString, problem);
        const QString error = errorOf([&] { Oc31Decoder::decode(data, u"SET%2.STY, style 2"_s); });
        QVERIFY2(error.startsWith(u"SET%2.STY, style 2: "_s) && error.contains(problem), qPrintable(error));
    }

    void readsFactsFromTheFrontOfTheBlocksOnly() {
        // Facts of both generations, blocks in either order, unknown chunks passed over; the bulk
        // behind the facts is never decoded.
        const QByteArray bulk(300000, 'm');
        const QByteArray style = StyleBlocks::styleBlock(0x1B, false, bulk);
        Oc31Decoder lazy(style.mid(8), u"style"_s);
        lazy.decodeTo(200);
        QVERIFY(lazy.output().size() < 1000 && !lazy.isComplete());
        StyleFactsValues facts = StyleFacts::read(StyleBlocks::performanceBlock(96, true, bulk), style);
        QVERIFY2(facts.complete() && facts.problem.isEmpty() && facts.damage.isEmpty(),
                 qPrintable(facts.problem));
        QCOMPARE(facts.Meter, u"3/8"_s);
        QCOMPARE(*facts.Tempo, 96);
        facts = StyleFacts::read(StyleBlocks::styleBlock(0x84, true), StyleBlocks::performanceBlock(250));
        QVERIFY(facts.Meter == u"16/16"_s && facts.Tempo == 250);

        // What cannot be read is left out, and said; a block that does not decode to its end is
        // named damaged with the first fault its decoding met, also behind the facts.
        QByteArray damaged = StyleBlocks::performanceBlock(120);
        damaged[40] = char(0x7F); // a byte of a chunk size: decoded as far as the end, the check byte tells
        facts = StyleFacts::read(StyleBlocks::styleBlock(0x22), damaged);
        QVERIFY(facts.Meter == u"4/4"_s && !facts.Tempo);
        QVERIFY2(facts.problem.startsWith(u"the performance block: at byte offset 114: the check byte is"_s),
                 qPrintable(facts.problem));
        QVERIFY2(
            facts.damage.startsWith(u"the performance block does not decode: at byte offset 114: the check "
                                    "byte is"_s),
            qPrintable(facts.damage));
        QByteArray cut = StyleBlocks::styleBlock(0x1A, false, QByteArray(500, 'c'));
        cut.chop(5); // the end mark and the check byte
        setBigEndian32(cut, 4, quint32(cut.size() - 8));
        facts = StyleFacts::read(cut, StyleBlocks::performanceBlock(90));
        QVERIFY2(facts.complete() && facts.problem.isEmpty(), qPrintable(facts.problem));
        QVERIFY2(facts.damage.startsWith(u"the style block does not decode: at byte offset"_s) &&
                     facts.damage.contains(u"bytes, but only 189 bytes are left"_s),
                 qPrintable(facts.damage));
        facts = StyleFacts::read(StyleBlocks::styleBlock(0x20), QByteArray(" "));
        QCOMPARE(facts.problem, u"the style block, decoded: at byte offset 97: the time signature 0x20 is no "
                                "meter; there is no performance block, so no tempo"_s);
        QCOMPARE(facts.damage, QString());
        QByteArray encrypted = StyleBlocks::performanceBlock(120);
        encrypted[3] = char(0x40);
        facts = StyleFacts::read(encrypted, {});
        QVERIFY(facts.problem.contains(u"offset 3: the block is encrypted"_s));
        QCOMPARE(facts.damage, u"there is no style block; the performance block does not decode: at byte "
                               "offset 3: the block is encrypted"_s);
        QVERIFY(StyleFacts::read(StyleBlocks::performanceBlock(12), {})
                    .problem.contains(u"the tempo 12 is outside"_s));

        for (const QString& meter : {u"4/4"_s, u"3/8"_s, u"1/4"_s, u"12/8"_s, u"31/16"_s})
            QCOMPARE(StyleFacts::meterText(quint8(StyleFacts::signatureOf(meter))), meter);
        for (const QString& text : {u"0/4"_s, u"3/3"_s, u"4/32"_s, u"32/4"_s, u"3/4 "_s, u"04/4"_s})
            QCOMPARE(StyleFacts::signatureOf(text), -1);
    }

    void fingerprintsTellTheKindsOfCopiesApart() {
        const QByteArray bulk(5000, 'm');
        const auto read = [&](const QByteArray& name, int tempo, quint8 meter = 0x22) {
            return StyleFacts::read(StyleBlocks::styleBlock(meter, true, bulk, name),
                                    StyleBlocks::performanceBlock(tempo, true, bulk));
        };
        const StyleFactsValues original = read("Samba", 120);
        QCOMPARE(agreeing(original, read("Samba", 120)), u"==="_s);
        // Another name inside, of another length: the chunk sizes around it do not count.
        QCOMPARE(agreeing(original, read("Samba Party Mix", 120)), u"x=="_s);
        QCOMPARE(agreeing(original, read("Samba", 96)), u"xx="_s);
        QCOMPARE(agreeing(original, read("Bossa", 96)), u"xx="_s);
        QCOMPARE(agreeing(original, read("Samba", 120, 0x1A)), u"xxx"_s);
        // The same tree stored plainly or in another compression is the same style once decoded.
        QByteArray tree =
            Oc31Decoder::decode(StyleBlocks::styleBlock(0x22, true, bulk, "Samba").mid(8), u"s"_s);
        QCOMPARE(agreeing(original, StyleFacts::read(StyleBlocks::chunk(0x06000008, tree),
                                                     StyleBlocks::performanceBlock(120, true, bulk))),
                 u"x=="_s);
        // A performance block that does not decode: the music is known, its settings are not.
        QByteArray damaged = StyleBlocks::performanceBlock(120, true, bulk);
        damaged[damaged.size() - 1] = char(damaged.back() ^ 1);
        const StyleFactsValues broken =
            StyleFacts::read(StyleBlocks::styleBlock(0x22, true, bulk, "Samba"), damaged);
        QVERIFY(broken.FingerprintExact && !broken.FingerprintRenamed && broken.FingerprintSettings);
        QCOMPARE(agreeing(original, broken), u"xx="_s);
    }

    void realFilesDecodeAndGiveTheirFacts() {
        const QString folder = qEnvironmentVariable("SBK_REAL_STY");
        if (folder.isEmpty() || !QDir(folder).exists())
            QSKIP("the folder of instrument-saved STY files is not available");
        int blocks = 0;
        QMap<QString, StyleFactsValues> first; // the first style of each file, by its folder
        QMap<QString, KORFStylePtr> firstStyle;
        QDirIterator it(folder, {"*.STY"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            KORFLibrary library;
            KORFStyles styles;
            library.FillCollectionFromStyle(file, styles);
            for (const KORFStylePtr& style : styles) {
                for (const QByteArray& block : {style->StyleContent1(), style->StyleContent2()}) {
                    QCOMPARE(quint8(block.at(3)), quint8(0x30));
                    Oc31Decoder decoder(block.mid(8), file);
                    QCOMPARE(decoder.decodeAll().size(), decoder.declaredSize());
                    ++blocks;
                }
                const StyleFactsValues facts =
                    StyleFacts::read(style->StyleContent1(), style->StyleContent2());
                QVERIFY2(facts.complete() && facts.damage.isEmpty(),
                         qPrintable(file + u": "_s + facts.problem));
                QVERIFY(*facts.Tempo >= 20 && *facts.Tempo <= 300);
                QVERIFY2(QList<int>({2, 4, 8, 16}).contains(facts.Meter.section('/', 1).toInt()),
                         qPrintable(facts.Meter));
                const QString set = QDir(folder).relativeFilePath(file).section('/', 0, 1);
                if (!first.contains(set)) {
                    first.insert(set, facts);
                    firstStyle.insert(set, style);
                }
            }
        }
        qInfo("%d blocks decoded", blocks);
        QCOMPARE(blocks, 148);
        QCOMPARE(*first.value(u"pa600/empty_with_tempo30.SET"_s).Tempo, 30);
        QCOMPARE(*first.value(u"pa600/empty.SET"_s).Tempo, 120);
        QCOMPARE(first.value(u"pa600/empty_with3_8meter.SET"_s).Meter, u"3/8"_s);

        // The fingerprints: a tempo changed in the performance is the same music with other
        // settings; the same style saved under another name inside is a renamed copy.
        QCOMPARE(agreeing(first.value(u"pa600/empty.SET"_s), first.value(u"pa600/empty_with_tempo30.SET"_s)),
                 u"xx="_s);
        QCOMPARE(agreeing(first.value(u"pa600/empty.SET"_s), first.value(u"pa600/empty_with3_8meter.SET"_s)),
                 u"xxx"_s);
        for (const QString& set : {u"pa600/empty.SET"_s, u"pa700oriental/time_signatures.SET"_s}) {
            const KORFStylePtr style = firstStyle.value(set);
            const StyleFactsValues renamed = StyleFacts::read(
                renamedInside(style->StyleContent1(), "A much longer name"), style->StyleContent2());
            QCOMPARE(agreeing(first.value(set), renamed), u"x=="_s);
        }
    }
};

QTEST_GUILESS_MAIN(TestStyleFacts)
#include "tst_stylefacts.moc"
