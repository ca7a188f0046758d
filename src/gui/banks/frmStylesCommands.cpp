// The commands of the styles window's File, Styles and Banks menus: one handler per command, each
// gathering its input from the window and the shared state, calling the engine or opening its
// dialog, and showing the result.

#include "gui/banks/frmStyles.h"

#include "banks/BankPage.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "gui/banks/BankPrinter.h"
#include "gui/banks/frmBankSave.h"
#include "gui/banks/frmDuplicates.h"
#include "gui/banks/frmShowBanks.h"
#include "gui/banks/KorgUtility.h"
#include "gui/banks/SimilarStylesPane.h"
#include "gui/banks/StyleGridModel.h"
#include "gui/interchange/frmSSFExport.h"
#include "gui/interchange/frmSSFImport.h"
#include "gui/main/WindowOpener.h"
#include "gui/metadata/frmGroupEdit.h"
#include "gui/metadata/frmStyFilter.h"
#include "gui/music/ContentsPane.h"
#include "gui/sty/frmMakeBank.h"
#include "gui/sty/frmStyImport.h"
#include "metadata/StyleGroup.h"
#include "music/StyleMusicReader.h"
#include "session/SBKModule.h"
#include "store/DbKORFStyle.h"

#include <algorithm>
#include <optional>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QTableView>
#include <QTableWidget>

