#include "sty/StyleFacts.h"

#include "core/SbkError.h"
#include "sty/BlockTree.h"
#include "sty/StyleFingerprint.h"

#include <array>
#include <functional>
#include <optional>
#include <QRegularExpression>
#include <QStringList>

namespace {

quint32 bigEndian32(const char* p) {
    return quint32(quint8(p[0])) << 24 | quint32(quint8(p[1])) << 16 | quint32(quint8(p[2])) << 8 |
           quint32(quint8(p[3]));
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
    const Chunk root = tree.root(0x01);
    const std::optional<Chunk> element = tree.find(root, [](quint32 id) { return id == 0x03000000; });
    if (!element)
        tree.fail(0, QStringLiteral("the style holds no element (chunk 03000000)"));
    const Chunk info = tree.chunkAt(element->data, element->end());
    if (info.type() != 0x01 || info.major() != 0x01 || !info.isData())
        tree.fail(element->data, QStringLiteral("the first element starts with the chunk %1, not its "
                                                "element information (0101xx08)")
                                     .arg(Chunk::idText(info.id)));
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
    const Chunk root = tree.root(0x00);
    const std::optional<Chunk> performance = tree.find(root, [](quint32 id) { return id == 0x01000000; });
    if (!performance)
        tree.fail(0, QStringLiteral("the block holds no performance (chunk 01000000)"));
    const std::optional<Chunk> settings = tree.find(
        *performance, [](quint32 id) { return Chunk::typeOf(id) == 0x04 && quint8(id) == Chunk::DataFlags; });
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
                                          .arg(Chunk::idText(settings->id)));
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
                                 QStringList& damage, const std::function<void(BlockTree&)>& decoded = {}) {
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
            const quint64 value = hash(tree.blockId(), tree.whole());
            if (decoded)
                decoded(tree);
            return value;
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

StyleFacts::Blocks StyleFacts::blocksOf(const QByteArray& content1, const QByteArray& content2) {
    Blocks blocks;
    for (const QByteArray* block : {&content1, &content2}) {
        if (block->size() < 8)
            continue; // a blank: no block
        const quint8 type = quint8(block->at(0));
        if (type == StyleBlockType && !blocks.style)
            blocks.style = block;
        else if (type == PerformanceBlockType && !blocks.performance)
            blocks.performance = block;
    }
    return blocks;
}

StyleFactsValues StyleFacts::read(const QByteArray& content1, const QByteArray& content2) {
    return readWith(content1, content2, nullptr);
}

StyleFactsValues StyleFacts::readWith(const QByteArray& content1, const QByteArray& content2,
                                      TreeReader notes) {
    StyleFactsValues facts;
    facts.FingerprintExact = StyleFingerprint::exact(content1, content2);
    const auto [styleBlock, performanceBlock] = blocksOf(content1, content2);
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
            damage,
            [&](BlockTree& tree) {
                if (notes)
                    facts.NoteFingerprint = notes(tree);
            });
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
