// The commands of the styles window's File, Styles and Banks menus: one handler per command, each
// gathering its input from the window and the shared state, calling the engine or opening its
// dialog, and showing the result.

#include "banks/frmStyles.h"

#include "banks/StyleGridModel.h"
#include "core/Prompt.h"
#include "core/SBKModule.h"
#include "core/WindowOpener.h"

#include <QAction>

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

// "Import from Folder" (mode 0) and "Import from STY file" (mode 1).
void frmStyles::importStyles(int mode) {
    (void)mode;
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

// "Where is?".
void frmStyles::whereIs() {}

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
    (void)asNew;
}

// "Load bank".
void frmStyles::loadBank() {}

// "Export bank to SSF".
void frmStyles::exportBankToSsf() {}

// "Make .STY file".
void frmStyles::makeStyFile() {}

// "Print bank".
void frmStyles::printBank() {}
