#pragma once

#include <QSqlDatabase>
#include <QString>

class KORFLibrary;

// The work file "WRK.STY" that hands one style to the external KORG utility: an STY file holding
// just that style, for user bank 1 (byte 17), in the directory layout the style's blocks came in.
class KorgWorkFile {
public:
    static constexpr int UserBank = 17;

    // The user's own work folder, made when it is missing: on Unix "<temp>/sbk-<uid>", readable
    // by the user alone, so that no other user can plant a link where the work file goes; elsewhere
    // "sbk" in the user's temporary folder. Throws SbkError naming the folder when it cannot be
    // made, or when it is a link, not a folder, or another user's.
    static QString userFolder();

    // "WRK.STY" in the folder, in the platform's own form.
    static QString path(const QString& folder);

    // Writes the stored style as the work file at path. False when the style is not stored (nothing
    // is written); throws SbkError when it cannot be read or the file cannot be written.
    static bool write(QSqlDatabase db, KORFLibrary& library, qint32 style, const QString& path);
};
