// The music engine: a style's blocks read into elements, variations, tracks and events (on the
// instruments' own files when they are at hand, on styles built here otherwise), written as MIDI
// files that the tests' own reader reads back, scheduled for a player and rendered offline.
#include "core/SbkError.h"
#include "music/ElementTimeline.h"
#include "music/GeneralMidi.h"
#include "music/MidiFileWriter.h"
#include "music/PatternScheduler.h"
#include "music/SoundFontLocator.h"
#include "music/SoundFontSynth.h"
#include "music/SynthSettings.h"
#include "music/WavRenderer.h"
#include "MusicTestData.h"
#include "SmfReader.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "sty/Oc31Decoder.h"
#include "TestEnvironment.h"

#include <cmath>
#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace MusicTestData;

namespace {

struct RealStyle {
    QString set; // "pa600/simple_maqsum.SET"
    QString name;
    StyleMusic music;
};

QList<RealStyle> realStyles(const QString& folder) {
    QList<RealStyle> list;
    QDirIterator it(folder, {u"*.STY"_s}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        KORFLibrary library;
        KORFStyles styles;
        library.FillCollectionFromStyle(file, styles);
        for (const KORFStylePtr& style : styles)
            list << RealStyle{QDir(folder).relativeFilePath(file).section(u'/', 0, 1),
                              style->StyleName1().trimmed(),
                              StyleMusicReader::read(style->StyleContent1(), style->StyleContent2(), file)};
    }
    return list;
}

const StyleMusic& inSet(const QList<RealStyle>& styles, const QString& set) {
    for (const RealStyle& style : styles)
        if (style.set == set)
            return style.music;
    qFatal("no style of %s", qPrintable(set));
}

// The (tick, status, data1, data2) of a track's events of one kind, or of notes that start.
QList<QList<int>> eventsOf(const MusicTrack& track, int status) {
    QList<QList<int>> list;
    for (const MusicEvent& e : track.events)
        if (status == MusicEvent::NoteOn ? e.startsNote() : e.status == status)
            list << QList<int>{int(e.tick), e.data1, e.data2};
    return list;
}

QByteArray tree(const QByteArray& styleBlock) {
    return Oc31Decoder::decode(styleBlock.mid(8), u"t"_s);
}

void setBigEndian(QByteArray& bytes, qsizetype at, quint32 value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = char(value >> (8 * (size - 1 - i)));
}

// The loudness of the left channel of a 44.1 kHz WAV file from one second to another.
double rms(const QByteArray& wav, double from, double to) {
    double sum = 0;
    const qint64 a = qint64(from * 44100), b = qint64(to * 44100);
    for (qint64 i = a; i < b; ++i) {
        const qint16 left = qint16(quint8(wav[44 + 4 * i]) | quint8(wav[45 + 4 * i]) << 8);
        sum += double(left) * left;
    }
    return std::sqrt(sum / double(b - a));
}

} // namespace

class TestMusic : public QObject {
    Q_OBJECT

    QList<RealStyle> m_real; // the instruments' own styles, when their folder is at hand

private Q_SLOTS:
    void initTestCase() {
        const QString folder = qEnvironmentVariable("SBK_REAL_STY");
        if (!folder.isEmpty() && QDir(folder).exists())
            m_real = realStyles(folder);
    }

