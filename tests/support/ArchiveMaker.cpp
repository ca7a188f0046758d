#include "ArchiveMaker.h"

#include "core/SbkError.h"

#include <archive.h>
#include <archive_entry.h>

namespace {

la_ssize_t append(archive*, void* data, const void* buffer, size_t size) {
    static_cast<QByteArray*>(data)->append(static_cast<const char*>(buffer), qsizetype(size));
    return la_ssize_t(size);
}

void check(archive* handle, int result) {
    if (result < ARCHIVE_WARN)
        throw SbkError(QStringLiteral("making an archive: %1")
                           .arg(QString::fromLocal8Bit(archive_error_string(handle))));
}

} // namespace

ArchiveMaker::ArchiveMaker(Kind kind, const QByteArray& passphrase) : m_archive(archive_write_new()) {
    switch (kind) {
    case Kind::Zip:
    case Kind::ZipStored:
        check(m_archive, archive_write_set_format_zip(m_archive));
        if (kind == Kind::ZipStored)
            check(m_archive, archive_write_set_options(m_archive, "zip:compression=store"));
        if (!passphrase.isEmpty()) {
            check(m_archive, archive_write_set_options(m_archive, "zip:encryption=zipcrypt"));
            check(m_archive, archive_write_set_passphrase(m_archive, passphrase.constData()));
        }
        break;
    case Kind::SevenZip:
        check(m_archive, archive_write_set_format_7zip(m_archive));
        break;
    default:
        check(m_archive, archive_write_set_format_pax_restricted(m_archive));
        if (kind == Kind::TarGz)
            check(m_archive, archive_write_add_filter_gzip(m_archive));
        else if (kind == Kind::TarBz2)
            check(m_archive, archive_write_add_filter_bzip2(m_archive));
        else if (kind == Kind::TarXz)
            check(m_archive, archive_write_add_filter_xz(m_archive));
        break;
    }
    check(m_archive, archive_write_set_bytes_in_last_block(m_archive, 1));
    check(m_archive, archive_write_open(m_archive, &m_bytes, nullptr, &append, nullptr));
}

ArchiveMaker::~ArchiveMaker() {
    archive_write_free(m_archive);
}

ArchiveMaker& ArchiveMaker::add(const QByteArray& name, const QByteArray& bytes) {
    write(name, bytes.size(), &bytes);
    return *this;
}

ArchiveMaker& ArchiveMaker::addZeros(const QByteArray& name, qint64 size) {
    write(name, size, nullptr);
    return *this;
}

void ArchiveMaker::write(const QByteArray& name, qint64 size, const QByteArray* bytes) {
    archive_entry* entry = archive_entry_new();
    archive_entry_copy_pathname(entry, name.constData());
    archive_entry_set_filetype(entry, name.endsWith('/') ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, name.endsWith('/') ? 0 : size);
    archive_entry_set_mtime(entry, 1717243200, 0); // 2024-06-01 12:00 UTC
    check(m_archive, archive_write_header(m_archive, entry));
    archive_entry_free(entry);
    if (bytes) {
        if (!bytes->isEmpty())
            check(m_archive, int(qMin<la_ssize_t>(0, archive_write_data(m_archive, bytes->constData(),
                                                                        size_t(bytes->size())))));
        return;
    }
    const QByteArray zeros(1 << 20, '\0');
    for (qint64 left = size; left > 0; left -= zeros.size())
        check(m_archive,
              int(qMin<la_ssize_t>(0, archive_write_data(m_archive, zeros.constData(),
                                                         size_t(qMin<qint64>(left, zeros.size()))))));
}

QByteArray ArchiveMaker::bytes() {
    check(m_archive, archive_write_close(m_archive));
    return m_bytes;
}

QByteArray ArchiveMaker::make(Kind kind, const QList<std::pair<QByteArray, QByteArray>>& entries) {
    ArchiveMaker maker(kind);
    for (const auto& [name, bytes] : entries)
        maker.add(name, bytes);
    return maker.bytes();
}

QByteArray ArchiveMaker::tarHeader(const QByteArray& name, qint64 size) {
    QByteArray header(512, '\0');
    const auto field = [&header](int offset, const QByteArray& value) {
        header.replace(offset, value.size(), value);
    };
    field(0, name.left(99));
    field(100, "0000644");
    field(108, "0000000");
    field(116, "0000000");
    field(124, QByteArray::number(size, 8).rightJustified(11, '0'));
    field(136, QByteArray::number(1717243200, 8).rightJustified(11, '0'));
    field(148, QByteArray(8, ' '));
    field(156, "0");
    field(257, QByteArray("ustar\0"
                          "00",
                          8));
    int sum = 0;
    for (const char c : header)
        sum += quint8(c);
    field(148, QByteArray::number(sum, 8).rightJustified(6, '0') + QByteArray("\0 ", 2));
    return header;
}
