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
    // "does not exist" or "is no file", and what follows in the message.
    const auto refuse = [](const QString& path, const QString& more) {
        return SbkError(QStringLiteral("The sound font %1 %2%3.")
                            .arg(path,
                                 QFileInfo::exists(path) ? QStringLiteral("is no file")
                                                         : QStringLiteral("does not exist"),
                                 more));
    };
    if (!given.trimmed().isEmpty()) {
        if (!QFileInfo(given).isFile())
            throw refuse(given, QString());
        return given;
    }
    if (const QString set = setting.trimmed(); !set.isEmpty()) {
        if (!QFileInfo(set).isFile())
            throw refuse(set, QStringLiteral(" (the one of the settings); ") + WhereToSet);
        return set;
    }
    const QString found = systemDefault();
    if (found.isEmpty())
        throw SbkError(
            QStringLiteral("No sound font found: none is set and none of %1 exists; %2 (on Debian, "
                           "the package fluid-soundfont-gm installs one).")
                .arg(systemSoundFonts().join(QStringLiteral(", ")), WhereToSet));
    return found;
}
