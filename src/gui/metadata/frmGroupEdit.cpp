#include "gui/metadata/frmGroupEdit.h"

#include "core/Prompt.h"
#include "gui/main/FieldLimitValidator.h"
#include "metadata/StyleGroup.h"
#include "session/SBKModule.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Row {
    const char* caption;
    std::optional<QString> StyleChanges::*value; // the field's place in the changes
    int limit;
};
const Row rows[] = {{"Family ", &StyleChanges::family, StyleGroup::FamilySize},
                    {"Group ", &StyleChanges::group, StyleGroup::GroupSize},
                    {"Author ", &StyleChanges::author, StyleGroup::AuthorSize}};

} // namespace

frmGroupEdit::frmGroupEdit(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt) {
    setObjectName(QStringLiteral("frmGroupEdit"));
    setWindowTitle(QStringLiteral("Update (group)"));
    setModal(true);

    const QString values[] = {m_module.ExchangeValue1, m_module.ExchangeValue2, m_module.ExchangeValue3};
    auto* grid = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromLatin1(rows[i].caption), this);
        label->setObjectName(QStringLiteral("lbDesc_%1").arg(i));
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("txtField_%1").arg(i));
        field->setText(values[i]);
        FieldLimitValidator::apply(field, rows[i].limit);
        auto* check = new QCheckBox(QStringLiteral("Don't update!"), this);
        check->setObjectName(QStringLiteral("Check1_%1").arg(i));
        // A field that is not updated is greyed, so the window shows what "Update!" will write.
        connect(check, &QCheckBox::toggled, field, &QLineEdit::setDisabled);
        label->setBuddy(field);
        grid->addWidget(label, i, 0);
        grid->addWidget(field, i, 1);
        grid->addWidget(check, i, 2);
        m_txtField.at(size_t(i)) = field;
        m_check1.at(size_t(i)) = check;
    }
    grid->setColumnMinimumWidth(1, fontMetrics().averageCharWidth() * 32);
    grid->setColumnStretch(1, 1);

    auto* ok = new QPushButton(QStringLiteral("Update!"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &frmGroupEdit::cmdOk_Click);
    auto* cancel = new QPushButton(QStringLiteral("Exit"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &frmGroupEdit::cmdCancel_Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

void frmGroupEdit::cmdOk_Click() {
    // What cannot be stored is refused field by field: the field is named and the dialog stays.
    for (int i = 0; i < 3; ++i) {
        if (m_check1[size_t(i)]->isChecked())
            continue;
        StyleChanges change;
        change.*rows[i].value = m_txtField[size_t(i)]->text();
        if (const QString problem = StyleGroup::refusal(change); !problem.isEmpty()) {
            m_prompt.message(problem, Prompt::Title, Prompt::Icon::Critical);
            m_txtField[size_t(i)]->setFocus();
            return;
        }
    }
    QString* answers[] = {&m_module.ExchangeValue1, &m_module.ExchangeValue2, &m_module.ExchangeValue3};
    int unchanged = 0;
    for (int i = 0; i < 3; ++i) {
        if (m_check1[size_t(i)]->isChecked()) {
            *answers[i] = QString(Unchanged);
            ++unchanged;
        } else {
            *answers[i] = m_txtField[size_t(i)]->text();
        }
    }
    if (unchanged == 3)
        m_module.ExchangeValue1 = QString(Cancelled); // nothing to do
    accept();
}

void frmGroupEdit::cmdCancel_Click() {
    m_module.ExchangeValue1 = QString(Cancelled);
    QDialog::reject();
}

void frmGroupEdit::reject() {
    cmdCancel_Click();
}
