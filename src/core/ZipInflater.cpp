#include "core/ZipInflater.h"

#include <algorithm>
#include <libdeflate.h>
#include <QFile>
#include <QtEndian>

namespace {

constexpr qint64 LocalHeader = 30;      // a local header's fixed part, before its name and extra field
constexpr qint64 DirectoryRecord = 46;  // a central directory record's fixed part
constexpr qint64 EndRecord = 22;        // the end of central directory record, without its comment
constexpr qint64 EndSearch = 16 * 1024; // how far from its end a ZIP file's end record is looked for
constexpr quint16 Encrypted = 0x0001, StrongEncrypted = 0x0040;
constexpr quint16 Stored = 0, Deflated = 8;
constexpr quint32 Zip64Size = 0xFFFFFFFF;

quint16 le16(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}
quint32 le32(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

} // namespace

ZipInflater::ZipInflater(QFile& file) : m_file(file), m_decompressor(libdeflate_alloc_decompressor()) {
    const qint64 at = m_file.pos();
    if (m_decompressor)
        readDirectory();
    m_file.seek(at);
}

ZipInflater::~ZipInflater() {
    if (m_decompressor)
        libdeflate_free_decompressor(m_decompressor);
}

void ZipInflater::readDirectory() {
    // The end record nearest the file's end, as libarchive takes it (a stored ZIP inside may hold
    // others), and only when it names a central directory on this volume before it: else libarchive
    // reads the file from its start, where the entries found are not those of a directory.
    m_fileSize = m_file.size();
    const qint64 tailSize = qMin(m_fileSize, EndSearch);
    QByteArray tail;
    if (tailSize < EndRecord || !bytesAt(m_fileSize - tailSize, tailSize, tail))
        return;
    const qsizetype end = tail.lastIndexOf(QByteArrayView("PK\x05\x06"), tail.size() - EndRecord);
    if (end < 0)
        return;
    // A ZIP64 end record (a file of more than 65,535 entries or 4 GB) is left to libarchive.
    if (end >= 20 && tail.mid(end - 20, 4) == QByteArrayView("PK\x06\x07"))
        return;
    const qint64 endAt = m_fileSize - tailSize + end;
    const quint32 directorySize = le32(tail, end + 12), directoryAt = le32(tail, end + 16);
    if (le16(tail, end + 4) != 0 || le16(tail, end + 6) != 0 || le16(tail, end + 8) != le16(tail, end + 10) ||
        qint64(directoryAt) + directorySize > endAt || directorySize > MaxDirectory)
        return;
    // Where the directory is, counted back from the end record: the offsets it holds are moved by
    // as much as the file has before the archive (a self-extracting program), as libarchive moves them.
    const qint64 start = endAt - directorySize;
    QByteArray directory;
    if (!bytesAt(start, directorySize, directory) || !addRecords(directory, start - directoryAt)) {
        m_records.clear();
        return;
    }
    std::sort(m_records.begin(), m_records.end(),
              [](const Record& a, const Record& b) { return a.header < b.header; });
    // Two records of one local header: libarchive keeps one of them, and neither is read here.
    for (size_t i = 1; i < m_records.size(); ++i) {
        if (m_records[i].header == m_records[i - 1].header)
            m_records[i].readable = m_records[i - 1].readable = false;
    }
}

bool ZipInflater::addRecords(const QByteArray& directory, qint64 correction) {
    for (qsizetype at = 0; at < directory.size();) {
        if (directory.size() - at < DirectoryRecord || directory.mid(at, 4) != QByteArrayView("PK\x01\x02"))
            return false;
        Record record;
        const quint16 flags = le16(directory, at + 8);
        record.method = le16(directory, at + 10);
        record.crc = le32(directory, at + 16);
        record.packed = le32(directory, at + 20);
        record.size = le32(directory, at + 24);
        record.header = qint64(le32(directory, at + 42)) + correction;
        record.readable = (record.method == Stored || record.method == Deflated) &&
                          (flags & (Encrypted | StrongEncrypted)) == 0 && record.packed != Zip64Size &&
                          record.size != Zip64Size && le32(directory, at + 42) != Zip64Size;
        m_records.push_back(record);
        const qint64 variable =
            qint64(le16(directory, at + 28)) + le16(directory, at + 30) + le16(directory, at + 32);
        if (variable > directory.size() - at - DirectoryRecord)
            return false;
        at += DirectoryRecord + variable;
    }
    return true;
}

std::optional<QByteArray> ZipInflater::read(qint64 offset, qint64 size) {
    // The record of the local header that ends where the data begin: the last one before them.
    const auto after = std::upper_bound(m_records.begin(), m_records.end(), offset,
                                        [](qint64 at, const Record& record) { return at <= record.header; });
    if (after == m_records.begin())
        return std::nullopt;
    const Record& record = *(after - 1);
    if (!record.readable || record.size != size || offset - record.header < LocalHeader ||
        record.packed > m_fileSize - offset || (record.method == Deflated && record.packed > MaxPacked))
        return std::nullopt;
    const qint64 at = m_file.pos();
    QByteArray data;
    const bool read = headerAgrees(record, offset) && inflate(record, offset, data);
    if (!m_file.seek(at) || !read)
        return std::nullopt;
    return data;
}

bool ZipInflater::headerAgrees(const Record& record, qint64 offset) {
    // libarchive takes the sizes and checksum of the local header where it gives them (it only warns
    // when the central directory says otherwise): both must say the same, or the local header
    // nothing (its data are followed by their sizes, which libarchive does not read then).
    QByteArray header;
    if (offset - record.header > LocalHeader + 2 * 0xFFFF ||
        !bytesAt(record.header, offset - record.header, header) || !header.startsWith("PK\x03\x04"))
        return false;
    const quint32 crc = le32(header, 14), packed = le32(header, 18), size = le32(header, 22);
    return (le16(header, 6) & (Encrypted | StrongEncrypted)) == 0 && le16(header, 8) == record.method &&
           LocalHeader + le16(header, 26) + le16(header, 28) == header.size() &&
           (crc == 0 || crc == record.crc) && (packed == 0 || packed == record.packed) &&
           (size == 0 || size == record.size);
}

bool ZipInflater::inflate(const Record& record, qint64 offset, QByteArray& data) {
    if (record.method == Stored) {
        if (record.packed != record.size || !bytesAt(offset, record.size, data))
            return false;
    } else {
        if (!bytesAt(offset, record.packed, m_packed))
            return false;
        data = QByteArray(qsizetype(record.size), Qt::Uninitialized);
        size_t used = 0, made = 0;
        const libdeflate_result result =
            libdeflate_deflate_decompress_ex(m_decompressor, m_packed.constData(), size_t(record.packed),
                                             data.data(), size_t(record.size), &used, &made);
        // The deflated data end where the record says, and give as many bytes as it says.
        if (result != LIBDEFLATE_SUCCESS || used != record.packed || made != record.size)
            return false;
        if (m_packed.capacity() > 4 * 1024 * 1024)
            m_packed = QByteArray(); // the room of one large entry is not kept for the small ones after it
    }
    return libdeflate_crc32(0, data.constData(), size_t(data.size())) == record.crc;
}

bool ZipInflater::bytesAt(qint64 offset, qint64 size, QByteArray& bytes) {
    if (offset < 0 || size < 0 || size > m_fileSize - offset || !m_file.seek(offset))
        return false;
    bytes.resize(qsizetype(size));
    return size == 0 || m_file.read(bytes.data(), size) == size;
}
