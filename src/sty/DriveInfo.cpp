#include "sty/DriveInfo.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

bool DriveInfo::isReady(const QString& folder) const {
    if (folder.isEmpty())
        return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

qint64 DriveInfo::freeSpace(const QString& folder) const {
    const QStorageInfo storage(folder);
    return storage.isValid() && storage.isReady() ? storage.bytesAvailable() : -1;
}

bool DriveInfo::isRemovableVolumeRoot(const QString& folder) const {
    if (folder.isEmpty())
        return false;
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    const QStorageInfo storage(canonical);
    if (!storage.isValid() || !storage.isReady())
        return false;
    if (QDir::cleanPath(storage.rootPath()) != QDir::cleanPath(canonical))
        return false;
    // Memory and kernel file systems (/dev/shm, /run, /proc ...) are mount points too, but no disk.
    static const QList<QByteArray> virtualTypes{
        "tmpfs",     "ramfs",      "proc",    "sysfs",   "devtmpfs", "devpts",     "cgroup",
        "cgroup2",   "securityfs", "debugfs", "tracefs", "configfs", "fusectl",    "mqueue",
        "hugetlbfs", "pstore",     "bpf",     "autofs",  "efivarfs", "binfmt_misc"};
    if (virtualTypes.contains(storage.fileSystemType()))
        return false;
    const QStorageInfo system = QStorageInfo::root();
    const QString home = QFileInfo(QDir::homePath()).canonicalFilePath();
    const QStorageInfo homeVolume(home);
    if (storage.rootPath() == system.rootPath() || storage.device() == system.device())
        return false;
    if (storage.rootPath() == homeVolume.rootPath() || storage.device() == homeVolume.device())
        return false;
    // A folder above the home folder would take the home with it.
    const QString root = QDir::cleanPath(canonical);
    return !(home == root || home.startsWith(root + QLatin1Char('/')));
}
