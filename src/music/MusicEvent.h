#pragma once

#include <QtGlobal>

// One channel event of a style track at its tick, counted from the start of its chord variation
// (384 ticks to the quarter note). status is the MIDI status without the channel; events of one
// data byte (program change, channel pressure) leave data2 at 0.
struct MusicEvent {
    static constexpr quint8 NoteOff = 0x80;
    static constexpr quint8 NoteOn = 0x90;
    static constexpr quint8 PolyPressure = 0xA0;
    static constexpr quint8 ControlChange = 0xB0;
    static constexpr quint8 ProgramChange = 0xC0;
    static constexpr quint8 ChannelPressure = 0xD0;
    static constexpr quint8 PitchBend = 0xE0;

    quint32 tick = 0;
    quint8 status = NoteOn;
    quint8 data1 = 0;
    quint8 data2 = 0;

    bool startsNote() const { return status == NoteOn && data2 > 0; }
    // A note off, or a note on of velocity 0, which MIDI takes for one.
    bool endsNote() const { return status == NoteOff || (status == NoteOn && data2 == 0); }
    // 1 or 2.
    int dataBytes() const { return status == ProgramChange || status == ChannelPressure ? 1 : 2; }
};
