#include "gui/interchange/SsfDialog.h"

#include "core/Prompt.h"
#include "gui/main/RunProgressBar.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

SsfDialog::SsfDialog(SBKModule& module, Prompt& prompt, QWidget* parent, const QString& name,
                     const std::array<QString, 2>& options, const QString& pathLabel,
                     const QString& startCaption)
    : QDialog(parent), m_module(module), m_prompt(prompt), m_txtFolder(new QLineEdit(this)),
      m_cmdSearch(new QPushButton(QStringLiteral("Search"), this)),
      m_cmdOk(new QPushButton(startCaption, this)),
      m_cmdCancel(new QPushButton(QStringLiteral("Exit"), this)), m_progressBar(new RunProgressBar(this)),
      m_txtReport(new QPlainTextEdit(this)) {
    setObjectName(name);
    setModal(true);

    auto* choices = new QButtonGroup(this);
    auto* optionRow = new QHBoxLayout;
    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(options.at(size_t(i)), this);
        option->setObjectName(QStringLiteral("opStyle_%1").arg(i));
        choices->addButton(option, i);
        optionRow->addWidget(option);
        m_opStyle.at(size_t(i)) = option;
    }
    optionRow->addStretch();
    m_opStyle[0]->setChecked(true);

    auto* label = new QLabel(pathLabel, this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setBuddy(m_txtFolder);
    m_txtFolder->setObjectName(QStringLiteral("txtFolder"));
    m_txtFolder->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    m_cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {m_cmdSearch, m_cmdOk, m_cmdCancel})
        button->setAutoDefault(false);
    connect(m_cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    connect(m_cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Nothing to start without a path.
    m_cmdOk->setEnabled(false);
    connect(m_txtFolder, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_cmdOk->setEnabled(!text.trimmed().isEmpty()); });
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(label);
    pathRow->addWidget(m_txtFolder, 1);
    pathRow->addWidget(m_cmdSearch);

    m_progressBar->setObjectName(QStringLiteral("Shape1"));
    m_progressBar->setShownOnBegin(false);
    m_progressBar->hide();
    m_txtReport->setObjectName(QStringLiteral("txtReport"));
    m_txtReport->setReadOnly(true);
    m_txtReport->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_txtReport->setPlaceholderText(QStringLiteral("The files of each run are listed here."));
    m_txtReport->setMinimumHeight(fontMetrics().lineSpacing() * 8);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cmdOk);
    buttons->addWidget(m_cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(optionRow);
    layout->addLayout(pathRow);
    layout->addWidget(m_progressBar);
    layout->addWidget(m_txtReport, 1);
    layout->addLayout(buttons);
}

QString SsfDialog::report() const {
    return m_txtReport->toPlainText();
}

QString SsfDialog::path() const {
    return m_txtFolder->text().trimmed();
}

void SsfDialog::reject() {
    if (!m_busy)
        QDialog::reject();
}

void SsfDialog::setBusy(bool busy) {
    m_busy = busy;
    for (QWidget* control : {static_cast<QWidget*>(m_cmdSearch), static_cast<QWidget*>(m_cmdCancel),
                             static_cast<QWidget*>(m_txtFolder)})
        control->setEnabled(!busy);
    m_cmdOk->setEnabled(!busy && !path().isEmpty());
    for (QRadioButton* option : m_opStyle)
        option->setEnabled(!busy && m_optionsUsable);
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
        m_progressBar->hide();
    }
}

void SsfDialog::addReport(const QString& line) {
    m_txtReport->appendPlainText(line);
}

void SsfDialog::fail(const QString& text) {
    m_prompt.message(text, Prompt::Title, Prompt::Icon::Critical);
}

void SsfDialog::setBarShown(bool shown) {
    m_progressBar->setShownOnBegin(shown);
}

Progress* SsfDialog::progress() const {
    return m_progressBar;
}
