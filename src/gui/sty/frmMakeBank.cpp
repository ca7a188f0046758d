#include "gui/sty/frmMakeBank.h"

#include "core/Prompt.h"
#include "session/SBKModule.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// The prompt of the dialog while it makes a file: the wait pointer shows during the work, the
// normal one while a question or message waits for the user.
class PointerPrompt : public Prompt {
public:
    explicit PointerPrompt(Prompt& prompt) : m_prompt(prompt) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~PointerPrompt() override { QApplication::restoreOverrideCursor(); }
    PointerPrompt(const PointerPrompt&) = delete;
    PointerPrompt& operator=(const PointerPrompt&) = delete;

    Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons,
                   Answer defaultButton) override {
        const Normal normal;
        return m_prompt.message(text, title, icon, buttons, defaultButton);
    }
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& proposed) override {
        const Normal normal;
        return m_prompt.input(prompt, title, proposed);
    }
    QString openFile(const QString& filter) override {
        const Normal normal;
        return m_prompt.openFile(filter);
    }
    QString saveFile(const QString& filter, const QString& proposedName) override {
        const Normal normal;
        return m_prompt.saveFile(filter, proposedName);
    }
    QString chooseFolder(const QString& title, const QString& start) override {
        const Normal normal;
        return m_prompt.chooseFolder(title, start);
    }

private:
    struct Normal {
        Normal() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
        ~Normal() { QApplication::restoreOverrideCursor(); }
    };
    Prompt& m_prompt;
};

} // namespace

frmMakeBank::frmMakeBank(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt), m_cbLayout(new QComboBox(this)) {
    setObjectName(QStringLiteral("frmMakeBank"));
    setWindowTitle(QStringLiteral("Make .STY file from bank"));
    setModal(true);

    // One choice among all fifteen, across the three groups below.
    auto* choice = new QButtonGroup(this);
    for (int i = 0; i < StyMaker::DestinationCount; ++i) {
        auto* option = new QRadioButton(StyMaker::caption(i, m_module.FloppyDrive), this);
        option->setObjectName(QStringLiteral("optSave_%1").arg(i));
        option->setEnabled(StyMaker::isAvailable(i, m_module.PaHdDrive));
        choice->addButton(option, i);
        m_optSave.at(size_t(i)) = option;
    }
    m_optSave[0]->setChecked(true);

    // Three groups: files (0..2), the floppy's set folder (3..5), the instrument's set folders (6..14)
    // with one column per set.
    auto* files = new QGroupBox(QStringLiteral("File"), this);
    auto* filesLayout = new QVBoxLayout(files);
    for (int i = 0; i <= 2; ++i)
        filesLayout->addWidget(m_optSave.at(size_t(i)));
    auto* floppy = new QGroupBox(QStringLiteral("Floppy disk, set folder SBK.SET"), this);
    auto* floppyLayout = new QVBoxLayout(floppy);
    for (int i = 3; i <= 5; ++i)
        floppyLayout->addWidget(m_optSave.at(size_t(i)));
    auto* paHd =
        new QGroupBox(QStringLiteral("Instrument's disk, set folders !123.SET, !456.SET, !789.SET"), this);
    auto* paHdLayout = new QGridLayout(paHd);
    for (int i = 6; i <= 14; ++i)
        paHdLayout->addWidget(m_optSave.at(size_t(i)), (i - 6) % 3, (i - 6) / 3);
    if (m_module.PaHdDrive.isEmpty())
        paHd->setToolTip(QStringLiteral("The instrument's disk is not configured: set its folder as "
                                        "PAHDDRIVE in the section PARAMETERS of the settings."));
    else
        paHd->setToolTip(QDir::toNativeSeparators(m_module.PaHdDrive));

    auto* layoutRow = new QHBoxLayout;
    auto* layoutLabel = new QLabel(QStringLiteral("Directory layout "), this);
    layoutLabel->setBuddy(m_cbLayout);
    m_cbLayout->setObjectName(QStringLiteral("cbLayout"));
    m_cbLayout->addItem(QStringLiteral("Automatic, from the bank's styles"));
    m_cbLayout->addItem(QStringLiteral("Older (Pa600 and earlier)"));
    m_cbLayout->addItem(QStringLiteral("Newer (Pa700, Pa1000 and later)"));
    m_cbLayout->setToolTip(QStringLiteral("The newer layout is chosen when a style of the bank came from a "
                                          "Pa700, Pa1000 or later model"));
    layoutRow->addWidget(layoutLabel);
    layoutRow->addWidget(m_cbLayout);
    layoutRow->addStretch();

    auto* make = new QPushButton(QStringLiteral("Make .STY file"), this);
    make->setObjectName(QStringLiteral("cmdMake"));
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("cmdCancel"));
    for (QPushButton* button : {make, exit})
        button->setAutoDefault(false);
    connect(make, &QPushButton::clicked, this, &frmMakeBank::cmdMake_Click);
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(make);
    buttons->addWidget(exit);

    auto* top = new QHBoxLayout;
    top->addWidget(files);
    top->addWidget(floppy);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(paHd);
    layout->addLayout(layoutRow);
    layout->addLayout(buttons);
}

int frmMakeBank::selectedIndex() const {
    for (int i = 0; i < StyMaker::DestinationCount; ++i) {
        if (m_optSave.at(size_t(i))->isChecked())
            return i;
    }
    return 0;
}

void frmMakeBank::cmdMake_Click() {
    PointerPrompt prompt(m_prompt);
    StyMaker maker(m_module, m_module.FloppyDrive, m_module.PaHdDrive, prompt, *m_drives);
    switch (m_cbLayout->currentIndex()) {
    case 1:
        maker.setLayout(KORFLibrary::Layout::Older);
        break;
    case 2:
        maker.setLayout(KORFLibrary::Layout::Newer);
        break;
    default:
        maker.setLayout(std::nullopt);
        break;
    }
    m_lastResult = maker.make(selectedIndex());
    if (!StyMaker::staysOpen(m_lastResult))
        accept();
}
