#pragma once

#include <QByteArray>
#include <QString>

// Reads an STY file held in memory from front to back. Every read is checked against what is left
// before anything is copied, and every failure throws SbkError naming the file, the byte offset and
// what was expected there, so a damaged file can never make the reader allocate or read past its end.
class StyCursor {
public:
    StyCursor(const QByteArray& bytes, const QString& fileName) : m_bytes(bytes), m_fileName(fileName) {}

    qsizetype offset() const { return m_offset; }
    qsizetype remaining() const { return m_bytes.size() - m_offset; }
    const QString& fileName() const { return m_fileName; }

    // The next n bytes; what names them in the end-of-file error.
    QByteArray take(qsizetype n, const QString& what);
    void skip(qsizetype n, const QString& what);
    // A 4-byte big-endian length whose top bit must be clear.
    qint32 takeLength(const QString& what);

    // An error about the bytes at offset, in the program's usual form.
    [[noreturn]] void fail(qsizetype offset, const QString& problem) const;

private:
    void require(qsizetype n, const QString& what) const;

    QByteArray m_bytes;
    QString m_fileName;
    qsizetype m_offset = 0;
};
