// sbk-cli end to end on what the styles play: style-show, midi-export and wav-export, run as a
// process on styles imported from an STY file; a style whose block is damaged is refused by them
// and stays usable for everything else.
#include "CliRunner.h"
#include "core/SBKSettings.h"
#include "music/SoundFontLocator.h"
#include "MusicTestData.h"
#include "SmfReader.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "sty/Oc31Decoder.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestMusicCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commands() {
        TestEnvironment env;
        const QString db = env.createDatabase();
        const QByteArray samba = StyleBlocks::musicBlock(MusicTestData::samba());
        // A block that decodes, with a reference to a sequence the pool does not hold.
        QByteArray tree = Oc31Decoder::decode(samba.mid(8), u"t"_s);
        const qsizetype table = tree.indexOf(QByteArray::fromHex("0100000800")) + 12;
        tree[table + 1] = char(99);
        KORFStyles styles;
        const QByteArray performance = StyleBlocks::performanceBlock(96);
        for (const auto& [name, block] :
             {std::pair{"Samba", samba}, {"Broken", StyleBlocks::compressed(0x06000030, tree)}})
            styles.Add(styles.Count() + 1, name, name, qint32(block.size()), qint32(performance.size()),
                       block, performance);
        const QString sty = env.writeFile(u"SET.STY"_s, KORFLibrary::encodeCollection(styles));
        QCOMPARE(runCli(env, {"--db", db, "import", sty}).exitCode, 0);

        CliResult result = runCli(env, {"--db", db, "style-show", "1", "--json"});
        const QJsonObject shown = QJsonDocument::fromJson(result.out).object();
        QCOMPARE(shown.keys(),
                 (QStringList{"Elements", "StyleMeter", "StyleName1", "StyleProg", "StyleTempo"}));
        QVERIFY(shown["StyleTempo"] == 96 && shown["StyleMeter"] == u"4/4"_s &&
                shown["StyleName1"].toString().startsWith("Samba"));
        const QJsonArray elements = shown["Elements"].toArray();
        QCOMPARE(elements.size(), 15);
        QCOMPARE(elements[1].toObject()["Meter"], u"3/4"_s);
        const QJsonObject var1 = elements[0].toObject();
        QCOMPARE(var1["ChordVariations"].toArray().size(), 6);
        const QJsonObject first = var1["ChordVariations"].toArray()[0].toObject();
        QVERIFY(first["Variation"] == 1 && first["Measures"] == 2 && first["Ticks"] == 3072);
        QCOMPARE(first["Tracks"].toArray()[0].toObject(),
                 (QJsonObject{{"Track", "Drum"}, {"Notes", 8}, {"Events", 16}}));
        QCOMPARE(
            var1["Sounds"].toArray()[0].toObject(),
            (QJsonObject{
                {"Track", "Drum"}, {"BankMSB", 120}, {"BankLSB", 0}, {"Program", 5}, {"Name", "Drum kit"}}));

        result = runCli(env, {"--db", db, "style-show", "1"});
        QVERIFY2(result.exitCode == 0 &&
                     result.out.contains("Var1     4/4     1         2     8     -     4     4     -") &&
                     result.out.contains("Sounds of every element:\n  Drum  Drum kit "),
                 result.out.constData());

        result = runCli(env, {"--db", db, "midi-export", "1", "--element", "fill4", "--repeat", "3", "-o",
                              env.path(u"fill4.mid"_s)});
        QVERIFY2(result.exitCode == 0 &&
                     result.out.contains("Fill4, chord variation 1, 1 measure of 4/4 played 3 times"),
                 result.out.constData());
        const SmfFile file = SmfFile::read(TestEnvironment::readFile(env.path(u"fill4.mid"_s)));
        QVERIFY(file.error.isEmpty() && file.tracks.size() == 2 && file.tracks[1].last().tick == 3 * 1536);
        QCOMPARE(file.trackName(0), u"Samba: Fill4, chord variation 1"_s);
        result =
            runCli(env, {"--db", db, "midi-export", "1", "--element", "Fill5", "-o", env.path(u"x.mid"_s)});
        QVERIFY(result.exitCode == 2 && result.err.contains("unknown element \"Fill5\""));
        result = runCli(env, {"--db", db, "midi-export", "1", "--element", "Fill4", "--variation", "3", "-o",
                              env.path(u"x.mid"_s)});
        QVERIFY2(result.exitCode == 1 && result.err.contains("Fill4 has chord variations 1 to 2, not 3."),
                 result.err.constData());
        QVERIFY(!QFileInfo::exists(env.path(u"x.mid"_s)));

        // The SoundFont: the one given, else the setting's; a missing one says where to set another.
        result = runCli(env, {"--db", db, "wav-export", "1", "--element", "Var1", "--soundfont",
                              env.path(u"none.sf2"_s), "-o", env.path(u"a.wav"_s)});
        QVERIFY(
            result.exitCode == 1 &&
            result.err.contains("The sound font " + env.path(u"none.sf2"_s).toUtf8() + " does not exist."));
        SBKSettings().setValue(SBKSettings::Parameters, SBKSettings::SoundFont, env.path(u"gone.sf2"_s));
        result =
            runCli(env, {"--db", db, "wav-export", "1", "--element", "Var1", "-o", env.path(u"a.wav"_s)});
        QVERIFY2(result.exitCode == 1 && result.err.contains("\"Sound font\" in the Parameters dialog") &&
                     result.err.contains("--soundfont FILE"),
                 result.err.constData());
        const QString soundFont = SoundFontLocator::systemDefault();
        if (!soundFont.isEmpty()) {
            result = runCli(env, {"--db", db, "wav-export", "1", "--element", "Fill1", "--soundfont",
                                  soundFont, "--output", env.path(u"fill1.wav"_s)});
            QVERIFY2(result.exitCode == 0 && result.out.contains("2.50 s and 2.0 s of release"),
                     (result.out + result.err).constData());
            QCOMPARE(QFileInfo(env.path(u"fill1.wav"_s)).size(), 44 + 4 * (110250 + 88200));
        }

        // The damaged style: named with the offset of the fault; listed and exported all the same.
        result = runCli(env, {"--db", db, "style-show", "2"});
        QVERIFY2(result.exitCode == 1 &&
                     result.err.contains(
                         u"Style 2 \"Broken\": the style block, decoded: at byte offset %1: the reference 1 names the sequence 99"_s
                             .arg(table)
                             .toUtf8()),
                 result.err.constData());
        QVERIFY(runCli(env, {"--db", db, "list"}).out.contains("2 styles available"));
    }
};

QTEST_GUILESS_MAIN(TestMusicCli)
#include "tst_musiccli.moc"
