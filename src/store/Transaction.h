#pragma once

#include <QSqlDatabase>
#include <QString>

// A transaction that rolls back in its destructor unless commit() was called. Built on SQLite
// savepoints, so guards nest: an inner guard's commit only becomes lasting with the outer one.
// Statements must be finished (no query still reading) before commit().
class Transaction {
public:
    explicit Transaction(QSqlDatabase db);
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
    QString m_name;
    bool m_open = false;
};
