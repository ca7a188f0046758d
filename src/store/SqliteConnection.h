#pragma once

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

// What the program adds to every SQLite connection it opens. It works on the connection handle of
// Qt's SQLite driver, so the program links the same SQLite library as that driver (Debian's Qt
// driver uses the system's libsqlite3); opening refuses a driver that runs another SQLite.
// Nothing of this is stored in the database file, which stays readable by any SQLite program.
class SqliteConnection {
public:
    // How long a statement waits for another program's transaction to end before giving up.
    static constexpr int BusyTimeoutMs = 5000;

    // Sets the busy timeout and registers SBKFOLD and SBKSIMILAR. Throws SbkError when the driver gives no
    // handle of the SQLite library the program links.
    static void prepare(QSqlDatabase db);
    static void setBusyTimeout(QSqlDatabase db, int milliseconds);
    // The SQLite handle of the connection, nullptr when it has none of the library the program links.
    static sqlite3* handle(const QSqlDatabase& db);
    // True while the connection is inside a transaction (false when it cannot tell).
    static bool inTransaction(QSqlDatabase db);

    // SBKFOLD(text) in SQL: the text without trailing blanks (and 00 bytes), folded by
    // CaseFold::fold, so that filters and sorting treat "Été  " and "ÉTÉ" alike; NULL stays NULL.
    static QString fold(const QString& text);
    // SBKSIMILAR(a, b) in SQL: how alike two stored note fingerprints are (NoteVector::similarity),
    // in whole percent; NULL when one of them is no fingerprint.
};
