#include "core/FolderScan.h"

#include "core/SbkError.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QUtf8StringView>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace {

#ifdef Q_OS_UNIX
QList<FolderEntry> listFolder(const QString& folder) {
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        throw SbkError(
            QStringLiteral("The folder %1 cannot be read (%2).").arg(folder, qt_error_string(errno)));
    const QDir base(folder);
    QList<FolderEntry> entries;
    for (;;) {
        errno = 0;
        const dirent* item = ::readdir(dir);
        if (!item)
            break;
        const QByteArray bytes(item->d_name);
        if (bytes == "." || bytes == "..")
            continue;
        FolderEntry entry;
        const QString decoded = QFile::decodeName(bytes);
        const bool validName = QFile::encodeName(decoded) == bytes;
        entry.name = validName ? decoded : FolderScan::shownName(bytes);
        entry.path = base.filePath(entry.name);
        // The kind comes from the entry itself, so that a path too long to stat still shows a folder.
        struct stat info {};
        if (::fstatat(::dirfd(dir), item->d_name, &info, 0) == 0)
            entry.kind = S_ISDIR(info.st_mode)   ? InputFile::Kind::Folder
                         : S_ISREG(info.st_mode) ? InputFile::Kind::Regular
                                                 : InputFile::Kind::Other;
        if (!validName)
            // Qt cannot name this entry, so it cannot be opened by its path: it is reported instead.
            entry.problem = QStringLiteral(
                "has a name that is not valid UTF-8, so it cannot be opened (rename it to read it)");
        else if (entry.kind != InputFile::Kind::Folder)
            entry.problem = InputFile::status(entry.path).problem;
        entries.append(entry);
    }
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        throw SbkError(QStringLiteral("The folder %1 cannot be read to its end (%2).")
                           .arg(folder, qt_error_string(error)));
    return entries;
}
#else
QList<FolderEntry> listFolder(const QString& folder) {
    const QDir dir(folder);
    if (!dir.isReadable())
        throw SbkError(QStringLiteral("The folder %1 cannot be read.").arg(folder));
    QList<FolderEntry> entries;
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString& name : names) {
        FolderEntry entry;
        entry.name = name;
        entry.path = dir.filePath(name);
        const InputFile::Status status = InputFile::status(entry.path);
        entry.kind = status.kind;
        if (status.kind != InputFile::Kind::Folder)
            entry.problem = status.problem;
        entries.append(entry);
    }
    return entries;
}
#endif

} // namespace

QString FolderScan::shownName(const QByteArray& bytes) {
    QString shown;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = quint8(bytes.at(i));
        const qsizetype length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const QByteArray piece = bytes.mid(i, length);
        if (piece.size() == length && QUtf8StringView(piece).isValidUtf8()) {
            shown += QString::fromUtf8(piece);
            i += length;
        } else {
            shown += QStringLiteral("\\x") +
                     QString::number(lead, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            ++i;
        }
    }
    return shown;
}

QList<FolderEntry> FolderScan::entries(const QString& folder, Qt::CaseSensitivity nameCase) {
    QList<FolderEntry> entries = listFolder(folder);
    std::sort(entries.begin(), entries.end(), [nameCase](const FolderEntry& a, const FolderEntry& b) {
        const int order = a.name.compare(b.name, nameCase);
        return order != 0 ? order < 0 : a.name < b.name;
    });
    return entries;
}
