#pragma once

#include <array>
#include <QByteArray>
#include <QList>
#include <utility>

// Style and performance blocks as instruments save them, built for tests and benchmarks: chunk
// trees carrying a meter and a tempo where the program reads them, compressed as OC31 streams of
// literal runs (valid OC31 that any reader decodes). Uses QtCore only, so the benchmarks build it too.
class StyleBlocks {
public:
    // An OC31 stream (the block data after the chunk header) that holds data in literal runs only.
    // data must not be 1 to 3 bytes long: the shortest literal run is 4 bytes.
    static QByteArray oc31Literal(const QByteArray& data);
    // A chunk: ID, big-endian size, data.
    static QByteArray chunk(quint32 id, const QByteArray& data);

    // A style block (chunk 06000030) whose first element carries the time signature byte
    // (0x22 = 4/4); newer: the element information of a Pa700 (01010308). filler: the data of a
    // chunk the reader passes over, after the first element (the bulk of a real style). name: the
    // style's name inside the block, in its style information chunk.
    static QByteArray styleBlock(quint8 signature, bool newer = false, const QByteArray& filler = {},
                                 const QByteArray& name = "New Style");
    // A performance block carrying the tempo: format 1.0 (09010030, Pa600) or, newer, 2.1
    // (09020130, Pa700 and Pa1000), with the filler after its settings.
    static QByteArray performanceBlock(int tempo, bool newer = false, const QByteArray& filler = {});
    // A chunk's data compressed: the chunk ID with the compressed flags (0x30) and the OC31 stream.
    static QByteArray compressed(quint32 id, const QByteArray& tree);

    // A style's music, to build a style block that holds it as an instrument stores it.
    struct Event {
        quint32 tick = 0;
        quint8 status = 0x90; // the MIDI status without channel: 0x80 note off ... 0xE0 pitch bend
        quint8 data1 = 0;
        quint8 data2 = 0; // left out for program change and channel pressure
    };
    struct Track {
        int track = 0; // 0..7: Drum, Perc, Bass, Acc1 to Acc5
        QList<Event> events;
        int type = -1; // the sequence's type; -1: drum for Drum and Perc, bass for Bass, else accompaniment
        quint32 start = 0; // the tick at which the master track starts it
    };
    struct Variation {
        quint32 ticks = 3072;
        QList<Track> tracks;
        QList<std::pair<quint32, quint8>> tempoChanges; // tick, BPM
    };
    struct Sound {
        quint8 bankMsb = 121;
        quint8 bankLsb = 0;
        quint8 program = 0;
    };
    struct Element {
        quint8 signature = 0x22;
        // Empty: the variations of an element that holds no music (six of two 4/4 measures for
        // Var1 to Var4, two for the others), each playing the eight tracks' empty sequences.
        QList<Variation> variations;
        // The sounds of a new style on a Pa600: Standard and percussion kits, bass, guitars, piano...
        std::array<Sound, 8> sounds{{{120, 0, 5},
                                     {120, 0, 64},
                                     {121, 3, 32},
                                     {121, 3, 0},
                                     {121, 16, 24},
                                     {121, 9, 65},
                                     {121, 5, 49},
                                     {121, 27, 61}}};
    };
    struct Music {
        QByteArray name = "New Style";
        bool newer = false;                           // the information and sounds of a Pa700 (longer chunks)
        QList<Element> elements = QList<Element>(15); // Var1 ... Fill4, in the order a style keeps them
    };
    // Notes of one key: count notes from tick from, one every step ticks, each held for length.
    static QList<Event> notes(quint32 from, quint32 step, int count, quint8 key, quint8 velocity = 100,
                              quint32 length = 192);
    // The decoded tree of a style block holding the music: identical sequences (the same type,
    // length and events) are stored once in the pool, as the instrument shares them.
    static QByteArray musicTree(const Music& music);
    // The same, as a compressed style block (chunk 06000030).
    static QByteArray musicBlock(const Music& music);
};
