#include "store/WriteBehindScope.h"

#include "store/SqliteConnection.h"

#include <array>
#include <chrono>
#include <sqlite3.h>
#include <system_error>

#ifdef __linux__
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef __linux__
// A file the run writes, and a descriptor of this process that SQLite holds open on it.
struct Written {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    int descriptor = -1;
};

// A descriptor of the process open on the file, or -1. The scope only ever asks the system to
// write through SQLite's own descriptors and never opens or closes one: closing any descriptor
// of a file drops every POSIX lock the process holds on it, SQLite's among them. Should SQLite
// close one and the number be given to another file, the request only writes that file's pages
// a little early; on anything else it fails and does nothing.
int descriptorOf(dev_t device, ino_t inode) {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder)
        return -1;
    int found = -1;
    while (const dirent* entry = ::readdir(folder)) {
        char* end = nullptr;
        const long number = std::strtol(entry->d_name, &end, 10);
        struct stat open {};
        if (end == entry->d_name || *end != '\0' || number == ::dirfd(folder) ||
            ::fstat(int(number), &open) != 0)
            continue;
        if (open.st_dev == device && open.st_ino == inode) {
            found = int(number);
            break;
        }
    }
    ::closedir(folder);
    return found;
}

// Begins the writing of the file's changed pages; finds its descriptor again when the file is
// another one than before (a journal is made anew for each transaction).
void writeBehind(Written& file) {
    struct stat now {};
    if (::stat(file.path.c_str(), &now) != 0 || !S_ISREG(now.st_mode)) {
        file.descriptor = -1;
        return;
    }
    if (file.descriptor < 0 || now.st_dev != file.device || now.st_ino != file.inode) {
        file.device = now.st_dev;
        file.inode = now.st_ino;
        file.descriptor = descriptorOf(now.st_dev, now.st_ino);
    }
    if (file.descriptor >= 0)
        ::sync_file_range(file.descriptor, 0, 0, SYNC_FILE_RANGE_WRITE);
}
#endif

} // namespace

WriteBehindScope::WriteBehindScope(QSqlDatabase connection) {
#ifdef __linux__
    sqlite3* handle = SqliteConnection::handle(connection);
    const char* path = handle ? sqlite3_db_filename(handle, "main") : nullptr;
    if (!path || !*path)
        return; // a database in memory writes no file
    m_path = path;
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread to be had: the commit writes everything, as it would anyway.
    }
#else
    Q_UNUSED(connection);
#endif
}

WriteBehindScope::~WriteBehindScope() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void WriteBehindScope::run() {
#ifdef __linux__
    std::array<Written, 3> files{Written{m_path}, Written{m_path + "-journal"}, Written{m_path + "-wal"}};
    std::unique_lock lock(m_mutex);
    while (!m_stopped.wait_for(lock, std::chrono::milliseconds(IntervalMs), [this] { return m_stopping; })) {
        lock.unlock();
        for (Written& file : files)
            writeBehind(file);
        lock.lock();
    }
#endif
}
