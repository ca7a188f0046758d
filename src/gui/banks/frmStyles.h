#pragma once

#include "banks/WorkingBank.h"

#include <array>
#include <QColor>
#include <QDialog>
#include <QMap>
#include <QPoint>

class ContentsPane;
class Prompt;
class QAction;
class QGroupBox;
class QHelpEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QTableView;
class SBKModule;
class SimilarStylesPane;
class StyleGridModel;
class WorkingBankModel;

// The styles window, the program's workplace: the style grid with its sorting header and a find
// field on the left, the working bank of 32 slots on the right, and the File, Styles and Banks
// menus. The window grows with the screen, opens within it, and keeps its shape and the grid's
// columns (which ones show, chosen from the header's menu, and their widths) in the settings
// (section "STYLESWINDOW"); grid rows drag onto the bank's slots, and slots drag to new places.
//
// Below the grid, the contents pane shows and plays the grid's current style (View menu; Space in the
// grid plays and stops, Esc stops before it empties the find field or closes the window). Beside
// the grid, "Similar styles" (Styles menu and the grid's context menu) lists the styles whose notes
// are most like the current style; choosing one there makes it the grid's current style.
//
// Menu items are QActions named after their menu and index ("mbank_0", "mStyles_8"), kept enabled
// or disabled as the window's state asks. Their commands live in frmStylesCommands.cpp.
class frmStyles : public QDialog {
    Q_OBJECT
public:
    static QColor lightRed() { return QColor(255, 192, 192); }
    static QColor lightGreen() { return QColor(192, 255, 192); }
    static QColor slotSelected() { return QColor(255, 255, 0); }
    static QColor slotFilled() { return QColor(255, 255, 255); }
    static QColor slotEmpty() { return QColor(224, 224, 224); }
    // The sort key of a header column ("STYLEPROG", "STYLENAME1", ..., "BANKS").
    static QString sortKey(int button);

    frmStyles(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);
    ~frmStyles() override;

    // The menu item of menu "mFile", "mStyles" or "mbank" with its index in that menu.
    QAction* command(const QString& menu, int index) const;
    WorkingBank& bank() { return m_bank; }
    // The grid's rows are the model's: while the find field narrows the listing they are not the
    // rows of StyleRecordset, so commands read a row's style through gridModel()->styleNumber(row).
    StyleGridModel* gridModel() const { return m_model; }
    QTableView* grid() const { return m_grid; }
    WorkingBankModel* bankModel() const { return m_bankModel; }
    QLineEdit* findField() const { return m_txtFind; }
    // The header's context menu: an item "mColumns_N" for each column N, ticked while it shows.
    QMenu* columnsMenu() const { return m_columnsMenu; }
    ContentsPane* contentsPane() const { return m_contents; }
    SimilarStylesPane* similarPane() const { return m_similar; }
    // The grid's context menu: "Similar styles" and the commands on the selected styles.
    QMenu* gridMenu() const { return m_gridMenu; }

