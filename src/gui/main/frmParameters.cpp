#include "gui/main/frmParameters.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "gui/main/DialogProgress.h"
#include "gui/main/FieldLimitValidator.h"
#include "music/SoundFontLocator.h"
#include "session/SBKModule.h"
#include "session/StartUp.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

bool frmParameters::fileSystemIgnoresCase() {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    return true;
#else
    return false;
#endif
}

QString frmParameters::storedForm(const QString& text) {
    const QString trimmed = text.trimmed();
    return fileSystemIgnoresCase() ? trimmed.toUpper() : trimmed;
}

bool frmParameters::samePath(const QString& a, const QString& b) {
    return a.compare(b, fileSystemIgnoresCase() ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

frmParameters::frmParameters(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt) {
    setObjectName(QStringLiteral("frmParameters"));
    setWindowTitle(QStringLiteral("SBK parameters"));
    setModal(true);

    auto* grid = new QGridLayout;
    // Rows top to bottom: database, utility, floppy, backup, sound font; the labels keep their own
    // numbers.
    const int labelIndex[5] = {1, 0, 2, 3, 4};
    const QStringList labels{QStringLiteral("Database path "), QStringLiteral("KORG utility path "),
                             QStringLiteral("Floppy disk path "), QStringLiteral("Backup / Restore path "),
                             QStringLiteral("Sound font ")};
    // The floppy row names a drive where drives have letters ("A:"), a folder (mount point)
    // elsewhere; its Search button is then the fourth.
    const int searchIndex[5] = {0, 1, fileSystemIgnoresCase() ? -1 : 3, 2, 4};
    for (int row = 0; row < 5; ++row) {
        auto* label = new QLabel(labels.at(row), this);
        label->setObjectName(QStringLiteral("lbDesc_%1").arg(labelIndex[row]));
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("txtField_%1").arg(row));
        // The limits hold for typing; a longer path stored or chosen with Search is kept whole.
        FieldLimitValidator::apply(field, row == 2 && fileSystemIgnoresCase() ? 2 : 100);
        m_txtField.at(size_t(row)) = field;
        grid->addWidget(label, row, 0);
        grid->addWidget(field, row, 1);
        if (searchIndex[row] >= 0) {
            auto* search = new QPushButton(QStringLiteral("Search"), this);
            search->setObjectName(QStringLiteral("cmdSearch_%1").arg(searchIndex[row]));
            search->setAutoDefault(false);
            const int index = searchIndex[row];
            connect(search, &QPushButton::clicked, this, [this, index] { cmdSearch_Click(index); });
            grid->addWidget(search, row, 2);
        }
    }
    if (fileSystemIgnoresCase())
        m_txtField[2]->setMaximumWidth(40);
    // Left empty, the system's General MIDI SoundFont plays.
    const QString systemFont = SoundFontLocator::systemDefault();
    m_txtField[4]->setPlaceholderText(
        systemFont.isEmpty() ? QStringLiteral("none found: choose a SoundFont (.sf2)") : systemFont);
    m_txtField[4]->setToolTip(QStringLiteral("The SoundFont that plays the styles; empty for the system's "
                                             "General MIDI SoundFont"));
    grid->setColumnMinimumWidth(1, 360);

    auto* ok = new QPushButton(QStringLiteral("Save Parameters Value"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setToolTip(QStringLiteral("Exit and save parameters value"));
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &frmParameters::cmdOk_Click);
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    exit->setToolTip(QStringLiteral("Exit without saving new values"));
    exit->setAutoDefault(false);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    m_txtField[0]->setText(m_module.DatabasePath);
    m_txtField[1]->setText(m_module.KorgProgramPath);
    m_txtField[2]->setText(m_module.FloppyDrive);
    m_txtField[3]->setText(m_module.BackupPath);
    m_txtField[4]->setText(m_module.SoundFontPath);
}

void frmParameters::cmdSearch_Click(int index) {
    QString chosen;
    int field = 0;
    switch (index) {
    case 0:
        chosen = StartUp::ShowOpenDialog(m_prompt, QStringLiteral("Microsoft Database (*.MDB)|*.MDB"));
        field = 0;
        break;
    case 1:
        chosen = StartUp::ShowOpenDialog(
            m_prompt, fileSystemIgnoresCase() ? QStringLiteral("Executables (*.EXE)|*.EXE")
                                              : QStringLiteral("Executables (*.EXE)|*.EXE|All files (*)|*"));
        field = 1;
        break;
    case 2:
        chosen = StartUp::ShowOpenDialog(m_prompt, QStringLiteral("SBK Database Dump (*.PDD)|*.PDD"));
        field = 3;
        break;
    case 3:
        chosen = m_prompt.chooseFolder(QStringLiteral("Floppy disk path"), m_txtField[2]->text().trimmed());
        field = 2;
        break;
    case 4:
        chosen = StartUp::ShowOpenDialog(m_prompt, QStringLiteral("SoundFonts (*.SF2, *.SF3)|*.SF2;*.SF3"));
        field = 4;
        break;
    default:
        return;
    }
    if (!chosen.isEmpty())
        m_txtField.at(size_t(field))->setText(chosen);
}

void frmParameters::cmdOk_Click() {
    auto refuse = [this](const QString& text) { m_prompt.message(text, CheckTitle, Prompt::Icon::Critical); };
    const QString database = storedForm(m_txtField[0]->text());
    const QString utility = storedForm(m_txtField[1]->text());
    if (database.isEmpty())
        return refuse(QStringLiteral("Database path is mandatory!"));
    if (!QFileInfo(database).isFile())
        return refuse(QStringLiteral("Database file not found!"));
    // The utility is optional: without it only "Send to Korg utility" stays disabled.
    if (!utility.isEmpty() && !QFileInfo(utility).isFile())
        return refuse(QStringLiteral("KORG utility not found!"));
    // So is the sound font: without one, the system's plays.
    const QString soundFont = storedForm(m_txtField[4]->text());
    if (!soundFont.isEmpty() && !QFileInfo(soundFont).isFile())
        return refuse(QStringLiteral("Sound font not found!"));

    // Switch to a changed database before storing anything: a file that cannot be opened leaves
    // the program on the database it had, and the dialog open.
    if (!samePath(database, m_module.DatabasePath)) {
        const QString previous = m_module.DatabasePath;
        m_module.DatabasePath = database;
        try {
            DialogProgress upgrade(true);
            StartUp::ConnectDatabase(m_module, m_prompt, &upgrade);
        } catch (const SbkError& e) {
            m_module.DatabasePath = previous;
            try {
                m_module.ConnectDatabase();
            } catch (const SbkError&) {
                // The previous file went away meanwhile; the message below still applies.
            }
            return refuse(e.message());
        }
    } else {
        m_module.DatabasePath = database;
    }
    m_module.KorgProgramPath = utility;
    m_module.FloppyDrive = storedForm(m_txtField[2]->text());
    m_module.BackupPath = storedForm(m_txtField[3]->text());
    m_module.SoundFontPath = soundFont;
    try {
        SBKSettings settings;
        settings.setValue(SBKSettings::Path, SBKSettings::Database, m_module.DatabasePath);
        settings.setValue(SBKSettings::Parameters, SBKSettings::KorgProg, m_module.KorgProgramPath);
        settings.setValue(SBKSettings::Parameters, SBKSettings::FloppyDrive, m_module.FloppyDrive);
        settings.setValue(SBKSettings::Parameters, SBKSettings::SbkBackup, m_module.BackupPath);
        settings.setValue(SBKSettings::Parameters, SBKSettings::SoundFont, m_module.SoundFontPath);
    } catch (const SbkError& e) {
        return refuse(e.message());
    }
    accept();
}
