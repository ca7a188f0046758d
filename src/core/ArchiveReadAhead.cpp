#include "core/ArchiveReadAhead.h"

#include <system_error>

std::unique_ptr<ArchiveReadAhead> ArchiveReadAhead::start(const QString& path,
                                                          const ArchiveReader::Wanted& wanted, qint64 limit) {
    std::unique_ptr<ArchiveReadAhead> ahead(new ArchiveReadAhead);
    try {
        for (int index = 0; index < Threads; ++index)
            ahead->m_lanes[size_t(index)].thread =
                std::thread(&ArchiveReadAhead::run, ahead.get(), index, path, wanted, limit);
    } catch (const std::system_error&) {
        return nullptr; // the threads started so far are stopped
    }
    return ahead;
}

ArchiveReadAhead::~ArchiveReadAhead() {
    m_stop = true;
    {
        const std::lock_guard lock(m_mutex); // so that no thread misses the news while it waits
    }
    m_changed.notify_all();
    for (Lane& lane : m_lanes) {
        if (lane.thread.joinable())
            lane.thread.join();
    }
}

void ArchiveReadAhead::run(int index, const QString& path, const ArchiveReader::Wanted& wanted, qint64 limit) {
    Lane& lane = m_lanes[size_t(index)];
    try {
        ArchiveReader::Share share;
        share.index = index;
        share.count = Threads;
        share.admit = [this, &lane](qint64 declared) { return admit(lane, declared); };
        share.deliver = [this, &lane](int ordinal, EntryData&& data) { deliver(lane, ordinal, std::move(data)); };
        share.stop = &m_stop;
        ArchiveReader reader(path, wanted, limit, std::move(share));
        for (ArchiveReader::Item item; !m_stop && reader.next(item);) {
        }
    } catch (...) {
        // Out of memory: the entries it did not read are read by the one who asks for them.
    }
    {
        const std::lock_guard lock(m_mutex);
        lane.ended = true;
    }
    m_changed.notify_all();
}

bool ArchiveReadAhead::admit(Lane& lane, qint64 declared) {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        return m_stop || lane.ready.empty() || (lane.ready.size() < 2 && lane.bytes + declared <= Bytes);
    });
    return !m_stop;
}

void ArchiveReadAhead::deliver(Lane& lane, int ordinal, EntryData&& data) {
    {
        const std::lock_guard lock(m_mutex);
        lane.bytes += data.bytes.size();
        lane.ready.emplace_back(ordinal, std::move(data));
    }
    m_changed.notify_all();
}

std::optional<ArchiveReadAhead::EntryData> ArchiveReadAhead::take(int ordinal) {
    Lane& lane = m_lanes[size_t(ordinal % Threads)];
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return !lane.ready.empty() || lane.ended; });
        if (lane.ready.empty())
            return std::nullopt;
        auto [at, data] = std::move(lane.ready.front());
        lane.ready.pop_front();
        lane.bytes -= data.bytes.size();
        m_changed.notify_all();
        if (at == ordinal)
            return std::move(data);
        if (at > ordinal)
            return std::nullopt; // (never: a thread inflates its entries in their order)
    }
}
