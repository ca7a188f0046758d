#include "core/SbkVersion.h"

QString SbkVersion::title() {
    return QStringLiteral("SBK") + QLatin1Char(' ') + QStringLiteral(SBK_VERSION_MAJOR) + QLatin1Char('.') +
           QStringLiteral(SBK_VERSION_MINOR);
}
