#include "music/NoteFingerprint.h"

#include "core/SbkError.h"
#include "music/StyleMusic.h"
#include "music/StyleMusicReader.h"
#include "sty/StyleFacts.h"

#include <array>

namespace {

using PitchCounts = std::array<int, NoteVector::PitchClasses>;

struct Tally {
    NoteVector::Counts cells{};
    PitchCounts bassPitches{};
    PitchCounts accompanimentPitches{};
    int notes = 0;
};

// The grid slot of a tick in a measure, rounded to the nearest: a note played a little early
// falls where it was meant.
int slotOf(quint32 tick, quint32 measure) {
    const quint64 at = tick % measure;
    return int((at * NoteVector::Slots + measure / 2) / measure) % NoteVector::Slots;
}

void count(const StyleElement& element, const ChordVariation& variation, Tally& tally) {
    const quint32 measure = element.measureTicks();
    if (measure == 0)
        return;
    for (const MusicTrack& track : variation.tracks) {
        const bool drums = element.sounds[size_t(track.track & 7)].isDrumKit();
        const bool bass = !drums && track.type == MusicTrack::BassType;
        const NoteVector::Group onsets = drums  ? NoteVector::Drums
                                         : bass ? NoteVector::BassOnsets
                                                : NoteVector::AccompanimentOnsets;
        PitchCounts& pitches = bass ? tally.bassPitches : tally.accompanimentPitches;
        for (const MusicEvent& event : track.events) {
            if (!event.startsNote())
                continue;
            int cell = NoteVector::groupStart(onsets) + slotOf(event.tick, measure);
            if (drums)
                cell += NoteFingerprint::drumClass(event.data1) * NoteVector::Slots;
            else
                ++pitches[size_t(event.data1 % NoteVector::PitchClasses)];
            tally.cells[size_t(cell)] += 1;
            ++tally.notes;
        }
    }
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

int NoteFingerprint::drumClass(int key) {
    switch (key) {
    case 35:
    case 36:
        return 0;
    case 37:
    case 38:
    case 40:
        return 1;
    case 39:
    case 31:
        return 2;
    case 42:
    case 44:
        return 3;
    case 46:
        return 4;
    case 41:
    case 43:
    case 45:
    case 47:
    case 48:
    case 50:
        return 5;
    case 49:
    case 51:
    case 52:
    case 53:
    case 55:
    case 57:
    case 59:
        return 6;
    case 60:
    case 61:
    case 62:
    case 63:
    case 64:
    case 65:
    case 66:
        return 7;
    default:
        return key >= 35 && key <= 81 ? 8 : 9;
    }
}

NoteVector::Counts NoteFingerprint::countsOf(const StyleMusic& music) {
    Tally tally;
    for (const StyleElement& element : music.elements)
        if (element.index < 4 && !element.variations.isEmpty())
            count(element, element.variations.first(), tally);
    if (tally.notes == 0)
        for (const StyleElement& element : music.elements)
            if (!element.variations.isEmpty())
                count(element, element.variations.first(), tally);
    const int root = rootOf(tally.bassPitches, tally.accompanimentPitches);
    const int bassAt = NoteVector::groupStart(NoteVector::BassPitches);
    const int accompanimentAt = NoteVector::groupStart(NoteVector::AccompanimentPitches);
    for (int i = 0; i < NoteVector::PitchClasses; ++i) {
        const size_t from = size_t((root + i) % NoteVector::PitchClasses);
        tally.cells[size_t(bassAt + i)] = tally.bassPitches[from];
        tally.cells[size_t(accompanimentAt + i)] = tally.accompanimentPitches[from];
    }
    return tally.cells;
}

QByteArray NoteFingerprint::of(const StyleMusic& music) {
    const std::optional<NoteVector::Cells> cells = NoteVector::fromCounts(countsOf(music));
    return cells ? NoteVector::encode(*cells) : QByteArray();
}

QByteArray NoteFingerprint::ofTree(BlockTree& styleTree) {
    try {
        return of(StyleMusicReader::readTree(styleTree));
    } catch (const SbkError&) {
        return {}; // music that cannot be read has no fingerprint; the facts say why the block is damaged
    } catch (const std::bad_alloc&) {
        return {};
    }
}

StyleFactsValues NoteFingerprint::readFacts(const QByteArray& content1, const QByteArray& content2) {
    return StyleFacts::readWith(content1, content2, &NoteFingerprint::ofTree);
}
