#pragma once

#include <array>
#include <QDialog>

class Prompt;
class QLabel;
class QLineEdit;
class QPushButton;
class SBKModule;

// Edits the paths kept in the settings: database, KORG utility, floppy disk, backup file and the
// sound font that plays the styles. Saving checks the database, the utility and the sound font,
// stores them all and switches to the new database when its path changed.
class frmParameters : public QDialog {
    Q_OBJECT
public:
    static inline const QString CheckTitle = QStringLiteral("Save Parameters Value");

    frmParameters(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    void cmdSearch_Click(int index);
    void cmdOk_Click();

    // Whether the file systems this program runs on ignore the case of names. Only there are
    // paths upper-cased and compared without case; elsewhere "/home/ann/Styles" and
    // "/HOME/ANN/STYLES" are different folders.
    static bool fileSystemIgnoresCase();
    // A path as it is stored: trimmed, and upper-cased where case does not matter.
    static QString storedForm(const QString& text);
    static bool samePath(const QString& a, const QString& b);

private:
    SBKModule& m_module;
    Prompt& m_prompt;
    std::array<QLineEdit*, 5> m_txtField{};
};
