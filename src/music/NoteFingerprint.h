#pragma once

#include "core/NoteVector.h"
#include "store/StyleFactsValues.h"

#include <QByteArray>

class BlockTree;
struct StyleMusic;

// The note fingerprint of a style (NoteVector) from what it plays: the first chord variation of
// Var1 to Var4, or, when none of them plays a note, the first of every element. Each note that
// starts counts once in the cells of its track's role:
//   - a track whose sound is a drum kit (bank MSB 120, whatever the track's type): where in the
//     measure the note starts, among the cells of its key's class (kick, snare, hi-hat ...);
//   - a bass sequence, or any other melodic track (accompaniment): where it starts, and its pitch
//     class, counted from the pattern's own root.
// The root is where the pitch classes of bass and accompaniment together read highest (the
// rotation of their counts that is greatest, compared cell by cell), so a copy transposed by any
// interval has the same cells. Where a note starts is rounded to the grid of NoteVector::Slots to
// the measure of its element; tempo, sounds, controllers, velocities and names count for nothing.
class NoteFingerprint {
public:
    // The counts of the style's notes, cell by cell.
    static NoteVector::Counts countsOf(const StyleMusic& music);
    // The stored form; empty for a style that plays no note.
    static QByteArray of(const StyleMusic& music);
    // The stored form from a style block's tree decoded to its end; empty when it plays no note or
    // its music cannot be read. Never throws.
    static QByteArray ofTree(BlockTree& styleTree);
    // The facts of a style with its note fingerprint, each block decoded once: the facts reader of
    // every way of storing a style (StyleFacts::readWith).
    static StyleFactsValues readFacts(const QByteArray& content1, const QByteArray& content2);
    // The class of a drum key: 0 kick, 1 snare and rim, 2 claps and snaps, 3 closed and pedal hi-hat,
    // 4 open hi-hat, 5 toms, 6 cymbals, 7 hand drums (bongos, congas, timbales), 8 shakers, bells
    // and the rest of the General MIDI map, 9 keys outside it (the kits of the instrument's own).
    static int drumClass(int key);
};
