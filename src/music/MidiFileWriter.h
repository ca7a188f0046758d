#pragma once

#include <QByteArray>
#include <QString>

class ElementTimeline;

// Writes one chord variation of an element as a Standard MIDI File of type 1, 384 ticks to the
// quarter note. Track 0 holds the title, the time signature, the tempo and the master track's
// tempo changes; then one track per style track the variation plays, named after it, with its
// bank select (CC 0 and 32) and program change at tick 0 as stored and every event at its tick.
// Every event carries its status byte (no running status); at one tick the notes that end come
// before the notes that start; a note still held at the end is ended there, where every track ends.
class MidiFileWriter {
public:
    static constexpr int Division = 384;
    // The largest tick a variable-length quantity holds.
    static constexpr quint32 MaxTick = 0x0FFFFFFF;

    // The file of the timeline played repeat times (from 1); title names it in track 0 ("Samba:
    // Var1, chord variation 1"). SbkError when the repeats pass MaxTick.
    static QByteArray write(const ElementTimeline& timeline, int repeat, const QString& title);
    // The same written to path through SaveFile; SbkError naming the file when it cannot be.
    static void save(const ElementTimeline& timeline, int repeat, const QString& title, const QString& path);
    // How a file names what it holds: "Samba: Var1, chord variation 1".
    static QString titleOf(const QString& styleName, const ElementTimeline& timeline);
    // value in 1 to 4 bytes, 7 bits each, most significant first, bit 7 set on all but the last.
    static QByteArray variableLength(quint32 value);
};
