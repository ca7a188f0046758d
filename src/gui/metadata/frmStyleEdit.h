#pragma once

#include <array>
#include <QDialog>

class Prompt;
class QLabel;
class QLineEdit;
class SBKModule;

// Edits the descriptive texts of the style held by the shared StyleTable (loaded by the caller
// without its contents). Update writes the six texts into StyleTable and answers code 28 in
// ExchangeValue1; Exit answers code 27 and leaves StyleTable alone. Storing is the caller's job.
// Update refuses, naming the field, a text that SSF and PDD files cannot carry.
class frmStyleEdit : public QDialog {
    Q_OBJECT
public:
    static inline const QChar Confirmed = QChar(28);
    static inline const QChar Cancelled = QChar(27);

    frmStyleEdit(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    void cbUpdate_Click();
    void cbExit_Click();

public slots:
    void reject() override; // the close box and Esc answer like Exit

private:
    SBKModule& m_module;
    Prompt& m_prompt;
    std::array<QLineEdit*, 6> m_txtField{};
};
