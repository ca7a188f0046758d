#include "gui/interchange/frmSSFImport.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "interchange/SsfImport.h"
#include "session/SBKModule.h"
#include "session/StartUp.h"

#include <QDir>
#include <QLineEdit>
#include <QRadioButton>

frmSSFImport::frmSSFImport(SBKModule& module, Prompt& prompt, QWidget* parent)
    : SsfDialog(module, prompt, parent, QStringLiteral("frmSSFImport"),
                {QStringLiteral("Selected SSF file only"), QStringLiteral("All SSF files in folder")},
                QStringLiteral("Import folder"), QStringLiteral("Start Import Process")) {
    setWindowTitle(QStringLiteral("SSF Import"));
}

void frmSSFImport::setFile(const QString& path) {
    m_opStyle[0]->setChecked(true);
    m_txtFolder->setText(QDir::toNativeSeparators(path));
}

void frmSSFImport::cmdSearch_Click() {
    // A file for the first option, a folder for the second.
    const QString chosen =
        m_opStyle[0]->isChecked()
            ? StartUp::ShowOpenDialog(m_prompt,
                                      QStringLiteral("Single Style File (*.SSF)|*.SSF| All files (*.*)|*.*"))
            : m_prompt.chooseFolder(QStringLiteral("Import folder"), path());
    if (!chosen.isEmpty())
        m_txtFolder->setText(QDir::toNativeSeparators(chosen));
}

void frmSSFImport::cmdOk_Click() {
    if (path().isEmpty())
        return;
    const bool folder = m_opStyle[1]->isChecked();
    setBarShown(folder);
    setBusy(true);
    SsfImport importer(m_module.connection(), progress());
    SsfImport::Result result;
    try {
        result = folder ? importer.importFolder(path()) : importer.importFile(path());
    } catch (const SbkError& error) {
        setBusy(false);
        return fail(error.message());
    }
    setBusy(false);
    if (!result.found)
        return fail(folder ? QStringLiteral("SSF folder not found") : SsfImport::NotFoundMessage);
    for (const SsfImport::FileResult& file : result.files)
        addReport(file.describe());
    if (folder && result.files.isEmpty())
        addReport(QStringLiteral("%1: no SSF file in this folder").arg(path()));
    m_inserted += result.inserted();
    const SsfImport::Outcome last =
        result.files.isEmpty() ? SsfImport::Outcome::NotSsf : result.files.last().outcome;
    // A damaged file or a failed insert is a failure; a style already present ends a folder run
    // as it should.
    const bool failed = last == SsfImport::Outcome::Damaged || last == SsfImport::Outcome::InsertFailed;
    m_prompt.message(result.message(), Prompt::Title,
                     failed ? Prompt::Icon::Critical : Prompt::Icon::Information);
}
