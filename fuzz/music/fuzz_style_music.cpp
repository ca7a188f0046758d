// libFuzzer target of the music reader and what consumes its model. The input is the decoded tree
// of a style block, read as a plain block (06000008) and, compressed, as an instrument saves it:
// any bytes must give a model or an SbkError. A model holds 15 elements whose chord variations match
// their masks, tracks numbered 0 to 7 at most once each, events within their variation's length and
// data bytes below 128; every chord variation writes as a MIDI file and plays through the scheduler.
// The scan of the notes (NoteFingerprint::ofTree) never throws, and gives the fingerprint of the
// model wherever the model reads the music.
#include "core/SbkError.h"
#include "music/ElementTimeline.h"
#include "music/MidiFileWriter.h"
#include "music/NoteFingerprint.h"
#include "music/PatternScheduler.h"
#include "music/StyleMusicReader.h"
#include "sty/BlockTree.h"

#include <bit>
#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

QByteArray chunk(quint32 id, const QByteArray& data) {
    QByteArray bytes;
    for (const quint32 v : {id, quint32(data.size())})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += char(v >> shift);
    return bytes + data;
}

// The tree as an OC31 stream of literal runs.
QByteArray compressed(const QByteArray& tree) {
    QByteArray out("OC31");
    for (int i = 0; i < 4; ++i)
        out += char(quint32(tree.size()) >> (8 * i));
    quint8 check = 0;
    for (qsizetype at = 0; at < tree.size();) {
        qsizetype run = qMin<qsizetype>(tree.size() - at, 0xFF + 0x12);
        if (tree.size() - at - run > 0 && tree.size() - at - run < 4)
            run -= 4;
        if (run < 4)
            return {};
        if (run >= 0x12)
            out += QByteArray(1, '\0') + char(run - 0x12);
        else
            out += char(run - 2);
        out += tree.mid(at, run);
        at += run;
    }
    for (const char byte : tree)
        check ^= quint8(byte);
    return out + QByteArray("\x01\x00\x00", 3) + char(check);
}

struct NullSink : MidiSink {
    void send(quint8 status, quint8 data1, quint8 data2) override {
        require(status >= 0x80 && data1 < 128 && data2 < 128);
    }
    void selectSound(int channel, const TrackSound&) override { require(channel >= 0 && channel < 16); }
};

void check(const StyleMusic& music) {
    require(music.elements.size() == StyleElement::Count);
    auto shared = std::make_shared<const StyleMusic>(music);
    for (const StyleElement& element : music.elements) {
        require(element.variations.size() == std::popcount(element.variationMask));
        for (const ChordVariation& variation : element.variations) {
            require(variation.ticks <= StyleMusic::MaxTicks && variation.ticks % element.measureTicks() == 0);
            quint8 tracks = 0;
            for (const MusicTrack& track : variation.tracks) {
                require(track.track >= 0 && track.track < MusicTrack::Count &&
                        !(tracks & (1u << track.track)));
                tracks |= quint8(1u << track.track);
                for (const MusicEvent& e : track.events)
                    require(e.tick <= variation.ticks && e.data1 < 128 && e.data2 < 128);
            }
            const ElementTimeline timeline(music, element.index, variation.number);
            const QByteArray file = MidiFileWriter::write(timeline, 2, QStringLiteral("fuzz"));
            require(file.startsWith("MThd"));
            PatternScheduler scheduler(8000);
            scheduler.start({shared, element.index, variation.number}, 1);
            NullSink sink;
            for (int block = 0; block < 4 && !scheduler.idle(); ++block)
                scheduler.play(4096, sink, [](int, int) {});
        }
    }
}

// The fingerprint the scan reads from the block; std::nullopt when the block's header is no block.
std::optional<QByteArray> scanned(const QByteArray& block) {
    std::optional<BlockTree> tree;
    try {
        tree.emplace(block, 0x06, QStringLiteral("fuzz"));
    } catch (const SbkError&) {
        return std::nullopt;
    }
    return NoteFingerprint::ofTree(*tree);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray tree(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& block : {chunk(0x06000008, tree), chunk(0x06000030, compressed(tree))}) {
        const std::optional<QByteArray> notes = scanned(block);
        try {
            const StyleMusic music = StyleMusicReader::read(block, {}, QStringLiteral("fuzz"));
            require(notes == NoteFingerprint::of(music));
            check(music);
        } catch (const SbkError& error) {
            require(error.message().startsWith(QStringLiteral("fuzz")));
        }
    }
    return 0;
}
