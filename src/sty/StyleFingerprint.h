#pragma once

#include <optional>
#include <QByteArray>

// The fingerprints that tell copies of a style apart from other styles, each a 64-bit hash:
//
// - exact: the two blocks byte for byte, as the database keeps them (an empty block as one blank);
// - renamed: both blocks decoded, with the style's name left out;
// - settings: the decoded style block alone, with its name left out, so that copies whose
//   performance (tempo, sounds, mixer) differs share it.
//
// A decoded block is hashed as the chunk tree it is, not as its bytes: every chunk's ID, every data
// chunk's length and data, containers by what they hold. So the sizes of the chunks around a name,
// which change with its length, never enter the hash. The name sits in the style information chunk
// (01000308), the first chunk in the style block's root: its first byte is the name's length, the
// name follows, eighteen bytes of the style's settings after it. That inner name is the one the
// style was made with; the name a bank file lists, which the import stores, is kept apart in the
// file's directory, so the two often differ, and editing a style's name here changes neither block.
// Copies whose inner names differ are styles saved again under another name on an instrument.
//
// The performance blocks of the instruments' files hold no name of the style: their only texts are
// the names of the single touch settings ("STS 1" to "STS 4", Pa600) or of the sounds and folders
// of the newer instruments ("Piano 1", "Factory", "User", "SYSTEM_ROOT",
// "<KORG SYSTEM>\STARTUP\ALL"), which are settings and are hashed as they are.
//
// A tree that does not hold chunks, or nests deeper than MaxDepth, is hashed as plain bytes.
class StyleFingerprint {
public:
    static constexpr int MaxDepth = 64;

    static qint64 exact(const QByteArray& content1, const QByteArray& content2);
    // The hash of the decoded tree of a style block (without its name) or of a performance block;
    // blockId is the block's chunk ID, whose compression flags are left out.
    static quint64 ofStyleTree(quint32 blockId, const QByteArray& tree);
    static quint64 ofPerformanceTree(quint32 blockId, const QByteArray& tree);
    // The fingerprints made from those hashes; a style without a performance block has none.
    static qint64 renamed(quint64 styleTree, std::optional<quint64> performanceTree);
    static qint64 settings(quint64 styleTree);

    // Where the name lies in a decoded style tree: the offset of its length byte and the bytes it
    // covers with it; std::nullopt when the tree holds no style information chunk with a name.
    struct NameSpan {
        qsizetype at = 0;
        qsizetype size = 0;
    };
    static std::optional<NameSpan> nameIn(const QByteArray& tree);
};
