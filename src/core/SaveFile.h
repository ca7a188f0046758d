#pragma once

#include <QByteArray>
#include <QSaveFile>

// How the program writes a file: through a temporary file beside the target that commit() renames
// into place (QSaveFile), so a failure leaves no partial file and keeps an older one. It writes
// unbuffered and goes on after a partial write, so that a failure carries the system's reason ("No
// space left on device") in errorString() instead of "Unknown error".
class SaveFile : public QSaveFile {
public:
    using QSaveFile::QSaveFile;

    bool openForWriting() { return open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    // Writes every byte; false (with errorString() set) when the file system refuses some.
    bool writeAll(const QByteArray& bytes);
};
