#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

class SbkError;
struct sqlite3;
struct sqlite3_stmt;

// A query that reads many rows through SQLite's own interface, for the listings that read every
// style of a large library: a value is read where SQLite holds it, without a QVariant made, copied
// and converted for each. Each value comes out as QSqlQuery::value() of Qt's SQLite driver gives
// it (text, a number, a blob as UTF-8, NULL), so a listing reads the same through either.
class SqliteRows {
public:
    // Prepares sql on the connection, binds values to its parameters in order as text and starts
    // it; a statement the database refuses throws SbkError with the text Database::errorText gives.
    SqliteRows(QSqlDatabase connection, const QString& sql, const QStringList& values);
    ~SqliteRows();
    SqliteRows(const SqliteRows&) = delete;
    SqliteRows& operator=(const SqliteRows&) = delete;

    // Steps to the next row; false after the last. A step that fails throws SbkError, so a failure
    // part way cannot pass for the end of the rows.
    bool next();
    bool isNull(int column) const;
    // QSqlQuery::value(column).toString() and .toInt() of the row.
    QString text(int column) const;
    int integer(int column) const;
    // QSqlQuery::value(column).toLongLong().
    qint64 integer64(int column) const;
    // Appends text(column) to out without making it first.
    void appendText(int column, QString& out) const;

private:
    QVariant value(int column) const; // as the driver gives it
    // The connection's last error as Database::errorText words it.
    SbkError error(const QString& driverText) const;

    sqlite3* m_handle = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};
