#pragma once

#include <array>
#include <QDialog>

class Prompt;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class Progress;
class RunProgressBar;
class SBKModule;

// What the SSF export and import windows share: two options (opStyle_0, opStyle_1), a path field
// (txtFolder) with its Search button, a progress bar (Shape1) shown only while a run needs it, the
// report of every file (txtReport), and the buttons "Start ..." (cmdOk, enabled while the path
// field holds text) and Exit (cmdCancel). While a run goes on, every button is disabled.
class SsfDialog : public QDialog {
    Q_OBJECT
public:
    // The report of the runs so far, one line per file.
    QString report() const;

public slots:
    // Exit, the close box and Esc; ignored while a run goes on.
    void reject() override;

protected:
    SsfDialog(SBKModule& module, Prompt& prompt, QWidget* parent, const QString& name,
              const std::array<QString, 2>& options, const QString& pathLabel, const QString& startCaption);

    // Called by the buttons.
    virtual void cmdSearch_Click() = 0;
    virtual void cmdOk_Click() = 0;

    void setBusy(bool busy);
    // The bar shows during runs whose progress counts only when asked for.
    void setBarShown(bool shown);
    // What the engines report their progress to: the bar.
    Progress* progress() const;
    void addReport(const QString& line);
    void fail(const QString& text);
    QString path() const;

    SBKModule& m_module;
    Prompt& m_prompt;
    std::array<QRadioButton*, 2> m_opStyle{};
    QLineEdit* m_txtFolder;
    QPushButton* m_cmdSearch;
    QPushButton* m_cmdOk;
    QPushButton* m_cmdCancel;
    bool m_optionsUsable = true;

private:
    RunProgressBar* m_progressBar;
    QPlainTextEdit* m_txtReport;
    bool m_busy = false;
};
