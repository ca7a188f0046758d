#pragma once

#include <condition_variable>
#include <mutex>
#include <QSqlDatabase>
#include <string>
#include <thread>

// Starts the disk writing of what a long run in one transaction (the import, the restore) hands
// the system, while the run goes on, instead of leaving all of it to the sync at the commit:
// every few milliseconds a thread asks the system to begin writing out the changed pages of the
// database file and of its journal. The commit still syncs both, so nothing about what is safe on
// disk changes; the run only waits less at its end. Where the system has no such request (other
// than Linux), the scope does nothing.
class WriteBehindScope {
public:
    static constexpr int IntervalMs = 20;

    explicit WriteBehindScope(QSqlDatabase connection);
    ~WriteBehindScope();
    WriteBehindScope(const WriteBehindScope&) = delete;
    WriteBehindScope& operator=(const WriteBehindScope&) = delete;

    // True while the thread runs (a database file on a system that has the request).
    bool active() const { return m_thread.joinable(); }

private:
    void run();

    std::string m_path; // the database file's, as SQLite names it
    std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::thread m_thread;
};
