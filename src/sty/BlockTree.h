#pragma once

#include "sty/Oc31Decoder.h"

#include <optional>
#include <QByteArray>
#include <QString>

// One chunk of a block's tree: a 4-byte ID [type, data version major, minor, flags] and a
// big-endian uint32 size in its header, then its data. Flags 0x00 mark a container of chunks, 0x08
// data.
struct Chunk {
    static constexpr quint8 ContainerFlags = 0x00;
    static constexpr quint8 DataFlags = 0x08;

    quint32 id = 0;
    qsizetype data = 0; // offset of the data in the block's tree
    qsizetype size = 0;

    qsizetype end() const { return data + size; }
    quint8 type() const { return typeOf(id); }
    quint8 major() const { return quint8(id >> 16); }
    quint8 flags() const { return quint8(id); }
    bool isContainer() const { return flags() == ContainerFlags; }
    bool isData() const { return flags() == DataFlags; }

    static quint8 typeOf(quint32 id) { return quint8(id >> 24); }
    // The ID as the errors show it: eight hexadecimal digits.
    static QString idText(quint32 id);
};

// The tree of one block of a style: the chunk header of the block (its flags: 0x20 an
// OC31-compressed block, 0x40 an encrypted one, which is not read), then its data as it stands, or
// decoded as far as it is read. Every chunk header is checked against what is left of its
// container, and every fault throws SbkError naming the block ("what"), the byte offset and what
// is wrong.
class BlockTree {
public:
    // block must outlive the tree: its data is read where it lies, never copied.
    BlockTree(const QByteArray& block, quint8 expectedType, const QString& what);

    quint32 blockId() const { return m_id; }
    qsizetype size() const { return m_size; }
    // Whether decoding failed: the block's data holds a fault at the point reached.
    bool broken() const { return m_broken; }

    // The n bytes at offset at, which lie inside the tree (the callers check that first).
    const char* bytes(qsizetype at, qsizetype n);
    quint8 byteAt(qsizetype at) { return quint8(*bytes(at, 1)); }
    // The whole tree, decoded to its end (the check byte checked).
    const QByteArray& whole();

    // The chunk whose header starts at offset at, inside a container that ends at end.
    Chunk chunkAt(qsizetype at, qsizetype end);
    // The chunk at the top of the tree, which must be a container of the given type.
    Chunk root(quint8 type);

    // The first chunk in the container that matches; std::nullopt when none does.
    template <typename Match> std::optional<Chunk> find(const Chunk& container, Match match) {
        for (qsizetype at = container.data; at < container.end();) {
            const Chunk chunk = chunkAt(at, container.end());
            if (match(chunk.id))
                return chunk;
            at = chunk.end();
        }
        return std::nullopt;
    }

    // An error about the decoded tree at offset at.
    [[noreturn]] void fail(qsizetype at, const QString& problem) const;

private:
    // A decoder that failed once is not asked again: what it would decode after the fault means
    // nothing.
    template <typename Work> void decoding(Work work) {
        if (m_broken)
            fail(m_decoder->output().size(), QStringLiteral("the block could not be decoded"));
        try {
            work();
        } catch (...) {
            m_broken = true;
            throw;
        }
    }
    [[noreturn]] static void failIn(const QString& what, qsizetype at, const QString& problem);

    QString m_what;
    quint32 m_id = 0;
    QByteArray m_plain;
    std::optional<Oc31Decoder> m_decoder;
    bool m_broken = false;
    qsizetype m_size = 0;
};
