#include "store/SqliteStatement.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/SqliteConnection.h"

#include <QSqlError>
#include <sqlite3.h>

namespace {

// The connection's last error as Qt's driver reports it, so that it reads as the driver's would.
QSqlError lastError(sqlite3* handle, const QString& driverText, int code) {
    return QSqlError(driverText, QString::fromUtf16(static_cast<const char16_t*>(sqlite3_errmsg16(handle))),
                     QSqlError::StatementError, QString::number(code));
}

} // namespace

SqliteStatement::SqliteStatement(QSqlDatabase connection, const QString& sql)
    : m_handle(SqliteConnection::handle(connection)) {
    if (!m_handle)
        throw SbkError(QStringLiteral("The database is not open."));
    if (sqlite3_prepare16_v2(m_handle, sql.utf16(), int(sql.size() * 2), &m_statement, nullptr) != SQLITE_OK)
        throw SbkError(Database::errorText(lastError(m_handle, QStringLiteral("Unable to execute statement"),
                                                     sqlite3_extended_errcode(m_handle))));
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_statement);
}

void SqliteStatement::check(int code) {
    if (code != SQLITE_OK && m_bindCode == 0) {
        m_bindCode = code;
        m_error =
            Database::gatewayError(lastError(m_handle, QStringLiteral("Unable to bind parameters"), code));
    }
}

void SqliteStatement::bindInt(int index, qint64 value) {
    check(sqlite3_bind_int64(m_statement, index + 1, value));
}

void SqliteStatement::bindText(int index, const QString& value) {
    if (value.isNull())
        return bindNull(index);
    check(
        sqlite3_bind_text16(m_statement, index + 1, value.utf16(), int(value.size() * 2), SQLITE_TRANSIENT));
}

void SqliteStatement::bindBlob(int index, const QByteArray& value) {
    if (value.isNull())
        return bindNull(index);
    check(sqlite3_bind_blob64(m_statement, index + 1, value.constData(), sqlite3_uint64(value.size()),
                              SQLITE_STATIC));
}

void SqliteStatement::bindNull(int index) {
    check(sqlite3_bind_null(m_statement, index + 1));
}

bool SqliteStatement::exec() {
    bool done = m_bindCode == 0;
    if (done) {
        m_error.clear();
        const int code = sqlite3_step(m_statement);
        done = code == SQLITE_DONE || code == SQLITE_ROW;
        if (!done)
            m_error =
                Database::gatewayError(lastError(m_handle, QStringLiteral("Unable to fetch row"), code));
    }
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    m_bindCode = 0;
    return done;
}
