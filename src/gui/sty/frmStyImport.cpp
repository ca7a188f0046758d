#include "gui/sty/frmStyImport.h"

#include "core/ArchiveReader.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "gui/main/FieldLimitValidator.h"
#include "gui/main/frmLog.h"
#include "gui/main/RunProgressBar.h"
#include "gui/main/WindowOpener.h"
#include "gui/sty/frmStyContent.h"
#include "metadata/StyleGroup.h"
#include "music/NoteFingerprint.h"
#include "session/SBKModule.h"
#include "session/StartUp.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString ImportTitle = QStringLiteral("SBK Style import");
// STY files, and the archives they come in (the import reads their STY files in memory).
QString styFilter() {
    const QString archives = ArchiveReader::namePatterns().join(QLatin1Char(';'));
    return QStringLiteral("Styles and archives of styles (*.STY, *.zip, *.7z, *.rar, *.tar...)|*.STY;") +
           archives + QStringLiteral("|Styles (*.STY)|*.STY|Archives (*.zip, *.7z, *.rar, *.tar...)|") +
           archives;
}

QString orBlank(const QString& value) {
    return value.isEmpty() ? QStringLiteral(" ") : value;
}

// A label that keeps its place while hidden and cuts a long path instead of widening the window.
QLabel* statusLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    return label;
}

} // namespace

