#pragma once

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
    static bool isDrumKey(int key) { return key >= FirstDrumKey && key <= LastDrumKey; }
};