    // The facts of the format on every real style: every style reads, its meters and whole
    // measures; the order of the elements.
    void realStylesInTheirMetersAndOrder() {
        if (m_real.isEmpty())
            QSKIP("the folder of instrument-saved STY files is not available");
        const QList<RealStyle>& styles = m_real;
        QCOMPARE(styles.size(), 74);
        int metered = 0;
        static const QRegularExpression meterName(u"^[0-9]+/[0-9]+$"_s);
        for (const RealStyle& style : styles) {
            QCOMPARE(style.music.elements.size(), StyleElement::Count);
            for (const StyleElement& element : style.music.elements) {
                QCOMPARE(element.variations.size(), element.index < 4 ? 6 : 2);
                for (const ChordVariation& variation : element.variations)
                    QVERIFY(variation.ticks > 0 && variation.ticks % element.measureTicks() == 0);
                if (meterName.match(style.name).hasMatch())
                    QCOMPARE(element.meter(), style.name);
            }
            metered += meterName.match(style.name).hasMatch();
        }
        QCOMPARE(metered, 48);

        // One drum note per element, its key rising in the order of the panel's buttons.
        const StyleMusic& order = inSet(styles, u"pa600/singledrumnoteforeachstyleelement.SET"_s);
        const QStringList panel{u"Var1"_s,   u"Var2"_s,   u"Var3"_s,    u"Var4"_s,    u"Intro1"_s,
                                u"Intro2"_s, u"Intro3"_s, u"Fill1"_s,   u"Fill2"_s,   u"Fill3"_s,
                                u"Fill4"_s,  u"Break"_s,  u"Ending1"_s, u"Ending2"_s, u"Ending3"_s};
        for (int i = 0; i < panel.size(); ++i) {
            const StyleElement& element = order.elements.at(StyleElement::indexOf(panel[i]));
            QCOMPARE(element.name(), panel[i]);
            QCOMPARE(element.variations.first().notes(), 1);
            QCOMPARE(eventsOf(element.variations.first().tracks.first(), MusicEvent::NoteOn).first().at(1),
                     60 + i);
        }
    }

    // Shared pool sequences, recorded ticks (through a MIDI file too), the extra events of the
    // twins, unknown events, user kits and tempo changes.
    void realStylesPlayAsRecorded() {
        if (m_real.isEmpty())
            QSKIP("the folder of instrument-saved STY files is not available");
        const QList<RealStyle>& styles = m_real;

        const StyleMusic& shared =
            inSet(styles, u"pa600/fill1_and_fill4_havesamebasstrack_and_fill3_hasdifferentbasstrack.SET"_s);
        const auto bassOf = [&](const QString& element) {
            return shared.elements.at(StyleElement::indexOf(element)).variations.first().track(2)->sequence;
        };
        QVERIFY(bassOf(u"Fill1"_s) == bassOf(u"Fill4"_s) && bassOf(u"Fill1"_s) != bassOf(u"Fill3"_s));

        const MusicTrack& maqsum =
            *inSet(styles, u"pa600/simple_maqsum.SET"_s).elements.first().variations.first().track(0);
        QList<int> ticks;
        for (const QList<int>& note : eventsOf(maqsum, MusicEvent::NoteOn))
            ticks << note.first();
        QCOMPARE(ticks, (QList<int>{7, 214, 564, 776, 1155, 1524, 1722, 2098, 2283, 2656}));

        // The twins: the notes of the plain file, and their controllers, pressure or bend.
        const auto drumOf = [&](const QString& set) -> const MusicTrack& {
            return *inSet(styles, u"pa700oriental/"_s + set + u".SET"_s)
                        .elements.first()
                        .variations.first()
                        .track(0);
        };
        const MusicTrack& plain = drumOf(u"maqsum_custom_drum_kit"_s);
        QCOMPARE(plain.notes(), 8);
        for (const QString& twin : {u"controlchange"_s, u"aftertouch"_s, u"bend"_s}) {
            const MusicTrack& track = drumOf(u"maqsum_custom_drum_kit_with_"_s + twin);
            QCOMPARE(eventsOf(track, MusicEvent::NoteOn), eventsOf(plain, MusicEvent::NoteOn));
            QCOMPARE(eventsOf(track, MusicEvent::NoteOff), eventsOf(plain, MusicEvent::NoteOff));
        }
        QCOMPARE(
            eventsOf(drumOf(u"maqsum_custom_drum_kit_with_controlchange"_s), MusicEvent::ControlChange),
            (QList<QList<int>>{{1143, 1, 127}, {1292, 82, 0}, {3071, 64, 64}, {3071, 1, 0}, {3071, 64, 0}}));
        QCOMPARE(eventsOf(drumOf(u"maqsum_custom_drum_kit_with_aftertouch"_s), MusicEvent::ChannelPressure),
                 (QList<QList<int>>{{1143, 0, 0}, {1292, 127, 0}, {3071, 0, 0}}));
        QCOMPARE(eventsOf(drumOf(u"maqsum_custom_drum_kit_with_bend"_s), MusicEvent::PitchBend),
                 (QList<QList<int>>{{1143, 0, 0}, {1292, 127, 127}, {3071, 0, 64}}));
        QCOMPARE(inSet(styles, u"pa700oriental/maqsum_custom_drum_kit.SET"_s)
                     .elements.first()
                     .drumKeysOutsideGeneralMidi(),
                 (QList<int>{101, 107, 111}));

        // The noises: two-byte events passed over and counted; the drum track plays a piano, so
        // it leaves the drum channel.
        const StyleMusic& noises = inSet(styles, u"pa700oriental/grand_rx_demo_with_rxnoises.SET"_s);
        QCOMPARE(noises.skipped(), 6);
        QVERIFY(!noises.elements.first().sounds[0].isDrumKit());
        QCOMPARE(ElementTimeline(noises, 0, 1).parts().first().channel, 0);
        const StyleMusic& simpleMaqsum = inSet(styles, u"pa600/simple_maqsum.SET"_s);
        QCOMPARE(ElementTimeline(simpleMaqsum, 0, 1).parts().first().channel, GeneralMidi::DrumChannel);
        const ChordVariation& tempo =
            inSet(styles, u"pa600/var1cv1_filledwithsinglenoteforeachtrackandtempochangeformaster.SET"_s)
                .elements.first()
                .variations.first();
        QCOMPARE(tempo.tempoChanges.size(), 1);
        QVERIFY(tempo.tempoChanges[0].tick == 1536 && tempo.tempoChanges[0].bpm == 67);

        // The recorded ticks survive a MIDI file.
        const SmfFile file =
            SmfFile::read(MidiFileWriter::write(ElementTimeline(simpleMaqsum, 0, 1), 1, u"Maqsum"_s));
        QList<int> written;
        for (const SmfEvent& e : file.tracks.value(1))
            if (e.kind() == 0x90 && e.data.at(1) > 0)
                written << int(e.tick);
        QCOMPARE(written, ticks);
    }