frmStyImport::frmStyImport(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt), m_folderMode(module.ImportMode == 0),
      m_label1(new QLabel(this)), m_txtFolder(new QLineEdit(this)),
      m_cmdSearch(new QPushButton(QStringLiteral("Search"), this)),
      m_chkSubFolders(new QCheckBox(QStringLiteral("Subfolders"), this)),
      m_chkBank(new QCheckBox(QStringLiteral("Save bank structure"), this)),
      m_chkErrors(new QCheckBox(QStringLiteral("Confirm import for each style in each bank"), this)),
      m_pbFiles(new RunProgressBar(this, QStringLiteral("files"))), m_lbResult(new QLabel(this)),
      m_cmdOk(new QPushButton(QStringLiteral("Start Import Process"), this)),
      m_cmdStop(new QPushButton(QStringLiteral("Cancel"), this)),
      m_cmdCancel(new QPushButton(QStringLiteral("Exit"), this)) {
    setObjectName(QStringLiteral("frmStyImport"));
    setWindowTitle(QStringLiteral("Styles import"));
    setModal(true);

    // The file or folder.
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setText(m_folderMode ? QStringLiteral("Folder to scan") : QStringLiteral("File to search"));
    m_label1->setBuddy(m_txtFolder);
    m_txtFolder->setObjectName(QStringLiteral("txtFolder"));
    m_txtFolder->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    m_cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    m_chkSubFolders->setObjectName(QStringLiteral("chkSubFolders"));
    m_chkSubFolders->setVisible(m_folderMode);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_label1);
    pathRow->addWidget(m_txtFolder, 1);
    pathRow->addWidget(m_cmdSearch);
    pathRow->addWidget(m_chkSubFolders);

    // The options.
    auto* frame1 = new QGroupBox(QStringLiteral(" Styles import options "), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto* options = new QVBoxLayout(frame1);
    m_chkBank->setObjectName(QStringLiteral("chkBank"));
    m_chkBank->setChecked(true);
    m_chkBank->setToolTip(QStringLiteral("Store one bank per file, holding its styles in their order"));
    m_chkErrors->setObjectName(QStringLiteral("chkErrors"));
    options->addWidget(m_chkBank);
    options->addWidget(m_chkErrors);
    const QStringList policies{
        QStringLiteral("Do not check for duplicated styles, but import everything"),
        QStringLiteral("Do not check for duplicated styles, but overwrite styles with same name"),
        QStringLiteral("Do not import duplicated styles, regardless their name")};
    for (int i = 2; i >= 0; --i) {
        auto* option = new QRadioButton(policies.at(i), frame1);
        option->setObjectName(QStringLiteral("opImport_%1").arg(i));
        options->addWidget(option);
        m_opImport.at(size_t(i)) = option;
    }
    m_opImport[2]->setChecked(true);

    // The values attached to each new style, limited to their columns while typed.
    auto* frame2 = new QGroupBox(QStringLiteral(" Attach these values to each style "), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* values = new QGridLayout(frame2);
    const QStringList captions{QStringLiteral("Family "), QStringLiteral("Group "),
                               QStringLiteral("Author ")};
    const int limits[3] = {StyleGroup::FamilySize, StyleGroup::GroupSize, StyleGroup::AuthorSize};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(captions.at(i), frame2);
        label->setObjectName(QStringLiteral("lbField_%1").arg(i));
        auto* field = new QLineEdit(frame2);
        field->setObjectName(QStringLiteral("txtField_%1").arg(i));
        FieldLimitValidator::apply(field, limits[i]);
        label->setBuddy(field);
        values->addWidget(label, i, 0);
        values->addWidget(field, i, 1);
        m_txtField.at(size_t(i)) = field;
    }

    // Where the run is: the folder, the file, the style, the files done of those found.
    auto* status = new QVBoxLayout;
    for (int i : {2, 0, 1}) {
        m_lbStato.at(size_t(i)) = statusLabel(QStringLiteral("lbStato_%1").arg(i), this);
        m_lbStato.at(size_t(i))->hide();
        status->addWidget(m_lbStato.at(size_t(i)));
    }
    m_pbFiles->setObjectName(QStringLiteral("pbFiles"));
    QSizePolicy barPolicy = m_pbFiles->sizePolicy();
    barPolicy.setRetainSizeWhenHidden(true);
    m_pbFiles->setSizePolicy(barPolicy);
    m_pbFiles->hide();
    status->addWidget(m_pbFiles);
    m_lbResult->setObjectName(QStringLiteral("lbResult"));
    m_lbResult->setWordWrap(true);
    m_lbResult->setMinimumHeight(fontMetrics().lineSpacing() * 2);
    m_lbResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status->addWidget(m_lbResult);

    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdStop->setObjectName(QStringLiteral("cmdStop"));
    m_cmdStop->setToolTip(QStringLiteral("Stop the import; nothing of this run is kept"));
    m_cmdStop->setEnabled(false);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdOk);
    buttons->addWidget(m_cmdStop);
    buttons->addStretch();
    buttons->addWidget(m_cmdCancel);
    for (QPushButton* button : {m_cmdSearch, m_cmdOk, m_cmdStop, m_cmdCancel})
        button->setAutoDefault(false);
    connect(m_cmdSearch, &QPushButton::clicked, this, &frmStyImport::cmdSearch_Click);
    connect(m_cmdOk, &QPushButton::clicked, this, &frmStyImport::cmdOk_Click);
    connect(m_cmdStop, &QPushButton::clicked, this, &frmStyImport::cmdStop_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmStyImport::cmdCancel_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pathRow);
    layout->addWidget(frame1);
    layout->addWidget(frame2);
    layout->addLayout(status);
    layout->addLayout(buttons);

    m_inputs = {m_txtFolder, m_cmdSearch, m_chkSubFolders, m_chkBank, m_chkErrors, frame1, frame2};
}

frmStyImport::~frmStyImport() = default;

void frmStyImport::cmdSearch_Click() {
    const QString chosen = StartUp::ShowOpenDialog(m_prompt, styFilter());
    if (!chosen.isEmpty()) {
        const QFileInfo info(chosen);
        if (info.isFile()) {
            m_txtFolder->setText(
                QDir::toNativeSeparators(m_folderMode ? info.absolutePath() : info.absoluteFilePath()));
        } else {
            // A name that names no file: the path up to its last separator.
            const QString path = QDir::fromNativeSeparators(chosen);
            m_txtFolder->setText(QDir::toNativeSeparators(path.left(path.lastIndexOf(QLatin1Char('/')) + 1)));
        }
    }
    m_cmdOk->setEnabled(true);
    m_cmdCancel->setEnabled(true);
}

