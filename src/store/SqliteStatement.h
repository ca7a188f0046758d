#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

// A statement prepared once through SQLite's own interface, for the inserts a run makes many
// thousands of times (the import, the restore): a value is bound where it lies, a blob without a
// copy, instead of through a QVariant. Values are stored as Qt's SQLite driver stores them: a null
// QString or QByteArray is NULL, an empty one empty text or an empty blob. The statement must be
// destroyed before its connection is closed, so it belongs to a gateway that lives for one run.
class SqliteStatement {
public:
    // Prepares sql on the connection; a statement the database refuses throws SbkError.
    SqliteStatement(QSqlDatabase connection, const QString& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters are numbered from 0, as QSqlQuery's. A blob is bound without a copy: its bytes
    // must stay as they are until exec returned.
    void bindInt(int index, qint64 value);
    void bindText(int index, const QString& value);
    void bindBlob(int index, const QByteArray& value);
    void bindNull(int index);

    // Runs the statement to its end and clears its values for the next run; false when the
    // database refused it or a value could not be bound, and then error() tells why.
    bool exec();
    // The failure in the words Database::gatewayError gives: "<number> <description>".
    const QString& error() const { return m_error; }

private:
    void check(int code);

    sqlite3* m_handle = nullptr;
    sqlite3_stmt* m_statement = nullptr;
    int m_bindCode = 0; // the first refusal of a bind since the last run
    QString m_error;
};
