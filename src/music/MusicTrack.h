#pragma once

#include "music/MusicEvent.h"

#include <QList>
#include <QString>

// One style track as a chord variation plays it: which of the eight tracks it is, the pool
// sequence it plays and that sequence's events. Tracks that play the same pool sequence share
// its list of events.
struct MusicTrack {
    static constexpr int Count = 8;
    // The kinds of sequence: the pool keeps one of these for every sequence.
    static constexpr int DrumType = 0;
    static constexpr int BassType = 1;
    static constexpr int AccompanimentType = 2;

    int track = 0;    // 0..7: Drum, Perc, Bass, Acc1 to Acc5
    int type = 0;     // the sequence's kind, one of the types above
    int sequence = 0; // its number in the style's pool, from 1
    QList<MusicEvent> events;
    int skipped = 0; // events of unknown meaning passed over

    // The note ons (of a velocity above 0).
    int notes() const;
    QString name() const { return nameOf(track); }
    // "Drum", "Perc", "Bass", "Acc1" ... "Acc5"; "" for a number outside 0..7.
    static QString nameOf(int track);
};
