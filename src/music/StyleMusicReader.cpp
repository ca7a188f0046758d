#include "music/StyleMusicReader.h"

#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "music/StyleLayout.h"
#include "music/StyleSequence.h"
#include "store/DbKORFStyle.h"
#include "sty/BlockTree.h"
#include "sty/StyleFacts.h"

namespace {

constexpr quint8 MasterMeta = 0x7e;

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

// What StyleSequence::walk hands over, kept in a Sequence.
struct SequenceFiller {
    Sequence& sequence;
    const QByteArray& data;
    bool master;

    void channel(quint32 tick, quint8 status, quint8 data1, quint8 data2) {
        sequence.events << MusicEvent{tick, status, data1, data2};
    }
    void meta(qsizetype at, quint32 tick, quint8 id, qsizetype from, qsizetype length) {
        const quint8 first = length >= 2 ? quint8(data[from]) : 0;
        const quint8 second = length >= 2 ? quint8(data[from + 1]) : 0;
        if (master && id == MasterMeta && first == 0x03)
            sequence.starts << Sequence::Start{second, tick, at};
        else if (master && id == MasterMeta && first == 0x02 && second >= StyleFacts::MinTempo)
            sequence.tempoChanges << TempoChange{tick, second};
        else
            ++sequence.skipped;
    }
    void unknown() { ++sequence.skipped; }
};

class Reader {
public:
    explicit Reader(BlockTree& tree) : m_tree(tree), m_data(tree.whole()) {}

    StyleMusic read() {
        const StyleLayout::Top top = StyleLayout::top(m_tree);
        StyleMusic music;
        if (top.information)
            music.name = SingleByteText::plainText(
                QString::fromLatin1(m_data.constData() + top.information->data + 1,
                                    qMin<qsizetype>(byte(top.information->data), top.information->size - 1)));
        readPool(top.pool);
        if (top.elements.size() != StyleElement::Count)
            m_tree.fail(top.root.data, QStringLiteral("the style holds %1 elements (chunk 03000000), not %2")
                                           .arg(top.elements.size())
                                           .arg(StyleElement::Count));
        for (int i = 0; i < StyleElement::Count; ++i)
            music.elements << readElement(i, top.elements[i]);
        if (m_pair != qsizetype(m_layout.references))
            m_tree.fail(m_layout.table,
                        QStringLiteral("the pool's index holds %1 references, but the elements "
                                       "name %2 tracks")
                            .arg(m_layout.references)
                            .arg(m_pair));
        music.poolSize = int(m_pool.size());
        music.references = int(m_layout.references);
        return music;
    }

private:
    quint8 byte(qsizetype at) const { return quint8(m_data.at(at)); }

    void readPool(const Chunk& pool) {
        m_layout = StyleLayout::pool(m_tree, m_data, pool);
        StyleLayout::readAll(m_tree, m_data, m_layout);
        for (const Chunk& chunk : std::as_const(m_layout.sequences)) {
            Sequence sequence = readSequence(chunk, false);
            sequence.type = chunk.type() - 2;
            m_pool << sequence;
        }
    }

    StyleElement readElement(int index, const Chunk& container) {
        const StyleLayout::Element layout = StyleLayout::element(m_tree, m_data, index, container);
        StyleElement element;
        element.index = index;
        element.variationMask = layout.mask;
        element.signature = layout.signature;
        element.chordTable = m_data.mid(layout.information.data + 3, 24);
        for (int t = 0; t < MusicTrack::Count; ++t) {
            const qsizetype at = layout.sounds.data + 6 * t;
            element.sounds.at(size_t(t)) = TrackSound{byte(at + 1), byte(at + 2), byte(at + 3)};
        }
        for (qsizetype v = 0; v < layout.masters.size(); ++v)
            element.variations << readVariation(element, int(v) + 1, layout.masters[v]);
        return element;
    }

    ChordVariation readVariation(const StyleElement& element, int number, const Chunk& chunk) {
        const QString where = StyleLayout::variationName(element.index, number);
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
        const int pairs = StyleLayout::pairsOf(m_tree, m_data, chunk, master.trailer, element.index, number);
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
        if (m_pair >= qsizetype(m_layout.references))
            m_tree.fail(at, QStringLiteral("%1 names more tracks than the %2 the pool's index resolves")
                                .arg(where)
                                .arg(m_layout.references));
        const int number = int(StyleLayout::reference(m_data, m_layout, m_pair++));
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
        const StyleSequence walker(m_tree, m_data, chunk);
        Sequence sequence;
        sequence.at = chunk.data - 8;
        sequence.ticks = walker.ticks();
        sequence.trailer = walker.trailer();
        sequence.events.reserve((sequence.trailer - chunk.data - 8) / 4);
        SequenceFiller filler{sequence, m_data, master};
        walker.walk(filler);
        return sequence;
    }

    BlockTree& m_tree;
    const QByteArray& m_data;
    StyleLayout::Pool m_layout;
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
