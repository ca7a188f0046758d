#include "sty/StyleFingerprint.h"

#include <algorithm>
#include <cstring>
#include <QtEndian>

namespace {

quint32 bigEndian32(const char* p) {
    return quint32(quint8(p[0])) << 24 | quint32(quint8(p[1])) << 16 | quint32(quint8(p[2])) << 8 |
           quint32(quint8(p[3]));
}

// A 64-bit hash over a stream of bytes, fed in pieces, after the xxHash64 scheme: four lanes of
// eight bytes take 32 bytes a round, independent of each other so the processor runs them side
// by side; the rest and the count of bytes are mixed in at the end. Its value must never change,
// as the database keeps it: it is spelled out here rather than taken from a library whose hash
// may change.
class Hash64 {
public:
    explicit Hash64(char tag) {
        const quint64 seed = Seed ^ quint8(tag);
        m_lanes[0] = seed + P1 + P2;
        m_lanes[1] = seed + P2;
        m_lanes[2] = seed;
        m_lanes[3] = seed - P1;
        m_seed = seed;
    }

    void add(const char* data, qsizetype size) {
        m_total += quint64(size);
        if (m_filled > 0) {
            const qsizetype take = std::min<qsizetype>(size, Stripe - m_filled);
            std::memcpy(m_buffer + m_filled, data, size_t(take));
            m_filled += int(take);
            data += take;
            size -= take;
            if (m_filled < Stripe)
                return;
            stripe(m_buffer);
            m_filled = 0;
        }
        // The bulk 32 bytes at a time straight from the data.
        for (; size >= Stripe; data += Stripe, size -= Stripe)
            stripe(data);
        std::memcpy(m_buffer, data, size_t(size));
        m_filled = int(size);
    }
    void add(const QByteArray& bytes) { add(bytes.constData(), bytes.size()); }
    void addNumber(quint64 value) {
        char bytes[8];
        qToLittleEndian(value, bytes);
        add(bytes, 8);
    }

    quint64 result() const {
        quint64 h;
        if (m_total >= quint64(Stripe)) {
            h = rotl(m_lanes[0], 1) + rotl(m_lanes[1], 7) + rotl(m_lanes[2], 12) + rotl(m_lanes[3], 18);
            for (const quint64 lane : m_lanes) {
                h ^= round(0, lane);
                h = h * P1 + P4;
            }
        } else {
            h = m_seed + P5;
        }
        h += m_total;
        const char* p = m_buffer;
        int left = m_filled;
        for (; left >= 8; p += 8, left -= 8) {
            h ^= round(0, load(p));
            h = rotl(h, 27) * P1 + P4;
        }
        if (left >= 4) {
            h ^= quint64(qFromLittleEndian<quint32>(p)) * P1;
            h = rotl(h, 23) * P2 + P3;
            p += 4;
            left -= 4;
        }
        for (; left > 0; ++p, --left) {
            h ^= quint8(*p) * P5;
            h = rotl(h, 11) * P1;
        }
        h ^= h >> 33;
        h *= P2;
        h ^= h >> 29;
        h *= P3;
        h ^= h >> 32;
        return h;
    }

private:
    static constexpr quint64 P1 = 0x9E3779B185EBCA87ULL;
    static constexpr quint64 P2 = 0xC2B2AE3D27D4EB4FULL;
    static constexpr quint64 P3 = 0x165667B19E3779F9ULL;
    static constexpr quint64 P4 = 0x85EBCA77C2B2AE63ULL;
    static constexpr quint64 P5 = 0x27D4EB2F165667C5ULL;
    static constexpr quint64 Seed = 0x5342'4b31'4650'0100ULL; // "SBK1FP", version 1, the tag below
    static constexpr int Stripe = 32;

    static quint64 rotl(quint64 v, int n) { return v << n | v >> (64 - n); }
    static quint64 round(quint64 lane, quint64 input) { return rotl(lane + input * P2, 31) * P1; }
    // Eight bytes as a little-endian number, on every machine.
    static quint64 load(const char* p) { return qFromLittleEndian<quint64>(p); }
    void stripe(const char* p) {
        for (int i = 0; i < 4; ++i)
            m_lanes[i] = round(m_lanes[i], load(p + 8 * i));
    }

