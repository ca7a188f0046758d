#include "sty/BlockTree.h"

#include "core/SbkError.h"

namespace {

quint32 bigEndian32(const char* p) {
    return quint32(quint8(p[0])) << 24 | quint32(quint8(p[1])) << 16 | quint32(quint8(p[2])) << 8 |
           quint32(quint8(p[3]));
}

} // namespace

QString Chunk::idText(quint32 id) {
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0'));
}

BlockTree::BlockTree(const QByteArray& block, quint8 expectedType, const QString& what) : m_what(what) {
    if (block.size() < 8)
        failIn(m_what, 0,
               QStringLiteral("%1 bytes are no block: its chunk header alone has 8").arg(block.size()));
    m_id = bigEndian32(block.constData());
    if (Chunk::typeOf(m_id) != expectedType)
        failIn(m_what, 0,
               QStringLiteral("the chunk %1 is not of type %2").arg(Chunk::idText(m_id)).arg(expectedType));
    const quint32 size = bigEndian32(block.constData() + 4);
    if (size > quint32(block.size() - 8))
        failIn(m_what, 4,
               QStringLiteral("the block announces %1 bytes of data, %2 are there")
                   .arg(size)
                   .arg(block.size() - 8));
    const QByteArray data = QByteArray::fromRawData(block.constData() + 8, qsizetype(size));
    const quint8 flags = quint8(m_id);
    if (flags & 0x40)
        failIn(m_what, 3, QStringLiteral("the block is encrypted"));
    if (flags & 0x20) {
        m_decoder.emplace(data, m_what);
        m_size = m_decoder->declaredSize();
    } else {
        m_plain = data;
        m_size = data.size();
    }
}

const char* BlockTree::bytes(qsizetype at, qsizetype n) {
    if (!m_decoder)
        return m_plain.constData() + at;
    decoding([&] { m_decoder->decodeTo(at + n); });
    return m_decoder->output().constData() + at;
}

const QByteArray& BlockTree::whole() {
    if (!m_decoder)
        return m_plain;
    decoding([&] { m_decoder->decodeAll(); });
    return m_decoder->output();
}

Chunk BlockTree::chunkAt(qsizetype at, qsizetype end) {
    if (end - at < 8)
        fail(at,
             QStringLiteral("a chunk header of 8 bytes expected, %1 left in its container").arg(end - at));
    const char* header = bytes(at, 8);
    const quint32 id = bigEndian32(header);
    const quint32 size = bigEndian32(header + 4);
    if (size > quint64(end - at - 8))
        fail(at + 4, QStringLiteral("the chunk %1 announces %2 bytes, %3 are left in its container")
                         .arg(Chunk::idText(id))
                         .arg(size)
                         .arg(end - at - 8));
    return {id, at + 8, qsizetype(size)};
}

Chunk BlockTree::root(quint8 type) {
    const Chunk root = chunkAt(0, size());
    if (root.type() != type || !root.isContainer())
        fail(0, QStringLiteral("the tree starts with the chunk %1, not a container of type %2")
                    .arg(Chunk::idText(root.id))
                    .arg(type));
    return root;
}

void BlockTree::fail(qsizetype at, const QString& problem) const {
    failIn(m_what + QStringLiteral(", decoded"), at, problem);
}

void BlockTree::failIn(const QString& what, qsizetype at, const QString& problem) {
    throw SbkError(QStringLiteral("%1: at byte offset %2: %3").arg(what, QString::number(at), problem));
}
