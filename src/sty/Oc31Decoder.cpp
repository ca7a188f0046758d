#include "sty/Oc31Decoder.h"

#include "core/SbkError.h"

#include <cstring>

Oc31Decoder::Oc31Decoder(const QByteArray& data, const QString& what) : m_in(data), m_what(what) {
    if (!isOc31(data))
        fail(0, QStringLiteral("the block is not OC31-compressed (it does not start with \"OC31\")"));
    m_pos = 4;
    quint32 size = 0;
    for (int i = 0; i < 4; ++i)
        size |= quint32(next("the decoded size")) << (8 * i);
    if (size > quint32(MaxDeclaredSize))
        fail(4, QStringLiteral("a decoded size of %1 bytes is more than the %2 accepted")
                    .arg(size)
                    .arg(MaxDeclaredSize));
    m_declared = qsizetype(size);
    m_out.reserve(m_declared);
}

QByteArray Oc31Decoder::decode(const QByteArray& data, const QString& what) {
    Oc31Decoder decoder(data, what);
    return decoder.decodeAll();
}

void Oc31Decoder::fail(qsizetype at, const QString& problem) const {
    throw SbkError(QStringLiteral("%1: at byte offset %2: %3").arg(m_what, QString::number(at), problem));
}

quint8 Oc31Decoder::next(const char* what) {
    if (m_pos >= m_in.size())
        fail(m_pos, QStringLiteral("unexpected end of the block: %1 expected").arg(QLatin1String(what)));
    return quint8(m_in.at(m_pos++));
}

qsizetype Oc31Decoder::nextBigEndian16(const char* what) {
    const qsizetype high = next(what);
    return high << 8 | next(what);
}

void Oc31Decoder::decodeTo(qsizetype n) {
    while (!m_ended && (m_out.size() < n || m_out.size() == m_declared))
        step();
}

const QByteArray& Oc31Decoder::decodeAll() {
    while (!m_ended)
        step();
    return m_out;
}

void Oc31Decoder::literal(qsizetype count, qsizetype at) {
    if (count > m_declared - m_out.size())
        fail(at, QStringLiteral("a literal run of %1 bytes passes the declared size of %2 bytes (%3 decoded)")
                     .arg(count)
                     .arg(m_declared)
                     .arg(m_out.size()));
    if (count > m_in.size() - m_pos)
        fail(at, QStringLiteral("a literal run of %1 bytes, but only %2 bytes are left")
                     .arg(count)
                     .arg(m_in.size() - m_pos));
    const qsizetype start = m_out.size();
    m_out.resize(start + count); // within the reserved size: never reallocates
    std::memcpy(m_out.data() + start, m_in.constData() + m_pos, size_t(count));
    m_pos += count;
}

void Oc31Decoder::copy(qsizetype length, qsizetype distance, qsizetype at) {
    const qsizetype start = m_out.size();
    if (distance >= start)
        fail(at, QStringLiteral("a back-reference to %1 bytes back reaches before the start of the output "
                                "(%2 bytes decoded)")
                     .arg(distance + 1)
                     .arg(start));
    if (length > m_declared - start)
        fail(at, QStringLiteral("a back-reference of %1 bytes passes the declared size of %2 bytes (%3 "
                                "decoded)")
                     .arg(length)
                     .arg(m_declared)
                     .arg(start));
    m_out.resize(start + length);
    char* out = m_out.data();
    // Byte by byte: a reference may overlap what it writes (a short pattern repeated).
    for (qsizetype i = 0, from = start - distance - 1; i < length; ++i)
        out[start + i] = out[from + i];
}

void Oc31Decoder::finish(qsizetype at) {
    if (next("the end mark") != 0 || next("the end mark") != 0)
        fail(at, QStringLiteral("the token 01 is not followed by 00 00, the end mark"));
    if (m_out.size() != m_declared)
        fail(at, QStringLiteral("the end mark comes after %1 of the %2 declared bytes")
                     .arg(m_out.size())
                     .arg(m_declared));
    const qsizetype checkAt = m_pos;
    const quint8 check = next("the check byte");
    // The XOR of all bytes, eight at a time: every block that is read to its end pays for it.
    const char* bytes = m_out.constData();
    const qsizetype size = m_out.size();
    quint64 wide = 0;
    qsizetype i = 0;
    for (; size - i >= 8; i += 8) {
        quint64 word;
        std::memcpy(&word, bytes + i, 8);
        wide ^= word;
    }
    for (int shift = 32; shift >= 8; shift /= 2)
        wide ^= wide >> shift;
    quint8 sum = quint8(wide);
    for (; i < size; ++i)
        sum ^= quint8(bytes[i]);
    if (sum != check)
        fail(checkAt, QStringLiteral("the check byte is 0x%1, but the decoded bytes give 0x%2: the block "
                                     "is damaged")
                          .arg(check, 2, 16, QLatin1Char('0'))
                          .arg(sum, 2, 16, QLatin1Char('0')));
    m_ended = true;
}

void Oc31Decoder::step() {
    const qsizetype at = m_pos;
    const quint8 t = next("a token");
    if (t == 0x00) {
        literal(qsizetype(next("a run length")) + 0x12, at);
        return;
    }
    if (t == 0x01) {
        finish(at);
        return;
    }
    if (t < 0x10) {
        literal(qsizetype(t) + 2, at);
        return;
    }
    qsizetype length;
    qsizetype distance;
    quint8 last; // the low two bits of the token's last byte count the literal bytes after it
    if (t >= 0x40) {
        last = next("the second byte of a back-reference");
        length = (t >> 5) + 1;
        distance = ((qsizetype(t) << 8 | last) >> 2) & 0x7FF;
    } else {
        const bool far = t < 0x20;
        const int code = far ? (t & 0x07) : (t & 0x1F);
        if (code == 0)
            length = qsizetype(next("a back-reference length")) + (far ? 0x0A : 0x22);
        else if (code == 1)
            length = nextBigEndian16("a back-reference length");
        else
            length = code + 2;
        const qsizetype v = nextBigEndian16("a back-reference distance");
        last = quint8(v & 0xFF);
        distance = v >> 2;
        if (far)
            distance += (t & 0x08) ? 0x8000 : 0x4000;
    }
    copy(length, distance, at);
    if (const int tail = last & 3; tail > 0)
        literal(tail, m_pos);
}
