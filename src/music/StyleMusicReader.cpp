#include "music/StyleMusicReader.h"

#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "store/DbKORFStyle.h"
#include "sty/BlockTree.h"
#include "sty/StyleFacts.h"

#include <bit>

namespace {

constexpr quint32 StyleInformationId = 0x01000308;
constexpr quint32 PoolId = 0x02000000;
constexpr quint32 PoolIndexId = 0x01000008;
constexpr quint32 ElementId = 0x03000000;
constexpr quint32 MasterId = 0x03000008;
constexpr quint8 MetaType = 0x09;
constexpr quint8 EndOfTrack = 0x2f;
constexpr quint8 MasterMeta = 0x7e;
constexpr int MaxDeltaBytes = 4;

// A sequence of the pool or a master track, read.
struct Sequence {
    int type = -1;    // of a pool sequence; -1 for a master track
    qsizetype at = 0; // where its chunk header starts
    quint32 ticks = 0;
    QList<MusicEvent> events;
    int skipped = 0;
    QList<TempoChange> tempoChanges;
    struct Start {
        int track = 0; // k: the k-th pair of the trailer
        quint32 tick = 0;
        qsizetype at = 0; // the offset of the meta event
    };
    QList<Start> starts;
    qsizetype trailer = 0; // where the bytes after the events start
};

class Reader {
public:
    explicit Reader(BlockTree& tree) : m_tree(tree), m_data(tree.whole()) {}

    StyleMusic read() {
        const Chunk root = m_tree.root(0x01);
        StyleMusic music;
        QList<Chunk> elements;
        std::optional<Chunk> pool;
        for (const Chunk& chunk : children(root)) {
            if (chunk.id == StyleInformationId && chunk.size > 0)
                music.name = SingleByteText::plainText(QString::fromLatin1(
                    m_data.constData() + chunk.data + 1, qMin<qsizetype>(byte(chunk.data), chunk.size - 1)));
            else if (chunk.id == PoolId && !pool)
                pool = chunk;
            else if (chunk.id == ElementId)
                elements << chunk;
        }
        if (!pool)
            m_tree.fail(root.data, QStringLiteral("the style holds no pool of sequences (chunk 02000000)"));
        readPool(*pool);
        if (elements.size() != StyleElement::Count)
            m_tree.fail(root.data, QStringLiteral("the style holds %1 elements (chunk 03000000), not %2")
                                       .arg(elements.size())
                                       .arg(StyleElement::Count));
        for (int i = 0; i < StyleElement::Count; ++i)
            music.elements << readElement(i, elements.at(i));
        if (m_pair != m_table.size())
            m_tree.fail(m_tableAt, QStringLiteral("the pool's index holds %1 references, but the elements "
                                                  "name %2 tracks")
                                       .arg(m_table.size())
                                       .arg(m_pair));
        music.poolSize = int(m_pool.size());
        music.references = int(m_table.size());
        return music;
    }

private:
    quint8 byte(qsizetype at) const { return quint8(m_data.at(at)); }
    quint32 bigEndian16(qsizetype at) const { return quint32(byte(at)) << 8 | byte(at + 1); }
    quint32 bigEndian32(qsizetype at) const { return bigEndian16(at) << 16 | bigEndian16(at + 2); }

    QList<Chunk> children(const Chunk& container) {
        QList<Chunk> list;
        for (qsizetype at = container.data; at < container.end(); at = list.back().end())
            list << m_tree.chunkAt(at, container.end());
        return list;
    }

