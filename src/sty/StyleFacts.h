#pragma once

#include "store/StyleFactsValues.h"

#include <QByteArray>
#include <QString>

class BlockTree;

// Reads a style's tempo and meter from its blocks. A block is a chunk: a 4-byte ID [type, data
// version major, minor, flags] and a big-endian uint32 size, then its data; flags 0x00 mark a
// container of chunks, 0x08 data, 0x20 an OC31-compressed block (Oc31Decoder), 0x40 an encrypted
// one, which is not read. The chunks are walked front to back, every size checked against what
// is left, unknown chunks passed over. meterOf and tempoOf decode a compressed block only as far
// as their fact lies; read decodes both blocks to their ends once, for the fingerprints as well.
//
// - The meter: the style block (type 0x06) holds a tree whose first element container
//   (0x03000000) starts with an element info chunk (type 1, major 1, data); its data byte 1 is
//   the time signature b: numerator b >> 3, denominator 1 << (b & 7).
// - The tempo: the performance block (type 0x09) holds 0x00000000 > 0x01000000 > a settings chunk:
//   0x04000108 (Pa600 and earlier) with the tempo in data byte 7, or 0x04020008 (Pa700, Pa1000):
//   a uint32, a byte s (when s is 0: three bytes, two zero-terminated strings, a uint32 count n and
//   n bytes), one byte, then the tempo.
class StyleFacts {
public:
    static constexpr int MinTempo = 20;
    static constexpr int MaxTempo = 300;

    // The facts of a style from its two blocks in either order (each is told by its type), and its
    // fingerprints (StyleFingerprint), each block decoded once; a blank or missing block leaves its
    // fact absent. Never throws: what cannot be read is said in the result's problem.
    static StyleFactsValues read(const QByteArray& content1, const QByteArray& content2);
    // The same, handing the style block's tree, once decoded to its end, to notes, whose answer
    // becomes the facts' NoteFingerprint: so the engine above that reads a style's music (which
    // this one cannot see) reads it in the same decode. notes must not throw.
    using TreeReader = QByteArray (*)(BlockTree& tree);
    static StyleFactsValues readWith(const QByteArray& content1, const QByteArray& content2,
                                     TreeReader notes);

    // The meter of a style block and the tempo of a performance block (whole chunks, header
    // included); SbkError naming the block, the byte offset and the fault when the block does not
    // give it.
    static QString meterOf(const QByteArray& styleBlock);
    static int tempoOf(const QByteArray& performanceBlock);

    // "n/d" for a time signature byte; "" when it is no meter (numerator 0, or a denominator other
    // than 2, 4, 8 or 16).
    static QString meterText(quint8 signature);
    // The byte of a meter text ("3/4" gives 0x1A); -1 when the text is no meter meterText gives.
    static int signatureOf(const QString& meter);

    // The chunk type bytes of the two blocks.
    static constexpr quint8 StyleBlockType = 0x06;
    static constexpr quint8 PerformanceBlockType = 0x09;

    // The style block and the performance block of a style's two blocks in either order, each told
    // by its type; nullptr for one that is not there (a blank, or a block of another type).
    struct Blocks {
        const QByteArray* style = nullptr;
        const QByteArray* performance = nullptr;
    };
    static Blocks blocksOf(const QByteArray& content1, const QByteArray& content2);
};
