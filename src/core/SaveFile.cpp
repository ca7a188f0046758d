#include "core/SaveFile.h"

bool SaveFile::writeAll(const QByteArray& bytes) {
    // A write that stops short (a disk filling up) reports no reason; the next one does.
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}