    void readPool(const Chunk& pool) {
        const QList<Chunk> chunks = children(pool);
        if (chunks.isEmpty() || chunks.first().id != PoolIndexId)
            m_tree.fail(pool.data,
                        QStringLiteral("the pool does not start with its index table (chunk 01000008)"));
        const Chunk& index = chunks.first();
        if (index.size < 4)
            m_tree.fail(
                index.data,
                QStringLiteral("the pool's index table holds %1 bytes, 4 at least expected").arg(index.size));
        const quint32 poolSize = bigEndian16(index.data);
        const quint32 references = bigEndian16(index.data + 2);
        if (index.size != 4 + 2 * qsizetype(references))
            m_tree.fail(index.data + 2,
                        QStringLiteral("the pool's index table announces %1 references in %2 bytes")
                            .arg(references)
                            .arg(index.size));
        if (chunks.size() - 1 != qsizetype(poolSize))
            m_tree.fail(index.data, QStringLiteral("the pool's index table announces %1 sequences, the pool "
                                                   "holds %2")
                                        .arg(poolSize)
                                        .arg(chunks.size() - 1));
        m_tableAt = index.data + 4;
        for (quint32 r = 0; r < references; ++r) {
            const qsizetype at = index.data + 4 + 2 * qsizetype(r);
            const quint32 number = bigEndian16(at);
            if (number < 1 || number > poolSize)
                m_tree.fail(at,
                            QStringLiteral("the reference %1 names the sequence %2; the pool holds 1 to %3")
                                .arg(r + 1)
                                .arg(number)
                                .arg(poolSize));
            m_table << quint16(number);
        }
        for (qsizetype i = 1; i < chunks.size(); ++i) {
            const Chunk& chunk = chunks.at(i);
            const int type = chunk.type() - 2;
            if (!chunk.isData() || (chunk.id & 0x00FFFF00) != 0 || type < MusicTrack::DrumType ||
                type > MusicTrack::AccompanimentType)
                m_tree.fail(chunk.data - 8,
                            QStringLiteral("the chunk %1 in the pool is no sequence (02000008, "
                                           "03000008 or 04000008)")
                                .arg(Chunk::idText(chunk.id)));
            Sequence sequence = readSequence(chunk, false);
            sequence.type = type;
            m_pool << sequence;
        }
    }

    StyleElement readElement(int index, const Chunk& container) {
        const QList<Chunk> chunks = children(container);
        StyleElement element;
        element.index = index;
        const QString name = StyleElement::names().at(index);
        if (chunks.size() < 2 || chunks.at(0).type() != 0x01 || chunks.at(0).major() != 0x01 ||
            !chunks.at(0).isData() || chunks.at(1).type() != 0x02 || !chunks.at(1).isData())
            m_tree.fail(container.data, QStringLiteral("the element %1 does not start with its information "
                                                       "(0101xx08) and its sounds (0200xx08)")
                                            .arg(name));
        const Chunk& info = chunks.at(0);
        if (info.size < 27)
            m_tree.fail(info.data,
                        QStringLiteral("the information of %1 holds %2 bytes, 27 at least expected")
                            .arg(name)
                            .arg(info.size));
        element.variationMask = byte(info.data);
        element.signature = byte(info.data + 1);
        if (StyleFacts::meterText(element.signature).isEmpty())
            m_tree.fail(info.data + 1, QStringLiteral("the time signature 0x%1 of %2 is no meter")
                                           .arg(element.signature, 2, 16, QLatin1Char('0'))
                                           .arg(name));
        element.chordTable = m_data.mid(info.data + 3, 24);
        const Chunk& sounds = chunks.at(1);
        if (sounds.size < 6 * MusicTrack::Count)
            m_tree.fail(sounds.data, QStringLiteral("the sounds of %1 hold %2 bytes, %3 at least expected")
                                         .arg(name)
                                         .arg(sounds.size)
                                         .arg(6 * MusicTrack::Count));
        for (int t = 0; t < MusicTrack::Count; ++t) {
            const qsizetype at = sounds.data + 6 * t;
            element.sounds.at(size_t(t)) = TrackSound{byte(at + 1), byte(at + 2), byte(at + 3)};
        }
        QList<Chunk> masters;
        for (qsizetype i = 2; i < chunks.size(); ++i)
            if (chunks.at(i).id == MasterId)
                masters << chunks.at(i);
        if (masters.size() != std::popcount(element.variationMask))
            m_tree.fail(info.data,
                        QStringLiteral("the mask 0x%1 of %2 names %3 chord variations, it holds %4")
                            .arg(element.variationMask, 2, 16, QLatin1Char('0'))
                            .arg(name)
                            .arg(std::popcount(element.variationMask))
                            .arg(masters.size()));
        for (qsizetype v = 0; v < masters.size(); ++v)
            element.variations << readVariation(element, int(v) + 1, masters.at(v));
        return element;
    }

