#include "gui/interchange/frmSSFExport.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "interchange/SsfExport.h"
#include "session/SBKModule.h"

#include <QButtonGroup>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>

frmSSFExport::frmSSFExport(SBKModule& module, Prompt& prompt, QWidget* parent)
    : SsfDialog(module, prompt, parent, QStringLiteral("frmSSFExport"),
                {QStringLiteral("Selected styles only"), QStringLiteral("All styles")},
                QStringLiteral("Export folder"), QStringLiteral("Start Export Process")) {
    setWindowTitle(QStringLiteral("Styles export to SSF"));
    m_txtFolder->setText(SBKSettings().value(SBKSettings::Ssf, SBKSettings::Export));
}

void frmSSFExport::setStyles(const QList<qint32>& selected, const QList<qint32>& shown) {
    m_selected = selected;
    m_shown = shown;
}

void frmSSFExport::setBankMode() {
    setWindowTitle(QStringLiteral("Bank export to SSF"));
    // Neither option chosen means the bank; the options stay out of reach so that it stays so.
    m_opStyle[0]->group()->setExclusive(false);
    for (QRadioButton* option : m_opStyle) {
        option->setChecked(false);
        option->setEnabled(false);
    }
    m_opStyle[0]->group()->setExclusive(true);
    m_optionsUsable = false;
}

void frmSSFExport::cmdSearch_Click() {
    const QString chosen = m_prompt.chooseFolder(QStringLiteral("Export folder"), path());
    if (!chosen.isEmpty())
        m_txtFolder->setText(QDir::toNativeSeparators(chosen));
}

void frmSSFExport::cmdOk_Click() {
    if (path().isEmpty())
        return;
    const bool selected = m_opStyle[0]->isChecked();
    const bool all = m_opStyle[1]->isChecked();
    // The bar for the runs that may be long: all styles and the bank.
    setBarShown(!selected);
    setBusy(true);
    SsfExport exporter(m_module.connection(), path(), progress());
    QString done;
    QString failure;
    try {
        if (selected) {
            exporter.exportStyles(m_selected);
            done = SsfExport::SelectedDoneMessage;
        } else if (all) {
            exporter.exportStyles(m_shown);
            done = SsfExport::AllDoneMessage;
        } else {
            exporter.exportBank(m_module.WorkingBankStyles);
            done = SsfExport::bankDoneMessage(m_module.BankTable ? m_module.BankTable->BankName().trimmed()
                                                                 : QString());
        }
    } catch (const SbkError& error) {
        failure = error.message();
    }
    // Every file written, also before a failure, and the styles written under a numbered name.
    const SsfExport::Result& result = exporter.lastResult();
    for (const QString& file : result.files)
        addReport(QDir::toNativeSeparators(file));
    for (const QString& renamed : result.renamed)
        addReport(renamed);
    if (!failure.isEmpty()) {
        addReport(QStringLiteral("Stopped: ") + failure);
        setBusy(false);
        return fail(failure);
    }
    if (result.skipped > 0)
        addReport(
            QStringLiteral("%1 style(s) no longer in the database were passed over").arg(result.skipped));
    setBusy(false);
    m_prompt.message(done, Prompt::Title, Prompt::Icon::Information);
    if (!result.warning().isEmpty())
        m_prompt.message(result.warning(), Prompt::Title, Prompt::Icon::Exclamation);
}

void frmSSFExport::done(int result) {
    if (!path().isEmpty()) {
        try {
            SBKSettings().setValue(SBKSettings::Ssf, SBKSettings::Export, path());
        } catch (const SbkError& error) {
            fail(error.message());
        }
    }
    SsfDialog::done(result);
}
