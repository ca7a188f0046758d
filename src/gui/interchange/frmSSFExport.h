#pragma once

#include "gui/interchange/SsfDialog.h"

#include <QList>

// Writes one SSF file per style into the export folder: the styles of the selected grid rows, of
// every grid row (in grid order), or, in bank mode, of the working bank. The folder is remembered
// under "SSF"/"EXPORT" when the window closes. Every file written is listed in the report; a style
// that cannot be written stops the run with a message naming it, and what was written before it is
// listed. The window stays open after a run.
class frmSSFExport : public SsfDialog {
    Q_OBJECT
public:
    frmSSFExport(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);

    // The styles of the selected grid rows and of every grid row, top to bottom.
    void setStyles(const QList<qint32>& selected, const QList<qint32>& shown);
    // Exports the working bank: caption "Bank export to SSF", neither option chosen.
    void setBankMode();

    void cmdSearch_Click() override;
    void cmdOk_Click() override;

public slots:
    void done(int result) override; // remembers the folder

private:
    QList<qint32> m_selected;
    QList<qint32> m_shown;
};
