#include "core/InputFile.h"

#include "core/SbkError.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

[[noreturn]] void refuse(const QString& path, const QString& problem) {
    throw SbkError(QStringLiteral("%1 %2; it was not read.").arg(path, problem));
}

// Reads a large file in pieces, so that memory grows with what the file holds, not with the limit.
constexpr qint64 PieceSize = 1 << 20;

} // namespace

InputFile::Status InputFile::status(const QString& path) {
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        const int error = errno;
        struct stat link {};
        if (error == ENOENT && ::lstat(native.constData(), &link) == 0 && S_ISLNK(link.st_mode))
            return {Kind::Other, QStringLiteral("is a link whose target does not exist")};
        if (error == ENOENT)
            return {Kind::Missing, QStringLiteral("does not exist")};
        return {Kind::Other, QStringLiteral("cannot be read (%1)").arg(qt_error_string(error))};
    }
    if (S_ISREG(info.st_mode)) {
        // Refused by its permissions: a folder scan names it instead of failing on it later.
        if (::access(native.constData(), R_OK) != 0)
            return {Kind::Regular, QStringLiteral("cannot be read (%1)").arg(qt_error_string(errno))};
        return {Kind::Regular, QString()};
    }
    if (S_ISDIR(info.st_mode))
        return {Kind::Folder, QStringLiteral("is a folder, not a file")};
    if (S_ISFIFO(info.st_mode))
        return {Kind::Other, QStringLiteral("is a named pipe, not a regular file")};
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return {Kind::Other, QStringLiteral("is a device, not a regular file")};
    if (S_ISSOCK(info.st_mode))
        return {Kind::Other, QStringLiteral("is a socket, not a regular file")};
    return {Kind::Other, QStringLiteral("is not a regular file")};
#else
    const QFileInfo info(path);
    if (info.isSymLink() && !info.exists())
        return {Kind::Other, QStringLiteral("is a link whose target does not exist")};
    if (!info.exists())
        return {Kind::Missing, QStringLiteral("does not exist")};
    if (info.isDir())
        return {Kind::Folder, QStringLiteral("is a folder, not a file")};
    if (!info.isFile())
        return {Kind::Other, QStringLiteral("is not a regular file")};
    if (!info.isReadable())
        return {Kind::Regular, QStringLiteral("cannot be read (no read permission)")};
    return {Kind::Regular, QString()};
#endif
}

void InputFile::open(QFile& file, const QString& path) {
    const Status entry = status(path);
    if (entry.kind != Kind::Regular)
        refuse(path, entry.problem);
#ifdef Q_OS_UNIX
    // Opened without waiting and checked again, so that a pipe put in the file's place after the
    // check above cannot block the open either.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw SbkError(QStringLiteral("Cannot read the file %1: %2").arg(path, qt_error_string(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        refuse(path, QStringLiteral("is not a regular file"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw SbkError(QStringLiteral("Cannot read the file %1: %2").arg(path, file.errorString()));
    }
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SbkError(QStringLiteral("Cannot read the file %1: %2").arg(path, file.errorString()));
#endif
}

QByteArray InputFile::read(const QString& path, qint64 limit) {
    QFile file;
    open(file, path);
    // Read straight into the result, at most limit + 1 bytes (one more tells a file that is too
    // long); a file that grows while it is read makes the result grow a piece at a time.
    QByteArray bytes(qsizetype(qMin(file.size(), limit) + 1), Qt::Uninitialized);
    qsizetype size = 0;
    for (;;) {
        if (size == bytes.size()) {
            if (size > limit)
                break;
            bytes.resize(qsizetype(qMin<qint64>(limit + 1, size + PieceSize)));
        }
        const qint64 got = file.read(bytes.data() + size, bytes.size() - size);
        if (got <= 0)
            break;
        size += qsizetype(got);
    }
    bytes.resize(size);
    if (file.error() != QFileDevice::NoError)
        throw SbkError(QStringLiteral("Cannot read the file %1: %2").arg(path, file.errorString()));
    if (bytes.size() > limit)
        refuse(
            path,
            QStringLiteral("holds more than %1 bytes, more than a file of its kind ever holds").arg(limit));
    return bytes;
}
