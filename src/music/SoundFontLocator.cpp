#include "music/SoundFontLocator.h"

#include "core/SbkError.h"

#include <QFileInfo>

namespace {

const QString WhereToSet =
    QStringLiteral("set one with \"Sound font\" in the Parameters dialog, or give one to "
                   "sbk-cli with --soundfont FILE");

} // namespace

const QStringList& SoundFontLocator::systemSoundFonts() {
    static const QStringList paths{QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"),
                                   QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
                                   QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2")};
    return paths;
}

QString SoundFontLocator::systemDefault() {
    for (const QString& path : systemSoundFonts())
        if (QFileInfo(path).isFile())
            return path;
    return QString();
}

QString SoundFontLocator::resolve(const QString& given, const QString& setting) {
    if (!given.trimmed().isEmpty()) {
        if (!QFileInfo(given).isFile())
            throw SbkError(QStringLiteral("The sound font %1 does not exist.").arg(given));
        return given;
    }
    if (!setting.trimmed().isEmpty()) {
        if (!QFileInfo(setting.trimmed()).isFile())
            throw SbkError(QStringLiteral("The sound font %1 of the settings does not exist; %2.")
                               .arg(setting.trimmed(), WhereToSet));
        return setting.trimmed();
    }
    const QString found = systemDefault();
    if (found.isEmpty())
        throw SbkError(
            QStringLiteral("No sound font found: none is set and none of %1 exists; %2 (on Debian, "
                           "the package fluid-soundfont-gm installs one).")
                .arg(systemSoundFonts().join(QStringLiteral(", ")), WhereToSet));
    return found;
}
