#include "sty/StyleFacts.h"

#include "core/SbkError.h"
#include "sty/Oc31Decoder.h"
#include "sty/StyleFingerprint.h"

#include <array>
#include <optional>
#include <QRegularExpression>
#include <QStringList>

namespace {

quint32 bigEndian32(const char* p) {
    return quint32(quint8(p[0])) << 24 | quint32(quint8(p[1])) << 16 | quint32(quint8(p[2])) << 8 |
           quint32(quint8(p[3]));
}

QString idText(quint32 id) {
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0'));
}

quint8 typeOf(quint32 id) {
    return quint8(id >> 24);
}
quint8 majorOf(quint32 id) {
    return quint8(id >> 16);
}
quint8 flagsOf(quint32 id) {
    return quint8(id);
}

constexpr quint8 ContainerFlags = 0x00;
constexpr quint8 DataFlags = 0x08;

struct Chunk {
    quint32 id;
    qsizetype data; // offset of the data in the block's tree
    qsizetype size;
    qsizetype end() const { return data + size; }
};

// The tree of one block: its data as it stands, or decoded as far as it is read.
class BlockTree {
public:
    // block must outlive the tree: its data is read where it lies, never copied.
    BlockTree(const QByteArray& block, quint8 expectedType, const QString& what) : m_what(what) {
        if (block.size() < 8)
            failIn(m_what, 0,
                   QStringLiteral("%1 bytes are no block: its chunk header alone has 8").arg(block.size()));
        m_id = bigEndian32(block.constData());
        if (typeOf(m_id) != expectedType)
            failIn(m_what, 0,
                   QStringLiteral("the chunk %1 is not of type %2").arg(idText(m_id)).arg(expectedType));
        const quint32 size = bigEndian32(block.constData() + 4);
        if (size > quint32(block.size() - 8))
            failIn(m_what, 4,
                   QStringLiteral("the block announces %1 bytes of data, %2 are there")
                       .arg(size)
                       .arg(block.size() - 8));
        const QByteArray data = QByteArray::fromRawData(block.constData() + 8, qsizetype(size));
        if (flagsOf(m_id) & 0x40)
            failIn(m_what, 3, QStringLiteral("the block is encrypted"));
        if (flagsOf(m_id) & 0x20) {
            m_decoder.emplace(data, m_what);
            m_size = m_decoder->declaredSize();
        } else {
            m_plain = data;
            m_size = data.size();
        }
    }

    quint32 blockId() const { return m_id; }
    qsizetype size() const { return m_size; }
    // Whether decoding failed: the block's data holds a fault at the point reached.
    bool broken() const { return m_broken; }

    // The n bytes at offset at, which lie inside the tree (the callers check that first).
    const char* bytes(qsizetype at, qsizetype n) {
        if (!m_decoder)
            return m_plain.constData() + at;
        decoding([&] { m_decoder->decodeTo(at + n); });
        return m_decoder->output().constData() + at;
    }
    quint8 byteAt(qsizetype at) { return quint8(*bytes(at, 1)); }
    // The whole tree, decoded to its end (the check byte checked).
    const QByteArray& whole() {
        if (!m_decoder)
            return m_plain;
        decoding([&] { m_decoder->decodeAll(); });
        return m_decoder->output();
    }

    // The chunk whose header starts at offset at, inside a container that ends at end.
    Chunk chunkAt(qsizetype at, qsizetype end) {
        if (end - at < 8)
            fail(
                at,
                QStringLiteral("a chunk header of 8 bytes expected, %1 left in its container").arg(end - at));
        const char* header = bytes(at, 8);
        const quint32 id = bigEndian32(header);
        const quint32 size = bigEndian32(header + 4);
        if (size > quint64(end - at - 8))
            fail(at + 4, QStringLiteral("the chunk %1 announces %2 bytes, %3 are left in its container")
                             .arg(idText(id))
                             .arg(size)
                             .arg(end - at - 8));
        return {id, at + 8, qsizetype(size)};
    }

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

    [[noreturn]] void fail(qsizetype at, const QString& problem) const {
        failIn(m_what + QStringLiteral(", decoded"), at, problem);
    }

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
    [[noreturn]] static void failIn(const QString& what, qsizetype at, const QString& problem) {
        throw SbkError(QStringLiteral("%1: at byte offset %2: %3").arg(what, QString::number(at), problem));
    }

