#pragma once

#include "music/StyleElement.h"

#include <optional>
#include <QList>
#include <QString>

// What a style plays, as its style block holds it: its fifteen elements in their order, each with
// its chord variations, tracks and events; and the tempo of its performance block. Built by
// StyleMusicReader; taken by the MIDI file writer, the scheduler of the player and the tables that
// show it. Patterns are kept as they were recorded: how the instrument transposes them for the
// chord played is not known.
struct StyleMusic {
    // The longest sequence accepted, in ticks (some 3 hours at 120 BPM); longer lengths are damage.
    static constexpr quint32 MaxTicks = 1u << 24;

    QString name;             // the name inside the style block
    std::optional<int> tempo; // BPM, when the performance block gives it
    QList<StyleElement> elements;
    int poolSize = 0;   // sequences in the pool
    int references = 0; // track pairs the pool's index table resolves

    // The events of unknown meaning passed over, in all tracks and master tracks.
    int skipped() const;
};
