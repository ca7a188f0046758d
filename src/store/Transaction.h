#pragma once

#include <QSqlDatabase>
#include <QString>

// A transaction that rolls back in its destructor unless commit() was called. Guards nest: the
// outermost begins the transaction, inner ones are savepoints whose commit only becomes lasting with
// the outer one. Statements must be finished (no query still reading) before commit().
class Transaction {
public:
    // Write: the outermost guard takes the database for writing at once (BEGIN IMMEDIATE), waiting
    // for another program's transaction to end, so that no write part way through finds the
    // database busy. Read: a consistent view for reading only, which lets other programs go on.
    enum class Mode { Write, Read };

    explicit Transaction(QSqlDatabase db, Mode mode = Mode::Write);
    ~Transaction();
    Transaction(Transaction&& other) noexcept;
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    Transaction& operator=(Transaction&&) = delete;

    // Throws SbkError when the database refuses the commit; the guard then still rolls back.
    void commit();
    void rollback();

private:
    QSqlDatabase m_db;
    QString m_name; // the savepoint of an inner guard; "" for the outermost
    bool m_open = false;
};
