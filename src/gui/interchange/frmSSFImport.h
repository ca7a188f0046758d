#pragma once

#include "gui/interchange/SsfDialog.h"

// Reads SSF files into the database: the one file named in the path field, or every file of that
// folder whose name ends in "SSF" (a folder run stops at the first file refused). The report lists
// every file read with what became of it; the window stays open for the next run.
class frmSSFImport : public SsfDialog {
    Q_OBJECT
public:
    frmSSFImport(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    // Styles stored since the window opened (the styles window then lists them).
    int inserted() const { return m_inserted; }

    // One file to import, as if chosen with Search: a file opened from the desktop.
    void setFile(const QString& path);

    void cmdSearch_Click() override;
    void cmdOk_Click() override;

private:
    int m_inserted = 0;
};