void frmStyImport::setPath(const QString& path) {
    m_txtFolder->setText(QDir::toNativeSeparators(path));
}

QString frmStyImport::refusal() const {
    const QString path = m_txtFolder->text().trimmed();
    const QFileInfo info(path);
    if (m_folderMode && !info.isDir())
        return QStringLiteral("The folder %1 does not exist.").arg(path);
    if (!m_folderMode && !info.exists())
        return QStringLiteral("The file %1 does not exist.").arg(path);
    if (!m_folderMode && info.isDir())
        return QStringLiteral("%1 is a folder: choose an STY file or an archive, or import the folder "
                              "with \"Import from Folder\".")
            .arg(path);
    return StyleGroup::refusal(
        {.family = m_txtField[0]->text(), .group = m_txtField[1]->text(), .author = m_txtField[2]->text()});
}

void frmStyImport::setInputEnabled(bool enabled) {
    for (QWidget* input : std::as_const(m_inputs))
        input->setEnabled(enabled);
    m_cmdOk->setEnabled(enabled);
    m_cmdCancel->setEnabled(enabled);
}

void frmStyImport::showLabel(int index, const QString& text) {
    QLabel* label = m_lbStato.at(size_t(index));
    label->setText(text);
    label->setToolTip(text);
    label->repaint();
}

void frmStyImport::cmdOk_Click() {
    const QString path = m_txtFolder->text().trimmed();
    if (m_running || path.isEmpty())
        return;
    // A path or value that cannot be used is refused before the run starts; the window stays as it is.
    if (const QString problem = refusal(); !problem.isEmpty()) {
        m_prompt.message(problem, Prompt::Title, Prompt::Icon::Critical);
        return;
    }
    m_importRan = true;
    m_module.ExchangeValue1 = orBlank(m_txtField[0]->text());
    m_module.ExchangeValue2 = orBlank(m_txtField[1]->text());
    m_module.ExchangeValue3 = orBlank(m_txtField[2]->text());
    m_module.ExchangeValue4 = QStringLiteral(" ");
    setInputEnabled(false);
    m_cmdStop->setEnabled(true);
    m_running = true;
    m_stopAsked = false;
    setCursor(Qt::BusyCursor); // busy, yet Cancel can be clicked

    m_import = std::make_unique<StyImport>(m_module.connection());
    m_import->setFactsReader(&NoteFingerprint::readFacts);
    const int policy = m_opImport[0]->isChecked() ? 0 : m_opImport[1]->isChecked() ? 1 : 2;
    m_import->setPolicy(StyImport::Policy(policy));
    m_import->setSubfolders(m_folderMode && m_chkSubFolders->isChecked());
    m_import->setSaveBank(m_chkBank->isChecked());
    m_import->PickedStyles = m_module.PickedStyles;
    if (m_chkErrors->isChecked())
        m_import->setPicker([this](const StyImport::PickerRequest& request) { return pick(request); });
    m_import->setProgress(
        [this](StyImport::Stage stage, const QString& text, int, int) { showProgress(stage, text); });

    // The files are counted first, so that the bar can show how far the run is.
    for (QLabel* label : m_lbStato) {
        label->clear();
        label->show();
    }
    m_lbResult->clear();
    showLabel(0, QStringLiteral("Counting the files ..."));
    m_pbFiles->showCounting();
    try {
        m_import->begin(path, m_folderMode, m_txtField[0]->text(), m_txtField[1]->text(),
                        m_txtField[2]->text());
    } catch (const SbkError& error) {
        endWithError(error.message());
        return;
    }
    showLabel(0, QString());
    m_pbFiles->start(m_import->fileCount());
    QTimer::singleShot(0, this, &frmStyImport::importStep);
}

