#pragma once

#include "banks/DuplicateStyles.h"

#include <array>
#include <memory>
#include <QDialog>
#include <QHash>

class DialogProgress;
class DuplicateReport;
class DuplicateTreeModel;
class Progress;
class Prompt;
class QCheckBox;
class QComboBox;
class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;
class SBKModule;

// The duplicates window (Styles menu, "Find duplicates..."): the groups of copies of the kinds
// ticked (chkKind_0..2: exact, renamed, same music with other settings; exact copies alone at
// first) in a tree, each with its
// styles and the bank slots that hold them, and in each group the style to keep, chosen by a rule
// (cboKeep: the oldest, the newest, the one in most bank slots) or by a click on its radio button.
// "Merge selected groups" and "Merge all" ask first, naming how many styles go and what the styles
// of groups that are not exact copies differ in (No preset), then merge in one
// run with a progress dialog whose Cancel undoes the run. The report prints, saves as PDF and
// exports as CSV. A double click on a style edits it as the styles window does.
class frmDuplicates : public QDialog {
    Q_OBJECT
public:
    frmDuplicates(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);
    ~frmDuplicates() override;

    DuplicateTreeModel* treeModel() const { return m_model; }
    QTreeView* tree() const { return m_tvGroups; }
    // The progress merges report to; nullptr gives back the window's progress dialog with Cancel.
    void setProgress(Progress* progress);

    // Lists the groups of the ticked kinds anew; a style chosen to be kept stays chosen while it is
    // in a group.
    void refresh();
    // The groups whose rows (or any of whose styles' rows) are selected, in tree order.
    QList<int> selectedGroups() const;

    void cmdMerge_Click();
    void cmdMergeAll_Click();
    void cmdPrint_Click();
    void cmdPdf_Click();
    void cmdCsv_Click();
    void cboKeep_Click(int index);
    void tvGroups_DblClick(const QModelIndex& index);

    // What the window changed, for the styles window: each deleted copy with the style kept in its
    // place, and whether any style was deleted or edited.
    const QHash<qint32, qint32>& replaced() const { return m_replaced; }
    bool stylesChanged() const { return m_stylesChanged; }

private:
    QList<DuplicateStyles::Kind> tickedKinds() const;
    DuplicateStyles::KeepRule rule() const;
    void merge(const QList<int>& rows);
    // Asks for a file and writes the report there; a failure is told, and so is the file written.
    void saveReport(const QString& filter, const QString& proposed,
                    void (DuplicateReport::*write)(const QString&) const);
    void showCounts();
    void updateButtons();
    // Every column as wide as its caption and its contents; the window as wide as the columns,
    // within the screen.
    void sizeColumns();
    void sizeWindow();

    SBKModule& m_module;
    Prompt& m_prompt;
    DuplicateTreeModel* m_model;
    QTreeView* m_tvGroups;
    std::array<QCheckBox*, 4> m_chkKind{};
    QComboBox* m_cboKeep;
    QLabel* m_lblCount;
    QLabel* m_lblResult;
    QPushButton* m_cmdMerge;
    QPushButton* m_cmdMergeAll;
    std::array<QPushButton*, 3> m_cmdReport{}; // print, PDF, CSV
    std::unique_ptr<DialogProgress> m_dialogProgress;
    Progress* m_progress = nullptr;
    QHash<qint32, qint32> m_replaced;
    bool m_stylesChanged = false;
};
