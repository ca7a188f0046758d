#pragma once

// Builders of STY files and style lists for the tests of the STY area.

#include "store/KORFStyles.h"
#include "sty/KORFBytes.h"

#include <QByteArray>
#include <QList>

namespace StyTestData {

// A complete style block: a 4-byte chunk ID, the body length and a body of bodySize bytes whose
// values depend on seed, so that blocks of different seeds differ.
inline QByteArray block(int bodySize, int seed,
                        const QByteArray& chunkId = QByteArray("\x06\x00\x00\x30", 4)) {
    QByteArray bytes = chunkId + KORFBytes::LongToBytes(bodySize);
    for (int i = 0; i < bodySize; ++i)
        bytes.append(char((i * 7 + seed * 31) & 0xFF));
    return bytes;
}

inline void addStyle(KORFStyles& styles, const QString& name1, const QByteArray& block1,
                     const QString& name2 = QString(), const QByteArray& block2 = QByteArray()) {
    styles.Add(styles.Count() + 1, name1, name2, qint32(block1.size()), qint32(block2.size()), block1,
               block2);
}

// One directory record of a hand-built file.
struct Record {
    QByteArray name;
    quint8 type;
    quint8 position;
};

// A KORF file built by hand from directory records and their blocks (in the same order), with a
// correct index chunk: lets tests make layouts the writer never makes (gaps, odd block types).
inline QByteArray rawSty(const QList<Record>& records, const QList<QByteArray>& blocks,
                         quint8 userBank = 17) {
    QByteArray directory;
    for (const Record& r : records) {
        QByteArray name = r.name + QByteArray(16, '\0');
        directory += name.left(16) + QByteArray("\x00\x00", 2) + char(r.type) + char(userBank) +
                     char(r.position) + QByteArray(3, '\0');
    }
    QByteArray body;
    QByteArray offsets;
    qint64 offset = 36 + directory.size();
    for (const QByteArray& b : blocks) {
        body += b;
        offsets += KORFBytes::LongToBytes(offset);
        offset += b.size();
    }
    QByteArray index = QByteArray("\xfe\x00\x00\x18", 4) + KORFBytes::LongToBytes(16 + offsets.size()) +
                       "KBEG" + KORFBytes::LongToBytes(28) + offsets + "KEND" +
                       KORFBytes::LongToBytes(blocks.size() + 1);
    QByteArray file = QByteArray("\x02\x00\x00\x18\x00\x00\x00\x0c", 8) +
                      QByteArray("\x0b\x00\x00\x00\x00\x00\x00", 7) + "KORF" + QByteArray(1, '\0') +
                      QByteArray("\x05\x00\x00\x18", 4) + KORFBytes::LongToBytes(directory.size()) +
                      directory + body + index;
    return QByteArray("\x01\x00\x01\x14", 4) + KORFBytes::LongToBytes(file.size()) + file;
}

} // namespace StyTestData
