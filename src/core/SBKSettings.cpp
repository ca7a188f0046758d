#include "core/SBKSettings.h"

#include "core/SbkError.h"

#include <QSettings>

SBKSettings::SBKSettings()
    : m_settings(std::make_unique<QSettings>(QStringLiteral("SBK"), QStringLiteral("SBK"))) {}

SBKSettings::~SBKSettings() = default;

QString SBKSettings::value(const QString& section, const QString& key, const QString& defaultValue) const {
    return m_settings->value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void SBKSettings::setValue(const QString& section, const QString& key, const QString& value) {
    m_settings->setValue(section + QLatin1Char('/') + key, value);
    // QSettings writes through a temporary file renamed into place.
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw SbkError(QStringLiteral("Cannot write the settings file %1.").arg(m_settings->fileName()));
}

QString SBKSettings::fileName() const {
    return m_settings->fileName();
}
