#include "gui/interchange/frmBckpRstr.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "gui/main/RunProgressBar.h"
#include "interchange/PddBackup.h"
#include "interchange/PddRestore.h"
#include "session/SBKModule.h"
#include "session/StartUp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString PddFilter = QStringLiteral("SBK Database Dump (*.PDD)|*.PDD");
} // namespace

frmBckpRstr::frmBckpRstr(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt),
      m_lbCheck(new QLabel(QStringLiteral("CHECKING"), this)), m_progressBar(new RunProgressBar(this)) {
    setObjectName(QStringLiteral("frmBckpRstr"));
    setWindowTitle(QStringLiteral("Backup / Restore SBK database"));
    setModal(true);

    auto* grid = new QGridLayout;
    const QStringList labels{QStringLiteral("Backup database to ... "),
                             QStringLiteral("Restore database from ... ")};
    const int labelIndex[2] = {1, 0};
    for (int i = 0; i < 2; ++i) {
        auto* label = new QLabel(labels.at(i), this);
        label->setObjectName(QStringLiteral("lbDesc_%1").arg(labelIndex[i]));
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("txtField_%1").arg(i));
        field->setText(m_module.BackupPath);
        m_txtField.at(size_t(i)) = field;
        auto* search = new QPushButton(QStringLiteral("Search"), this);
        search->setObjectName(QStringLiteral("cmdSearch_%1").arg(i));
        search->setAutoDefault(false);
        connect(search, &QPushButton::clicked, this, [this, i] { cmdSearch_Click(i); });
        m_buttons << search;
        grid->addWidget(label, i, 0);
        grid->addWidget(field, i, 1);
        grid->addWidget(search, i, 2);
    }
    grid->setColumnMinimumWidth(1, 320);

    auto makeButton = [this](const QString& name, const QString& caption, const QString& tip) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setToolTip(tip);
        button->setAutoDefault(false);
        m_buttons << button;
        return button;
    };
    QPushButton* backup = makeButton(QStringLiteral("cmbBackup"), QStringLiteral("Backup"),
                                     QStringLiteral("Backup database to PDD file"));
    QPushButton* restore = makeButton(QStringLiteral("cmbRestore"), QStringLiteral("Restore"),
                                      QStringLiteral("Restore database from PDD file"));
    m_cmbRestore = restore;
    QPushButton* exit = makeButton(QStringLiteral("cmbExit"), QStringLiteral("Exit"), QStringLiteral("Exit"));
    connect(backup, &QPushButton::clicked, this, &frmBckpRstr::cmbBackup_Click);
    connect(restore, &QPushButton::clicked, this, &frmBckpRstr::cmbRestore_Click);
    connect(exit, &QPushButton::clicked, this, &QDialog::accept);

    m_lbCheck->setObjectName(QStringLiteral("lbCheck"));
    QFont bold = m_lbCheck->font();
    bold.setBold(true);
    m_lbCheck->setFont(bold);
    m_lbCheck->hide();
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_lbCheck);
    buttons->addStretch();
    buttons->addWidget(backup);
    buttons->addWidget(restore);
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_progressBar);
    layout->addLayout(buttons);
}

void frmBckpRstr::cmdSearch_Click(int index) {
    const QString chosen = StartUp::ShowOpenDialog(m_prompt, PddFilter);
    if (!chosen.isEmpty() && index >= 0 && index < 2)
        m_txtField.at(size_t(index))->setText(chosen);
}

void frmBckpRstr::setRestoreFile(const QString& path) {
    m_txtField[1]->setText(QDir::toNativeSeparators(path));
    // The restore is what the user came for: Enter or Space starts it (and its questions).
    m_cmbRestore->setDefault(true);
    m_cmbRestore->setFocus();
}

void frmBckpRstr::setBusy(bool busy) {
    for (QPushButton* button : std::as_const(m_buttons))
        button->setEnabled(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmBckpRstr::fail(const QString& text) {
    m_prompt.message(text, Prompt::Title, Prompt::Icon::Critical);
}

void frmBckpRstr::cmbBackup_Click() {
    const QString typed = m_txtField[0]->text().trimmed();
    if (typed.isEmpty())
        return fail(QStringLiteral("Please insert PDD file path!"));
    if (typed.right(3).toUpper() != QStringLiteral("PDD") &&
        !m_prompt.confirm(QStringLiteral("File extension is not PDD. Confirm backup file name?")))
        return;
    if (!m_prompt.confirm(QStringLiteral("Confirm database backup?")))
        return;
    setBusy(true);
    const QString target = PddBackup::targetPath(typed);
    QStringList changed;
    try {
        changed = PddBackup::backup(m_module.connection(), target, m_progressBar);
    } catch (const SbkError& e) {
        setBusy(false);
        m_progressBar->hide();
        return fail(e.message());
    }
    setBusy(false);
    m_prompt.message(PddBackup::DoneMessage + QStringLiteral("\n\n") + QDir::toNativeSeparators(target),
                     Prompt::Title, Prompt::Icon::None);
    if (!changed.isEmpty())
        m_prompt.message(PddBackup::warning(changed), Prompt::Title, Prompt::Icon::Exclamation);
    m_progressBar->hide();
}

void frmBckpRstr::cmbRestore_Click() {
    const QString path = m_txtField[1]->text().trimmed();
    if (path.isEmpty())
        return fail(QStringLiteral("Please insert PDD file path!"));
    if (!QFileInfo::exists(path))
        return fail(PddRestore::MissingFileMessage);

    m_lbCheck->show();
    m_lbCheck->repaint();
    setBusy(true);
    const PddRestore::Check check = PddRestore::validate(path);
    setBusy(false);
    if (!check.valid) {
        m_lbCheck->hide();
        // The usual message, and below it what the check found, so the file can be mended.
        return fail(PddRestore::invalidMessage(path) +
                    (check.problem.isEmpty() ? QString() : QStringLiteral("\n\n") + check.problem));
    }
    const bool go = m_prompt.confirm(PddRestore::CheckedQuestion);
    m_lbCheck->hide();
    if (!go || !m_prompt.confirm(PddRestore::DataLostQuestion))
        return;

    setBusy(true);
    DamagedStyles damaged;
    try {
        damaged = PddRestore::restore(m_module.connection(), path, check.records, m_progressBar);
    } catch (const PddRestore::NotABackup& e) {
        // A file that changed since it was checked: a warning, what is wrong with it below.
        setBusy(false);
        m_progressBar->hide();
        m_prompt.message(e.message(), Prompt::Title, Prompt::Icon::Exclamation);
        return;
    } catch (const SbkError& e) {
        setBusy(false);
        m_progressBar->hide();
        return fail(e.message());
    }
    setBusy(false);
    m_progressBar->hide();
    m_prompt.message(PddRestore::DoneMessage +
                         (damaged.isEmpty()
                              ? QString()
                              : QStringLiteral("\n\n") + damaged.sentence(QStringLiteral("restored")) +
                                    QLatin1Char(' ') + StartUp::DamagedFilterHint),
                     Prompt::Title, Prompt::Icon::Information);
}
