#pragma once

#include "core/ArchiveReader.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

// Inflates the STY entries of a ZIP file ahead of the ArchiveReader that hands them on, so that
// the entries after the one being imported are ready when it asks for them: each of Threads
// threads reads the archive file with a reader of its own and inflates every Threads-th entry,
// passing the others by without reading them (a ZIP file says where each one ends), with
// ZipInflater where it can, else with libarchive. A thread stays at most two entries, or about
// Bytes bytes, ahead; it stops at the first entry that ends the archive (damage, a bomb), and at
// once when the reader that asks is destroyed.
class ArchiveReadAhead {
public:
    static constexpr int Threads = 2;
    static constexpr qint64 Bytes = 32 * 1024 * 1024;
    using EntryData = ArchiveReader::EntryData;

    // The threads started on the archive file at path; nullptr when no thread can be started.
    static std::unique_ptr<ArchiveReadAhead> start(const QString& path, const ArchiveReader::Wanted& wanted,
                                                   qint64 limit);
    ~ArchiveReadAhead();
    ArchiveReadAhead(const ArchiveReadAhead&) = delete;
    ArchiveReadAhead& operator=(const ArchiveReadAhead&) = delete;

    // The data of the ordinal-th STY entry (counted from 0), once it is inflated; std::nullopt
    // when its thread ended before it (the caller then reads it itself).
    std::optional<EntryData> take(int ordinal);

private:
    struct Lane {
        std::thread thread;
        std::deque<std::pair<int, EntryData>> ready;
        qint64 bytes = 0;
        bool ended = false;
    };
    ArchiveReadAhead() = default;
    void run(int index, const QString& path, const ArchiveReader::Wanted& wanted, qint64 limit);
    bool admit(Lane& lane, qint64 declared);
    void deliver(Lane& lane, int ordinal, EntryData&& data);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<bool> m_stop{false};
    std::array<Lane, Threads> m_lanes;
};
