#pragma once

// A style built for the tests of music: what they play when the instruments'
// own files are not at hand.

#include "music/MidiSink.h"
#include "music/StyleMusicReader.h"
#include "StyleBlocks.h"

#include <QByteArray>
#include <QList>

namespace MusicTestData {

using Event = StyleBlocks::Event;

// Samba, at 96 BPM: Var1 (4/4, two measures) with a kick on every beat, a bass whose last note ends
// where the pattern ends, a piano with sustain pedal, bend and pressure, and a tempo change to 90
// halfway; its second chord variation plays the kick alone. Var2 is in 3/4. Fill1 and Fill4 play the
// same drum pattern (stored once), Fill3 another, which its second chord variation starts halfway.
inline StyleBlocks::Music samba() {
    StyleBlocks::Music music;
    music.name = "Samba";
    StyleBlocks::Variation var1;
    var1.ticks = 3072;
    const QList<Event> kick = StyleBlocks::notes(0, 384, 8, 36);
    QList<Event> piano = StyleBlocks::notes(0, 768, 4, 60, 90, 700);
    piano << Event{0, 0xB0, 64, 127} << Event{700, 0xB0, 64, 0} << Event{768, 0xE0, 0, 96}
          << Event{1536, 0xE0, 0, 64} << Event{1600, 0xD0, 50, 0};
    var1.tracks = {{0, kick}, {2, StyleBlocks::notes(0, 960, 4, 40, 100, 192)}, {3, piano}};
    var1.tempoChanges = {{1536, 90}};
    StyleBlocks::Variation kickOnly{3072, {{0, kick}}, {}};
    music.elements[0].variations = {var1, kickOnly, kickOnly, kickOnly, kickOnly, kickOnly};
    music.elements[1].signature = 0x1A;
    music.elements[1].variations =
        QList<StyleBlocks::Variation>(6, {2304, {{0, StyleBlocks::notes(0, 384, 6, 42)}}, {}});
    const StyleBlocks::Variation fill{1536, {{0, StyleBlocks::notes(0, 192, 8, 38)}}, {}};
    const StyleBlocks::Variation otherFill{1536, {{0, StyleBlocks::notes(0, 384, 4, 50)}}, {}};
    music.elements[6].variations = {fill, fill};
    StyleBlocks::Variation lateFill = otherFill;
    lateFill.tracks[0].start = 768;
    music.elements[13].variations = {otherFill, lateFill};
    music.elements[14].variations = {fill, fill};
    return music;
}

inline StyleMusic read(const QByteArray& styleBlock, int tempo = 96) {
    return StyleMusicReader::read(styleBlock, StyleBlocks::performanceBlock(tempo), "Style 3 \"Samba\"");
}

// Records what the scheduler sends, each at the frame it falls on.
struct Recorder : MidiSink {
    qint64 frame = 0;
    QList<QList<qint64>> sent;   // frame, status, data1, data2
    QList<QList<qint64>> sounds; // frame, channel, program
    void send(quint8 status, quint8 data1, quint8 data2) override {
        sent << QList<qint64>{frame, status, data1, data2};
    }
    void selectSound(int channel, const TrackSound& sound) override {
        sounds << QList<qint64>{frame, channel, sound.program};
    }
    QList<qint64> framesOf(int status, int data1) const {
        QList<qint64> frames;
        for (const auto& m : sent)
            if (m[1] == status && m[2] == data1)
                frames << m[0];
        return frames;
    }
};

} // namespace MusicTestData
