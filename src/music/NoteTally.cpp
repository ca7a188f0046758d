#include "music/NoteTally.h"

#include "music/NoteFingerprint.h"

namespace {

using PitchCounts = std::array<int, NoteVector::PitchClasses>;

// The grid slot of a tick in a measure, rounded to the nearest: a note played a little early
// falls where it was meant.
int slotOf(quint32 tick, quint32 measure) {
    const quint64 at = tick % measure;
    return int((at * NoteVector::Slots + measure / 2) / measure) % NoteVector::Slots;
}

// The rotation of the pitch classes that reads greatest, cell by cell: the same for a pattern and
// any transposed copy of it.
int rootOf(const PitchCounts& a, const PitchCounts& b) {
    PitchCounts sum{};
    for (int i = 0; i < NoteVector::PitchClasses; ++i)
        sum[size_t(i)] = a[size_t(i)] + b[size_t(i)];
    const auto at = [&](int root, int i) { return sum[size_t((root + i) % NoteVector::PitchClasses)]; };
    int best = 0;
    for (int root = 1; root < NoteVector::PitchClasses; ++root) {
        for (int i = 0; i < NoteVector::PitchClasses; ++i) {
            if (at(root, i) != at(best, i)) {
                if (at(root, i) > at(best, i))
                    best = root;
                break;
            }
        }
    }
    return best;
}

} // namespace

void NoteTally::add(Role role, quint32 tick, quint32 measure, int key) {
    const NoteVector::Group onsets = role == Role::Drums  ? NoteVector::Drums
                                     : role == Role::Bass ? NoteVector::BassOnsets
                                                          : NoteVector::AccompanimentOnsets;
    int cell = NoteVector::groupStart(onsets) + slotOf(tick, measure);
    if (role == Role::Drums)
        cell += NoteFingerprint::drumClass(key) * NoteVector::Slots;
    else
        ++(role == Role::Bass ? m_bassPitches
                              : m_accompanimentPitches)[size_t(key % NoteVector::PitchClasses)];
    m_cells[size_t(cell)] += 1;
    ++m_notes;
}

NoteVector::Counts NoteTally::counts() const {
    NoteVector::Counts cells = m_cells;
    const int root = rootOf(m_bassPitches, m_accompanimentPitches);
    const int bassAt = NoteVector::groupStart(NoteVector::BassPitches);
    const int accompanimentAt = NoteVector::groupStart(NoteVector::AccompanimentPitches);
    for (int i = 0; i < NoteVector::PitchClasses; ++i) {
        const size_t from = size_t((root + i) % NoteVector::PitchClasses);
        cells[size_t(bassAt + i)] = m_bassPitches[from];
        cells[size_t(accompanimentAt + i)] = m_accompanimentPitches[from];
    }
    return cells;
}
