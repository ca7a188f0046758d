#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class Progress;

// The PDD dump of the whole database: a one-byte text file with CR LF line ends. The header line
// "SBK BACKUP", then the block "TABLE KORFBANKS" and the block "TABLE KORFSTYLES", each followed
// by "##NR" and its record count and then the records, one value per line in column order, and
// the closing line "SBK BACKUP". The two style data blocks and the search key are written as raw
// bytes and read back by count, so they may hold any byte; every other value is one line.
//
// When styles came from newer bank files, their directory entries follow the closing line as one
// more table block, "TABLE KORFENTRIES" with its "##NR" count, closed by a second "SBK BACKUP":
// each entry is its style number, its block (1 or 2), its timestamp and system string as text and
// its properties in hexadecimal digits, one value per line. Programs that stop at the first
// closing line read the banks and styles as before and pass over the entries.
class PddBackup {
public:
    static inline const QByteArray Header = QByteArrayLiteral("SBK BACKUP");
    static inline const QByteArray EntriesTable = QByteArrayLiteral("TABLE KORFENTRIES");
    static inline const QString DoneMessage = QStringLiteral("SBK database backup completed without errors!");

    // The path the backup writes to for a typed path: on a file system that distinguishes case
    // the path as typed (trimmed), so that the restore finds it; elsewhere upper-cased.
    static QString targetPath(const QString& typedPath);
    // Writes the whole database as a PDD file at path (written to a temporary file beside it,
    // renamed into place when complete). Throws SbkError with a clear message; nothing left on disk then.
    // What the layout cannot carry as stored does not stop the backup: a character without a
    // one-byte form and a line break in a text are written as "?", a length that does not describe
    // its block as the block's size. The result names each style and bank so changed, one a line
    // ("style 6 (W): author").
    static QStringList backup(QSqlDatabase db, const QString& path, Progress* progress = nullptr);
    // The warning to show after the completion message; "" when nothing was changed.
    static QString warning(const QStringList& changed);
};
