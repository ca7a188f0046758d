#include "sty/StyleFingerprint.h"

#include <algorithm>
#include <cstring>
#include <QtEndian>

namespace {

quint32 bigEndian32(const char* p) {
    return quint32(quint8(p[0])) << 24 | quint32(quint8(p[1])) << 16 | quint32(quint8(p[2])) << 8 |
           quint32(quint8(p[3]));
}

// A 64-bit hash over a stream of bytes, fed in pieces: eight bytes at a time multiplied into the
// state, the count of bytes mixed in at the end. Its value must never change, as the database
// keeps it: it is spelled out here rather than taken from a library whose hash may change.
class Hash64 {
public:
    explicit Hash64(char tag) { add(&tag, 1); }

    void add(const char* data, qsizetype size) {
        m_total += quint64(size);
        if (m_filled > 0) {
            const qsizetype take = std::min<qsizetype>(size, 8 - m_filled);
            std::memcpy(m_buffer + m_filled, data, size_t(take));
            m_filled += int(take);
            data += take;
            size -= take;
            if (m_filled < 8)
                return;
            word(load(m_buffer));
            m_filled = 0;
        }
        // The bulk eight bytes at a time straight from the data.
        for (; size >= 8; data += 8, size -= 8)
            word(load(data));
        std::memcpy(m_buffer, data, size_t(size));
        m_filled = int(size);
    }
    void add(const QByteArray& bytes) { add(bytes.constData(), bytes.size()); }
    void addNumber(quint64 value) {
        char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = char(value >> (8 * i));
        add(bytes, 8);
    }

    quint64 result() const {
        quint64 h = m_state;
        if (m_filled > 0) {
            char rest[8] = {};
            std::memcpy(rest, m_buffer, size_t(m_filled));
            h ^= load(rest);
            h *= Multiplier;
        }
        h ^= m_total;
        h ^= h >> Shift;
        h *= Multiplier;
        h ^= h >> Shift;
        return h;
    }

private:
    static constexpr quint64 Multiplier = 0xc6a4a7935bd1e995ULL;
    static constexpr int Shift = 47;

    // Eight bytes as a little-endian number, on every machine.
    static quint64 load(const char* p) { return qFromLittleEndian<quint64>(p); }
    void word(quint64 k) {
        k *= Multiplier;
        k ^= k >> Shift;
        k *= Multiplier;
        m_state ^= k;
        m_state *= Multiplier;
    }

    quint64 m_state = 0x5342'4b31'4650'0001ULL; // "SBK1FP", version 1
    char m_buffer[8] = {};
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