namespace {

// After a window that may have loaded a stored bank: the loaded bank, or else the working bank
// as it is, from its first slot.
void showAfterLoading(frmStyles& window, bool loaded) {
    if (loaded) {
        window.showStoredBank();
        return;
    }
    window.bank().setSelectedSlot(window.bank().count() > 0 ? 0 : -1);
    window.ShowWorkingBank();
    window.UpdateBankMenu();
}

// The style numbers of the rows a Styles command acts on (GridAnchorRow to GridEndRow), top down.
QList<qint32> selectedStyles(const frmStyles& window, const SBKModule& module) {
    QList<qint32> styles;
    if (module.GridAnchorRow >= 0)
        for (int row = module.GridAnchorRow; row <= module.GridEndRow; ++row)
            styles << window.gridModel()->styleNumber(row);
    return styles;
}

// The grid's current row, -1 without one.
int currentRow(const frmStyles& window) {
    const QModelIndex current = window.grid()->currentIndex();
    return current.isValid() && current.row() < window.gridModel()->rowCount() ? current.row() : -1;
}

// Lists the styles anew and keeps the place in view: with follow, the row where the style of that
// row is listed now; else, or when it is gone, the row at the same place (the last when the list
// got shorter).
void refreshKeepingPlace(frmStyles& window, int place, bool follow) {
    const StyleGridModel* model = window.gridModel();
    follow = follow && place >= 0 && place < model->rowCount();
    const qint32 followed = follow ? model->styleNumber(place) : 0;
    window.queryListing();
    window.RefreshStyleGrid();
    int row = -1;
    for (int r = 0; follow && r < model->rowCount() && row < 0; ++r)
        if (model->styleNumber(r) == followed)
            row = r;
    if (row < 0)
        row = std::min(place, model->rowCount() - 1);
    if (row < 0)
        return;
    const QModelIndex index = model->index(row, 1);
    window.grid()->setCurrentIndex(index);
    window.grid()->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

// After the grid was listed anew: the given styles that stand together around the current row as
// the grid's one selection (a sort may have moved others away), recorded as GridAnchorRow and
// GridEndRow.
void selectAroundCurrent(frmStyles& window, const QList<qint32>& styles) {
    const StyleGridModel* model = window.gridModel();
    const QSet<qint32> wanted(styles.cbegin(), styles.cend());
    const int current = currentRow(window);
    if (current < 0 || !wanted.contains(model->styleNumber(current)))
        return;
    int first = current;
    int last = current;
    while (first > 0 && wanted.contains(model->styleNumber(first - 1)))
        --first;
    while (last + 1 < model->rowCount() && wanted.contains(model->styleNumber(last + 1)))
        ++last;
    window.grid()->selectionModel()->select(
        QItemSelection(model->index(first, 0), model->index(last, StyleGridModel::ColumnCount - 1)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.recordSelection();
}

// The dialog opens with the family, group and author of the last selected style still stored.
void PrefillGroupEdit(SBKModule& module, const QList<qint32>& styles) {
    module.ExchangeValue1.clear();
    module.ExchangeValue2.clear();
    module.ExchangeValue3.clear();
    if (!module.StyleTable)
        return;
    DbKORFStyle& table = *module.StyleTable;
    for (auto style = styles.crbegin(); style != styles.crend(); ++style) {
        table.setStyleProg(*style);
        if (table.GetKORFStylesNoContent()) {
            module.ExchangeValue1 = table.StyleFamily();
            module.ExchangeValue2 = table.StyleCat();
            module.ExchangeValue3 = table.StyleAuthor();
            return;
        }
    }
}

// Writes the dialog's answer into every style, all or nothing; false (with the message shown) when
// the database refused it.
bool ApplyGroupEdit(SBKModule& module, Prompt& prompt, const QList<qint32>& styles) {
    const QString unchanged(frmGroupEdit::Unchanged);
    auto answer = [&unchanged](const QString& value) {
        return value == unchanged ? std::nullopt : std::optional<QString>(value);
    };
    StyleChanges changes;
    changes.family = answer(module.ExchangeValue1);
    changes.group = answer(module.ExchangeValue2);
    changes.author = answer(module.ExchangeValue3);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        StyleGroup::update(module.connection(), styles, changes);
    } catch (const SbkError& error) {
        QApplication::restoreOverrideCursor();
        prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
        return false;
    }
    QApplication::restoreOverrideCursor();
    return true;
}

} // namespace

// ---- File menu -------------------------------------------------------------------------------

void frmStyles::mFile_Click(int index) {
    switch (index) {
    case 0:
    case 1:
        importStyles(index);
        break;
    case 5:
        close();
        break;
    default: // 3, "Print", stays disabled
        break;
    }
}

// "Import from Folder" (mode 0) and "Import from STY file" (mode 1). The import window refills
// StyleRecordset when it closes; ImportMode -1 says that no run was started.
void frmStyles::importStyles(int mode) {
    m_module.ImportMode = mode;
    frmStyImport window(m_module, m_prompt, this);
    WindowOpener::exec(window);
    if (m_module.ImportMode != -1)
        RefreshStyleGrid();
}

// ---- Styles menu -----------------------------------------------------------------------------

void frmStyles::mStyles_Click(int index) {
    // Every Styles command acts on the rows selected when the menu was used.
    recordSelection();
    switch (index) {
    case 0:
        updateGroup();
        break;
    case 1:
        deleteGroup();
        break;
    case 3:
        exportToSsf();
        break;
    case 4:
        importFromSsf();
        break;
    case 6:
        setFilter();
        break;
    case 7:
        resetFilter();
        break;
    case 8:
        whereIs();
        break;
    case 10:
        sendToKorgUtility();
        break;
    case 12:
        findDuplicates();
        break;
    case 14:
        showSimilarStyles();
        break;
    default:
        break;
    }
}

// "Update (group)": family, group and author for every selected style.
void frmStyles::updateGroup() {
    const QList<qint32> styles = selectedStyles(*this, m_module);
    if (styles.isEmpty())
        return;
    PrefillGroupEdit(m_module, styles);
    frmGroupEdit dialog(m_module, m_prompt, this);
    if (WindowOpener::exec(dialog) != QDialog::Accepted ||
        m_module.ExchangeValue1 == QString(frmGroupEdit::Cancelled))
        return;
    if (!m_prompt.confirm(QStringLiteral("A group of styles is about to be updated. Are you sure?")))
        return;
    if (!ApplyGroupEdit(m_module, m_prompt, styles))
        return;
    refreshKeepingPlace(*this, currentRow(*this), true);
    selectAroundCurrent(*this, styles);
}

// "Delete (group)": the selected styles go from the database, from every stored bank and from the
// working bank.
void frmStyles::deleteGroup() {
    const QList<qint32> styles = selectedStyles(*this, m_module);
    if (styles.isEmpty())
        return;
    const bool one = styles.size() == 1;
    const QString question =
        one ? QStringLiteral("Style ") + m_model->text(m_module.GridAnchorRow, 1).trimmed() +
                  QStringLiteral(" will be deleted from database and from banks. Are you sure?")
            : QString::number(styles.size()) +
                  QStringLiteral(" styles  will be deleted from database and from banks. Are you sure?");
    if (!m_prompt.confirm(question))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        StyleGroup::remove(m_module.connection(), styles);
    } catch (const SbkError& error) {
        QApplication::restoreOverrideCursor();
        m_prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
        return;
    }
    QApplication::restoreOverrideCursor();
    if (m_bank.dropDeleted(styles)) {
        if (m_bank.count() == 0) {
            ClearWorkingBank();
        } else {
            ShowWorkingBank();
            UpdateBankMenu();
        }
    }
    m_prompt.message(one ? QStringLiteral("Style has been deleted. Click on Ok to update style grid.")
                         : QStringLiteral("Styles have been deleted. Click on Ok to update style grid."),
                     Prompt::Title, Prompt::Icon::Information);
    // The rows after the deleted ones move up into their place.
    refreshKeepingPlace(*this, m_module.GridAnchorRow, false);
}

// "Export to SSF": the selected styles or every style the grid lists.
void frmStyles::exportToSsf() {
    QList<qint32> shown;
    shown.reserve(m_model->rowCount());
    for (int row = 0; row < m_model->rowCount(); ++row)
        shown << m_model->styleNumber(row);
    frmSSFExport dialog(m_module, m_prompt, this);
    dialog.setStyles(selectedStyles(*this, m_module), shown);
    WindowOpener::exec(dialog);
}

// "Import from SSF". The grid lists what was imported once the window closes.
void frmStyles::importFromSsf() {
    frmSSFImport dialog(m_module, m_prompt, this);
    dialog.setWindowTitle(QStringLiteral("Import from SSF"));
    WindowOpener::exec(dialog);
    if (dialog.inserted() > 0)
        refreshKeepingPlace(*this, currentRow(*this), true);
}

// "Set Filter": the listing again, also when the dialog changed nothing, and the header colour of
// a sort by one header column.
void frmStyles::setFilter() {
    frmStyFilter dialog(m_module, m_prompt, this);
    const int row = currentRow(*this);
    if (row >= 0)
        dialog.setSelectedStyle(m_model->styleNumber(row), m_model->text(row, 1));
    WindowOpener::exec(dialog);
    queryListing();
    RefreshStyleGrid();
    const QColor background = palette().color(QPalette::Window);
    for (int button = 0; button < StyleGridModel::ColumnCount; ++button) {
        if (m_module.FilterOrder == sortKey(button))
            setHeaderColour(button, lightRed());
        else if (m_module.FilterOrder == sortKey(button) + QStringLiteral(" DESC"))
            setHeaderColour(button, lightGreen());
        else
            setHeaderColour(button, background);
    }
}

// "Reset Filter": the filter values (tempo, meter, damage and likeness too) go, the order and the header
// colours stay.
void frmStyles::resetFilter() {
    for (int i = 0; i < 6; ++i)
        m_module.FilterFields[size_t(i)].clear();
    m_module.FilterMeter.clear();
    m_module.FilterTempoFrom = m_module.FilterTempoTo = 0;
    m_module.FilterDamaged = false;
    m_module.FilterSimilarTo = 0;
    m_module.FilterWhere.clear();
    m_module.FilterValues.clear();
    queryListing();
    RefreshStyleGrid();
}

// "Where is?": the banks that hold the style of the grid's current row.
void frmStyles::whereIs() {
    const int row = currentRow(*this);
    if (row < 0)
        return;
    m_module.WhereIsStyleNumber = QString::number(m_model->styleNumber(row));
    QString caption = command(QStringLiteral("mStyles"), 8)->text().remove(QLatin1Char('&'));
    caption.chop(1); // "Where is"
    frmShowBanks window(m_module, m_prompt, this);
    window.setWindowTitle(caption + QLatin1Char(' ') + m_model->text(row, 1).trimmed() + QLatin1Char('?'));
    showAfterLoading(*this, window.Form_Activate() && WindowOpener::exec(window) == QDialog::Accepted);
}

// "Send to Korg utility": the style of the current row. A style deleted meanwhile leaves the grid.
void frmStyles::sendToKorgUtility() {
    const int row = currentRow(*this);
    if (row >= 0 && KorgUtility::send(m_module, m_prompt, m_model->styleNumber(row), m_model->text(row, 1)) ==
                        KorgUtility::Outcome::NotStored)
        refreshKeepingPlace(*this, row, false);
}

// "Find duplicates...": the copies across the whole library, whatever the filter lists. After a
// merge the working bank holds the kept styles where it held deleted copies, and the grid lists
// the library as it is.
void frmStyles::findDuplicates() {
    frmDuplicates window(m_module, m_prompt, this);
    WindowOpener::exec(window);
    if (m_bank.repoint(window.replaced())) {
        ShowWorkingBank();
        UpdateBankMenu();
    }
    if (window.stylesChanged())
        refreshKeepingPlace(*this, currentRow(*this), true);
}

// "Similar styles": the list stays on this style while the player walks through it, and follows
// another when asked again.
void frmStyles::showSimilarStyles() {
    const int row = currentRow(*this);
    if (row < 0)
        return;
    showSimilarPane(true);
    m_similar->showSimilarTo(m_model->styleNumber(row), m_model->text(row, 1));
    m_similar->list()->setFocus(); // the arrows walk the list, Space plays
}

void frmStyles::chooseSimilar(qint32 prog) {
    // A find that hides the style is the player's passing narrowing: it is emptied.
    if (m_model->rowOf(prog) < 0 && m_model->rowOf(prog, false) >= 0)
        m_txtFind->clear();
    const int row = m_model->rowOf(prog);
    if (row >= 0) {
        m_similar->setNote(QString());
        const QModelIndex index = m_model->index(row, 1);
        m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        m_grid->scrollTo(index);
        return;
    }
    // The filter the player set stays: the contents pane shows the style without the grid.
    DbKORFStyle style(m_module.connection());
    style.setStyleProg(prog);
    if (!style.GetKORFStylesNoContent()) {
        m_similar->setNote(QStringLiteral("Style %1 is no longer in the library.").arg(prog));
        return;
    }
    m_grid->clearSelection();
    m_contents->showStyle(prog);
    m_similar->setNote(
        QStringLiteral("%1 is not in the grid: the filter in use leaves it out (Reset Filter lists it). "
                       "The contents pane shows and plays it all the same.")
            .arg(StyleMusicReader::styleWhat(prog, StyleGridModel::shownName(style.StyleName1()).trimmed())));
}

// ---- Banks menu ------------------------------------------------------------------------------

void frmStyles::mbank_Click(int index) {
    recordSelection();
    bool goOn = true;
    switch (index) {
    case 0: {
        QList<WorkingBank::GridRow> rows;
        if (m_module.GridAnchorRow >= 0)
            for (int r = m_module.GridAnchorRow; r <= m_module.GridEndRow; ++r)
                rows.append({m_model->styleNumber(r), m_model->text(r, 1).trimmed()});
        goOn = m_bank.insert(rows);
        if (goOn)
            ShowWorkingBank();
        break;
    }
    case 1:
        goOn = m_bank.remove();
        if (goOn)
            ShowWorkingBank();
        break;
    case 2:
        goOn = m_bank.moveUp();
        ShowWorkingBank();
        break;
    case 3:
        goOn = m_bank.moveDown();
        ShowWorkingBank();
        break;
    case 5:
        goOn = m_bank.erase();
        if (goOn)
            ClearWorkingBank();
        break;
    case 7:
        saveBank(false);
        return;
    case 8:
        saveBank(true);
        return;
    case 9:
        loadBank();
        return;
    case 11:
        exportBankToSsf();
        return;
    case 13:
        makeStyFile();
        return;
    case 15:
        printBank();
        return;
    default:
        return;
    }
    if (goOn)
        UpdateBankMenu();
}

// "Save bank" (asNew false) and "Save bank as ..." (asNew true).
void frmStyles::saveBank(bool asNew) {
    if (m_bank.count() == 0) {
        m_prompt.message(QStringLiteral("Bank is empty: there's nothing to save!"), Prompt::Title,
                         Prompt::Icon::Exclamation);
        return;
    }
    // A stored bank is updated, a new one inserted; "as ..." always inserts.
    const qint32 remembered = m_module.BankState;
    if (asNew || m_module.BankState == 0)
        m_module.BankState = 2;
    else if (m_module.BankState == 1)
        m_module.BankState = 3;
    frmBankSave dialog(m_module, m_prompt, this);
    dialog.setWindowTitle(asNew ? QStringLiteral("Bank Save / Insert")
                                : QStringLiteral("Bank Save / Update"));
    if (WindowOpener::exec(dialog) == QDialog::Accepted)
        showBankIdentity();
    refreshBanksColumn(); // stored, updated or deleted in the dialog
    if (m_module.BankState != 1)
        m_module.BankState = remembered;
    UpdateBankMenu();
}

void frmStyles::showBankIdentity() {
    m_frBank->setTitle(QLatin1Char(' ') + m_module.BankTable->BankName());
    m_lbBankDesc->setText(m_module.BankTable->BankDesc());
    m_lbBankDesc->setToolTip(m_module.BankTable->BankDesc());
}

// "Load bank".
void frmStyles::loadBank() {
    if (m_module.BankState == 2 || m_module.BankState == 3) {
        if (!m_prompt.confirm(
                QStringLiteral("If you load another bank, all changes made to current style will "
                               "be lost. Confirm bank loading?")))
            return;
        ClearWorkingBank();
    }
    frmBankSave dialog(m_module, m_prompt, this);
    dialog.setWindowTitle(QStringLiteral("Bank loading"));
    showAfterLoading(*this, dialog.Form_Activate() && WindowOpener::exec(dialog) == QDialog::Accepted);
    refreshBanksColumn(); // a bank may have been deleted in the dialog
}

// What a bank must be before it leaves the program as a file: not empty, and stored without changes.
bool frmStyles::storedBankReady(const QString& emptyText, const QString& unsavedText) {
    if (m_bank.count() == 0) {
        m_prompt.message(emptyText, Prompt::Title, Prompt::Icon::Exclamation);
        return false;
    }
    if (m_module.BankState != 1) {
        m_prompt.message(unsavedText, Prompt::Title, Prompt::Icon::Information);
        return false;
    }
    return true;
}

// "Export bank to SSF": only a stored bank without changes.
void frmStyles::exportBankToSsf() {
    if (!storedBankReady(
            QStringLiteral("Bank is empty: there's nothing to export!"),
            QStringLiteral("Please save changes made to current style before exporting it to SSF!")))
        return;
    frmSSFExport dialog(m_module, m_prompt, this);
    dialog.setBankMode();
    WindowOpener::exec(dialog);
    UpdateBankMenu();
}

// "Make .STY file": a stored bank without changes, and a floppy folder set.
void frmStyles::makeStyFile() {
    if (!storedBankReady(
            QStringLiteral("Bank is empty: there's nothing to make a .STY with!"),
            QStringLiteral("Please save changes made to current style before making a STY file!")))
        return;
    if (m_module.FloppyDrive.trimmed().isEmpty()) {
        m_prompt.message(
            QStringLiteral("Floppy disk is not specified. Please click on Parameter button inside "
                           "main form and insert all required data!"),
            Prompt::Title, Prompt::Icon::Information);
        return;
    }
    frmMakeBank dialog(m_module, m_prompt, this);
    WindowOpener::exec(dialog);
    // The make read the styles' names afresh from the database.
    ShowWorkingBank();
    UpdateBankMenu();
}

// "Print bank": only a stored bank without changes is printed.
void frmStyles::printBank() {
    if (m_module.BankState != 1 || !m_module.BankTable)
        return;
    const QString name = m_module.BankTable->BankName();
    if (!m_prompt.confirm(QStringLiteral("Confirm printing of bank ") + name + QLatin1Char('?')))
        return;
    QList<qint32> styles;
    for (int position = 1; position <= m_module.WorkingBankStyles.Count(); ++position)
        styles << m_module.WorkingBankStyles.Item(position)->StyleProg();
    BankPrinter::print(
        BankPage::fromDatabase(m_module.connection(), name, m_module.BankTable->BankDesc(), styles),
        m_prompt);
    UpdateBankMenu();
}
