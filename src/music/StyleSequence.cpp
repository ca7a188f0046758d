#include "music/StyleSequence.h"

#include "music/StyleMusic.h"

namespace {

quint32 bigEndian32(const char* p) {
    return quint32(quint8(p[0])) << 24 | quint32(quint8(p[1])) << 16 | quint32(quint8(p[2])) << 8 |
           quint32(quint8(p[3]));
}

} // namespace

StyleSequence::StyleSequence(BlockTree& tree, const QByteArray& data, const Chunk& chunk)
    : m_tree(tree), m_bytes(data.constData()) {
    if (chunk.size < 8)
        m_tree.fail(chunk.data, QStringLiteral("the sequence holds %1 bytes, too few for its length and "
                                               "its byte count")
                                    .arg(chunk.size));
    m_ticks = bigEndian32(m_bytes + chunk.data);
    if (m_ticks > StyleMusic::MaxTicks)
        m_tree.fail(chunk.data, QStringLiteral("a sequence of %1 ticks is longer than the %2 accepted")
                                    .arg(m_ticks)
                                    .arg(StyleMusic::MaxTicks));
    const quint32 count = bigEndian32(m_bytes + chunk.data + 4);
    if (count > quint64(chunk.size - 8))
        m_tree.fail(chunk.data + 4, QStringLiteral("the sequence announces %1 bytes of events, %2 are left "
                                                   "in its chunk")
                                        .arg(count)
                                        .arg(chunk.size - 8));
    m_events = chunk.data + 8;
    m_trailer = m_events + qsizetype(count);
}

void StyleSequence::failDataByte(qsizetype at, bool last) const {
    m_tree.fail(at, last ? QStringLiteral("the last data byte of an event lacks bit 7, which marks it")
                         : QStringLiteral("a data byte of an event has bit 7 set, which marks the last"));
}

void StyleSequence::failInside(qsizetype at, qsizetype p, qsizetype n) const {
    m_tree.fail(at, QStringLiteral("the events end inside an event: %1 bytes expected, %2 left")
                        .arg(n)
                        .arg(m_trailer - p));
}

void StyleSequence::failDelta(qsizetype at, bool inside) const {
    m_tree.fail(at, inside ? QStringLiteral("the events end inside a delta time")
                           : QStringLiteral("a delta time of more than %1 bytes").arg(MaxDeltaBytes));
}

void StyleSequence::failTick(qsizetype at, quint64 tick, bool ending) const {
    m_tree.fail(
        at,
        ending ? QStringLiteral("the sequence ends at tick %1; its length is %2 ticks").arg(tick).arg(m_ticks)
               : QStringLiteral("an event at tick %1, past the sequence's length of %2 ticks")
                     .arg(tick)
                     .arg(m_ticks));
}

void StyleSequence::failEvent(qsizetype at, quint8 type) const {
    m_tree.fail(at, QStringLiteral("an event of the unknown type 0x%1").arg(type, 2, 16, QLatin1Char('0')));
}

void StyleSequence::failEnd(bool after, qsizetype at) const {
    m_tree.fail(at, after ? QStringLiteral("an event after the end of the sequence")
                          : QStringLiteral("the sequence has no end (meta event 2f)"));
}
