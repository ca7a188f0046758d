#pragma once

#include <array>
#include <QDialog>

class BankTreeModel;
class Prompt;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QRadioButton;
class QTreeView;
class SBKModule;

// The bank dialog: stores the working bank as a new bank, updates its stored bank, or loads a
// stored bank into the working bank. The mode comes from BankState when the dialog is made: 0 or 1
// load (the tree of all stored banks, with sorting, collapse and delete), 2 save as a new bank, 3
// update the bank whose number BankTable holds.
//
// The dialog reports only through the shared state: after a store or a load BankState is 1,
// BankTable holds the stored bank and (after a load) WorkingBankStyles its styles, and the dialog
// is accepted; the caller then shows the bank. Deleting the working bank's own stored bank turns
// the working bank into a new bank with changes (state 2).
class frmBankSave : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Load, Save, Update };

    frmBankSave(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    int SortIndex() const { return m_sortIndex; }
    qint32 SelectedBankNumber() const { return m_selectedBankNumber; }
    BankTreeModel* treeModel() const { return m_model; }
    QTreeView* tree() const { return m_tvBanks; }

    // Run by the caller before showing the dialog: in load mode fills the tree, and answers false
    // when no bank is stored (the dialog then is not shown). Other modes answer true.
    bool Form_Activate();
    // Refills the tree in the order SortIndex names; false when no bank is stored (the tree is
    // then left as it was).
    bool FillBankTree();
    void opSort_Click(int index);
    void cmdCollapse_Click();
    void cmdDelete_Click();
    void cmdOk_Click();

private:
    void tvBanks_Click(const QModelIndex& index);
    void showPicked(qint32 bankProg, const QString& name, const QString& desc);
    bool loadPicked();
    bool storeWorkingBank(bool update);
    void failed(const QString& text);

    SBKModule& m_module;
    Prompt& m_prompt;
    Mode m_mode;
    int m_sortIndex = 0;
    qint32 m_selectedBankNumber = 0;
    BankTreeModel* m_model;
    QTreeView* m_tvBanks;
    std::array<QLineEdit*, 2> m_txtField{};
    std::array<QRadioButton*, 4> m_opSort{};
    QPushButton* m_cmdCollapse;
    QPushButton* m_cmdDelete;
    QPushButton* m_cmdOk;
    QPushButton* m_cmdCancel;
};
