#pragma once

#include <QSqlDatabase>
#include <QString>

class QSqlError;
class QSqlQuery;

// One open SBK database file (SQLite through Qt SQL). Opening checks that the file is an SBK
// database of a version this program reads and never alters a file it refuses.
class Database {
public:
    // 2: names of up to 28 characters and the table KORFEntries (SchemaMigration).
    static constexpr int SchemaVersion = 2;
    static constexpr qint32 ApplicationId = 0x53424B31; // "SBK1"

    // Creates a new, empty database file with the full schema. Refuses (SbkError) when the file
    // exists already; leaves nothing behind when it fails.
    static void createEmpty(const QString& path);

    // Opens an existing database file; throws SbkError with a message naming the file.
    explicit Database(const QString& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QSqlDatabase connection() const;
    const QString& path() const { return m_path; }

    // "<number> <description>", the form the gateways report database failures in.
    static QString errorText(const QSqlError& error);
    // Runs a statement without parameters; throws SbkError with errorText on failure.
    static void exec(QSqlQuery& query, const QString& sql);
    // Executes a prepared query; throws SbkError with errorText on failure.
    static void exec(QSqlQuery& query);

    // The statements that create the schema, in order (also used by tests that build databases
    // the way another program would).
    static QStringList schemaStatements();
    static QString query1Definition();

private:
    void checkAndPrepare();

    QString m_path;
    QString m_connectionName;
};