void frmStyImport::importStep() {
    if (!m_running)
        return;
    if (m_stopAsked) {
        m_import->cancel();
        endCancelled();
        return;
    }
    QString log;
    try {
        const bool more = m_import->importNext();
        m_pbFiles->setMaximum(qMax(1, m_import->fileCount())); // grows in a compressed archive
        m_pbFiles->advance(m_import->filesDone());
        if (more) {
            // The next file comes once the window has answered what is pending: paints, clicks.
            QTimer::singleShot(0, this, &frmStyImport::importStep);
            return;
        }
        log = m_import->finish();
    } catch (const SbkError& error) {
        endWithError(error.message());
        return;
    }
    leaveRun(true);
    m_lbResult->setText(m_import->summary() + QLatin1Char('.'));
    if (!log.trimmed().isEmpty() &&
        m_prompt.confirm(QStringLiteral("Import process terminated. Should I show you the import log?"),
                         ImportTitle)) {
        frmLog window(this);
        window.setWindowTitle(QString());
        window.setText(QString(log).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        WindowOpener::exec(window);
    }
    emit runEnded();
}

void frmStyImport::endCancelled() {
    leaveRun(true);
    m_lbResult->setText(QStringLiteral("Cancelled after %1 of %2 files: nothing of this run was kept.")
                            .arg(m_import->filesDone())
                            .arg(m_import->fileCount()));
    emit runEnded();
}

void frmStyImport::endWithError(const QString& text) {
    // As after any failed run, only the close box is left: the labels show where the run stopped.
    leaveRun(false);
    if (m_pbFiles->maximum() == 0)
        m_pbFiles->setRange(0, 1);
    m_prompt.message(text, Prompt::Title, Prompt::Icon::Critical);
    emit runEnded();
}

void frmStyImport::leaveRun(bool usable) {
    m_running = false;
    unsetCursor();
    m_cmdStop->setEnabled(false);
    if (!usable)
        return;
    setInputEnabled(true);
    showLabel(0, QString());
    showLabel(1, QString());
}

void frmStyImport::cmdStop_Click() {
    if (!m_running)
        return;
    m_stopAsked = true;
    m_cmdStop->setEnabled(false);
}

void frmStyImport::showProgress(StyImport::Stage stage, const QString& text) {
    switch (stage) {
    case StyImport::Stage::Folder:
        showLabel(2, text);
        break;
    case StyImport::Stage::File:
        showLabel(0, text);
        break;
    case StyImport::Stage::Style:
        showLabel(1, text.trimmed());
        break;
    }
}

std::optional<StyImport::PickerAnswer> frmStyImport::pick(const StyImport::PickerRequest& request) {
    frmStyContent picker(m_module, m_prompt, this);
    picker.fill(request.shortName, request.styleNames, request.values);
    // The picker answers through the shared state; its close box leaves that as it was.
    if (WindowOpener::exec(picker) != QDialog::Accepted)
        return std::nullopt;
    StyImport::PickerAnswer answer;
    for (int r = 0; r < frmStyContent::RowCount; ++r)
        answer.picked.at(size_t(r)) = m_module.PickedStyles.at(size_t(r));
    answer.values = {m_module.ExchangeValue1, m_module.ExchangeValue2, m_module.ExchangeValue3,
                     m_module.ExchangeValue4};
    return answer;
}

void frmStyImport::cmdCancel_Click() {
    if (m_running)
        return;
    m_module.ImportMode = m_importRan ? 99 : -1;
    accept();
}

void frmStyImport::reject() {
    if (!m_running)
        QDialog::reject();
}

void frmStyImport::closeEvent(QCloseEvent* event) {
    if (m_running) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void frmStyImport::done(int result) {
    if (m_running)
        return;
    // The styles window shows what the database holds now.
    try {
        m_module.refreshListing();
    } catch (const SbkError& error) {
        m_module.StyleRecordset = StyleListing();
        m_prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
    }
    QDialog::done(result);
}
