#pragma once

#include <QByteArray>

// The big-endian number procedures of the STY reader and writer. Every number in a KORF
// container is an unsigned 32-bit big-endian value.
class KORFBytes {
public:
    // The value of up to 4 bytes read as an unsigned big-endian number (the empty string gives 0).
    // A value of 2^31 or more does not fit a style length and throws SbkError ("overflow"); so
    // does a string of more than 4 bytes.
    static qint32 BytesToLong(const QByteArray& s);
    // The first byte's value 0..255; 0 for an empty string.
    static int FirstByte(const QByteArray& s);
    // The n-byte big-endian form of v, zero-padded on the left; only the low n bytes of a larger
    // value appear; v of 0 or less gives n zero bytes.
    static QByteArray LongToBytes(qint64 v, int n = 4);
};
