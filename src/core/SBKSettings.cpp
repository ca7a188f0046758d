#include "core/SBKSettings.h"

#include "core/BuildTree.h"
#include "core/SbkError.h"

#include <filesystem>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryFile>

namespace {

std::unique_ptr<QSettings> openStore() {
    QString file = qEnvironmentVariable(qPrintable(SBKSettings::FileVariable));
    if (const QString buildTree = BuildTree::folder(); file.isEmpty() && !buildTree.isEmpty())
        file = QDir(buildTree).filePath(SBKSettings::BuildTreeFile);
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QStringLiteral("SBK"), QStringLiteral("SBK"));
}

} // namespace

SBKSettings::SBKSettings() : m_settings(openStore()) {}

SBKSettings::~SBKSettings() = default;

QString SBKSettings::value(const QString& section, const QString& key, const QString& defaultValue) const {
    return m_settings->value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void SBKSettings::setValue(const QString& section, const QString& key, const QString& value) {
    const QString name = section + QLatin1Char('/') + key;
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // QSettings reports no error for a write cut short (a full disk, a file-size limit) and renames
    // the cut file into place. So the settings are written as a copy beside the file, read back,
    // and the copy replaces the file only when it holds every value.
    m_settings->sync();
    const QString file = m_settings->fileName();
    const QString copy = file + QStringLiteral(".new");
    QFile::remove(copy);
    QMap<QString, QVariant> expected;
    for (const QString& stored : m_settings->allKeys())
        expected.insert(stored, m_settings->value(stored));
    expected.insert(name, value);
    bool written = false;
    {
        QSettings out(copy, QSettings::IniFormat);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it)
            out.setValue(it.key(), it.value());
        out.sync();
        written = out.status() == QSettings::NoError;
    }
    if (written) {
        // Read back from the disk: QSettings keeps what it wrote in memory for the file's name, so
        // the bytes are read under a name it has never seen.
        QFile bytes(copy);
        QTemporaryFile check(copy + QStringLiteral(".XXXXXX"));
        written = bytes.open(QIODevice::ReadOnly) && check.open();
        const QByteArray content = written ? bytes.readAll() : QByteArray();
        written = written && check.write(content) == content.size() && check.flush();
        check.close();
        const QSettings back(check.fileName(), QSettings::IniFormat);
        written = written && back.status() == QSettings::NoError && back.allKeys().size() == expected.size();
        for (auto it = expected.cbegin(); written && it != expected.cend(); ++it)
            written = back.value(it.key()) == it.value();
    }
    std::error_code error;
    if (written)
        std::filesystem::rename(QFileInfo(copy).filesystemAbsoluteFilePath(),
                                QFileInfo(file).filesystemAbsoluteFilePath(), error);
    if (!written || error) {
        QFile::remove(copy);
        throw SbkError(QStringLiteral("Cannot write the settings file %1%2; it was not changed.")
                           .arg(file, error ? QStringLiteral(": ") + QString::fromStdString(error.message())
                                            : QString()));
    }
    m_settings->sync(); // reads the new file
#else
    m_settings->setValue(name, value);
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw SbkError(QStringLiteral("Cannot write the settings file %1.").arg(m_settings->fileName()));
#endif
}

QString SBKSettings::fileName() const {
    return m_settings->fileName();
}
