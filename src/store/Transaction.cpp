#include "store/Transaction.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/SqliteConnection.h"

#include <QAtomicInt>
#include <QSqlQuery>

namespace {
QAtomicInt savepointCounter;
}

Transaction::Transaction(QSqlDatabase db, Mode mode) : m_db(db) {
    QSqlQuery query(m_db);
    if (SqliteConnection::inTransaction(m_db)) {
        m_name = QStringLiteral("sbk_sp%1").arg(savepointCounter.fetchAndAddOrdered(1));
        Database::exec(query, QStringLiteral("SAVEPOINT ") + m_name);
    } else {
        Database::exec(query, mode == Mode::Write ? QStringLiteral("BEGIN IMMEDIATE")
                                                  : QStringLiteral("BEGIN DEFERRED"));
    }
    m_open = true;
}

Transaction::Transaction(Transaction&& other) noexcept
    : m_db(other.m_db), m_name(other.m_name), m_open(other.m_open) {
    other.m_open = false;
}

Transaction::~Transaction() {
    if (m_open)
        rollback();
}

void Transaction::commit() {
    if (!m_open)
        throw SbkError(QStringLiteral("The transaction has already ended."));
    QSqlQuery query(m_db);
    Database::exec(query, m_name.isEmpty() ? QStringLiteral("COMMIT")
                                           : QStringLiteral("RELEASE SAVEPOINT ") + m_name);
    m_open = false;
}

void Transaction::rollback() {
    if (!m_open)
        return;
    m_open = false;
    QSqlQuery query(m_db);
    if (m_name.isEmpty()) {
        query.exec(QStringLiteral("ROLLBACK"));
        return;
    }
    // ROLLBACK TO keeps the savepoint open; RELEASE then ends it.
    query.exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + m_name);
    query.exec(QStringLiteral("RELEASE SAVEPOINT ") + m_name);
}
