#pragma once

#include <array>
#include <QDialog>
#include <QStringList>

class Prompt;
class QCheckBox;
class QLineEdit;
class SBKModule;

// The style picker of the import: one row per style of the file being imported, each with a tick
// box, and the family, group, author and description to attach. "Import Selected Styles" writes
// the ticks into PickedStyles (row r = the (r + 1)-th style of the file) and the four texts into
// ExchangeValue1 to ExchangeValue4, and closes the window; the close box leaves all of them as they
// were, so the import then applies the previous answer.
class frmStyContent : public QDialog {
    Q_OBJECT
public:
    static constexpr int RowCount = 32;

    frmStyContent(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    // Done by the import before it shows the window: the file's short name as caption, its styles
    // named and ticked, the rows beyond them empty, and the four values in their fields.
    void fill(const QString& shortName, const QStringList& styleNames, const std::array<QString, 4>& values);
    // 0 "Select All", 1 "Unselect All", 2 "Import Selected Styles".
    void Command1_Click(int index);

private:
    SBKModule& m_module;
    Prompt& m_prompt;
    std::array<QCheckBox*, RowCount> m_check1{};
    std::array<QLineEdit*, 4> m_txtField{};
};
