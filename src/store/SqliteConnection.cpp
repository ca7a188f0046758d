#include "store/SqliteConnection.h"

#include "core/CaseFold.h"
#include "core/SbkError.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>

namespace {

sqlite3* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

void foldFunction(sqlite3_context* context, int, sqlite3_value** values) {
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(values[0]));
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const QString folded =
        SqliteConnection::fold(QString::fromUtf16(text, sqlite3_value_bytes16(values[0]) / 2));
    sqlite3_result_text16(context, folded.utf16(), int(folded.size() * 2), SQLITE_TRANSIENT);
}

} // namespace

QString SqliteConnection::fold(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == QLatin1Char(' ') || text.at(end - 1).isNull()))
        --end;
    return CaseFold::fold(QStringView(text).left(end));
}

void SqliteConnection::prepare(QSqlDatabase db) {
    sqlite3* handle = handleOf(db);
    QSqlQuery query(db);
    const QString ours = QString::fromLatin1(sqlite3_libversion());
    if (!handle || !query.exec(QStringLiteral("SELECT sqlite_version()")) || !query.next() ||
        query.value(0).toString() != ours)
        throw SbkError(QStringLiteral("Qt's SQLite driver does not use the SQLite library %1 that SBK was "
                                      "built with; SBK cannot work with this driver.")
                           .arg(ours));
    query.finish();
    setBusyTimeout(db, BusyTimeoutMs);
    if (sqlite3_create_function_v2(handle, "SBKFOLD", 1,
                                   SQLITE_UTF16 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   &foldFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw SbkError(QStringLiteral("Cannot prepare the database connection: %1")
                           .arg(QString::fromUtf8(sqlite3_errmsg(handle))));
}

void SqliteConnection::setBusyTimeout(QSqlDatabase db, int milliseconds) {
    if (sqlite3* handle = handleOf(db))
        sqlite3_busy_timeout(handle, milliseconds);
}

bool SqliteConnection::inTransaction(QSqlDatabase db) {
    sqlite3* handle = handleOf(db);
    return handle && sqlite3_get_autocommit(handle) == 0;
}