    // Refills the grid from StyleRecordset as it stands, then the count caption and the menus.
    void RefreshStyleGrid();
    // StyleRecordset := the listing with the filter in use; a clause the database refuses is
    // reported and leaves an empty grid.
    void queryListing();
    void cbTitle_Click(int index);
    void grdStyles_DblClick(int row);
    void lbNewStyle_Click(int slot);
    // The menus' click handlers, by the item's index.
    void mFile_Click(int index);
    void mStyles_Click(int index);
    void mbank_Click(int index);
    void mView_Click(int index);
    void ClearWorkingBank();
    void ShowWorkingBank();
    void UpdateBankMenu();
    // After a stored bank was put into BankTable: shows it as the working bank, state 1.
    void showStoredBank();
    // GridAnchorRow and GridEndRow := the first and last selected grid rows (-1 without rows).
    void recordSelection();

public slots:
    // Closing asks first when the working bank holds unsaved changes.
    void reject() override;
    // Closing keeps the window's shape in the settings.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Esc stops playing first, then empties the find field; only then does Esc close the window.
    void keyPressEvent(QKeyEvent* event) override;
    // A window without a stored layout gives the contents pane its height when it first shows.
    void showEvent(QShowEvent* event) override;

private:
    // Commands, one handler each (frmStylesCommands.cpp).
    void importStyles(int mode);
    void updateGroup();
    void deleteGroup();
    void exportToSsf();
    void importFromSsf();
    void setFilter();
    void resetFilter();
    void whereIs();
    void sendToKorgUtility();
    void findDuplicates();
    // "Similar styles": the pane beside the grid lists the styles like the current one.
    void showSimilarStyles();
    // A style chosen in that pane becomes the grid's current style: the find field is emptied when
    // it hides the style; a style the filter in use leaves out is shown and played by the contents
    // pane alone, and the pane says why the grid does not show it.
    void chooseSimilar(qint32 prog);
    void saveBank(bool asNew);
    void loadBank();
    void exportBankToSsf();
    void makeStyFile();
    bool storedBankReady(const QString& emptyText, const QString& unsavedText);
    void printBank();
    // The frBank caption and lbBankDesc after the working bank was stored under BankTable's name.
    void showBankIdentity();

    // The header colour of a column, with the sort arrow that goes with it.
    void setHeaderColour(int button, const QColor& colour);
    void setSlot(int slot, const QString& caption, const QColor& colour);
    void updateStylesMenu();
    void findAsYouType(const QString& text);
    // After the grid's rows changed: the first row current, the found count and the menus.
    void showNewRows();
    // Sizes taken from the font: columns, slots, the bank buttons and the description (shorter or
    // narrower where the screen has not the room for them in full). frmStylesLayout.cpp.
    void sizeFromFont();
    void sizeBankPanel(bool shorter, bool narrower);
    QSize minimumWindowSize();
    QSize defaultSize() const;
    void restoreWindowLayout();
    void saveWindowLayout();
    void buildColumnsMenu();
    void showColumn(int column, bool shown);
    // The contents pane below the grid, the two in a splitter (frmStylesLayout.cpp).
    void buildContentsPane();
    void showContents(bool shown);
    // The similar styles' pane beside the grid, the two in a splitter, and the grid's context menu
    // (frmStylesLayout.cpp).
    void buildSimilarPane();
    void showSimilarPane(bool shown);
    void buildGridMenu();
    // The contents pane follows the grid's current style.
    void followCurrentStyle();
    // The banks column's texts, read while the column shows.
    void refreshBanksColumn();
    // The tooltip of a grid cell whose text is cut: the whole text.
    bool showCutCellTip(QHelpEvent* event);
    bool bankPanelEvent(QEvent* event);
    bool slotEvent(int slot, QEvent* event);
    int slotAt(const QPoint& pos) const;
    void markDropSlot(int slot);

    SBKModule& m_module;
    Prompt& m_prompt;
    WorkingBank m_bank;
    StyleGridModel* m_model;
    QGroupBox* m_frStyle;
    QTableView* m_grid;
    QLineEdit* m_txtFind;
    QLabel* m_lbFound;
    QGroupBox* m_frBank;
    WorkingBankModel* m_bankModel;
    QLabel* m_lbBankDesc;
    std::array<QPushButton*, 2> m_cmdBank{};
    std::array<QLabel*, WorkingBank::SlotCount> m_lbNewStyle{};
    QMap<QString, QAction*> m_commands; // "mFile_0" ... "mbank_15"
    QMenu* m_columnsMenu = nullptr;
    QSplitter* m_split;
    ContentsPane* m_contents;
    QSplitter* m_sideSplit = nullptr;
    SimilarStylesPane* m_similar = nullptr;
    QMenu* m_gridMenu = nullptr;
    bool m_splitPending = false;
    QPoint m_pressPos;   // where the mouse went down on a slot, for dragging it
    int m_dropSlot = -1; // the slot marked as where a drop lands
};
