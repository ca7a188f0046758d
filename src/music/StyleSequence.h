#pragma once

#include "sty/BlockTree.h"

#include <QByteArray>

// A sequence of a style block's decoded tree (a pool sequence or a master track), read where it
// lies: a BE32 length in ticks, a BE32 byte count N, N bytes of events and a trailer (the layout
// StyleMusicReader describes). Making one checks its header; walk goes through its events front
// to back, checks each one and hands it to a visitor without copying anything:
//   visitor.channel(tick, status, data1, data2) for a channel event (status without the channel,
//   data bytes without their bit 7; data2 0 for an event of one data byte);
//   visitor.meta(at, tick, id, data, length) for a meta event other than the end 2f (at the
//   offset of the event, data the offset of its data bytes in the tree);
//   visitor.unknown() for an event of the types 0c and 0d, whose meaning is not known.
// A fault throws SbkError through the tree, naming the byte offset and what is wrong.
class StyleSequence {
public:
    // chunk is the sequence's chunk in tree, whose decoded bytes are data.
    StyleSequence(BlockTree& tree, const QByteArray& data, const Chunk& chunk);

    quint32 ticks() const { return m_ticks; }
    // Where the bytes after the events start.
    qsizetype trailer() const { return m_trailer; }

    template <typename Visitor> void walk(Visitor& visitor) const;

private:
    static constexpr quint8 MetaType = 0x09;
    static constexpr quint8 EndOfTrack = 0x2f;
    static constexpr int MaxDeltaBytes = 4;

    quint8 byte(qsizetype at) const { return quint8(m_bytes[at]); }
    // The offset n bytes on from p, which must lie within the events.
    qsizetype need(qsizetype at, qsizetype p, qsizetype n) const {
        if (n > m_trailer - p)
            failInside(at, p, n);
        return p + n;
    }
    // The data bytes of a channel event of that type (00 to 06) at p: one for a program change or
    // channel pressure, else two, only the last with bit 7 set.
    qsizetype channelEvent(qsizetype at, qsizetype p, quint8 type, quint8& data1, quint8& data2) const {
        if (type == 0x04 || type == 0x05) {
            const qsizetype next = need(at, p, 1);
            if (!(byte(p) & 0x80))
                failDataByte(p, true);
            data1 = byte(p) & 0x7F;
            return next;
        }
        const qsizetype next = need(at, p, 2);
        if (byte(p) & 0x80)
            failDataByte(p, false);
        if (!(byte(p + 1) & 0x80))
            failDataByte(p + 1, true);
        data1 = byte(p);
        data2 = byte(p + 1) & 0x7F;
        return next;
    }
    [[noreturn]] void failDataByte(qsizetype at, bool last) const;
    [[noreturn]] void failInside(qsizetype at, qsizetype p, qsizetype n) const;
    [[noreturn]] void failDelta(qsizetype at, bool inside) const;
    [[noreturn]] void failTick(qsizetype at, quint64 tick, bool ending) const;
    [[noreturn]] void failEvent(qsizetype at, quint8 type) const;
    [[noreturn]] void failEnd(bool after, qsizetype at) const;

    BlockTree& m_tree;
    const char* m_bytes;
    quint32 m_ticks = 0;
    qsizetype m_events = 0;
    qsizetype m_trailer = 0;
};

template <typename Visitor> void StyleSequence::walk(Visitor& visitor) const {
    quint64 tick = 0;
    bool ended = false;
    for (qsizetype p = m_events; p < m_trailer;) {
        const qsizetype at = p;
        if (ended)
            failEnd(true, at);
        quint32 delta = 0;
        for (int n = 0; p < m_trailer && (byte(p) & 0x80); ++p) {
            if (++n > MaxDeltaBytes)
                failDelta(at, false);
            delta = delta << 7 | (byte(p) & 0x7F);
        }
        tick += delta;
        if (p >= m_trailer)
            failDelta(at, true);
        if (tick > m_ticks)
            failTick(at, tick, false);
        const quint8 type = byte(p++);
        if (type <= 0x06) {
            quint8 data1 = 0;
            quint8 data2 = 0;
            p = channelEvent(at, p, type, data1, data2);
            visitor.channel(quint32(tick), quint8((type + 8) << 4), data1, data2);
        } else if (type == MetaType) {
            const qsizetype data = need(at, p, 3);
            const quint8 id = byte(p);
            const qsizetype length = qsizetype(byte(p + 1)) << 8 | byte(p + 2);
            p = need(at, data, length);
            if (id != EndOfTrack)
                visitor.meta(at, quint32(tick), id, data, length);
            else if (tick != m_ticks)
                failTick(at, tick, true);
            else
                ended = true;
        } else if (type == 0x0c || type == 0x0d) {
            p = need(at, p, 2);
            visitor.unknown();
        } else {
            failEvent(at, type);
        }
    }
    if (!ended)
        failEnd(false, m_trailer);
}