    // A built style: elements in their order with their meters, sounds and variations; the tracks'
    // events at their ticks; identical patterns stored once and shared.
    void builtStyleReadsBack() {
        const StyleMusic music = read(StyleBlocks::musicBlock(samba()));
        QVERIFY(music.name == u"Samba"_s && music.tempo == 96);
        QCOMPARE(music.elements.size(), 15);
        const StyleElement& var1 = music.elements[0];
        QVERIFY(var1.name() == u"Var1"_s && var1.meter() == u"4/4"_s && var1.variations.size() == 6);
        QCOMPARE(music.elements[1].meter(), u"3/4"_s);
        QCOMPARE(music.elements[1].variations[5].ticks / music.elements[1].measureTicks(), 2u);
        QVERIFY(music.elements[4].isEmpty() && music.elements[4].variations.size() == 2);
        QVERIFY(var1.sounds[0].isDrumKit() && var1.sounds[2].program == 32 && var1.sounds[2].bankLsb == 3);
        const ChordVariation& first = var1.variations[0];
        QCOMPARE(first.tracks.size(), 3);
        QCOMPARE(first.track(3)->notes(), 4);
        QCOMPARE(eventsOf(*first.track(3), MusicEvent::PitchBend),
                 (QList<QList<int>>{{768, 0, 96}, {1536, 0, 64}}));
        QCOMPARE(eventsOf(*first.track(3), MusicEvent::ChannelPressure), (QList<QList<int>>{{1600, 50, 0}}));
        QCOMPARE(first.track(2)->events.last().tick, 3072u);
        QVERIFY(first.tempoChanges.size() == 1 && first.tempoChanges[0].bpm == 90);
        QCOMPARE(var1.variations[1].track(0)->sequence, first.track(0)->sequence);
        const auto drum = [&](int element) {
            return music.elements[element].variations[0].track(0)->sequence;
        };
        QVERIFY(drum(6) == drum(14) && drum(6) != drum(13));
        // Started halfway, a track plays what fits in the rest of the variation.
        QCOMPARE(eventsOf(*music.elements[13].variations[1].track(0), MusicEvent::NoteOn),
                 (QList<QList<int>>{{768, 50, 100}, {1152, 50, 100}}));
        // Var1 plays the kick in all six variations, the bass and piano once: 3 sequences; Var2 one;
        // the 11 empty elements' 8 empty tracks 3 (one per type), two fills.
        QCOMPARE(music.poolSize, 3 + 1 + 3 + 2);
    }

