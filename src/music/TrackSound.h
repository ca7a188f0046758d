#pragma once

#include <QtGlobal>

// The sound a style track plays in one element, as the element stores it: bank select MSB and
// LSB and a program number. The banks are those of General MIDI 2: MSB 120 a drum kit, 121 a
// melodic sound whose program is the General MIDI one and whose LSB picks a variation of it.
struct TrackSound {
    static constexpr quint8 DrumKitBank = 120;
    static constexpr quint8 MelodicBank = 121;

    quint8 bankMsb = MelodicBank;
    quint8 bankLsb = 0;
    quint8 program = 0;

    // Whether the track plays a drum kit: told by the bank, never by the track's type (a drum
    // track may play a piano).
    bool isDrumKit() const { return bankMsb == DrumKitBank; }
};
