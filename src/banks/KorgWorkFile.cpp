#include "banks/KorgWorkFile.h"

#include "core/SbkError.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "sty/StyMaker.h"

#include <QDir>

QString KorgWorkFile::path(const QString& folder) {
    return QDir::toNativeSeparators(
        QDir(folder.isEmpty() ? QDir::tempPath() : folder).filePath(QStringLiteral("WRK.STY")));
}

bool KorgWorkFile::write(QSqlDatabase db, KORFLibrary& library, qint32 style, const QString& path) {
    DbKORFStyle table(db);
    table.setStyleProg(style);
    if (!table.GetKORFStylesNoContent()) {
        if (!table.clsKORFStylesError().isEmpty())
            throw SbkError(
                QStringLiteral("Cannot read the style %1: %2").arg(style).arg(table.clsKORFStylesError()));
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
