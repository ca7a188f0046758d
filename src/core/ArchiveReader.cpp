#include "core/ArchiveReader.h"

#include "core/ArchiveReadAhead.h"
#include "core/FolderScan.h"
#include "core/InputFile.h"
#include "core/SbkError.h"
#include "core/ZipInflater.h"

#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <cstdio>
#include <QFile>
#include <QFileInfo>
#include <QUtf8StringView>

namespace {

// What the archive file is read in; after a seek, which a ZIP file's reader makes to the next
// entry it reads (the entries between are passed by), a first read fetches little beyond its header.
constexpr qsizetype FileChunk = 256 * 1024;
constexpr qsizetype AfterSeek = 8 * 1024;

bool encrypted(archive* handle) {
    return archive_read_has_encrypted_entries(handle) > 0;
}

QString errorOf(archive* handle) {
    const char* text = handle ? archive_error_string(handle) : nullptr;
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("no reason given");
}

// An entry's name as read: its path inside the archive and its file name, and what is wrong with
// it when it cannot be shown as it is or points outside the archive.
struct EntryName {
    QString inner;
    QString fileName;
    QString problem; // the end of a sentence that begins with the archive's name
    bool folder = false;
};

EntryName nameOf(archive_entry* entry) {
    // As stored (the bytes of the locale's encoding, UTF-8 under Qt), else as converted.
    const char* stored = archive_entry_pathname(entry);
    const QByteArray raw = stored ? QByteArray(stored) : QByteArray(archive_entry_pathname_utf8(entry));
    const bool valid = QUtf8StringView(raw).isValidUtf8();
    const QString asStored = valid ? QString::fromUtf8(raw) : FolderScan::shownName(raw);
    QString name = asStored;
    name.replace(QLatin1Char('\\'), QLatin1Char('/')); // as archives made on Windows may hold them
    QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    EntryName result;
    result.folder = parts.isEmpty() || name.endsWith(QLatin1Char('/'));
    if (result.folder)
        return result;
    result.inner = parts.join(QLatin1Char('/'));
    result.fileName = parts.last();
    if (!valid)
        result.problem = QStringLiteral("holds the entry %1, whose name is not valid UTF-8");
    else if (name.startsWith(QLatin1Char('/')) || (name.size() > 1 && name.at(1) == QLatin1Char(':')))
        result.problem = QStringLiteral("holds the entry %1, whose name is an absolute path");
    else if (parts.contains(QStringLiteral("..")))
        result.problem =
            QStringLiteral("holds the entry %1, whose name leads out of the archive with \"..\"");
    if (!result.problem.isEmpty())
        result.problem = result.problem.arg(asStored);
    return result;
}

} // namespace

struct ArchiveReader::Level {
    archive* handle = nullptr;
    QString path;
    QString shown;
    int depth = 1;
    int others = 0;
    QByteArray bytes;            // an archive inside: its bytes, held while it is read
    std::unique_ptr<QFile> file; // the archive file
    QByteArray buffer;           // what was read from the file last
    QString lastEntry;           // the shown path of the entry taken last, to say where damage begins
    bool sought = false;         // the file was sought since it was read last

    ~Level() {
        if (handle)
            archive_read_free(handle);
    }

    static la_ssize_t read(archive* handle, void* data, const void** buffer) {
        auto* level = static_cast<Level*>(data);
        const qint64 got =
            level->file->read(level->buffer.data(), level->sought ? AfterSeek : level->buffer.size());
        level->sought = false;
        if (got < 0) {
            archive_set_error(handle, EIO, "%s", qPrintable(level->file->errorString()));
            return ARCHIVE_FATAL;
        }
        *buffer = level->buffer.constData();
        return la_ssize_t(got);
    }
    static la_int64_t seek(archive*, void* data, la_int64_t offset, int whence) {
        static_cast<Level*>(data)->sought = true;
        QFile& file = *static_cast<Level*>(data)->file;
        const qint64 base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.pos() : file.size();
        if (base + offset < 0 || !file.seek(base + offset))
            return ARCHIVE_FATAL;
        return file.pos();
    }
    static la_int64_t skip(archive*, void* data, la_int64_t request) {
        static_cast<Level*>(data)->sought = true;
        QFile& file = *static_cast<Level*>(data)->file;
        const qint64 from = file.pos();
        if (request <= 0 || !file.seek(qMin(from + request, file.size())))
            return 0;
        return file.pos() - from;
    }
};

