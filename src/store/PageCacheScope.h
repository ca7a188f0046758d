#pragma once

#include <QSqlDatabase>

// A larger page cache for a connection while a run that writes much in one transaction lasts (the
// import, the restore): with the default cache the pages of the indexes that a run changes are
// written out and read back part way. Not much larger, though: what the cache still holds at the
// commit is written and synced then, while what it hands on before is written out as the run goes
// (WriteBehindScope). 16 MiB keeps the index pages of a library of 100,000 styles (an import into
// it writes 4 % more pages than with 64 MiB) and leaves a quarter as much for the commit. The
// cache size the connection had is set again when the scope ends. Nothing of it is stored in the
// database file.
class PageCacheScope {
public:
    static constexpr int RunKibibytes = 16 * 1024;

    // Throws SbkError when the database refuses the setting.
    explicit PageCacheScope(QSqlDatabase connection, int kibibytes = RunKibibytes);
    ~PageCacheScope();
    PageCacheScope(const PageCacheScope&) = delete;
    PageCacheScope& operator=(const PageCacheScope&) = delete;

private:
    QSqlDatabase m_connection;
    qint64 m_before = 0; // PRAGMA cache_size as it was: pages, or kibibytes when negative
    bool m_changed = false;
};
