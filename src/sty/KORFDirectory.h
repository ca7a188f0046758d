#pragma once

#include "store/KORFEntry.h"

#include <QByteArray>
#include <QList>
#include <QString>

class StyCursor;

// The directory chunk of a bank file, which names every block and its place in the bank, in the
// two layouts the instruments write:
// - older (chunk ID 05 00 00 18): one 24-byte record per block (16-byte name, block type, user
//   bank byte, position, data version);
// - newer (05 01 00 18, Pa700, Pa1000 and later): one entry per block, each a big-endian uint16
//   size (the bytes after it, checksum included), a uint16 property count, the properties (uint16
//   type, uint16 length, data; see KORFEntry) and a uint32 checksum over the entry from its size
//   field through its last property.
class KORFDirectory {
public:
    enum class Layout { Older, Newer };

    // Both layouts hold at most this many records or entries (32 styles of two blocks).
    static constexpr int MaxRecords = 64;
    // The system string written into newer entries when the library holds none.
    static constexpr const char* DefaultSystem = "Z113A ORT v1.5.0";

    static QByteArray chunkId(Layout layout);

    // One record or entry as read: the block's place and name; the entry itself for the newer layout.
    struct Record {
        int position;
        bool first; // the style's first block (block type 2), else its second
        QString name;
        KORFEntry entry;
    };
    // Reads the directory's length and body from the cursor (which stands after the chunk ID).
    // Throws SbkError naming the file, the offset and the record or entry at fault.
    static QList<Record> read(StyCursor& cursor, Layout layout);

    // One block to describe, in file order: the block's bytes (whose chunk ID gives the data
    // version), its name and, for a block read from a newer file, its kept entry.
    struct Block {
        bool first;
        int position;
        QString name;
        QByteArray content;
        KORFEntry kept;
    };
    // What a newer entry without a kept one is given: the write time as 7 bytes and the system.
    struct Fresh {
        QByteArray timestamp;
        QByteArray system;
    };
    // The directory body. A kept entry is written with its properties in their order, only the
    // place (bank byte, position) renewed and the name renewed when the style was renamed.
    // Throws SbkError when an entry would not fit its 16-bit size.
    static QByteArray encode(const QList<Block>& blocks, Layout layout, int userBank, const Fresh& fresh);

    // The checksum of a newer entry: CRC-32 computed most-significant bit first with the constant
    // 0xEDB88320 used as it stands (not reflected), initial value 0, no final XOR.
    static quint32 checksum(const QByteArray& bytes);

    // A newer name property as text: the bytes before the first 00 read as UTF-8; a character with
    // no one-byte form becomes "?", and bytes that are not UTF-8 are taken one Latin-1 character
    // each, so the text always fits the columns that SSF and PDD files carry. Control bytes become
    // blanks; at most 28 characters are taken. The kept entry holds the bytes themselves.
    static QString nameFromNewer(const QByteArray& data);
    // A name as the 28 bytes of a newer name property: UTF-8 without trailing blanks, cut at a
    // character boundary, padded with 00 bytes.
    static QByteArray nameForNewer(const QString& name);
    // A name as a file of the layout holds it, read back without trailing blanks: cut to the 16
    // bytes of an older record, or to the 28 bytes of UTF-8 of a newer name property (14
    // characters beyond ASCII).
    static QString writtenName(const QString& name, Layout layout);
};
