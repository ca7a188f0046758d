#include "interchange/PddReadAhead.h"

#include "interchange/PddReader.h"
#include "music/NoteFingerprint.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

qint64 sizeOf(const PddReadAhead::Record& record) {
    return record.style.StyleContent1().size() + record.style.StyleContent2().size() +
           record.entry.properties().size();
}

// Thrown into the reader when the one who takes the records has stopped.
struct Stopped {};

} // namespace

// The records read and not yet taken, and how the reading ended.
class PddReadAhead::Queue {
public:
    // Waits while the queue is full; throws Stopped once the taker has stopped.
    void put(Record&& record) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_stopped || (m_records.size() < Records && m_bytes < Bytes); });
        if (m_stopped)
            throw Stopped();
        const bool wasEmpty = m_records.empty();
        m_bytes += sizeOf(record);
        m_records.push_back(std::move(record));
        lock.unlock();
        if (wasEmpty) // only then may the taker wait
            m_changed.notify_all();
    }
    void end(std::exception_ptr error) {
        {
            const std::lock_guard lock(m_mutex);
            m_ended = true;
            m_error = error;
        }
        m_changed.notify_all();
    }
    // Every record read so far, into taken (empty before); false at the end of the file. Throws
    // what ended the reading. Taking them all at once keeps the two threads from waking each other
    // for every record.
    bool takeAll(std::deque<Record>& taken) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_records.empty() || m_ended; });
        if (m_records.empty()) {
            if (m_error)
                std::rethrow_exception(m_error);
            return false;
        }
        taken.swap(m_records);
        m_bytes = 0;
        lock.unlock();
        m_changed.notify_all();
        return true;
    }
    void stop() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Record> m_records;
    qint64 m_bytes = 0;
    bool m_ended = false;
    bool m_stopped = false;
    std::exception_ptr m_error;
};

void PddReadAhead::read(const QString& path, const std::function<void(Record&)>& store) {
    Queue queue;
    std::thread reader;
    try {
        reader = std::thread([&path, &queue] { readInto(path, queue); });
    } catch (const std::system_error&) {
        readInTurn(path, store);
        return;
    }
    // However the storing ends, the reader is stopped and waited for.
    struct Join {
        Queue& queue;
        std::thread& reader;
        ~Join() {
            queue.stop();
            reader.join();
        }
    } join{queue, reader};
    std::deque<Record> taken;
    while (queue.takeAll(taken)) {
        for (Record& record : taken)
            store(record);
        taken.clear();
    }
}

void PddReadAhead::readInto(const QString& path, Queue& queue) {
    try {
        readRecords(path, [&queue](Record&& record) { queue.put(std::move(record)); });
        queue.end(nullptr);
    } catch (const Stopped&) {
        queue.end(nullptr);
    } catch (const SbkError& error) {
        queue.end(std::make_exception_ptr(FileError(error.message())));
    } catch (...) {
        queue.end(std::current_exception());
    }
}

void PddReadAhead::readInTurn(const QString& path, const std::function<void(Record&)>& store) {
    // Set while a record is stored: what is thrown then is the storing's, any other error the file's.
    bool storing = false;
    try {
        readRecords(path, [&](Record&& record) {
            storing = true;
            store(record);
            storing = false;
        });
    } catch (const SbkError& error) {
        if (storing)
            throw;
        throw FileError(error.message());
    }
}

void PddReadAhead::readRecords(const QString& path, const std::function<void(Record&&)>& pass) {
    PddReader::Handlers handlers;
    handlers.table = [&pass](const QString& table, qint64 count) {
        Record record;
        record.table = table;
        record.count = count;
        pass(std::move(record));
    };
    handlers.bank = [&pass](DbKORFBank& bank) {
        Record record;
        record.kind = Record::Kind::Bank;
        record.bank.setBankProg(bank.BankProg());
        record.bank.setBankName(bank.BankName());
        record.bank.setBankDesc(bank.BankDesc());
        record.bank.setSlotValues(bank.slotValues());
        pass(std::move(record));
    };
    // The dump does not carry the facts: they are read from the blocks again.
    handlers.style = [&pass](DbKORFStyle& style) {
        Record record;
        record.kind = Record::Kind::Style;
        record.style.setValues(style);
        record.facts = NoteFingerprint::readFacts(style.StyleContent1(), style.StyleContent2());
        pass(std::move(record));
    };
    handlers.entry = [&pass](qint32 styleProg, int block, const KORFEntry& entry) {
        Record record;
        record.kind = Record::Kind::Entry;
        record.styleProg = styleProg;
        record.block = block;
        record.entry = entry;
        pass(std::move(record));
    };
    PddReader(path).read(handlers);
}
