#pragma once

#include <optional>
#include <QByteArray>
#include <vector>

class QFile;
struct libdeflate_decompressor;

// Reads the stored and deflated entries of a ZIP file straight from it, inflated by libdeflate in
// well under half the time libarchive's inflater takes, which is nearly all the time the threads
// that read a ZIP file's entries ahead spend. libarchive still finds each entry and says where its
// data begin; this reads only an entry whose central directory record and local header agree on
// what it is, and hands on only data of the size and checksum they give. Whatever else there is
// (another method, encryption, ZIP64 sizes, headers that disagree, damaged data, a bad checksum)
// is left to libarchive, which reads it as it reads every entry and says what is wrong.
class ZipInflater {
public:
    // Entries packed in more bytes than this are left to libarchive, which needs no room for them.
    static constexpr qint64 MaxPacked = 32 * 1024 * 1024;
    // The largest central directory read.
    static constexpr qint64 MaxDirectory = 16 * 1024 * 1024;

    // The central directory of the ZIP file open in file, found as libarchive finds it (read here;
    // the file's position is kept).
    explicit ZipInflater(QFile& file);
    ~ZipInflater();
    ZipInflater(const ZipInflater&) = delete;
    ZipInflater& operator=(const ZipInflater&) = delete;

    // The data of the entry of size bytes whose data begin at offset in the file, checked against
    // its checksum; std::nullopt when it is not an entry read here or its data are not what its
    // headers say. The file's position is kept.
    std::optional<QByteArray> read(qint64 offset, qint64 size);

private:
    // What the central directory says of an entry.
    struct Record {
        qint64 header = 0; // where its local header begins
        quint32 packed = 0;
        quint32 size = 0;
        quint32 crc = 0;
        quint16 method = 0;
        bool readable = false; // stored or deflated, not encrypted, without ZIP64 sizes
    };
    void readDirectory();
    // The records of the central directory in bytes; false when they are not all as they should be.
    bool addRecords(const QByteArray& directory, qint64 correction);
    // The bytes of the file at offset, into bytes; false when they cannot all be read.
    bool bytesAt(qint64 offset, qint64 size, QByteArray& bytes);
    // Whether the local header before the data at offset agrees with the record.
    bool headerAgrees(const Record& record, qint64 offset);
    bool inflate(const Record& record, qint64 offset, QByteArray& data);

    QFile& m_file;
    qint64 m_fileSize = 0;
    std::vector<Record> m_records; // in the order of their local headers
    QByteArray m_packed;           // an entry's deflated data: the room kept from entry to entry
    libdeflate_decompressor* m_decompressor = nullptr;
};
