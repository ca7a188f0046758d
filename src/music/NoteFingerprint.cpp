#include "music/NoteFingerprint.h"

#include "core/SbkError.h"
#include "music/NoteTally.h"
#include "music/StyleMusic.h"
#include "music/StyleNoteScan.h"
#include "sty/StyleFacts.h"

namespace {

void count(const StyleElement& element, const ChordVariation& variation, NoteTally& tally) {
    const quint32 measure = element.measureTicks();
    if (measure == 0)
        return;
    for (const MusicTrack& track : variation.tracks) {
        const NoteTally::Role role =
            NoteTally::roleOf(element.sounds[size_t(track.track & 7)].isDrumKit(), track.type);
        for (const MusicEvent& event : track.events)
            if (event.startsNote())
                tally.add(role, event.tick, measure, event.data1);
    }
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
    NoteTally tally;
    for (const StyleElement& element : music.elements)
        if (element.index < 4 && !element.variations.isEmpty())
            count(element, element.variations.first(), tally);
    if (tally.notes() == 0)
        for (const StyleElement& element : music.elements)
            if (!element.variations.isEmpty())
                count(element, element.variations.first(), tally);
    return tally.counts();
}

namespace {

QByteArray encoded(const NoteVector::Counts& counts) {
    const std::optional<NoteVector::Cells> cells = NoteVector::fromCounts(counts);
    return cells ? NoteVector::encode(*cells) : QByteArray();
}

} // namespace

QByteArray NoteFingerprint::of(const StyleMusic& music) {
    return encoded(countsOf(music));
}

QByteArray NoteFingerprint::ofTree(BlockTree& styleTree) {
    try {
        const std::optional<NoteVector::Counts> counts = StyleNoteScan::countsOf(styleTree);
        return counts ? encoded(*counts) : QByteArray();
    } catch (const SbkError&) {
        return {}; // music that cannot be read has no fingerprint; the facts say why the block is damaged
    } catch (const std::bad_alloc&) {
        return {};
    }
}

StyleFactsValues NoteFingerprint::readFacts(const QByteArray& content1, const QByteArray& content2) {
    return StyleFacts::readWith(content1, content2, &NoteFingerprint::ofTree);
}