    quint64 m_lanes[4];
    quint64 m_seed;
    char m_buffer[Stripe] = {};
    int m_filled = 0;
    quint64 m_total = 0;
};

constexpr quint8 ContainerFlags = 0x00;

// Whether size bytes from data are a sequence of whole chunks.
bool holdsChunks(const char* data, qsizetype size) {
    qsizetype at = 0;
    while (at < size) {
        if (size - at < 8)
            return false;
        const quint32 chunkSize = bigEndian32(data + at + 4);
        if (chunkSize > quint64(size - at - 8))
            return false;
        at += 8 + qsizetype(chunkSize);
    }
    return true;
}

// The style information chunk: type 01, data, the first chunk of the style block's root.
bool isStyleInformation(quint32 id) {
    return (id & 0xFFFF00FF) == 0x01000008;
}

// The name's bytes inside the data of a style information chunk (its length byte and the name).
qsizetype nameSizeIn(const char* data, qsizetype size) {
    if (size < 1)
        return 0;
    const qsizetype covered = 1 + quint8(data[0]);
    return covered <= size ? covered : 0;
}

// Feeds the chunks of a container, or its bytes when they are no chunks. nameLevel: the chunks
// are those of a style block's root, whose style information chunk loses its name.
void feedChunks(Hash64& hash, const char* data, qsizetype size, int depth, bool nameLevel) {
    if (depth > StyleFingerprint::MaxDepth || !holdsChunks(data, size)) {
        hash.add("B", 1);
        hash.addNumber(quint64(size));
        hash.add(data, size);
        return;
    }
    for (qsizetype at = 0; at < size;) {
        const quint32 id = bigEndian32(data + at);
        const qsizetype chunkSize = qsizetype(bigEndian32(data + at + 4));
        const char* body = data + at + 8;
        hash.addNumber(id);
        if (quint8(id) == ContainerFlags) {
            hash.add("(", 1);
            feedChunks(hash, body, chunkSize, depth + 1, false);
            hash.add(")", 1);
        } else {
            const qsizetype skip =
                nameLevel && at == 0 && isStyleInformation(id) ? nameSizeIn(body, chunkSize) : 0;
            hash.addNumber(quint64(chunkSize - skip));
            hash.add(body + skip, chunkSize - skip);
        }
        at += 8 + chunkSize;
    }
}

quint64 treeHash(char tag, quint32 blockId, const QByteArray& tree, bool withoutName) {
    Hash64 hash(tag);
    hash.addNumber(blockId >> 8); // type and data version; whether it was compressed does not count
    const char* data = tree.constData();
    const qsizetype size = tree.size();
    // The root: one container whose chunks hold the style information first.
    if (withoutName && size >= 8 && quint8(bigEndian32(data)) == ContainerFlags &&
        qsizetype(bigEndian32(data + 4)) == size - 8) {
        hash.addNumber(bigEndian32(data));
        hash.add("(", 1);
        feedChunks(hash, data + 8, size - 8, 1, true);
        hash.add(")", 1);
    } else {
        feedChunks(hash, data, size, 0, false);
    }
    return hash.result();
}

} // namespace

qint64 StyleFingerprint::exact(const QByteArray& content1, const QByteArray& content2) {
    static const QByteArray blank(1, ' ');
    Hash64 hash('E');
    for (const QByteArray* block : {&content1, &content2}) {
        const QByteArray& stored = block->isEmpty() ? blank : *block;
        hash.addNumber(quint64(stored.size()));
        hash.add(stored);
    }
    return qint64(hash.result());
}

quint64 StyleFingerprint::ofStyleTree(quint32 blockId, const QByteArray& tree) {
    return treeHash('S', blockId, tree, true);
}

quint64 StyleFingerprint::ofPerformanceTree(quint32 blockId, const QByteArray& tree) {
    return treeHash('P', blockId, tree, false);
}

qint64 StyleFingerprint::renamed(quint64 styleTree, std::optional<quint64> performanceTree) {
    Hash64 hash('R');
    hash.addNumber(styleTree);
    hash.add(performanceTree ? "P" : "-", 1);
    hash.addNumber(performanceTree.value_or(0));
    return qint64(hash.result());
}

qint64 StyleFingerprint::settings(quint64 styleTree) {
    Hash64 hash('M');
    hash.addNumber(styleTree);
    return qint64(hash.result());
}

std::optional<StyleFingerprint::NameSpan> StyleFingerprint::nameIn(const QByteArray& tree) {
    const char* data = tree.constData();
    if (tree.size() < 16 || quint8(bigEndian32(data)) != ContainerFlags ||
        qsizetype(bigEndian32(data + 4)) != tree.size() - 8 || !holdsChunks(data + 8, tree.size() - 8) ||
        !isStyleInformation(bigEndian32(data + 8)))
        return std::nullopt;
    const qsizetype covered = nameSizeIn(data + 16, qsizetype(bigEndian32(data + 12)));
    if (covered == 0)
        return std::nullopt;
    return NameSpan{16, covered};
}
