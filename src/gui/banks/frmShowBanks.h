#pragma once

#include <QDialog>

class BankTreeModel;
class Prompt;
class QModelIndex;
class QTreeView;
class SBKModule;

// The where-is window: every stored bank that holds the style WhereIsStyleNumber names, in name
// order, with each bank's styles beneath it and the searched style bold and blue wherever it
// occurs. A double click on a bank loads it into the working bank (BankTable, WorkingBankStyles,
// BankState 1) and accepts the window; the caller then shows the bank. Any key closes the window.
class frmShowBanks : public QDialog {
    Q_OBJECT
public:
    frmShowBanks(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    BankTreeModel* treeModel() const { return m_model; }
    QTreeView* tree() const { return m_tvBanks; }

    // Run by the caller before showing the window: fills the tree; when no bank holds the style it
    // says so and answers false (the window then is not shown).
    bool Form_Activate();
    void tvBanks_DblClick(const QModelIndex& index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    SBKModule& m_module;
    Prompt& m_prompt;
    BankTreeModel* m_model;
    QTreeView* m_tvBanks;
};
