#pragma once

#include <array>
#include <QDialog>

class Prompt;
class QLabel;
class QLineEdit;
class QPushButton;
class RunProgressBar;
class SBKModule;

// Dumps the whole database to a PDD file and restores it from one. The progress bar shows only
// while a backup or restore runs, "CHECKING" only while a restore file is being checked; the
// buttons are disabled meanwhile so that no second run can start.
class frmBckpRstr : public QDialog {
    Q_OBJECT
public:
    frmBckpRstr(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    void cmdSearch_Click(int index);
    // The file to restore from, as if chosen with Search: a PDD file opened from the desktop. The
    // restore still starts with its button and asks its questions.
    void setRestoreFile(const QString& path);
    void cmbBackup_Click();
    void cmbRestore_Click();

private:
    void setBusy(bool busy);
    void fail(const QString& text);

    SBKModule& m_module;
    Prompt& m_prompt;
    std::array<QLineEdit*, 2> m_txtField{};
    QLabel* m_lbCheck;
    RunProgressBar* m_progressBar; // the engines' progress, counting records
    QList<QPushButton*> m_buttons;
    QPushButton* m_cmbRestore = nullptr;
};
