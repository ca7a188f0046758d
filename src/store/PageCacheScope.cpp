#include "store/PageCacheScope.h"

#include "store/Database.h"

#include <QSqlQuery>

PageCacheScope::PageCacheScope(QSqlDatabase connection, int kibibytes) : m_connection(connection) {
    QSqlQuery query(m_connection);
    Database::exec(query, QStringLiteral("PRAGMA cache_size"));
    if (!query.next())
        return;
    m_before = query.value(0).toLongLong();
    query.finish();
    // A cache that is larger already (set by the user's own tools) is kept.
    const qint64 wanted = -qint64(kibibytes);
    if (m_before < 0 && m_before <= wanted)
        return;
    Database::exec(query, QStringLiteral("PRAGMA cache_size = %1").arg(wanted));
    m_changed = true;
}

PageCacheScope::~PageCacheScope() {
    if (!m_changed || !m_connection.isOpen())
        return;
    QSqlQuery query(m_connection);
    query.exec(QStringLiteral("PRAGMA cache_size = %1").arg(m_before)); // a failure here loses nothing
}
