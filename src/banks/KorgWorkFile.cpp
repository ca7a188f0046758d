#include "banks/KorgWorkFile.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "sty/StyMaker.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

QString KorgWorkFile::userFolder() {
#ifdef Q_OS_UNIX
    const QString folder = QDir(QDir::tempPath()).filePath(QStringLiteral("sbk-%1").arg(::getuid()));
    const QString shown = QDir::toNativeSeparators(folder);
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        throw SbkError(
            QStringLiteral("Cannot create the work folder %1: %2").arg(shown, qt_error_string(errno)));
    // The folder found there is used only when it is a real folder of this user's.
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        throw SbkError(
            QStringLiteral("Cannot read the work folder %1: %2").arg(shown, qt_error_string(errno)));
    const QString problem = S_ISLNK(info.st_mode)       ? QStringLiteral("is a link")
                            : !S_ISDIR(info.st_mode)    ? QStringLiteral("is not a folder")
                            : info.st_uid != ::getuid() ? QStringLiteral("belongs to another user")
                                                        : QString();
    if (!problem.isEmpty())
        throw SbkError(QStringLiteral("The work folder %1 %2, so SBK does not write the work file there. "
                                      "Remove it and try again.")
                           .arg(shown, problem));
    if ((info.st_mode & 077) != 0 && ::chmod(name.constData(), 0700) != 0)
        throw SbkError(
            QStringLiteral("Cannot make the work folder %1 private: %2").arg(shown, qt_error_string(errno)));
    return folder;
#else
    const QString folder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(QStringLiteral("sbk"));
    if (!QDir().mkpath(folder))
        throw SbkError(
            QStringLiteral("Cannot create the work folder %1.").arg(QDir::toNativeSeparators(folder)));
    return folder;
#endif
}

QString KorgWorkFile::path(const QString& folder) {
    return QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral("WRK.STY")));
}

bool KorgWorkFile::write(QSqlDatabase db, KORFLibrary& library, qint32 style, const QString& path) {
    DbKORFStyle table(db);
    table.setStyleProg(style);
    if (!table.GetKORFStylesNoContent()) {
        if (!table.clsKORFStylesError().isEmpty())
            throw SbkError(QStringLiteral("Cannot read the style %1: %2")
                               .arg(style)
                               .arg(Database::inWords(table.clsKORFStylesError())));
        return false;
    }
    // The blocks, names and kept directory entries come as for a bank file, so the style goes out
    // in the layout its blocks came in.
    KORFStyles styles;
    styles.Add(style, QString(), QString(), 0, 0, QByteArray(), QByteArray());
    StyMaker::refreshFromDatabase(styles, db);
    library.WriteStyleFromCollection(path, styles,
                                     StyMaker::writeOptions(styles, std::nullopt, UserBank, db));
    return true;
}