    ChordVariation readVariation(const StyleElement& element, int number, const Chunk& chunk) {
        const QString where = QStringLiteral("%1, chord variation %2").arg(element.name()).arg(number);
        Sequence master = readSequence(chunk, true);
        if (master.ticks % element.measureTicks() != 0)
            m_tree.fail(chunk.data, QStringLiteral("%1 lasts %2 ticks, no whole number of %3 measures")
                                        .arg(where)
                                        .arg(master.ticks)
                                        .arg(element.meter()));
        ChordVariation variation;
        variation.number = number;
        variation.ticks = master.ticks;
        variation.tempoChanges = master.tempoChanges;
        variation.skipped = master.skipped;
        const qsizetype left = chunk.end() - master.trailer;
        const int pairs = left > 0 ? byte(master.trailer) : -1;
        if (pairs < 0 || left != 1 + 2 * qsizetype(pairs))
            m_tree.fail(master.trailer,
                        QStringLiteral("the trailer of %1 holds %2 bytes, not a count and its "
                                       "pairs of type and track")
                            .arg(where)
                            .arg(left));
        QList<std::optional<quint32>> started(pairs); // the tick each track starts at
        for (const Sequence::Start& start : master.starts) {
            if (start.track >= pairs || started.at(start.track))
                m_tree.fail(start.at, QStringLiteral("%1 starts its track %2 %3")
                                          .arg(where)
                                          .arg(start.track)
                                          .arg(start.track >= pairs ? QStringLiteral("of %1").arg(pairs)
                                                                    : QStringLiteral("twice")));
            started[start.track] = start.tick;
        }
        quint8 seen = 0;
        for (int k = 0; k < pairs; ++k) {
            const qsizetype at = master.trailer + 1 + 2 * k;
            const int type = byte(at);
            const int track = byte(at + 1);
            if (type > MusicTrack::AccompanimentType || track >= MusicTrack::Count || (seen & (1u << track)))
                m_tree.fail(at, QStringLiteral("%1 names the track %2 of type %3%4")
                                    .arg(where)
                                    .arg(track)
                                    .arg(type)
                                    .arg(track < MusicTrack::Count && (seen & (1u << track))
                                             ? QStringLiteral(" twice")
                                             : QStringLiteral(", which is none")));
            seen |= quint8(1u << track);
            MusicTrack resolved = resolve(where, variation.ticks, type, track, at);
            // A track its master never starts plays nothing.
            if (started.at(k)) {
                startAt(resolved, *started.at(k), variation.ticks);
                variation.tracks << resolved;
            }
        }
        return variation;
    }

    // A track started after the variation's start: its events later by as much, within the variation
    // (notes cut at its end). The instruments start every track at 0.
    static void startAt(MusicTrack& track, quint32 start, quint32 ticks) {
        if (start == 0)
            return;
        QList<MusicEvent> shifted;
        for (MusicEvent event : std::as_const(track.events)) {
            event.tick += start;
            if (event.tick >= ticks && !event.endsNote())
                continue;
            event.tick = qMin(event.tick, ticks);
            shifted << event;
        }
        track.events = shifted;
    }

