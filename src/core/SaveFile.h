#pragma once

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

// How the program writes a file: through a temporary file beside the target that commit() renames
// into place (QSaveFile), so a failure leaves no partial file and keeps an older one. It writes
// unbuffered and goes on after a partial write, so that a failure carries the system's reason ("No
// space left on device") in errorString() instead of "Unknown error", and a write cut short by a
// size limit is a failure, never a shorter file renamed into place.
//
// A target that exists and is no regular file (a device such as /dev/full, a pipe) cannot be
// replaced by a renamed file, and must not be: it is written directly, every write checked the
// same way.
class SaveFile {
public:
    explicit SaveFile(const QString& path);

    bool openForWriting();
    // Writes every byte; false (with errorString() set) when the file system refuses some.
    bool writeAll(const QByteArray& bytes);
    // Ends the file: renames it into place, or closes the device; false when anything written
    // since openForWriting failed, or the rename or close fails.
    bool commit();
    // Nothing written so far reaches the target (a device has received it already).
    void cancelWriting();
    QString errorString() const;

    // Both programs call this first. Past a file-size limit ("ulimit -f") the system ends a
    // program with SIGXFSZ before its write returns: no message, and exit status 153. With the
    // signal ignored the write fails with EFBIG instead, and is reported as any other failure.
    static void failWritesPastSizeLimit();

private:
    QFileDevice& device();

    QSaveFile m_save;
    QFile m_direct;
    bool m_isDirect = false;
    bool m_failed = false;
};
