#pragma once

#include "core/NoteVector.h"

#include <optional>

class BlockTree;

// The counts of a style's note fingerprint read straight from its style block's decoded tree: the
// same cells NoteFingerprint::countsOf counts of the music StyleMusicReader reads, without making
// that music. The scan walks the blocks and the event bytes where they lie and reads only what
// the fingerprint counts: the pool's index and its sequences' headers as far as the last one a
// counted track plays, the elements' information, sounds and master tracks, the trailers that say
// which pool sequence each track plays, and the events of the first chord variation of the
// elements counted (Var1 to Var4, or every element when they play no note) and of the sequences
// their tracks play. Every length is checked against what is left, and every part it
// reads is checked as StyleMusicReader checks it: a fault there throws SbkError, but for the
// faults found first, which most damaged blocks show (no pool, a pool's index table that is not as
// the layout says, not 15 elements): those give std::nullopt without the cost of an exception.
//
// Damage in what the fingerprint does not count (the events of the other chord variations, the
// sequences no counted track plays, the elements after Var4 when Var1 to Var4 play notes) is not
// looked at: such a style, which StyleMusicReader refuses, still has the fingerprint of the notes
// that can be read. For every style that StyleMusicReader reads, the counts are the same.
class StyleNoteScan {
public:
    static std::optional<NoteVector::Counts> countsOf(BlockTree& styleTree);
};
