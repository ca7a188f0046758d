#pragma once

// The database a fuzz target writes into, made once per process in a temporary folder that also
// holds the target's input files: speed over durability, as both go with the process.
#include "store/Database.h"

#include <cstdlib>
#include <memory>
#include <QSqlQuery>
#include <QTemporaryDir>

class FuzzDatabase {
public:
    FuzzDatabase() {
        if (!m_dir.isValid())
            std::abort();
        const QString file = path(QStringLiteral("fuzz.mdb"));
        Database::createEmpty(file);
        m_db = std::make_unique<Database>(file);
        QSqlQuery query(m_db->connection());
        query.exec(QStringLiteral("PRAGMA synchronous = OFF"));
        query.exec(QStringLiteral("PRAGMA journal_mode = MEMORY"));
    }
    QSqlDatabase connection() const { return m_db->connection(); }
    // A file of the temporary folder.
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // The rows a table holds.
    qint64 rows(const char* table) const {
        QSqlQuery query(m_db->connection());
        if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table)) || !query.next())
            std::abort();
        return query.value(0).toLongLong();
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;
};
