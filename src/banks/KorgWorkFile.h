#pragma once

#include <QSqlDatabase>
#include <QString>

class KORFLibrary;

// The work file "WRK.STY" that hands one style to the external KORG utility: an STY file holding
// just that style, for user bank 1 (byte 17), in the directory layout the style's blocks came in.
class KorgWorkFile {
public:
    static constexpr int UserBank = 17;

    // "WRK.STY" in the folder (the user's temporary folder when none is given), in the
    // platform's own form.
    static QString path(const QString& folder = QString());

    // Writes the stored style as the work file at path. False when the style is not stored (nothing
    // is written); throws SbkError when it cannot be read or the file cannot be written.
    static bool write(QSqlDatabase db, KORFLibrary& library, qint32 style, const QString& path);
};
