#pragma once

#include <QString>

// What the making of STY files needs to know about the folders it writes to: the floppy and the
// instrument's disk are folders (mount points). Tests replace it to play absent disks, full disks
// and mounted volumes.
class DriveInfo {
public:
    virtual ~DriveInfo() = default;

    // The folder exists and can be written.
    virtual bool isReady(const QString& folder) const;
    // Bytes available on the volume that holds the folder; -1 when unknown.
    virtual qint64 freeSpace(const QString& folder) const;
    // The folder is the root of a mounted volume other than the system's root volume and other
    // than the volume holding the user's home: the only kind of folder the floppy wipe may empty.
    virtual bool isRemovableVolumeRoot(const QString& folder) const;
};
