#include "sty/StyCursor.h"

#include "core/SbkError.h"
#include "sty/KORFBytes.h"

void StyCursor::fail(qsizetype offset, const QString& problem) const {
    throw SbkError(
        QStringLiteral("%1: at byte offset %2: %3").arg(m_fileName, QString::number(offset), problem));
}

void StyCursor::require(qsizetype n, const QString& what) const {
    // Compare with what is left (never add to the offset): a huge announced length cannot wrap.
    if (n < 0 || n > remaining())
        fail(m_offset, QStringLiteral("unexpected end of file: %1 of %2 bytes expected, %3 left")
                           .arg(what)
                           .arg(n)
                           .arg(remaining()));
}

QByteArray StyCursor::take(qsizetype n, const QString& what) {
    require(n, what);
    const QByteArray part = m_bytes.mid(m_offset, n);
    m_offset += n;
    return part;
}

void StyCursor::skip(qsizetype n, const QString& what) {
    require(n, what);
    m_offset += n;
}

qint32 StyCursor::takeLength(const QString& what) {
    const qsizetype at = m_offset;
    const QByteArray bytes = take(4, what);
    if (quint8(bytes.at(0)) & 0x80)
        fail(at, QStringLiteral("overflow: %1 0x%2 has its top bit set")
                     .arg(what, QString::fromLatin1(bytes.toHex())));
    return KORFBytes::BytesToLong(bytes);
}