    // The pool sequence the next pair plays, checked against what the pair says of it.
    MusicTrack resolve(const QString& where, quint32 ticks, int type, int track, qsizetype at) {
        if (m_pair >= m_table.size())
            m_tree.fail(at, QStringLiteral("%1 names more tracks than the %2 the pool's index resolves")
                                .arg(where)
                                .arg(m_table.size()));
        const int number = m_table.at(m_pair++);
        const Sequence& sequence = m_pool.at(number - 1);
        if (sequence.type != type || sequence.ticks != ticks)
            m_tree.fail(at,
                        QStringLiteral("%1 plays its %2 track with the pool sequence %3 (at byte offset %4), "
                                       "of type %5 and %6 ticks; type %7 and %8 ticks expected")
                            .arg(where, MusicTrack::nameOf(track))
                            .arg(number)
                            .arg(sequence.at)
                            .arg(sequence.type)
                            .arg(sequence.ticks)
                            .arg(type)
                            .arg(ticks));
        MusicTrack result;
        result.track = track;
        result.type = type;
        result.sequence = number;
        result.events = sequence.events; // shared, never copied
        result.skipped = sequence.skipped;
        return result;
    }

    Sequence readSequence(const Chunk& chunk, bool master) {
        Sequence sequence;
        sequence.at = chunk.data - 8;
        if (chunk.size < 8)
            m_tree.fail(chunk.data, QStringLiteral("the sequence holds %1 bytes, too few for its length and "
                                                   "its byte count")
                                        .arg(chunk.size));
        sequence.ticks = bigEndian32(chunk.data);
        if (sequence.ticks > StyleMusic::MaxTicks)
            m_tree.fail(chunk.data, QStringLiteral("a sequence of %1 ticks is longer than the %2 accepted")
                                        .arg(sequence.ticks)
                                        .arg(StyleMusic::MaxTicks));
        const quint32 count = bigEndian32(chunk.data + 4);
        if (count > quint64(chunk.size - 8))
            m_tree.fail(chunk.data + 4,
                        QStringLiteral("the sequence announces %1 bytes of events, %2 are left "
                                       "in its chunk")
                            .arg(count)
                            .arg(chunk.size - 8));
        sequence.trailer = chunk.data + 8 + qsizetype(count);
        readEvents(sequence, chunk.data + 8, master);
        return sequence;
    }

    void readEvents(Sequence& sequence, qsizetype from, bool master) {
        const qsizetype end = sequence.trailer;
        sequence.events.reserve((end - from) / 4);
        quint64 tick = 0;
        bool ended = false;
        for (qsizetype p = from; p < end;) {
            const qsizetype at = p;
            if (ended)
                m_tree.fail(at, QStringLiteral("an event after the end of the sequence"));
            quint32 delta = 0;
            for (int n = 0; p < end && (byte(p) & 0x80); ++p) {
                if (++n > MaxDeltaBytes)
                    m_tree.fail(at, QStringLiteral("a delta time of more than %1 bytes").arg(MaxDeltaBytes));
                delta = delta << 7 | (byte(p) & 0x7F);
            }
            tick += delta;
            if (p >= end)
                m_tree.fail(at, QStringLiteral("the events end inside a delta time"));
            if (tick > sequence.ticks)
                m_tree.fail(at, QStringLiteral("an event at tick %1, past the sequence's length of %2 ticks")
                                    .arg(tick)
                                    .arg(sequence.ticks));
            const quint8 type = byte(p++);
            if (type == MetaType)
                p = readMeta(sequence, at, p, quint32(tick), master, ended);
            else if (type == 0x0c || type == 0x0d)
                p = skip(sequence, at, p, 2);
            else if (type <= 0x06)
                p = readChannelEvent(sequence, at, p, quint32(tick), type);
            else
                m_tree.fail(
                    at,
                    QStringLiteral("an event of the unknown type 0x%1").arg(type, 2, 16, QLatin1Char('0')));
        }
        if (!ended)
            m_tree.fail(end, QStringLiteral("the sequence has no end (meta event 2f)"));
    }

    qsizetype need(qsizetype at, qsizetype p, qsizetype n, const Sequence& sequence) {
        if (n > sequence.trailer - p)
            m_tree.fail(at, QStringLiteral("the events end inside an event: %1 bytes expected, %2 left")
                                .arg(n)
                                .arg(sequence.trailer - p));
        return p + n;
    }