    // Every fault names the style, the offset in the decoded block and what is wrong.
    void damagedBlocksNameTheStyleAndTheOffset_data() {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("problem");
        const QByteArray good = tree(StyleBlocks::musicBlock(samba()));
        const qsizetype index = good.indexOf(QByteArray::fromHex("0100000800"));
        const qsizetype table = index + 8 + 4;
        const auto damaged = [&](const char* row, const std::function<void(QByteArray&)>& harm,
                                 const QString& problem) {
            QByteArray bytes = good;
            harm(bytes);
            QTest::newRow(row) << StyleBlocks::compressed(0x06000030, bytes) << problem;
        };
        damaged(
            "reference past the pool", [&](QByteArray& b) { setBigEndian(b, table, 99, 2); },
            u"at byte offset %1: the reference 1 names the sequence 99; the pool holds 1 to 9"_s.arg(table));
        damaged(
            "pool count", [&](QByteArray& b) { setBigEndian(b, index + 8, 10, 2); },
            u"at byte offset %1: the pool's index table announces 10 sequences, the pool holds 9"_s.arg(
                index + 8));
        const qsizetype kick = good.indexOf(QByteArray::fromHex("0124e4"));
        damaged(
            "velocity without its mark", [&](QByteArray& b) { b[kick + 2] = char(0x64); },
            u"at byte offset %1: the last data byte of an event lacks bit 7"_s.arg(kick + 2));
        damaged(
            "unknown event", [&](QByteArray& b) { b[kick] = char(0x0a); },
            u"at byte offset %1: an event of the unknown type 0x0a"_s.arg(kick));
        const qsizetype sequence = good.indexOf(QByteArray::fromHex("0200000800"), table) + 8;
        damaged(
            "length beside its end", [&](QByteArray& b) { setBigEndian(b, sequence, 4608, 4); },
            u"the sequence ends at tick 3072; its length is 4608 ticks"_s);
        damaged(
            "events past the chunk", [&](QByteArray& b) { b[sequence + 7] = char(b[sequence + 7] + 1); },
            u"at byte offset %1: the sequence announces"_s.arg(sequence + 4));
        qsizetype intro = table; // the information of the fifth element, Intro1
        for (int i = 0; i < 5; ++i)
            intro = good.indexOf(QByteArray::fromHex("0101010800"), intro + 1);
        damaged(
            "mask beside the variations", [&](QByteArray& b) { b[intro + 8] = char(0x3f); },
            u"at byte offset %1: the mask 0x3f of Intro1 names 6 chord variations, it holds 2"_s.arg(intro +
                                                                                                     8));
        damaged(
            "an element short", [&](QByteArray& b) { b[intro - 8] = char(0x7f); },
            u"at byte offset 8: the style holds 14 elements"_s);
        QByteArray encrypted = StyleBlocks::musicBlock(samba());
        encrypted[3] = char(0x70);
        QTest::newRow("encrypted") << encrypted << u"at byte offset 3: the block is encrypted"_s;
    }
    void damagedBlocksNameTheStyleAndTheOffset() {
        QFETCH(QByteArray, block);
        QFETCH(QString, problem);
        const QString error = errorOf([&] { read(block); });
        QVERIFY2(error.startsWith(u"Style 3 \"Samba\": the style block"_s) && error.contains(problem),
                 qPrintable(error));
    }

