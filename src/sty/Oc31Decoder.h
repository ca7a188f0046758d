#pragma once

#include <QByteArray>
#include <QString>

// Decodes the data of an OC31-compressed block: the ASCII bytes "OC31", the decoded size as a
// little-endian uint32, a stream of tokens (literal runs and back-references into what was decoded
// already), an end mark 01 00 00 and one check byte, the XOR of all decoded bytes.
//
// Every count and distance is checked against what is there before a byte is copied: a
// back-reference before the start of the output, a run past the end of the input or past the
// declared size, an end mark before the declared size, a missing end mark or a wrong check byte
// throw SbkError naming the byte offset in the block's data. The output never grows past the
// declared size, which itself is refused above MaxDeclaredSize.
//
// A decoder can stop early: decodeTo(n) decodes only as far as the first n bytes, so a reader that
// needs a few facts from the front of a block does not decode all of it. The check byte is checked
// when the decoding reaches the end.
class Oc31Decoder {
public:
    // The largest decoded block accepted. Blocks of real styles decode to some kilobytes; a few
    // megabytes leave room for the largest styles while a forged size cannot make the program
    // reserve much memory.
    static constexpr qsizetype MaxDeclaredSize = 4 * 1024 * 1024;

    // data: the block's data after its chunk header; what names the block in errors.
    Oc31Decoder(const QByteArray& data, const QString& what);

    // Whether data starts like an OC31 stream.
    static bool isOc31(const QByteArray& data) { return data.startsWith("OC31"); }
    // The whole decoded block, its end mark and check byte checked.
    static QByteArray decode(const QByteArray& data, const QString& what);

    qsizetype declaredSize() const { return m_declared; }
    // The bytes decoded so far.
    const QByteArray& output() const { return m_out; }
    // Decodes at least the first n bytes (all of them when n reaches the declared size).
    void decodeTo(qsizetype n);
    // Decodes to the end and checks the end mark and the check byte.
    const QByteArray& decodeAll();
    bool isComplete() const { return m_ended; }

private:
    // One token and what it writes.
    void step();
    quint8 next(const char* what);
    qsizetype nextBigEndian16(const char* what);
    void literal(qsizetype count, qsizetype at);
    void copy(qsizetype length, qsizetype distance, qsizetype at);
    void finish(qsizetype at);
    [[noreturn]] void fail(qsizetype at, const QString& problem) const;

    QByteArray m_in;
    QString m_what;
    qsizetype m_pos = 0;
    qsizetype m_declared = 0;
    QByteArray m_out;
    bool m_ended = false;
};
