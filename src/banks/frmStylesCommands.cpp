// The commands of the styles window's File, Styles and Banks menus: one handler per command, each
// gathering its input from the window and the shared state, calling the engine or opening its
// dialog, and showing the result.

#include "banks/frmStyles.h"

#include "banks/BankPage.h"
#include "banks/BankPrinter.h"
#include "banks/frmBankSave.h"
#include "banks/frmShowBanks.h"
#include "banks/StyleGridModel.h"
#include "core/Prompt.h"
#include "core/SBKModule.h"
#include "core/WindowOpener.h"
#include "sty/frmMakeBank.h"
#include "sty/frmStyImport.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QTableView>

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
    default:
        break;
    }
}

// "Update (group)".
void frmStyles::updateGroup() {}

// "Delete (group)".
void frmStyles::deleteGroup() {}

// "Export to SSF".
void frmStyles::exportToSsf() {}

// "Import from SSF".
void frmStyles::importFromSsf() {}

// "Set Filter".
void frmStyles::setFilter() {}

// "Reset Filter".
void frmStyles::resetFilter() {}

// "Where is?": the banks that hold the style of the grid's current row.
void frmStyles::whereIs() {
    const int row = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
    if (row < 0 || row >= m_model->rowCount())
        return;
    m_module.WhereIsStyleNumber = QString::number(m_model->styleNumber(row));
    QString caption = command(QStringLiteral("mStyles"), 8)->text().remove(QLatin1Char('&'));
    caption.chop(1); // "Where is"
    frmShowBanks window(m_module, m_prompt, this);
    window.setWindowTitle(caption + QLatin1Char(' ') + m_model->text(row, 1).trimmed() + QLatin1Char('?'));
    showAfterLoading(*this, window.Form_Activate() && WindowOpener::exec(window) == QDialog::Accepted);
}

// "Send to Korg utility".
void frmStyles::sendToKorgUtility() {}

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
        m_prompt.message(QStringLiteral("Bank is empty: there's nothing to save!"), QStringLiteral("SBK"),
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
}

// "Export bank to SSF".
void frmStyles::exportBankToSsf() {}

// "Make .STY file": a stored bank without changes, and a floppy folder set.
void frmStyles::makeStyFile() {
    if (m_bank.count() == 0) {
        m_prompt.message(QStringLiteral("Bank is empty: there's nothing to make a .STY with!"),
                         QStringLiteral("SBK"), Prompt::Icon::Exclamation);
        return;
    }
    if (m_module.BankState != 1) {
        m_prompt.message(
            QStringLiteral("Please save changes made to current style before making a STY file!"),
            QStringLiteral("SBK"), Prompt::Icon::Information);
        return;
    }
    if (m_module.FloppyDrive.trimmed().isEmpty()) {
        m_prompt.message(
            QStringLiteral("Floppy disk is not specified. Please click on Parameter button inside "
                           "main form and insert all required data!"),
            QStringLiteral("SBK"), Prompt::Icon::Information);
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
