#pragma once

#include <array>
#include <QDialog>

class Prompt;
class QCheckBox;
class QLineEdit;
class SBKModule;

// Asks for the family, group and author to give every style selected in the styles window. The
// fields open with ExchangeValue1 to ExchangeValue3 as the caller left them; "Update!" answers in
// the same three values: the text as typed, or code 26 where "Don't update!" is ticked; code 27 in
// ExchangeValue1 for Exit, or when all three are ticked. Applying the answer is the caller's job.
// "Update!" refuses, naming the field, a text that SSF and PDD files cannot carry.
class frmGroupEdit : public QDialog {
    Q_OBJECT
public:
    static inline const QChar Unchanged = QChar(26);
    static inline const QChar Cancelled = QChar(27);

    frmGroupEdit(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    void cmdOk_Click();
    void cmdCancel_Click();

public slots:
    void reject() override; // the close box and Esc answer like Exit

private:
    SBKModule& m_module;
    Prompt& m_prompt;
    std::array<QLineEdit*, 3> m_txtField{};
    std::array<QCheckBox*, 3> m_check1{};
};