ArchiveReader::ArchiveReader(const QString& path, Wanted wanted, qint64 limit, bool readBytes)
    : m_wanted(std::move(wanted)), m_limit(limit), m_readBytes(readBytes) {
    auto top = std::make_unique<Level>();
    top->path = path;
    top->shown = QFileInfo(path).fileName();
    top->file = std::make_unique<QFile>();
    m_levels.push_back(std::move(top));
}

ArchiveReader::ArchiveReader(const QString& path, Wanted wanted, qint64 limit, Share share)
    : ArchiveReader(path, std::move(wanted), limit, true) {
    m_share = std::move(share);
}

ArchiveReader::ArchiveReader(const QByteArray& bytes, const QString& path, Wanted wanted, qint64 limit)
    : ArchiveReader(path, std::move(wanted), limit, true) {
    m_levels.front()->file.reset();
    m_levels.front()->bytes = bytes;
    m_fileSize = bytes.size();
}

ArchiveReader::~ArchiveReader() = default;

QStringList ArchiveReader::namePatterns() {
    return {QStringLiteral("*.zip"),     QStringLiteral("*.7z"),     QStringLiteral("*.rar"),
            QStringLiteral("*.tar"),     QStringLiteral("*.tar.gz"), QStringLiteral("*.tgz"),
            QStringLiteral("*.tar.bz2"), QStringLiteral("*.tbz"),    QStringLiteral("*.tbz2"),
            QStringLiteral("*.tar.xz"),  QStringLiteral("*.txz")};
}

