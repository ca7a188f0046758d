#include "store/SchemaMigration.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFEntry.h"
#include "store/Transaction.h"

#include <QSqlQuery>

namespace {

const QString styleColumns =
    QStringLiteral("StyleProg, StyleName1, StyleName2, StyleLength1, StyleLength2, StyleContent1, "
                   "StyleContent2, StyleSeek, StyleDate, StyleDesc, StyleCat, StyleFamily, StyleFile, "
                   "StyleAuthor");

qint64 countOf(QSqlQuery& query, const QString& table) {
    Database::exec(query, QStringLiteral("SELECT COUNT(*) FROM ") + table);
    const qint64 count = query.next() ? query.value(0).toLongLong() : -1;
    query.finish();
    return count;
}

void migrateFrom1(QSqlQuery& query) {
    // The old table steps aside under another name, so the new one is made by the very statement
    // that makes a new database.
    QStringList statements{QStringLiteral("DROP VIEW IF EXISTS QUERY1"),
                           QStringLiteral("DROP INDEX IF EXISTS KORFStyles_Seek"),
                           QStringLiteral("DROP INDEX IF EXISTS KORFStyles_Name1"),
                           QStringLiteral("ALTER TABLE KORFStyles RENAME TO KORFStyles_v1")};
    QStringList afterwards; // the indexes and the view
    for (const QString& statement : Database::schemaStatements()) {
        if (statement.startsWith(QStringLiteral("CREATE TABLE KORFStyles (")))
            statements << statement
                       << QStringLiteral("INSERT INTO KORFStyles (%1) SELECT %1 FROM KORFStyles_v1")
                              .arg(styleColumns)
                       << QStringLiteral("DROP TABLE KORFStyles_v1");
        else if (statement.startsWith(QStringLiteral("CREATE INDEX KORFStyles_")) ||
                 statement.startsWith(QStringLiteral("CREATE VIEW ")))
            afterwards << statement;
    }
    const qint64 styles = countOf(query, QStringLiteral("KORFStyles"));
    for (const QString& statement : statements + afterwards + DbKORFEntry::schemaStatements())
        Database::exec(query, statement);
    if (countOf(query, QStringLiteral("KORFStyles")) != styles)
        throw SbkError(QStringLiteral("the styles copied do not match the styles stored"));
}

} // namespace

void SchemaMigration::migrate(QSqlDatabase db, const QString& path, qint64 fromVersion) {
    try {
        // The version read before the lock may be stale: another program opening the same file
        // may have migrated it meanwhile. Locked, the version read again is the one that counts.
        Transaction transaction(db);
        QSqlQuery query(db);
        Database::exec(query, QStringLiteral("PRAGMA user_version"));
        fromVersion = query.next() ? query.value(0).toLongLong() : fromVersion;
        query.finish();
        if (fromVersion > Database::SchemaVersion)
            throw SbkError(
                QStringLiteral("a newer version of SBK brought it to database version %1 meanwhile")
                    .arg(fromVersion));
        if (fromVersion == Database::SchemaVersion) {
            transaction.commit();
            return;
        }
        if (fromVersion != 1)
            throw SbkError(QStringLiteral("there is no way from database version %1").arg(fromVersion));
        migrateFrom1(query);
        Database::exec(query, QStringLiteral("PRAGMA user_version = %1").arg(Database::SchemaVersion));
        query.finish();
        transaction.commit();
    } catch (const SbkError& error) {
        throw SbkError(QStringLiteral("The database file %1 could not be brought up to this version of SBK "
                                      "(database version %2 to %3): %4. It was not changed.")
                           .arg(path)
                           .arg(fromVersion)
                           .arg(Database::SchemaVersion)
                           .arg(error.message()));
    }
}