    // The file holds what the variation plays: track 0 the title, meter and tempi, then a track per
    // style track on its channel, sounds at tick 0, every event at its tick, repeats joined with the
    // ends of notes first, every track ending where the passes end. No running status.
    void midiFileReadsBack() {
        const StyleMusic music = read(StyleBlocks::musicBlock(samba()));
        const ElementTimeline timeline(music, 0, 1);
        const SmfFile file =
            SmfFile::read(MidiFileWriter::write(timeline, 2, u"Samba: Var1, chord variation 1"_s));
        QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
        QVERIFY(file.format == 1 && file.division == 384 && file.tracks.size() == 4 && !file.runningStatus);
        QCOMPARE(file.trackName(0), u"Samba: Var1, chord variation 1"_s);
        QCOMPARE((QStringList{file.trackName(1), file.trackName(2), file.trackName(3)}),
                 (QStringList{u"Drum"_s, u"Bass"_s, u"Acc1"_s}));
        QList<QList<int>> conductor;
        for (const SmfEvent& e : file.tracks[0])
            if (e.status == 0xFF && (e.meta == 0x58 || e.meta == 0x51))
                conductor << QList<int>{int(e.tick), e.meta, int(quint8(e.data[0])), int(quint8(e.data[1]))};
        // 4/4; 96 BPM = 625000 us (0x09 0x89..), 90 BPM = 666666 us (0x0A 0x2C..), each pass again.
        QCOMPARE(conductor, (QList<QList<int>>{{0, 0x58, 4, 2},
                                               {0, 0x51, 0x09, 0x89},
                                               {1536, 0x51, 0x0A, 0x2C},
                                               {3072, 0x51, 0x09, 0x89},
                                               {4608, 0x51, 0x0A, 0x2C}}));
        for (int t = 0; t < 4; ++t)
            QCOMPARE(file.tracks[t].last().tick, 6144u);
        const QList<SmfEvent>& drum = file.tracks[1];
        QVERIFY(drum[1].status == 0xB9 && drum[1].data == QByteArray::fromHex("0078"));
        QVERIFY(drum[3].status == 0xC9 && drum[3].data == QByteArray(1, 5) && drum[3].tick == 0);
        const QList<SmfEvent>& bass = file.tracks[2];
        QCOMPARE(bass[3].status, quint8(0xC2));
        int notes = 0;
        for (qsizetype i = 4; i + 1 < bass.size(); ++i) {
            QCOMPARE(bass[i].channel(), 2);
            notes += bass[i].kind() == 0x90;
        }
        QCOMPARE(notes, 8);
        // The last note of the first pass ends before the first of the second starts.
        QList<int> junction;
        for (const SmfEvent& e : bass)
            if (e.tick == 3072)
                junction << e.kind();
        QCOMPARE(junction, (QList<int>{0x80, 0x90}));
        QList<int> bends;
        for (const SmfEvent& e : file.tracks[3])
            if (e.kind() == 0xE0)
                bends << int(e.tick);
        QCOMPARE(bends, (QList<int>{768, 1536, 3840, 4608}));
        QVERIFY(errorOf([&] {
                    MidiFileWriter::write(timeline, 100000, u"x"_s);
                }).contains(u"do not fit a MIDI file"_s));
    }

    void variableLengthQuantities_data() {
        QTest::addColumn<quint32>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("0") << 0u << QByteArray::fromHex("00");
        QTest::newRow("127") << 127u << QByteArray::fromHex("7f");
        QTest::newRow("128") << 128u << QByteArray::fromHex("8100");
        QTest::newRow("16383") << 16383u << QByteArray::fromHex("ff7f");
        QTest::newRow("16384") << 16384u << QByteArray::fromHex("818000");
        QTest::newRow("0x0FFFFFFF") << 0x0FFFFFFFu << QByteArray::fromHex("ffffff7f");
    }
    void variableLengthQuantities() {
        QFETCH(quint32, value);
        QFETCH(QByteArray, bytes);
        QCOMPARE(MidiFileWriter::variableLength(value), bytes);
    }

