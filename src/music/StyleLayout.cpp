#include "music/StyleLayout.h"

#include "music/StyleElement.h"
#include "sty/StyleFacts.h"

#include <bit>

namespace {

constexpr quint32 StyleInformationId = 0x01000308;
constexpr quint32 PoolId = 0x02000000;
constexpr quint32 PoolIndexId = 0x01000008;
constexpr quint32 ElementId = 0x03000000;

quint32 bigEndian16(const QByteArray& data, qsizetype at) {
    return quint32(quint8(data[at])) << 8 | quint8(data[at + 1]);
}

} // namespace

StyleLayout::Top StyleLayout::top(BlockTree& tree) {
    std::optional<Top> top = tryTop(tree);
    if (!top)
        tree.fail(tree.root(0x01).data,
                  QStringLiteral("the style holds no pool of sequences (chunk 02000000)"));
    return *top;
}

std::optional<StyleLayout::Top> StyleLayout::tryTop(BlockTree& tree) {
    Top top;
    top.root = tree.root(0x01);
    bool pooled = false;
    const QByteArray& data = tree.whole();
    for (qsizetype at = top.root.data; at < top.root.end();) {
        const Chunk chunk = chunkAt(tree, data, at, top.root.end());
        if (chunk.id == StyleInformationId && chunk.size > 0)
            top.information = chunk;
        else if (chunk.id == PoolId && !pooled)
            top.pool = chunk, pooled = true;
        else if (chunk.id == ElementId)
            top.elements.append(chunk);
        at = chunk.end();
    }
    if (!pooled)
        return std::nullopt;
    return top;
}

StyleLayout::IndexFault StyleLayout::readIndex(BlockTree& tree, const QByteArray& data,
                                               const Chunk& container, Pool& pool) {
    if (container.size == 0 || chunkAt(tree, data, container.data, container.end()).id != PoolIndexId)
        return IndexFault::Missing;
    const Chunk index = chunkAt(tree, data, container.data, container.end());
    pool.index = index.data;
    pool.next = index.end();
    pool.end = container.end();
    if (index.size < 4)
        return IndexFault::Short;
    pool.size = bigEndian16(data, index.data);
    pool.references = bigEndian16(data, index.data + 2);
    pool.table = index.data + 4;
    if (index.size != 4 + 2 * qsizetype(pool.references))
        return IndexFault::References;
    // Each sequence takes 8 bytes at least: no more are made room for than the pool can hold.
    pool.sequences.reserve(size_t(qMin<qsizetype>(pool.size, (pool.end - pool.next) / 8)));
    return IndexFault::None;
}

StyleLayout::Pool StyleLayout::pool(BlockTree& tree, const QByteArray& data, const Chunk& container) {
    Pool pool;
    switch (readIndex(tree, data, container, pool)) {
    case IndexFault::None:
        break;
    case IndexFault::Missing:
        tree.fail(container.data,
                  QStringLiteral("the pool does not start with its index table (chunk 01000008)"));
    case IndexFault::Short:
        tree.fail(pool.index, QStringLiteral("the pool's index table holds %1 bytes, 4 at least expected")
                                  .arg(pool.next - pool.index));
    case IndexFault::References:
        tree.fail(pool.index + 2, QStringLiteral("the pool's index table announces %1 references in %2 bytes")
                                      .arg(pool.references)
                                      .arg(pool.next - pool.index));
    }
    return pool;
}

std::optional<StyleLayout::Pool> StyleLayout::tryPool(BlockTree& tree, const QByteArray& data,
                                                      const Chunk& container) {
    Pool pool;
    if (readIndex(tree, data, container, pool) != IndexFault::None)
        return std::nullopt;
    return pool;
}

void StyleLayout::readAll(BlockTree& tree, const QByteArray& data, Pool& pool) {
    while (readNext(tree, data, pool))
        continue;
    if (pool.sequences.size() != size_t(pool.size))
        failCount(tree, pool);
    for (quint32 r = 0; r < pool.references; ++r)
        referenced(tree, data, pool, r);
}

