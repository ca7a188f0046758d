#pragma once

#include "core/Progress.h"

#include <array>
#include <QDialog>

class Prompt;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class SBKModule;

// Dumps the whole database to a PDD file and restores it from one. The progress bar shows only
// while a backup or restore runs, "CHECKING" only while a restore file is being checked; the
// buttons are disabled meanwhile so that no second run can start.
class frmBckpRstr : public QDialog, private Progress {
    Q_OBJECT
public:
    frmBckpRstr(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    void cmdSearch_Click(int index);
    void cmbBackup_Click();
    void cmbRestore_Click();

private:
    // Progress of the engines: the bar and a repaint after every record.
    void begin(qint64 total, const QString& label) override;
    void step(qint64 done, const QString& text) override;
    void end() override;
    void setBusy(bool busy);
    void fail(const QString& text);

    SBKModule& m_module;
    Prompt& m_prompt;
    std::array<QLineEdit*, 2> m_txtField{};
    QLabel* m_lbCheck;
    QProgressBar* m_progressBar;
    QList<QPushButton*> m_buttons;
    qint64 m_total = 0;
};