    QString m_what;
    quint32 m_id = 0;
    QByteArray m_plain;
    std::optional<Oc31Decoder> m_decoder;
    bool m_broken = false;
    qsizetype m_size = 0;
};

// The root of a block's tree: the one chunk it holds, a container of the given type.
Chunk rootOf(BlockTree& tree, quint8 type) {
    const Chunk root = tree.chunkAt(0, tree.size());
    if (typeOf(root.id) != type || flagsOf(root.id) != ContainerFlags)
        tree.fail(0, QStringLiteral("the tree starts with the chunk %1, not a container of type %2")
                         .arg(idText(root.id))
                         .arg(type));
    return root;
}

// Reads the settings chunk of a newer performance: a uint32, s, (for s = 0: three bytes, two
// zero-terminated strings, a uint32 count and that many bytes), one byte, the tempo.
int newerTempo(BlockTree& tree, const Chunk& settings) {
    qsizetype at = settings.data;
    auto need = [&](qsizetype n, const char* what) {
        if (n > settings.end() - at)
            tree.fail(
                at, QStringLiteral("the settings chunk ends where %1 was expected").arg(QLatin1String(what)));
    };
    need(5, "its first five bytes");
    const quint8 s = tree.byteAt(at + 4);
    at += 5;
    if (s == 0) {
        need(3, "three bytes");
        at += 3;
        for (int i = 0; i < 2; ++i) {
            // A zero-terminated string, its end inside the chunk.
            while (true) {
                need(1, "the end of a name");
                if (tree.byteAt(at++) == 0)
                    break;
            }
        }
        need(4, "a count");
        const quint32 count = bigEndian32(tree.bytes(at, 4));
        at += 4;
        if (count > quint64(settings.end() - at))
            tree.fail(at - 4, QStringLiteral("a count of %1 bytes, %2 are left in the settings chunk")
                                  .arg(count)
                                  .arg(settings.end() - at));
        at += qsizetype(count);
    }
    need(2, "the tempo");
    return tree.byteAt(at + 1);
}

} // namespace

QString StyleFacts::meterText(quint8 signature) {
    // Every style read names one of these: their texts are made once.
    static const std::array<QString, 256> texts = [] {
        std::array<QString, 256> all;
        for (int b = 0; b < 256; ++b) {
            const int numerator = b >> 3;
            const int power = b & 7;
            if (numerator > 0 && power >= 1 && power <= 4)
                all[size_t(b)] = QStringLiteral("%1/%2").arg(numerator).arg(1 << power);
        }
        return all;
    }();
    return texts[signature];
}

int StyleFacts::signatureOf(const QString& meter) {
    static const QRegularExpression form(QStringLiteral("^([1-9][0-9]?)/([0-9]{1,2})$"));
    const QRegularExpressionMatch match = form.match(meter);
    if (!match.hasMatch())
        return -1;
    const int numerator = match.captured(1).toInt();
    const int denominator = match.captured(2).toInt();
    for (int power = 1; power <= 4; ++power)
        if (denominator == 1 << power && numerator <= 31)
            return numerator << 3 | power;
    return -1;
}