quint32 StyleLayout::referenced(BlockTree& tree, const QByteArray& data, Pool& pool, qsizetype r) {
    const quint32 number = reference(data, pool, r);
    if (number < 1 || number > pool.size)
        tree.fail(pool.table + 2 * r,
                  QStringLiteral("the reference %1 names the sequence %2; the pool holds 1 to %3")
                      .arg(r + 1)
                      .arg(number)
                      .arg(pool.size));
    while (pool.sequences.size() < number)
        if (!readNext(tree, data, pool))
            failCount(tree, pool);
    return number;
}

bool StyleLayout::readNext(BlockTree& tree, const QByteArray& data, Pool& pool) {
    if (pool.next >= pool.end)
        return false;
    const Chunk chunk = chunkAt(tree, data, pool.next, pool.end);
    const int type = chunk.type() - 2;
    if (!chunk.isData() || (chunk.id & 0x00FFFF00) != 0 || type < 0 || type > 2)
        tree.fail(chunk.data - 8, QStringLiteral("the chunk %1 in the pool is no sequence (02000008, "
                                                 "03000008 or 04000008)")
                                      .arg(Chunk::idText(chunk.id)));
    pool.sequences.push_back(chunk);
    pool.next = chunk.end();
    return true;
}

void StyleLayout::failCount(BlockTree& tree, const Pool& pool) {
    tree.fail(pool.index, QStringLiteral("the pool's index table announces %1 sequences, the pool holds %2")
                              .arg(pool.size)
                              .arg(pool.sequences.size()));
}

StyleLayout::Element StyleLayout::element(BlockTree& tree, const QByteArray& data, int index,
                                          const Chunk& container) {
    Element element;
    QVarLengthArray<Chunk, 10> chunks;
    for (qsizetype at = container.data; at < container.end(); at = chunks.back().end())
        chunks.append(chunkAt(tree, data, at, container.end()));
    const QString name = StyleElement::names().at(index);
    if (chunks.size() < 2 || chunks[0].type() != 0x01 || chunks[0].major() != 0x01 || !chunks[0].isData() ||
        chunks[1].type() != 0x02 || !chunks[1].isData())
        tree.fail(container.data, QStringLiteral("the element %1 does not start with its information "
                                                 "(0101xx08) and its sounds (0200xx08)")
                                      .arg(name));
    element.information = chunks[0];
    element.sounds = chunks[1];
    const Chunk& info = element.information;
    if (info.size < 27)
        tree.fail(info.data, QStringLiteral("the information of %1 holds %2 bytes, 27 at least expected")
                                 .arg(name)
                                 .arg(info.size));
    element.mask = quint8(data[info.data]);
    element.signature = quint8(data[info.data + 1]);
    if (StyleFacts::meterText(element.signature).isEmpty())
        tree.fail(info.data + 1, QStringLiteral("the time signature 0x%1 of %2 is no meter")
                                     .arg(element.signature, 2, 16, QLatin1Char('0'))
                                     .arg(name));
    if (element.sounds.size < 6 * 8)
        tree.fail(element.sounds.data, QStringLiteral("the sounds of %1 hold %2 bytes, %3 at least expected")
                                           .arg(name)
                                           .arg(element.sounds.size)
                                           .arg(6 * 8));
    for (qsizetype i = 2; i < chunks.size(); ++i)
        if (chunks[i].id == MasterId)
            element.masters.append(chunks[i]);
    if (element.masters.size() != std::popcount(element.mask))
        tree.fail(info.data, QStringLiteral("the mask 0x%1 of %2 names %3 chord variations, it holds %4")
                                 .arg(element.mask, 2, 16, QLatin1Char('0'))
                                 .arg(name)
                                 .arg(std::popcount(element.mask))
                                 .arg(element.masters.size()));
    return element;
}

int StyleLayout::pairsOf(BlockTree& tree, const QByteArray& data, const Chunk& master, qsizetype trailer,
                         int element, int number) {
    const qsizetype left = master.end() - trailer;
    const int pairs = left > 0 ? quint8(data[trailer]) : -1;
    if (pairs < 0 || left != 1 + 2 * qsizetype(pairs))
        tree.fail(trailer, QStringLiteral("the trailer of %1 holds %2 bytes, not a count and its "
                                          "pairs of type and track")
                               .arg(variationName(element, number))
                               .arg(left));
    return pairs;
}

QString StyleLayout::variationName(int element, int number) {
    return QStringLiteral("%1, chord variation %2").arg(StyleElement::names().value(element)).arg(number);
}
