#include "core/BuildTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString BuildTree::folder() {
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (programFolder.isEmpty())
        return QString();
    const QDir folder(programFolder);
    return QFileInfo(folder.filePath(MarkerName)).isFile() ? folder.absolutePath() : QString();
}
