#pragma once

#include <array>
#include <QDialog>

class Prompt;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class SBKModule;

// The database filter: six values that the listed styles must match (a value holding "%" is a
// pattern), a meter (one of those the stored styles have), a tempo range, "Damaged styles only" and
// "Similar to the selected style, at least N %", and six sort keys. It opens with the entries of the
// filter in use (FilterFields, FilterMeter, FilterTempoFrom, FilterTempoTo, FilterDamaged,
// FilterSimilarTo and FilterSimilarPercent), and "Set filter on" stores them with the clauses they
// give (FilterWhere with its FilterValues, and FilterOrder); Exit changes nothing. Refreshing the grid is the
// caller's job.
class frmStyFilter : public QDialog {
    Q_OBJECT
public:
    static constexpr int FieldCount = 6;

    frmStyFilter(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    // The style selected in the grid, which the likeness is measured against; without one (or
    // for a style without notes) that choice is disabled, and says why.
    void setSelectedStyle(qint32 prog, const QString& name);

    void cmdEmpty_Click(int index);
    void cmdOk_Click();

private:
    SBKModule& m_module;
    Prompt& m_prompt;
    std::array<QLineEdit*, FieldCount> m_txtField{};
    std::array<QComboBox*, FieldCount> m_cmdOrder{};
    std::array<QCheckBox*, FieldCount> m_chDesc{};
    QComboBox* m_cbMeter = nullptr;
    std::array<QSpinBox*, 2> m_txtTempo{}; // from, to; 0 shows "any"
    QCheckBox* m_chkDamaged = nullptr;
    QCheckBox* m_chkSimilar = nullptr;
    QSpinBox* m_txtSimilar = nullptr;
    QLabel* m_lbSimilar = nullptr;
    qint32 m_selected = 0;
};
