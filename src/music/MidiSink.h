#pragma once

#include "music/TrackSound.h"

#include <QtGlobal>

// What plays MIDI channel messages: a synthesizer, or a recorder in the tests.
class MidiSink {
public:
    virtual ~MidiSink() = default;
    // One channel message: status with the channel, its data bytes (data2 unused by program change
    // and channel pressure).
    virtual void send(quint8 status, quint8 data1, quint8 data2) = 0;
    // Gives the channel the sound as the style stores it (bank select and program).
    virtual void selectSound(int channel, const TrackSound& sound) = 0;
};
