#pragma once

#include <array>
#include <optional>
#include <QByteArray>
#include <QByteArrayView>

// The note fingerprint of a style as the library keeps it, and how alike two of them are. The music
// engine fills it from a style's notes (NoteFingerprint); the store compares it in SQL (SBKSIMILAR)
// and the search for similar styles compares it in bulk, so its form and its measure live here,
// below them all.
//
// The vector has five groups of cells, each a count of notes (square-rooted, so a hi-hat on every
// sixteenth does not drown the kick):
//   - drums: for each of DrumClasses classes of keys, where in the measure its notes start, on a
//     grid of sixteenths (Slots cells, a longer measure folded onto them);
//   - bass and accompaniment: where their notes start, on the same grid;
//   - bass and accompaniment: the pitch classes they play, counted from the pattern's own root,
//     so that a transposed copy has the same cells.
// Each group is scaled to a length of its weight's square root, so that the cosine of two vectors
// is the weighted mean of the cosines of their groups (a group one style lacks counts as 0), and
// then quantized to bytes.
//
// Stored form: the byte 'N', a bitmap of Size bits (cell i in byte i / 8, bit i % 8), the value of
// each cell whose bit is set (1 to 255), in order.
class NoteVector {
public:
    static constexpr int Slots = 32;
    static constexpr int DrumClasses = 10;
    static constexpr int PitchClasses = 12;
    enum Group { Drums, BassOnsets, AccompanimentOnsets, BassPitches, AccompanimentPitches, GroupCount };
    static constexpr int Size = DrumClasses * Slots + 2 * Slots + 2 * PitchClasses;
    static constexpr char Tag = 'N';

    using Cells = std::array<quint8, Size>;
    using Counts = std::array<double, Size>;

    // The first cell of a group and the number of its cells.
    static int groupStart(Group group);
    static int groupSize(Group group);

    // The counts weighted and quantized; std::nullopt when every count is 0 (a style without notes).
    static std::optional<Cells> fromCounts(const Counts& counts);
    static QByteArray encode(const Cells& cells);
    // false for bytes that are no stored fingerprint.
    static bool decode(QByteArrayView bytes, Cells& cells);

    // The sum of the squares of the cells, which the cosine divides by.
    static quint32 norm2(const Cells& cells);
    static quint32 dot(const quint8* a, const quint8* b);
    // How alike two fingerprints are, in whole percent (the cosine, rounded): 100 for the same notes.
    static int percent(quint32 dot, quint32 norm2a, quint32 norm2b);
    static int similarity(const Cells& a, const Cells& b);
    // The same of two stored forms; std::nullopt when one is none.
    static std::optional<int> similarity(QByteArrayView a, QByteArrayView b);
};
