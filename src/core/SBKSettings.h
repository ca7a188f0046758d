#pragma once

#include <memory>
#include <QString>

class QSettings;

// The settings store, with its sections "PATH", "PARAMETERS" and "SSF". Every value is a string;
// an absent key reads as "". An installed program keeps the user's settings, organization and
// application "SBK" (on Linux the file ~/.config/SBK/SBK.conf); a program run from its build tree
// keeps settings of its own, the file SBK.conf beside it, so that a development run never decides
// where the installed program keeps its library. The environment variable SBK_SETTINGS names
// another file for both (the tests give each run its own).
class SBKSettings {
public:
    static inline const QString FileVariable = QStringLiteral("SBK_SETTINGS");
    static inline const QString BuildTreeFile = QStringLiteral("SBK.conf");
    static inline const QString Path = QStringLiteral("PATH");
    static inline const QString Parameters = QStringLiteral("PARAMETERS");
    static inline const QString Ssf = QStringLiteral("SSF");
    static inline const QString Database = QStringLiteral("DATABASE");
    static inline const QString KorgProg = QStringLiteral("KORGPROG");
    static inline const QString FloppyDrive = QStringLiteral("FLOPPYDRIVE");
    static inline const QString PaHdDrive = QStringLiteral("PAHDDRIVE");
    static inline const QString SbkBackup = QStringLiteral("SBKBACKUP");
    // The SoundFont that plays the styles; "" for the system's General MIDI SoundFont.
    static inline const QString SoundFont = QStringLiteral("SOUNDFONT");
    static inline const QString Export = QStringLiteral("EXPORT");
    // The styles window's shape: its size and place, and its grid's column widths.
    static inline const QString StylesWindow = QStringLiteral("STYLESWINDOW");
    static inline const QString Geometry = QStringLiteral("GEOMETRY");
    static inline const QString Columns = QStringLiteral("COLUMNS");
    // Whether the styles window shows its contents pane ("0" hides it), and the pane's share of the
    // window's height.
    static inline const QString Contents = QStringLiteral("CONTENTS");
    static inline const QString ContentsSplit = QStringLiteral("CONTENTSSPLIT");

    SBKSettings();
    ~SBKSettings();

    QString value(const QString& section, const QString& key, const QString& defaultValue = QString()) const;
    // Writes and flushes the value; throws SbkError when the store cannot be written.
    void setValue(const QString& section, const QString& key, const QString& value);
    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
