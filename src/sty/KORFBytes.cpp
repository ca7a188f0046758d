#include "sty/KORFBytes.h"

#include "core/SbkError.h"

qint32 KORFBytes::BytesToLong(const QByteArray& s) {
    if (s.size() > 4)
        throw SbkError(QStringLiteral("Overflow: a number of %1 bytes does not fit 4 bytes.").arg(s.size()));
    quint64 value = 0;
    for (qsizetype i = 0; i < s.size(); ++i)
        value = (value << 8) | quint8(s.at(i));
    // Fewer than 4 bytes stand for the high bytes of the number, as in the 4-byte header fields.
    value <<= 8 * (4 - s.size());
    if (value >= 0x80000000ULL)
        throw SbkError(QStringLiteral("Overflow: the number %1 is too large for a length.").arg(value));
    return qint32(value);
}

int KORFBytes::FirstByte(const QByteArray& s) {
    return s.isEmpty() ? 0 : int(quint8(s.at(0)));
}

QByteArray KORFBytes::LongToBytes(qint64 v, int n) {
    QByteArray bytes(n, '\0');
    if (v <= 0)
        return bytes;
    for (int i = n - 1; i >= 0; --i) {
        bytes[i] = char(v & 0xFF);
        v >>= 8;
    }
    return bytes;
}
