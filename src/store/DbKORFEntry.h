#pragma once

#include "store/KORFEntry.h"

#include <memory>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlQuery;
class SqliteStatement;

// Gateway to the table KORFEntries: the directory entries of the blocks that came from newer bank
// files, one row per block (StyleProg, EntryBlock 1 or 2). The timestamp and system string are
// kept as readable columns beside the entry's properties, which hold them byte for byte. A row
// goes with its style: deleting the style's row deletes its entries (a trigger of the schema).
// Ins/Get return false and leave the failure in words in clsKORFEntriesError.
class DbKORFEntry {
public:
    explicit DbKORFEntry(QSqlDatabase connection);
    ~DbKORFEntry();

    // The statements that add the table and its trigger to a database.
    static QStringList schemaStatements();
    // Whether the database keeps entries (a database of another program has no such table).
    static bool isAvailable(QSqlDatabase connection);

    // Stores the non-empty entries of a style's two blocks under its number.
    bool InsKORFEntries(qint32 styleProg, const KORFEntry& entry1, const KORFEntry& entry2);
    // Whether the insert goes through SQLite's own statement (SqliteStatement), as
    // DbKORFStyle::setDirectInsert: for a gateway that a run of many inserts (the import, the
    // restore) destroys before the connection is closed.
    void setDirectInsert(bool on) { m_direct = on; }
    // The kept entries of a style (empty ones when it has none); false on a database failure.
    bool GetKORFEntries(qint32 styleProg, KORFEntry& entry1, KORFEntry& entry2);
    // The system string that most kept entries carry (ties: the first in sort order); empty when
    // no entry is kept.
    QByteArray MostCommonSystem();

    const QString& clsKORFEntriesError() const { return m_error; }

private:
    bool fail(const QString& text);
    bool insertDirect(qint32 styleProg, int block, const KORFEntry& entry);

    QSqlDatabase m_connection;
    QString m_error;
    // The insert, prepared at its first use: an import or a restore stores the entries of many
    // styles through one instance.
    std::unique_ptr<QSqlQuery> m_insert;
    std::unique_ptr<SqliteStatement> m_directInsert;
    bool m_direct = false;
};
