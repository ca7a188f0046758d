#include "store/SqliteConnection.h"

#include "core/CaseFold.h"
#include "core/NoteVector.h"
#include "core/SbkError.h"

#include <algorithm>
#include <array>
#include <memory>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>
#include <string>

namespace {

// SBKFOLD of a text all in ASCII, read and given back in SQLite's UTF-8 as it lies, as the full
// fold would give it: without trailing blanks and 00 bytes, A to Z lowered. False for a text with
// any other character, which the full fold takes.
bool foldAscii(sqlite3_context* context, sqlite3_value* value) {
    const auto* text = sqlite3_value_text(value);
    if (!text)
        return false;
    int size = sqlite3_value_bytes(value);
    if (std::any_of(text, text + size, [](unsigned char c) { return c >= 0x80; }))
        return false;
    while (size > 0 && (text[size - 1] == ' ' || text[size - 1] == 0))
        --size;
    std::array<char, 256> buffer;
    std::string longer;
    char* folded = buffer.data();
    if (size > int(buffer.size())) {
        longer.resize(size_t(size));
        folded = longer.data();
    }
    for (int i = 0; i < size; ++i)
        folded[i] = char(text[i] >= 'A' && text[i] <= 'Z' ? text[i] + ('a' - 'A') : text[i]);
    sqlite3_result_text(context, folded, size, SQLITE_TRANSIENT);
    return true;
}

void foldFunction(sqlite3_context* context, int, sqlite3_value** values) {
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    if (foldAscii(context, values[0]))
        return;
    const auto* text = static_cast<const char16_t*>(sqlite3_value_text16(values[0]));
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const QString folded =
        SqliteConnection::fold(QString::fromUtf16(text, sqlite3_value_bytes16(values[0]) / 2));
    sqlite3_result_text16(context, folded.utf16(), int(folded.size() * 2), SQLITE_TRANSIENT);
}

// A stored note fingerprint and its norm, decoded; false for a value that is none.
struct DecodedNotes {
    NoteVector::Cells cells;
    quint32 norm2 = 0;
    bool read(sqlite3_value* value) {
        if (sqlite3_value_type(value) != SQLITE_BLOB)
            return false;
        const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
        if (!NoteVector::decode(QByteArrayView(data, sqlite3_value_bytes(value)), cells))
            return false;
        norm2 = NoteVector::norm2(cells);
        return true;
    }
};

// SBKSIMILAR(a, b): how alike two note fingerprints are, in whole percent; NULL when one is none.
// The second is most often the same in every row (the style compared with): it is decoded once.
void similarFunction(sqlite3_context* context, int, sqlite3_value** values) {
    DecodedNotes row;
    auto* reference = static_cast<DecodedNotes*>(sqlite3_get_auxdata(context, 1));
    std::unique_ptr<DecodedNotes> fresh;
    if (!reference) {
        fresh = std::make_unique<DecodedNotes>();
        reference = fresh.get();
        if (!fresh->read(values[1])) {
            sqlite3_result_null(context);
            return;
        }
    }
    if (!row.read(values[0]))
        sqlite3_result_null(context);
    else
        sqlite3_result_int(context,
                           NoteVector::percent(NoteVector::dot(reference->cells.data(), row.cells.data()),
                                               reference->norm2, row.norm2));
    if (fresh)
        sqlite3_set_auxdata(context, 1, fresh.release(),
                            [](void* p) { delete static_cast<DecodedNotes*>(p); });
}

} // namespace

sqlite3* SqliteConnection::handle(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

QString SqliteConnection::fold(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == QLatin1Char(' ') || text.at(end - 1).isNull()))
        --end;
    return CaseFold::fold(QStringView(text).left(end));
}

void SqliteConnection::prepare(QSqlDatabase db) {
    sqlite3* handle = SqliteConnection::handle(db);
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
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   &foldFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw SbkError(QStringLiteral("Cannot prepare the database connection: %1")
                           .arg(QString::fromUtf8(sqlite3_errmsg(handle))));
    if (sqlite3_create_function_v2(handle, "SBKSIMILAR", 2,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   &similarFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw SbkError(QStringLiteral("Cannot prepare the database connection: %1")
                           .arg(QString::fromUtf8(sqlite3_errmsg(handle))));
}

void SqliteConnection::setBusyTimeout(QSqlDatabase db, int milliseconds) {
    if (sqlite3* handle = SqliteConnection::handle(db))
        sqlite3_busy_timeout(handle, milliseconds);
}

bool SqliteConnection::inTransaction(QSqlDatabase db) {
    sqlite3* handle = SqliteConnection::handle(db);
    return handle && sqlite3_get_autocommit(handle) == 0;
}
