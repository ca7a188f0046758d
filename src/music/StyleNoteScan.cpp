#include "music/StyleNoteScan.h"

#include "music/NoteTally.h"
#include "music/StyleElement.h"
#include "music/StyleLayout.h"
#include "music/StyleSequence.h"
#include "sty/BlockTree.h"

#include <array>

namespace {

constexpr quint8 MasterMeta = 0x7e;
constexpr quint32 NotStarted = 0xFFFFFFFF;

// The tick each track of a master track starts at (the k-th pair of its trailer), checked as it
// comes: a track named once, and one of its pairs.
struct StartFinder {
    BlockTree& tree;
    const QByteArray& data;
    int pairs;
    int element;
    int number;
    std::array<quint32, 256> starts;

    void channel(quint32, quint8, quint8, quint8) {}
    void meta(qsizetype at, quint32 tick, quint8 id, qsizetype from, qsizetype length) {
        if (id != MasterMeta || length < 2 || quint8(data[from]) != 0x03)
            return;
        const int track = quint8(data[from + 1]);
        if (track >= pairs || starts[size_t(track)] != NotStarted)
            tree.fail(
                at, QStringLiteral("%1 starts its track %2 %3")
                        .arg(StyleLayout::variationName(element, number))
                        .arg(track)
                        .arg(track >= pairs ? QStringLiteral("of %1").arg(pairs) : QStringLiteral("twice")));
        starts[size_t(track)] = tick;
    }
    void unknown() {}
};

// The notes of a pool sequence as a track of a chord variation plays it, started at start and cut
// at the variation's end.
struct NoteCounter {
    NoteTally& tally;
    NoteTally::Role role;
    quint32 start;
    quint32 ticks;
    quint32 measure;

    void channel(quint32 tick, quint8 status, quint8 key, quint8 velocity) {
        if (status != 0x90 || velocity == 0)
            return;
        const quint64 at = quint64(tick) + start;
        if (start == 0 || at < ticks)
            tally.add(role, quint32(at), measure, key);
    }
    void meta(qsizetype, quint32, quint8, qsizetype, qsizetype) {}
    void unknown() {}
};

class Scan {
public:
    explicit Scan(BlockTree& tree) : m_tree(tree), m_data(tree.whole()) {}

    std::optional<NoteVector::Counts> run() {
        const std::optional<StyleLayout::Top> top = StyleLayout::tryTop(m_tree);
        if (!top)
            return std::nullopt;
        std::optional<StyleLayout::Pool> pool = StyleLayout::tryPool(m_tree, m_data, top->pool);
        if (!pool || top->elements.size() != StyleElement::Count)
            return std::nullopt;
        m_pool = std::move(*pool);
        // Var1 to Var4 come first, so the pairs before every element counted are counted too.
        for (int i = 0; i < StyleElement::Count; ++i) {
            if (i == 4 && m_tally.notes() > 0)
                break;
            element(i, top->elements[i]);
        }
        return m_tally.counts();
    }

private:
    void element(int index, const Chunk& container) {
        const StyleLayout::Element layout = StyleLayout::element(m_tree, m_data, index, container);
        const quint32 measure = StyleElement::measureTicksOf(layout.signature);
        for (qsizetype v = 0; v < layout.masters.size(); ++v) {
            const Chunk& chunk = layout.masters[v];
            const StyleSequence master(m_tree, m_data, chunk);
            const int pairs =
                StyleLayout::pairsOf(m_tree, m_data, chunk, master.trailer(), index, int(v) + 1);
            if (v == 0)
                variation(layout, index, master, measure, pairs);
            else
                m_pair += pairs;
        }
    }

    void variation(const StyleLayout::Element& element, int index, const StyleSequence& master,
                   quint32 measure, int pairs) {
        if (master.ticks() % measure != 0)
            m_tree.fail(element.masters[0].data,
                        QStringLiteral("%1 lasts %2 ticks, no whole number of measures")
                            .arg(StyleLayout::variationName(index, 1))
                            .arg(master.ticks()));
        StartFinder finder{m_tree, m_data, pairs, index, 1, {}};
        finder.starts.fill(NotStarted);
        master.walk(finder);
        quint8 seen = 0;
        for (int k = 0; k < pairs; ++k) {
            const qsizetype at = master.trailer() + 1 + 2 * k;
            const int type = quint8(m_data[at]);
            const int track = quint8(m_data[at + 1]);
            if (type > MusicTrack::AccompanimentType || track >= MusicTrack::Count || (seen & (1u << track)))
                m_tree.fail(at, QStringLiteral("%1 names the track %2 of type %3, which is none or twice")
                                    .arg(StyleLayout::variationName(index, 1))
                                    .arg(track)
                                    .arg(type));
            seen |= quint8(1u << track);
            const StyleSequence sequence = resolve(index, master.ticks(), type, at);
            if (finder.starts[size_t(k)] != NotStarted) {
                NoteCounter counter{m_tally, NoteTally::roleOf(element.drumKit(m_data, track), type),
                                    finder.starts[size_t(k)], master.ticks(), measure};
                sequence.walk(counter);
            }
        }
    }

    // The pool sequence the next pair plays, checked against the pair's type and the variation's
    // length.
    StyleSequence resolve(int index, quint32 ticks, int type, qsizetype at) {
        if (m_pair >= qsizetype(m_pool.references))
            m_tree.fail(at, QStringLiteral("%1 names more tracks than the %2 the pool's index resolves")
                                .arg(StyleLayout::variationName(index, 1))
                                .arg(m_pool.references));
        const quint32 number = StyleLayout::referenced(m_tree, m_data, m_pool, m_pair++);
        StyleSequence sequence(m_tree, m_data, m_pool.sequences[size_t(number) - 1]);
        if (m_pool.typeOf(number) != type || sequence.ticks() != ticks)
            m_tree.fail(at,
                        QStringLiteral("%1 plays a track with the pool sequence %2 of type %3 and %4 ticks; "
                                       "type %5 and %6 ticks expected")
                            .arg(StyleLayout::variationName(index, 1))
                            .arg(number)
                            .arg(m_pool.typeOf(number))
                            .arg(sequence.ticks())
                            .arg(type)
                            .arg(ticks));
        return sequence;
    }

    BlockTree& m_tree;
    const QByteArray& m_data;
    StyleLayout::Pool m_pool;
    qsizetype m_pair = 0;
    NoteTally m_tally;
};

} // namespace

std::optional<NoteVector::Counts> StyleNoteScan::countsOf(BlockTree& styleTree) {
    return Scan(styleTree).run();
}
