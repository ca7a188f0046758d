#pragma once

#include "sty/BlockTree.h"

#include <optional>
#include <QByteArray>
#include <QString>
#include <QVarLengthArray>
#include <vector>

// Where the parts of a style block's decoded tree lie (the layout StyleMusicReader describes),
// each checked as it is found, its events left unread: the style's information, its pool of
// sequences with the pool's index table, its elements and, in each element, its information, its
// sounds and its master tracks. A fault throws SbkError through the tree, naming the byte offset
// and what is wrong. data is the tree's decoded bytes (BlockTree::whole).
class StyleLayout {
public:
    static constexpr quint32 MasterId = 0x03000008;

    // The children of the root container that the music is made of.
    struct Top {
        Chunk root;
        std::optional<Chunk> information; // 01000308: the inner name
        Chunk pool;
        QVarLengthArray<Chunk, 15> elements;
    };
    // Throws when the style holds no pool; the number of elements is the caller's to check.
    static Top top(BlockTree& tree);
    // The same, std::nullopt where top throws for want of a pool.
    static std::optional<Top> tryTop(BlockTree& tree);

    // The pool, read as far as it is asked for: its index at once, its sequences' headers (each
    // checked to be a sequence chunk) up to the last one asked for.
    struct Pool {
        quint32 size = 0;    // the sequences the index announces
        qsizetype table = 0; // the offset of the first BE16 reference
        quint32 references = 0;
        std::vector<Chunk> sequences; // the headers read so far, in the order of their numbers
        qsizetype next = 0;           // where the next header starts
        qsizetype end = 0;            // where the pool ends
        qsizetype index = 0;          // the offset of the index's data
        // The type of the sequence of number n (from 1), read: MusicTrack::DrumType to
        // AccompanimentType.
        int typeOf(quint32 n) const { return sequences[size_t(n) - 1].type() - 2; }
    };
    // The pool's index.
    static Pool pool(BlockTree& tree, const QByteArray& data, const Chunk& pool);
    // The same, std::nullopt where pool throws for an index table that is missing, too short or
    // announces another number of references than it holds: a scan that only asks whether the
    // music can be read is told so without the cost of an exception.
    static std::optional<Pool> tryPool(BlockTree& tree, const QByteArray& data, const Chunk& pool);
    // Every sequence of the pool, checked to be as many as the index announces, and every reference,
    // checked to name one of them.
    static void readAll(BlockTree& tree, const QByteArray& data, Pool& pool);
    // The pool number that the reference r (from 0) names, checked to be one of the pool's, and its
    // sequence read.
    static quint32 referenced(BlockTree& tree, const QByteArray& data, Pool& pool, qsizetype r);
    // The pool number that the reference r (from 0) names, unchecked.
    static quint32 reference(const QByteArray& data, const Pool& pool, qsizetype r) {
        const qsizetype at = pool.table + 2 * r;
        return quint32(quint8(data[at])) << 8 | quint8(data[at + 1]);
    }

    struct Element {
        Chunk information;                 // 0101xx08, 27 bytes at least
        Chunk sounds;                      // 0200xx08, eight records of 6 bytes at least
        QVarLengthArray<Chunk, 8> masters; // as many as the mask of chord variations names
        quint8 mask = 0;
        quint8 signature = 0; // checked to be a meter
        // Whether track t (0..7) plays a drum kit (bank MSB 120).
        bool drumKit(const QByteArray& data, int t) const {
            return quint8(data[sounds.data + 6 * t + 1]) == 120;
        }
    };
    // The element of that index (0..14) in its container.
    static Element element(BlockTree& tree, const QByteArray& data, int index, const Chunk& container);

    // How many pairs of type and track the trailer of a master track holds, which starts at trailer;
    // checked to fill the rest of its chunk. element and number name the chord variation in errors.
    static int pairsOf(BlockTree& tree, const QByteArray& data, const Chunk& master, qsizetype trailer,
                       int element, int number);
    // The chunk whose header starts at at, in a container that ends at end, read from data; a header
    // that does not fit is BlockTree::chunkAt's to refuse.
    static Chunk chunkAt(BlockTree& tree, const QByteArray& data, qsizetype at, qsizetype end) {
        if (end - at >= 8) {
            const auto* p = reinterpret_cast<const uchar*>(data.constData() + at);
            const quint32 size = quint32(p[4]) << 24 | quint32(p[5]) << 16 | quint32(p[6]) << 8 | p[7];
            if (size <= quint64(end - at - 8))
                return {quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3], at + 8,
                        qsizetype(size)};
        }
        return tree.chunkAt(at, end);
    }
    // "Var1, chord variation 2": how errors name a chord variation.
    static QString variationName(int element, int number);

private:
    enum class IndexFault { None, Missing, Short, References };
    // The pool's index read into pool, as far as the first fault.
    static IndexFault readIndex(BlockTree& tree, const QByteArray& data, const Chunk& container, Pool& pool);
    // Reads the header of the pool's next sequence; false at the pool's end.
    static bool readNext(BlockTree& tree, const QByteArray& data, Pool& pool);
    // The pool, read to its end, holds fewer sequences than its index announces.
    [[noreturn]] static void failCount(BlockTree& tree, const Pool& pool);
};
