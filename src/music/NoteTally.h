#pragma once

#include "core/NoteVector.h"
#include "music/MusicTrack.h"

#include <array>

// The note onsets of a style counted into the cells of its note fingerprint (NoteFingerprint says
// which), one note at a time, however they were read. The pitch classes are kept as played until
// counts turns them to the pattern's own root.
class NoteTally {
public:
    enum class Role { Drums, Bass, Accompaniment };
    // The role of a track: a drum kit by its sound, whatever its type; else bass or accompaniment by
    // the type of its sequence.
    static Role roleOf(bool drumKit, int type) {
        return drumKit ? Role::Drums : type == MusicTrack::BassType ? Role::Bass : Role::Accompaniment;
    }

    // A note of key (0..127) that starts at tick in an element of measure ticks to the measure
    // (above 0).
    void add(Role role, quint32 tick, quint32 measure, int key);
    // The notes added.
    int notes() const { return m_notes; }
    // The counts, cell by cell, with the pitch classes counted from the root.
    NoteVector::Counts counts() const;

private:
    using PitchCounts = std::array<int, NoteVector::PitchClasses>;

    NoteVector::Counts m_cells{};
    PitchCounts m_bassPitches{};
    PitchCounts m_accompanimentPitches{};
    int m_notes = 0;
};