    qsizetype skip(Sequence& sequence, qsizetype at, qsizetype p, qsizetype n) {
        ++sequence.skipped;
        return need(at, p, n, sequence);
    }

    qsizetype readChannelEvent(Sequence& sequence, qsizetype at, qsizetype p, quint32 tick, quint8 type) {
        MusicEvent event;
        event.tick = tick;
        event.status = quint8((type + 8) << 4);
        const int n = event.dataBytes();
        const qsizetype next = need(at, p, n, sequence);
        for (int i = 0; i < n; ++i) {
            const bool last = i == n - 1;
            if (bool(byte(p + i) & 0x80) != last)
                m_tree.fail(
                    p + i, last ? QStringLiteral("the last data byte of an event lacks bit 7, which marks it")
                                : QStringLiteral("a data byte of an event has bit 7 set, which marks the "
                                                 "last"));
        }
        event.data1 = byte(p) & 0x7F;
        if (n == 2)
            event.data2 = byte(p + 1) & 0x7F;
        sequence.events << event;
        return next;
    }

    qsizetype readMeta(Sequence& sequence, qsizetype at, qsizetype p, quint32 tick, bool master,
                       bool& ended) {
        const qsizetype data = need(at, p, 3, sequence);
        const quint8 id = byte(p);
        const qsizetype length = bigEndian16(p + 1);
        const qsizetype next = need(at, data, length, sequence);
        if (id == EndOfTrack) {
            if (tick != sequence.ticks)
                m_tree.fail(at, QStringLiteral("the sequence ends at tick %1; its length is %2 ticks")
                                    .arg(tick)
                                    .arg(sequence.ticks));
            ended = true;
        } else if (master && id == MasterMeta && length >= 2 && byte(data) == 0x03) {
            sequence.starts << Sequence::Start{byte(data + 1), tick, at};
        } else if (master && id == MasterMeta && length >= 2 && byte(data) == 0x02 &&
                   byte(data + 1) >= StyleFacts::MinTempo) {
            sequence.tempoChanges << TempoChange{tick, byte(data + 1)};
        } else {
            ++sequence.skipped;
        }
        return next;
    }

    BlockTree& m_tree;
    const QByteArray& m_data;
    QList<quint16> m_table;
    qsizetype m_tableAt = 0;
    QList<Sequence> m_pool;
    qsizetype m_pair = 0;
};

} // namespace

StyleMusic StyleMusicReader::read(const QByteArray& content1, const QByteArray& content2,
                                  const QString& what) {
    const auto [styleBlock, performanceBlock] = StyleFacts::blocksOf(content1, content2);
    if (!styleBlock)
        throw SbkError(QStringLiteral("%1 has no style block, so nothing to play").arg(what));
    BlockTree tree(*styleBlock, StyleFacts::StyleBlockType, what + QStringLiteral(": the style block"));
    StyleMusic music = Reader(tree).read();
    if (performanceBlock) {
        try {
            music.tempo = StyleFacts::tempoOf(*performanceBlock);
        } catch (const SbkError&) {
            // The music plays at the default tempo then.
        }
    }
    return music;
}

StyleMusic StyleMusicReader::readTree(BlockTree& styleTree) {
    return Reader(styleTree).read();
}

StyleMusic StyleMusicReader::readStored(DbKORFStyle& table, qint32 prog) {
    table.setStyleProg(prog);
    if (!table.GetKORFStyles())
        throw SbkError(
            table.clsKORFStylesError().isEmpty()
                ? QStringLiteral("There is no style %1.").arg(prog)
                : QStringLiteral("Style %1 cannot be read: %2").arg(prog).arg(table.clsKORFStylesError()));
    return read(table.StyleContent1(), table.StyleContent2(), styleWhat(prog, table.StyleName1()));
}

QString StyleMusicReader::styleWhat(qint32 prog, const QString& name) {
    return QStringLiteral("Style %1 \"%2\"").arg(prog).arg(SingleByteText::plainText(name).trimmed());
}
