#pragma once

#include "music/TrackSound.h"

#include <QString>

// What General MIDI names: the 128 melodic programs and the keys of its drum map.
class GeneralMidi {
public:
    static constexpr int FirstDrumKey = 35;
    static constexpr int LastDrumKey = 81;
    // MIDI channel 10, counted from 0, which plays drum kits.
    static constexpr int DrumChannel = 9;

    // "Acoustic Grand Piano" for 0 ... "Gunshot" for 127; "" outside 0..127.
    static QString programName(int program);
    // What a track's sound is called: "Drum kit" for a kit (bank MSB 120), else the name of its
    // General MIDI program.
    static QString soundName(const TrackSound& sound);
    static bool isDrumKey(int key) { return key >= FirstDrumKey && key <= LastDrumKey; }
};
