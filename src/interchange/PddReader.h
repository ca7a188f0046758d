#pragma once

#include <functional>
#include <QByteArray>
#include <QFile>
#include <QSet>
#include <QString>

class DbKORFBank;
class DbKORFStyle;
class KORFEntry;

// Reads a PDD file from start to end and hands every table block and record to the caller. Every
// count is checked against what the file still holds before anything is read or allocated; a
// file that differs from the layout throws SbkError naming the file, the line, the byte offset and
// what was expected. The blocks must come in the order the backup writes them: KORFBANKS, then
// KORFSONGS and KORFSONSTY when present, then KORFSTYLES, then the closing line. A song block
// must be empty: this program keeps no song tables, so their records cannot be restored. The
// closing line may be followed by the block "TABLE KORFENTRIES" and a second closing line
// (PddBackup); each entry must belong to a style of the file and hold whole properties whose
// timestamp and system string are the ones its lines give.
class PddReader {
public:
    struct Handlers {
        std::function<void(const QString& table, qint64 records)> table; // at each block header
        // Every record of a block is read into the same object, so that a gateway's prepared
        // statements serve them all.
        std::function<void(DbKORFBank&)> bank;
        std::function<void(DbKORFStyle&)> style;
        // A directory entry of the style's block 1 or 2 (the block after the closing line).
        std::function<void(qint32 styleProg, int block, const KORFEntry& entry)> entry;
    };

    explicit PddReader(const QString& path);

    // Reads the whole file; returns the total of the block counts. Throws SbkError.
    qint64 read(const Handlers& handlers);

private:
    // What a line holds, in words for the message when it is wrong ("the name of style 12"). The
    // words are put together only for the message, so that the values of a large file are read
    // without building a text for each.
    struct What {
        What(const QString& words) : words(words) {}
        // A pattern with one or two numbers ("slot %1 of bank %2").
        What(const char* pattern, qint64 first, qint64 second = 0)
            : pattern(pattern), first(first), second(second) {}
        QString toString() const;

        QString words;
        const char* pattern = nullptr;
        qint64 first = 0;
        qint64 second = 0;
        const char* prefix = nullptr; // put before the words
    };

    [[noreturn]] void damaged(const QString& what) const;
    QByteArray line(const What& what, qint64 maxLength = 4096);
    void expectLine(const QByteArray& expected);
    // count bytes and the line end after them; with keep false they are only checked.
    QByteArray counted(qint64 count, const What& what, bool keep = true);
    qint64 count(const QString& table);
    qint32 number(const What& what, bool required);
    QString text(const What& what);
    QString name(const What& what);
    void readBank(DbKORFBank& bank);
    void readStyle(DbKORFStyle& style);
    void readEntries(const Handlers& handlers);

    QString m_path;
    QFile m_file;
    QByteArray m_buffer; // the line being read
    qint64 m_size = 0;
    qint64 m_lineNumber = 0;
    qint64 m_lineStart = 0;
    QSet<qint32> m_styles; // the style numbers the file holds
    qint64 m_entries = 0;
};
