#include "store/Transaction.h"

#include "core/SbkError.h"
#include "store/Database.h"

#include <QAtomicInt>
#include <QSqlQuery>

namespace {
QAtomicInt savepointCounter;
}

Transaction::Transaction(QSqlDatabase db)
    : m_db(db), m_name(QStringLiteral("sbk_sp%1").arg(savepointCounter.fetchAndAddOrdered(1))) {
    QSqlQuery query(m_db);
    Database::exec(query, QStringLiteral("SAVEPOINT ") + m_name);
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
    Database::exec(query, QStringLiteral("RELEASE SAVEPOINT ") + m_name);
    m_open = false;
}

void Transaction::rollback() {
    if (!m_open)
        return;
    m_open = false;
    QSqlQuery query(m_db);
    // ROLLBACK TO keeps the savepoint open; RELEASE then ends it (and the transaction, when outermost).
    query.exec(QStringLiteral("ROLLBACK TO SAVEPOINT ") + m_name);
    query.exec(QStringLiteral("RELEASE SAVEPOINT ") + m_name);
}
