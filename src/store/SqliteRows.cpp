#include "store/SqliteRows.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/SqliteConnection.h"

#include <QSqlError>
#include <QStringView>
#include <sqlite3.h>

SqliteRows::SqliteRows(QSqlDatabase connection, const QString& sql, const QStringList& values)
    : m_handle(SqliteConnection::handle(connection)) {
    if (!m_handle)
        throw SbkError(QStringLiteral("The database is not open."));
    if (sqlite3_prepare16_v2(m_handle, sql.utf16(), int(sql.size() * 2), &m_statement, nullptr) != SQLITE_OK)
        throw error(QStringLiteral("Unable to execute statement"));
    for (int i = 0; i < values.size(); ++i) {
        const QString& value = values.at(i);
        if (sqlite3_bind_text16(m_statement, i + 1, value.utf16(), int(value.size() * 2), SQLITE_TRANSIENT) !=
            SQLITE_OK) {
            const SbkError refused = error(QStringLiteral("Unable to bind parameters"));
            sqlite3_finalize(m_statement); // no destructor runs for a constructor that throws
            throw refused;
        }
    }
}

SqliteRows::~SqliteRows() {
    sqlite3_finalize(m_statement);
}

SbkError SqliteRows::error(const QString& driverText) const {
    const int code = sqlite3_extended_errcode(m_handle);
    return SbkError(Database::errorText(
        QSqlError(driverText, QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(m_handle))),
                  QSqlError::StatementError, QString::number(code))));
}

bool SqliteRows::next() {
    switch (sqlite3_step(m_statement)) {
    case SQLITE_ROW:
        return true;
    case SQLITE_DONE:
        return false;
    default:
        throw error(QStringLiteral("Unable to fetch row"));
    }
}

bool SqliteRows::isNull(int column) const {
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

QVariant SqliteRows::value(int column) const {
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_INTEGER:
        return qint64(sqlite3_column_int64(m_statement, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_statement, column);
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, column)),
                          sqlite3_column_bytes(m_statement, column));
    default:
        return text(column);
    }
}

void SqliteRows::appendText(int column, QString& out) const {
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_NULL:
        return;
    case SQLITE_TEXT: {
        const auto* text = static_cast<const char16_t*>(sqlite3_column_text16(m_statement, column));
        if (!text)
            throw SbkError(QStringLiteral("Out of memory while reading the database."));
        out += QStringView(text, sqlite3_column_bytes16(m_statement, column) / 2);
        return;
    }
    default:
        out += value(column).toString();
    }
}

QString SqliteRows::text(int column) const {
    if (sqlite3_column_type(m_statement, column) == SQLITE_NULL)
        return QString();
    QString result;
    appendText(column, result);
    return result;
}

int SqliteRows::integer(int column) const {
    return value(column).toInt();
}

qint64 SqliteRows::integer64(int column) const {
    if (sqlite3_column_type(m_statement, column) == SQLITE_INTEGER)
        return sqlite3_column_int64(m_statement, column);
    return value(column).toLongLong();
}