namespace {

QString meterIn(BlockTree& tree) {
    const Chunk root = rootOf(tree, 0x01);
    const std::optional<Chunk> element = tree.find(root, [](quint32 id) { return id == 0x03000000; });
    if (!element)
        tree.fail(0, QStringLiteral("the style holds no element (chunk 03000000)"));
    const Chunk info = tree.chunkAt(element->data, element->end());
    if (typeOf(info.id) != 0x01 || majorOf(info.id) != 0x01 || flagsOf(info.id) != DataFlags)
        tree.fail(element->data, QStringLiteral("the first element starts with the chunk %1, not its "
                                                "element information (0101xx08)")
                                     .arg(idText(info.id)));
    if (info.size < 2)
        tree.fail(info.data,
                  QStringLiteral("the element information holds %1 bytes, no time signature").arg(info.size));
    const quint8 signature = tree.byteAt(info.data + 1);
    const QString meter = StyleFacts::meterText(signature);
    if (meter.isEmpty())
        tree.fail(
            info.data + 1,
            QStringLiteral("the time signature 0x%1 is no meter").arg(signature, 2, 16, QLatin1Char('0')));
    return meter;
}

int tempoIn(BlockTree& tree) {
    const Chunk root = rootOf(tree, 0x00);
    const std::optional<Chunk> performance = tree.find(root, [](quint32 id) { return id == 0x01000000; });
    if (!performance)
        tree.fail(0, QStringLiteral("the block holds no performance (chunk 01000000)"));
    const std::optional<Chunk> settings =
        tree.find(*performance, [](quint32 id) { return typeOf(id) == 0x04 && flagsOf(id) == DataFlags; });
    if (!settings)
        tree.fail(performance->data, QStringLiteral("the performance holds no settings chunk (04xxxx08)"));
    int tempo;
    if (settings->id == 0x04000108) {
        if (settings->size < 8)
            tree.fail(settings->data,
                      QStringLiteral("the settings chunk holds %1 bytes, no tempo").arg(settings->size));
        tempo = tree.byteAt(settings->data + 7);
    } else if (settings->id == 0x04020008) {
        tempo = newerTempo(tree, *settings);
    } else {
        tree.fail(settings->data - 8, QStringLiteral("the settings chunk %1 is of a version this program "
                                                     "does not read")
                                          .arg(idText(settings->id)));
    }
    if (tempo < StyleFacts::MinTempo || tempo > StyleFacts::MaxTempo)
        tree.fail(settings->data, QStringLiteral("the tempo %1 is outside %2 to %3")
                                      .arg(tempo)
                                      .arg(StyleFacts::MinTempo)
                                      .arg(StyleFacts::MaxTempo));
    return tempo;
}

// "the style block does not decode: at byte offset 12: ...", from an error about the block.
QString undecodable(const QString& what, const QString& error) {
    const QString prefix = what + QStringLiteral(": ");
    return what + QStringLiteral(" does not decode: ") +
           (error.startsWith(prefix) ? error.mid(prefix.size()) : error);
}

// Reads one block's fact with readFact and then the hash of its whole tree, which it returns; what
// keeps the fact from being read goes into problems, why the block does not decode to its end into
// damage. A decoder that failed while the fact was read failed for the reason given then.
template <typename ReadFact>
std::optional<quint64> readBlock(const QByteArray& block, quint8 type, const QString& what, ReadFact readFact,
                                 quint64 (*hash)(quint32, const QByteArray&), QStringList& problems,
                                 QStringList& damage) {
    try {
        BlockTree tree(block, type, what);
        QString factError;
        try {
            readFact(tree);
        } catch (const SbkError& error) {
            problems << error.message();
            factError = error.message();
        }
        const bool brokenByFact = tree.broken();
        try {
            return hash(tree.blockId(), tree.whole());
        } catch (const SbkError& error) {
            damage << undecodable(what, brokenByFact ? factError : error.message());
        }
    } catch (const SbkError& error) {
        problems << error.message();
        damage << undecodable(what, error.message());
    }
    return std::nullopt;
}

} // namespace

QString StyleFacts::meterOf(const QByteArray& styleBlock) {
    BlockTree tree(styleBlock, StyleBlockType, QStringLiteral("the style block"));
    return meterIn(tree);
}

int StyleFacts::tempoOf(const QByteArray& performanceBlock) {
    BlockTree tree(performanceBlock, PerformanceBlockType, QStringLiteral("the performance block"));
    return tempoIn(tree);
}

StyleFactsValues StyleFacts::read(const QByteArray& content1, const QByteArray& content2) {
    StyleFactsValues facts;
    facts.FingerprintExact = StyleFingerprint::exact(content1, content2);
    const QByteArray* styleBlock = nullptr;
    const QByteArray* performanceBlock = nullptr;
    for (const QByteArray* block : {&content1, &content2}) {
        if (block->size() < 8)
            continue; // a blank: no block
        const quint8 type = quint8(block->at(0));
        if (type == StyleBlockType && !styleBlock)
            styleBlock = block;
        else if (type == PerformanceBlockType && !performanceBlock)
            performanceBlock = block;
    }
    // Each block is decoded once: as far as its fact lies, then to its end for its fingerprint. A
    // block damaged behind its fact keeps the fact, has no fingerprint of its decoded tree, and is
    // named in the damage.
    QStringList problems;
    QStringList damage;
    std::optional<quint64> styleTree;
    std::optional<quint64> performanceTree;
    if (!styleBlock) {
        problems << QStringLiteral("there is no style block, so no meter");
        damage << QStringLiteral("there is no style block");
    } else {
        styleTree = readBlock(
            *styleBlock, StyleBlockType, QStringLiteral("the style block"),
            [&](BlockTree& tree) { facts.Meter = meterIn(tree); }, &StyleFingerprint::ofStyleTree, problems,
            damage);
    }
    bool performanceRead = !performanceBlock;
    if (!performanceBlock) {
        problems << QStringLiteral("there is no performance block, so no tempo");
    } else {
        performanceTree = readBlock(
            *performanceBlock, PerformanceBlockType, QStringLiteral("the performance block"),
            [&](BlockTree& tree) { facts.Tempo = tempoIn(tree); }, &StyleFingerprint::ofPerformanceTree,
            problems, damage);
        performanceRead = performanceTree.has_value();
    }
    if (styleTree) {
        facts.FingerprintSettings = StyleFingerprint::settings(*styleTree);
        if (performanceRead)
            facts.FingerprintRenamed = StyleFingerprint::renamed(*styleTree, performanceTree);
    }
    facts.problem = problems.join(QStringLiteral("; "));
    facts.damage = damage.join(QStringLiteral("; "));
    return facts;
}
