#pragma once

#include "sty/StyImport.h"

#include <array>
#include <memory>
#include <optional>
#include <QDialog>

class Prompt;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class RunProgressBar;
class SBKModule;

// The import window: styles from one STY file or archive (ImportMode 1) or from every STY file and
// archive of a folder (ImportMode 0) into the database, with a duplicate policy, the values
// attached to each new style, optionally the picker for each file, and the bank each file makes.
//
// The window and the engine share the run: the engine (StyImport) does the work one file at a time
// inside one transaction; the window takes the next file from its event loop, so between files it
// repaints, moves its progress bar (files done of the files counted first) and answers Cancel,
// which rolls the whole run back. While a run goes on, nothing can start a second one or leave.
//
// On leaving through Exit ImportMode is 99 when a run was started and -1 otherwise; the close box
// leaves it as it was. Whenever the window closes, StyleRecordset is refilled.
class frmStyImport : public QDialog {
    Q_OBJECT
public:
    frmStyImport(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);
    ~frmStyImport() override;

    void cmdSearch_Click();
    // The file (or folder) to import, as if chosen with Search: a file opened from the desktop.
    void setPath(const QString& path);
    // Starts the run; it goes on from the event loop and ends with runEnded().
    void cmdOk_Click();
    // Cancel: the run stops after the file at hand and is rolled back.
    void cmdStop_Click();
    // Exit.
    void cmdCancel_Click();
    bool isRunning() const { return m_running; }

signals:
    // A run ended: committed (after the log was offered), cancelled or stopped by an error.
    void runEnded();

public slots:
    void reject() override;
    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Why the run cannot start (no such file or folder, a value that cannot be stored); "" if it can.
    QString refusal() const;
    void importStep();
    void endCancelled();
    void endWithError(const QString& text);
    // The run is over; usable: the window may start another one (not after a failure).
    void leaveRun(bool usable);
    void setInputEnabled(bool enabled);
    void showProgress(StyImport::Stage stage, const QString& text);
    std::optional<StyImport::PickerAnswer> pick(const StyImport::PickerRequest& request);
    void showLabel(int index, const QString& text);

    SBKModule& m_module;
    Prompt& m_prompt;
    const bool m_folderMode;
    std::unique_ptr<StyImport> m_import;
    bool m_importRan = false;
    bool m_running = false;
    bool m_stopAsked = false;

    QLabel* m_label1;
    QLineEdit* m_txtFolder;
    QPushButton* m_cmdSearch;
    QCheckBox* m_chkSubFolders;
    QCheckBox* m_chkBank;
    QCheckBox* m_chkErrors;
    std::array<QRadioButton*, 3> m_opImport{};
    std::array<QLineEdit*, 3> m_txtField{};
    std::array<QLabel*, 3> m_lbStato{};
    RunProgressBar* m_pbFiles;
    QLabel* m_lbResult;
    QPushButton* m_cmdOk;
    QPushButton* m_cmdStop;
    QPushButton* m_cmdCancel;
    QList<QWidget*> m_inputs; // what a run locks: the path, the options and the values
};
