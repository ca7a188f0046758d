#pragma once

#include "music/MusicTrack.h"

#include <QList>

// A change of tempo that a chord variation's master track makes at a tick.
struct TempoChange {
    quint32 tick = 0;
    int bpm = 120;
};

// One chord variation of an element: its length and the tracks it plays (in the order of its
// master track), each with its sequence.
struct ChordVariation {
    int number = 1; // from 1
    quint32 ticks = 0;
    QList<MusicTrack> tracks;
    QList<TempoChange> tempoChanges;
    int skipped = 0; // events of the master track of unknown meaning

    // The track of that number (0..7) when the variation plays it, else nullptr.
    const MusicTrack* track(int number) const;
    int notes() const;
};