    // At 100 BPM and 640 frames a second a tick lasts a frame: every message falls on the frame of
    // its tick, passes follow each other, a cued element starts at the next measure boundary after
    // the notes of the old one were ended, and a counted run ends idle.
    void schedulerPlaysInStepWithTheFrames() {
        const auto music = std::make_shared<const StyleMusic>(read(StyleBlocks::musicBlock(samba()), 100));
        PatternScheduler scheduler(640);
        Recorder sink;
        const PatternScheduler::Render advance = [&](int, int count) { sink.frame += count; };
        scheduler.start({music, 13, 1}); // Fill3: four notes of key 50 in its one measure, looped
        for (int block = 0; block < 20; ++block)
            scheduler.play(100, sink, advance); // frame 2000: tick 464 of the second pass
        scheduler.cue({music, 6, 1});           // Fill1: eight notes of key 38
        for (int block = 0; block < 20; ++block)
            scheduler.play(100, sink, advance);
        QCOMPARE(sink.framesOf(0x99, 50), (QList<qint64>{0, 384, 768, 1152, 1536, 1920, 2304, 2688}));
        QCOMPARE(sink.framesOf(0x89, 50).last(), 2688 + 192);
        QCOMPARE(sink.framesOf(0x99, 38).first(), 3072);
        QCOMPARE(sink.framesOf(0x99, 38).size(), 5); // 3072 ... 3072 + 4 * 192, before frame 4000
        QCOMPARE(sink.framesOf(0xB9, 123), (QList<qint64>{1536, 3072}));
        QCOMPARE(sink.sounds, (QList<QList<qint64>>{{0, 9, 5}, {3072, 9, 5}}));
        QVERIFY(!scheduler.idle());

        // Var2 in 3/4 twice, at its own pace; then nothing.
        sink = Recorder();
        scheduler.start({music, 1, 1}, 2);
        for (int block = 0; block < 50 && !scheduler.idle(); ++block)
            scheduler.play(97, sink, advance);
        QCOMPARE(sink.framesOf(0x99, 42).size(), 12);
        QCOMPARE(sink.framesOf(0x99, 42).at(6), 2304);
        QVERIFY(scheduler.idle() && sink.frame <= 2 * 2304 + 97);
        // Var1: a measure at 100 BPM (2.4 s), one at 90.
        QCOMPARE(PatternScheduler::seconds(ElementTimeline(*music, 0, 1), 2),
                 2 * (2.4 + 1536 * 60.0 / (90 * 384)));
        QVERIFY(errorOf([&] {
                    scheduler.start({music, 4, 3});
                }).contains(u"Intro1 has chord variations 1 to 2, not 3"_s));
    }

    // Through a General MIDI SoundFont: the passes and the release, not silent, fading at the end.
    void offlineRenderSounds() {
        QString soundFont;
        try {
            soundFont = SoundFontLocator::resolve({}, {});
        } catch (const SbkError&) {
            QSKIP("no General MIDI SoundFont is installed");
        }
        QVERIFY(errorOf([] { SoundFontLocator::resolve({}, u"/nowhere/kit.sf2"_s); })
                    .contains(
                        u"set one with \"Sound font\" in the Parameters dialog, or give one to sbk-cli with "
                        "--soundfont FILE"_s));
        TestEnvironment env;
        SynthSettings settings;
        QVERIFY(errorOf([&] {
                    SoundFontSynth(settings, env.writeFile(u"not.sf2"_s, "RIFF"));
                }).startsWith(u"The sound font %1 cannot be loaded"_s.arg(env.path(u"not.sf2"_s))));
        SoundFontSynth synth(settings, soundFont);
        const auto music = std::make_shared<const StyleMusic>(read(StyleBlocks::musicBlock(samba())));
        const WavRenderer::Result result =
            WavRenderer::render({music, 0, 1}, 2, synth, env.path(u"var1.wav"_s));
        const double pass = 1536 * 60.0 / (96 * 384) + 1536 * 60.0 / (90 * 384);
        QCOMPARE(result.playing, 2 * pass);
        const QByteArray wav = TestEnvironment::readFile(env.path(u"var1.wav"_s));
        QVERIFY(wav.startsWith("RIFF") && wav.mid(8, 8) == "WAVEfmt ");
        const qint64 frames = (wav.size() - 44) / 4;
        QCOMPARE(frames, qint64(std::ceil(2 * pass * 44100)) + 2 * 44100);
        QVERIFY2(rms(wav, 0, 2 * pass) > 300, qPrintable(QString::number(rms(wav, 0, 2 * pass))));
        QVERIFY(rms(wav, 2 * pass + 1.5, 2 * pass + 2) < rms(wav, 0, 2 * pass) / 10);
        QVERIFY(result.peak > 0.01 && result.peak < 1);
    }
};

QTEST_GUILESS_MAIN(TestMusic)
#include "tst_music.moc"
