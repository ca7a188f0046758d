#pragma once

#include <QByteArray>

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
};
