#include "store/DbKORFEntry.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/SqliteStatement.h"

#include <QSqlError>
#include <QSqlQuery>

QStringList DbKORFEntry::schemaStatements() {
    return {
        QStringLiteral("CREATE TABLE KORFEntries (StyleProg INTEGER NOT NULL, "
                       "EntryBlock INTEGER NOT NULL CHECK (EntryBlock IN (1, 2)), "
                       "EntryTime TEXT, EntrySystem TEXT, EntryProperties BLOB NOT NULL, "
                       "PRIMARY KEY (StyleProg, EntryBlock))"),
        // Every way a style leaves the table (delete, overwrite by name, complete deletion, restore)
        // takes its entries along, so a later style under the same number never inherits them.
        QStringLiteral("CREATE TRIGGER KORFStyles_DeleteEntries AFTER DELETE ON KORFStyles BEGIN "
                       "DELETE FROM KORFEntries WHERE StyleProg = old.StyleProg; END"),
    };
}

DbKORFEntry::DbKORFEntry(QSqlDatabase connection) : m_connection(connection) {}

DbKORFEntry::~DbKORFEntry() = default;

bool DbKORFEntry::isAvailable(QSqlDatabase connection) {
    QSqlQuery query(connection);
    query.prepare(QStringLiteral(
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'KORFEntries' COLLATE NOCASE"));
    return query.exec() && query.next();
}

bool DbKORFEntry::fail(const QString& text) {
    m_error = text;
    return false;
}

namespace {

const QString insertText = QStringLiteral("INSERT INTO KORFEntries (StyleProg, EntryBlock, EntryTime, "
                                          "EntrySystem, EntryProperties) VALUES (?, ?, ?, ?, ?)");

} // namespace

bool DbKORFEntry::InsKORFEntries(qint32 styleProg, const KORFEntry& entry1, const KORFEntry& entry2) {
    m_error.clear();
    if (!m_direct && !m_insert) {
        auto insert = std::make_unique<QSqlQuery>(m_connection);
        if (!insert->prepare(insertText))
            return fail(Database::errorText(insert->lastError()));
        m_insert = std::move(insert);
    }
    const KORFEntry* entries[] = {&entry1, &entry2};
    for (int block = 1; block <= 2; ++block) {
        const KORFEntry& entry = *entries[block - 1];
        if (entry.isEmpty())
            continue;
        if (m_direct) {
            if (!insertDirect(styleProg, block, entry))
                return false;
            continue;
        }
        QSqlQuery& query = *m_insert;
        query.addBindValue(styleProg);
        query.addBindValue(block);
        query.addBindValue(entry.timestampText());
        query.addBindValue(entry.systemText());
        query.addBindValue(entry.properties());
        const bool done = query.exec();
        query.finish();
        if (!done)
            return fail(Database::errorText(query.lastError()));
    }
    return true;
}

bool DbKORFEntry::insertDirect(qint32 styleProg, int block, const KORFEntry& entry) {
    if (!m_directInsert) {
        try {
            m_directInsert = std::make_unique<SqliteStatement>(m_connection, insertText);
        } catch (const SbkError& error) {
            return fail(error.message());
        }
    }
    SqliteStatement& insert = *m_directInsert;
    insert.bindInt(0, styleProg);
    insert.bindInt(1, block);
    insert.bindText(2, entry.timestampText());
    insert.bindText(3, entry.systemText());
    insert.bindBlob(4, entry.properties());
    // The statement's error carries the number of the failure in front, which this table's do not.
    return insert.exec() || fail(Database::inWords(insert.error()));
}

bool DbKORFEntry::GetKORFEntries(qint32 styleProg, KORFEntry& entry1, KORFEntry& entry2) {
    m_error.clear();
    entry1 = entry2 = KORFEntry();
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT EntryBlock, EntryProperties FROM KORFEntries WHERE StyleProg = ?"));
    query.addBindValue(styleProg);
    if (!query.exec())
        return fail(Database::errorText(query.lastError()));
    while (query.next())
        (query.value(0).toInt() == 1 ? entry1 : entry2) = KORFEntry(query.value(1).toByteArray());
    return true;
}

QByteArray DbKORFEntry::MostCommonSystem() {
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT EntrySystem FROM KORFEntries WHERE EntrySystem <> '' "
                                   "GROUP BY EntrySystem ORDER BY COUNT(*) DESC, EntrySystem LIMIT 1")) ||
        !query.next())
        return QByteArray();
    return query.value(0).toString().toLatin1();
}
