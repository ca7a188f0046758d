#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

struct archive;

// Archives made in memory with libarchive's writer, for the tests and the benchmarks: every kind the
// import reads but RAR, which libarchive does not write.
class ArchiveMaker {
public:
    enum class Kind { Zip, ZipStored, SevenZip, Tar, TarGz, TarBz2, TarXz };

    // With a passphrase, every entry of a ZIP is encrypted.
    explicit ArchiveMaker(Kind kind, const QByteArray& passphrase = QByteArray());
    ~ArchiveMaker();
    ArchiveMaker(const ArchiveMaker&) = delete;
    ArchiveMaker& operator=(const ArchiveMaker&) = delete;

    // An entry; its name is taken as bytes, so that one that is not UTF-8 stays as it is.
    ArchiveMaker& add(const QByteArray& name, const QByteArray& bytes);
    // An entry of size zero bytes, written a piece at a time.
    ArchiveMaker& addZeros(const QByteArray& name, qint64 size);
    // The archive, finished.
    QByteArray bytes();

    // An archive of the entries, named as bytes.
    static QByteArray make(Kind kind, const QList<std::pair<QByteArray, QByteArray>>& entries);
    // The 512-byte tar header of an entry that says it holds size bytes: with it a test writes the
    // tar of an entry too large to hold in memory (its data a hole of the file).
    static QByteArray tarHeader(const QByteArray& name, qint64 size);

private:
    void write(const QByteArray& name, qint64 size, const QByteArray* bytes);

    archive* m_archive;
    QByteArray m_bytes;
};
