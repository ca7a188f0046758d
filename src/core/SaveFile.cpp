#include "core/SaveFile.h"

#include <csignal>
#include <QFileInfo>

SaveFile::SaveFile(const QString& path) : m_save(path), m_direct(path) {}

QFileDevice& SaveFile::device() {
    if (m_isDirect)
        return m_direct;
    return m_save;
}

bool SaveFile::openForWriting() {
    // QFileInfo follows links, so a link to a device is written through as well. A temporary file
    // beside a device would be made in the device's folder (for root even in /dev) and renamed
    // over the device.
    const QFileInfo target(m_save.fileName());
    m_isDirect = target.exists() && !target.isFile() && !target.isDir();
    m_failed = false;
    return device().open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool SaveFile::writeAll(const QByteArray& bytes) {
    // A write that stops short (a disk filling up, a file-size limit) reports no reason; the next
    // one does.
    QFileDevice& file = device();
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            m_failed = true;
            return false;
        }
        done += written;
    }
    return true;
}

bool SaveFile::commit() {
    // After a failed write the temporary file is never renamed; it goes with this object.
    if (!m_isDirect)
        return !m_failed && m_save.commit();
    if (!m_direct.isOpen())
        return false;
    const bool flushed = m_direct.flush();
    const bool clean = m_direct.error() == QFileDevice::NoError;
    m_direct.close();
    return flushed && clean && !m_failed && m_direct.error() == QFileDevice::NoError;
}

void SaveFile::cancelWriting() {
    m_failed = true;
    if (!m_isDirect)
        m_save.cancelWriting();
}

QString SaveFile::errorString() const {
    return m_isDirect ? m_direct.errorString() : m_save.errorString();
}

void SaveFile::failWritesPastSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}