bool ArchiveReader::isArchiveName(const QString& name) {
    static const QStringList patterns = namePatterns();
    for (const QString& pattern : patterns) {
        if (name.endsWith(QStringView(pattern).mid(1), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool ArchiveReader::looksLikeArchive(const QByteArray& head) {
    static const QByteArray signatures[] = {QByteArrayLiteral("PK\x03\x04"),
                                            QByteArrayLiteral("PK\x05\x06"), // ZIP, an empty ZIP
                                            QByteArray("7z\xBC\xAF\x27\x1C", 6),
                                            QByteArrayLiteral("Rar!\x1A\x07"), // 7z, RAR
                                            QByteArrayLiteral("\x1F\x8B"),
                                            QByteArrayLiteral("BZh"),
                                            QByteArray("\xFD"
                                                       "7zXZ\0",
                                                       6)}; // compressed
    for (const QByteArray& signature : signatures) {
        if (head.startsWith(signature))
            return true;
    }
    return head.mid(257, 5) == "ustar"; // a tar file
}

bool ArchiveReader::passesEntriesCheaply(const QByteArray& head) {
    return head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06") || head.mid(257, 5) == "ustar";
}

bool ArchiveReader::next(Item& item) {
    if (!m_started) {
        m_started = true;
        queue(Item::Kind::Begin, *m_levels.front());
        openFile();
    }
    while (m_queue.empty() && !m_levels.empty())
        step();
    if (m_queue.empty())
        return false;
    item = std::move(m_queue.front());
    m_queue.pop_front();
    return true;
}

void ArchiveReader::openFile() {
    Level& top = *m_levels.front();
    if (top.file) {
        if (const QString problem = InputFile::status(top.path).problem; !problem.isEmpty()) {
            fail(problem);
            return;
        }
        try {
            InputFile::open(*top.file, top.path);
        } catch (const SbkError& error) {
            fail(QStringLiteral("cannot be opened (%1)").arg(error.message()));
            return;
        }
        m_fileSize = top.file->size();
        top.buffer.resize(FileChunk);
    }
    openLevel(top);
}

void ArchiveReader::openLevel(Level& level) {
    archive* handle = archive_read_new();
    if (!handle) {
        fail(QStringLiteral("cannot be read: out of memory"));
        return;
    }
    level.handle = handle;
    // Only the kinds a pack of styles comes in: every other reader stays out of reach of the files.
    archive_read_support_format_zip(handle);
    archive_read_support_format_7zip(handle);
    archive_read_support_format_rar(handle);
    archive_read_support_format_rar5(handle);
    archive_read_support_format_tar(handle);
    archive_read_support_filter_gzip(handle);
    archive_read_support_filter_bzip2(handle);
    archive_read_support_filter_xz(handle);
    int result;
    if (level.file) {
        archive_read_set_callback_data(handle, &level);
        archive_read_set_read_callback(handle, &Level::read);
        archive_read_set_seek_callback(handle, &Level::seek);
        archive_read_set_skip_callback(handle, &Level::skip);
        result = archive_read_open1(handle);
    } else {
        result = archive_read_open_memory(handle, level.bytes.constData(), size_t(level.bytes.size()));
    }
    // (Whether it is encrypted is not asked here: an archive that failed to open has no format to
    // answer, and asking it crashes libarchive.)
    if (result != ARCHIVE_OK && result != ARCHIVE_WARN)
        fail(QStringLiteral("cannot be read as an archive (%1)").arg(errorOf(handle)));
}

void ArchiveReader::step() {
    Level& level = *m_levels.back();
    archive_entry* entry = nullptr;
    const int result = archive_read_next_header(level.handle, &entry);
    if (result == ARCHIVE_EOF) {
        queue(Item::Kind::End, level);
        popLevel();
        return;
    }
    if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
        // A 7z or RAR file whose directory is encrypted cannot even be listed.
        if (encrypted(level.handle))
            fail(QStringLiteral("is encrypted, and SBK reads no encrypted archives (%1)")
                     .arg(errorOf(level.handle)));
        else
            fail((level.lastEntry.isEmpty() ? QStringLiteral("is damaged (%1)")
                                            : QStringLiteral("is damaged after %2 (%1)").arg(level.lastEntry))
                     .arg(errorOf(level.handle)));
        return;
    }

    const EntryName name = nameOf(entry);
    const qint64 declared = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : -1;
    const auto type = archive_entry_filetype(entry);
    if (type == AE_IFDIR || name.folder) {
        discard(level, declared); // a folder's entries come on their own; it holds no data but may say so
        return;
    }
    level.lastEntry = level.shown + QLatin1Char('/') + name.inner;
    const bool wanted = m_wanted(name.fileName);
    // Files of other kinds, links, and the resource files of archives made on a Mac, are counted.
    if ((!wanted && !isArchiveName(name.fileName)) || (type != AE_IFREG && type != 0) ||
        archive_entry_hardlink(entry) || name.inner.startsWith(QLatin1String("__MACOSX/"))) {
        ++level.others;
        discard(level, declared);
        return;
    }
    if (!name.problem.isEmpty()) {
        passOver(level, QString(), name.problem);
        discard(level, declared);
        return;
    }
    const QString& inner = name.inner;
    QString problem;
    if (archive_entry_is_encrypted(entry))
        problem = QStringLiteral("is encrypted, and SBK reads no encrypted entries");
    else if (!wanted && level.depth >= MaxDepth)
        problem = QStringLiteral("is an archive inside %1 others; archives are read to a depth of %2")
                      .arg(level.depth)
                      .arg(MaxDepth);
    else if (declared > m_limit - m_held)
        problem = tooLarge();
    if (!problem.isEmpty()) {
        passOver(level, inner, problem);
        // An encrypted entry is passed by without reading it, which would only fail.
        discard(level, archive_entry_is_encrypted(entry) ? qMax<qint64>(declared, 0) : declared);
        return;
    }
    if (wanted && !m_readBytes) {
        if (discard(level, declared))
            queue(Item::Kind::Entry, level, inner);
        return;
    }
    take(level, inner, !wanted, declared);
}

bool ArchiveReader::discard(Level& level, qint64 declared) {
    // Counted by its declared size first, so that passing it by can never unpack more than that.
    if (declared >= 0) {
        if (const QString bomb = bombProblem(m_unpacked + declared); !bomb.isEmpty()) {
            failAll(bomb);
            return false;
        }
        m_unpacked += declared;
        if (archive_read_data_skip(level.handle) != ARCHIVE_FATAL)
            return true;
        fail(QStringLiteral("is damaged in %1 (%2)").arg(level.lastEntry, errorOf(level.handle)));
        return false;
    }
    const EntryData data = readData(level, declared, -1);
    if (data.outcome == EntryData::Outcome::Stopped)
        m_levels.clear();
    else if (data.outcome == EntryData::Outcome::Bomb)
        failAll(data.problem);
    else if (data.outcome == EntryData::Outcome::ArchiveDamaged)
        fail(data.problem);
    else
        return true;
    return false;
}

void ArchiveReader::take(Level& level, const QString& inner, bool archiveInside, qint64 declared) {
    const bool ahead = readsAhead(level, archiveInside, declared);
    if (m_share) {
        // Reading ahead: only the STY entries of the ZIP file are read, and only this reader's share.
        if (ahead)
            share(level, declared, m_ordinal++);
        else
            discard(level, declared);
        return;
    }
    EntryData data = ahead ? takeAhead(level, declared, m_ordinal++) : readData(level, declared, m_limit - m_held);
    switch (data.outcome) {
    case EntryData::Outcome::Stopped:
        return;
    case EntryData::Outcome::Bomb:
        failAll(data.problem);
        return;
    case EntryData::Outcome::ArchiveDamaged:
        fail(data.problem);
        return;
    case EntryData::Outcome::Damaged:
        passOver(level, inner, QStringLiteral("is damaged (%1)").arg(data.problem));
        return;
    case EntryData::Outcome::TooLarge:
        passOver(level, inner, tooLarge());
        return;
    case EntryData::Outcome::Read:
        break;
    }
    if (!archiveInside) {
        queue(Item::Kind::Entry, level, inner);
        m_queue.back().bytes = std::move(data.bytes);
        return;
    }
    auto inside = std::make_unique<Level>();
    inside->path = level.path + QLatin1Char('/') + inner;
    inside->shown = level.shown + QLatin1Char('/') + inner;
    inside->depth = level.depth + 1;
    inside->bytes = std::move(data.bytes);
    m_held += inside->bytes.size();
    m_levels.push_back(std::move(inside));
    queue(Item::Kind::Begin, *m_levels.back());
    openLevel(*m_levels.back());
}

bool ArchiveReader::readsAhead(const Level& level, bool archiveInside, qint64 declared) const {
    // A ZIP file knows where each entry begins and ends, so that a reader passes it by without
    // reading it while another one reads it.
    return !archiveInside && m_readBytes && declared >= 0 && m_levels.size() == 1 && level.file &&
           (archive_format(level.handle) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
}

ArchiveReader::EntryData ArchiveReader::takeAhead(Level& level, qint64 declared, int ordinal) {
    if (!m_aheadTried) {
        m_aheadTried = true;
        m_ahead = ArchiveReadAhead::start(level.path, m_wanted, m_limit);
    }
    std::optional<EntryData> ahead = m_ahead ? m_ahead->take(ordinal) : std::nullopt;
    // No thread, or it ended before the entry, or what it read is another entry.
    if (!ahead || ahead->at != archive_filter_bytes(level.handle, -1))
        return readData(level, declared, m_limit - m_held);
    EntryData data = std::move(*ahead);
    const qint64 end = data.ends.empty() ? 0 : data.ends.back();
    // The limits counted here, where every entry before it counts, archives inside included, block
    // by block as readData counts them: the first block past a limit makes it a bomb.
    QString bomb;
    for (const qint64 blockEnd : data.ends) {
        if (bomb = bombProblem(m_unpacked + qMax(declared, blockEnd)); !bomb.isEmpty())
            break;
    }
    if (!bomb.isEmpty())
        data = EntryData{EntryData::Outcome::Bomb, QByteArray(), bomb, {}};
    else if (data.outcome == EntryData::Outcome::Bomb)
        return readData(level, declared, m_limit - m_held); // counted less there: not one here yet
    m_unpacked += qMax(declared, end);
    if (data.outcome != EntryData::Outcome::Bomb && data.outcome != EntryData::Outcome::ArchiveDamaged &&
        archive_read_data_skip(level.handle) == ARCHIVE_FATAL)
        data = EntryData{EntryData::Outcome::ArchiveDamaged, QByteArray(),
                         QStringLiteral("is damaged in %1 (%2)").arg(level.lastEntry, errorOf(level.handle)),
                         {}};
    return data;
}

void ArchiveReader::share(Level& level, qint64 declared, int ordinal) {
    if (ordinal % m_share->count != m_share->index) {
        discard(level, declared);
        return;
    }
    if (!m_share->admit(declared)) {
        m_levels.clear();
        return;
    }
    const qint64 at = archive_filter_bytes(level.handle, -1);
    EntryData data = readDirect(level, declared, at);
    if (data.outcome != EntryData::Outcome::Read)
        data = readData(level, declared, m_limit - m_held);
    data.at = at;
    const bool last = data.outcome != EntryData::Outcome::Read && data.outcome != EntryData::Outcome::TooLarge &&
                      data.outcome != EntryData::Outcome::Damaged;
    if (data.outcome != EntryData::Outcome::Stopped)
        m_share->deliver(ordinal, std::move(data));
    if (last)
        m_levels.clear(); // the archive cannot be read on, or the reading ahead stops
}

ArchiveReader::EntryData ArchiveReader::readDirect(Level& level, qint64 declared, qint64 at) {
    // Read by the ZIP file's own inflater only when it is no bomb at its declared size, where
    // readData alone tells the block that makes it one.
    EntryData data{EntryData::Outcome::Damaged, {}, {}, {}};
    if (declared > m_limit - m_held || !bombProblem(m_unpacked + declared).isEmpty())
        return data;
    if (!m_inflater)
        m_inflater = std::make_unique<ZipInflater>(*level.file);
    if (std::optional<QByteArray> bytes = m_inflater->read(at, declared)) {
        data.outcome = EntryData::Outcome::Read;
        data.bytes = std::move(*bytes);
        data.ends = {declared};
        m_unpacked += declared;
    }
    return data;
}

QString ArchiveReader::tooLarge() const {
    const qint64 room = m_limit - m_held;
    return room == m_limit
               ? QStringLiteral("holds more than %1 bytes, more than a file of its kind ever holds").arg(room)
               : QStringLiteral("holds more than the %1 bytes left to read it inside its archives").arg(room);
}

ArchiveReader::EntryData ArchiveReader::readData(Level& level, qint64 declared, qint64 keep) {
    EntryData data;
    if (keep > 0 && declared > 0)
        data.bytes.reserve(qsizetype(qMin(declared, keep)));
    qint64 got = 0; // the end of the data so far, holes of a sparse entry included
    for (;;) {
        // The data where libarchive holds it: only what is kept is copied.
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        if (m_share && m_share->stop->load(std::memory_order_relaxed)) {
            data.outcome = EntryData::Outcome::Stopped;
            break;
        }
        const int result = archive_read_data_block(level.handle, &block, &size, &offset);
        if (result == ARCHIVE_EOF)
            break;
        if (result != ARCHIVE_OK) {
            data.outcome =
                result == ARCHIVE_FATAL ? EntryData::Outcome::ArchiveDamaged : EntryData::Outcome::Damaged;
            data.problem = errorOf(level.handle);
            if (result == ARCHIVE_FATAL)
                data.problem = QStringLiteral("is damaged in %1 (%2)").arg(level.lastEntry, data.problem);
            break;
        }
        got = qMax(got, qint64(offset) + qint64(size));
        if (m_share)
            data.ends.push_back(got);
        if (const QString bomb = bombProblem(m_unpacked + qMax(declared, got)); !bomb.isEmpty()) {
            data.outcome = EntryData::Outcome::Bomb;
            data.problem = bomb;
            break;
        }
        if (data.outcome == EntryData::Outcome::TooLarge || keep < 0)
            continue;
        if (got > keep) {
            // Read on to its end all the same, so that the next entry is found.
            data.outcome = EntryData::Outcome::TooLarge;
            data.bytes = QByteArray();
            continue;
        }
        if (offset > data.bytes.size()) // a hole of a sparse entry reads as zeros
            data.bytes.append(QByteArray(qsizetype(offset) - data.bytes.size(), '\0'));
        data.bytes.append(static_cast<const char*>(block), qsizetype(size));
    }
    m_unpacked += qMax(declared, got);
    if (data.outcome != EntryData::Outcome::Read)
        data.bytes = QByteArray();
    return data;
}

QString ArchiveReader::bombProblem(qint64 unpacked) const {
    const QString where = m_levels.back()->lastEntry;
    if (unpacked > MaxUnpacked)
        return QStringLiteral(
                   "unpacks to more than %1 GB, more than a pack of styles ever holds (found at %2)")
            .arg(MaxUnpacked >> 30)
            .arg(where);
    if (unpacked > RatioFloor && unpacked / MaxRatio > m_fileSize)
        return QStringLiteral(
                   "unpacks to more than %1 times its own size, as an archive bomb does (found at %2)")
            .arg(MaxRatio)
            .arg(where);
    return QString();
}

void ArchiveReader::passOver(const Level& level, const QString& inner, const QString& problem) {
    queue(Item::Kind::PassedOver, level, inner);
    m_queue.back().problem = problem;
}

void ArchiveReader::fail(const QString& problem) {
    queue(Item::Kind::Failed, *m_levels.back());
    m_queue.back().problem = problem;
    popLevel();
}

void ArchiveReader::failAll(const QString& problem) {
    while (m_levels.size() > 1)
        popLevel();
    fail(problem);
}

void ArchiveReader::popLevel() {
    // The archive file's bytes, when it is read from memory, are not the reader's to count.
    if (m_levels.size() > 1)
        m_held -= m_levels.back()->bytes.size();
    m_levels.pop_back();
}

void ArchiveReader::queue(Item::Kind kind, const Level& level, const QString& inner) {
    Item item;
    item.kind = kind;
    item.path = inner.isEmpty() ? level.path : level.path + QLatin1Char('/') + inner;
    item.shown = inner.isEmpty() ? level.shown : level.shown + QLatin1Char('/') + inner;
    item.depth = level.depth;
    item.others = level.others;
    m_queue.push_back(std::move(item));
}
