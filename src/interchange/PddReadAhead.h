#pragma once

#include "core/SbkError.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/KORFEntry.h"
#include "store/StyleFactsValues.h"

#include <functional>
#include <QString>

// Reads a PDD file (PddReader) on a thread of its own, with the facts of every style read from its
// blocks there too, and hands each table block and record to the caller on the caller's thread, in
// the file's order. Reading stays a little ahead of storing: while the records read are stored,
// at most this many more, or about this many bytes of blocks, are read. Where no thread can be
// had, each record is read and handed on in its turn.
class PddReadAhead {
public:
    static constexpr qsizetype Records = 128;
    static constexpr qint64 Bytes = 16 * 1024 * 1024;

    struct Record {
        enum class Kind { Table, Bank, Style, Entry };
        Kind kind = Kind::Table;
        QString table;    // Table: its name, and
        qint64 count = 0; // the records it announces
        DbKORFBank bank;  // Bank: its values
        DbKORFStyle style;        // Style: its values, and
        StyleFactsValues facts;   // the facts read from its blocks
        qint32 styleProg = 0;     // Entry: the style's number,
        int block = 0;            // the block it is of (1 or 2) and
        KORFEntry entry;          // the entry
    };

    // What is wrong with the file, as PddReader says it; thrown once the records before it were
    // handed on.
    class FileError : public SbkError {
    public:
        using SbkError::SbkError;
    };

    // Hands every record of the file to store. An error store throws stops the reading and is
    // thrown on as it is.
    static void read(const QString& path, const std::function<void(Record&)>& store);

private:
    class Queue;
    static void readInTurn(const QString& path, const std::function<void(Record&)>& store);
    static void readInto(const QString& path, Queue& queue);
    // Reads the whole file, handing each record to pass as soon as it is read.
    static void readRecords(const QString& path, const std::function<void(Record&&)>& pass);
};
