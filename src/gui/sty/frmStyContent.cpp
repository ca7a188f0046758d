#include "gui/sty/frmStyContent.h"

#include "core/Prompt.h"
#include "gui/main/FieldLimitValidator.h"
#include "metadata/StyleGroup.h"
#include "session/SBKModule.h"
#include "sty/StyImport.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// The rows stand in two columns of 16, as the slots of a bank.
constexpr int RowsPerColumn = 16;
} // namespace

frmStyContent::frmStyContent(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt) {
    setObjectName(QStringLiteral("frmStyContent"));
    setModal(true);

    auto* rows = new QGroupBox(this);
    auto* rowGrid = new QGridLayout(rows);
    for (int r = 0; r < RowCount; ++r) {
        // The tick box carries the style's name (lbStyleName), so a click on the name ticks it too.
        auto* number = new QLabel(QString::number(r + 1), rows);
        number->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        number->setEnabled(false);
        auto* check = new QCheckBox(rows);
        check->setObjectName(QStringLiteral("Check1_%1").arg(r));
        check->setMinimumWidth(fontMetrics().averageCharWidth() * 30);
        const int column = (r / RowsPerColumn) * 2;
        rowGrid->addWidget(number, r % RowsPerColumn, column);
        rowGrid->addWidget(check, r % RowsPerColumn, column + 1);
        m_check1.at(size_t(r)) = check;
    }

    auto* fields = new QGridLayout;
    const QStringList captions{QStringLiteral("Family "), QStringLiteral("Group "), QStringLiteral("Author "),
                               QStringLiteral("Description ")};
    // Family, group and author go into the style's columns; the description is only shown and
    // handed back.
    const int limits[4] = {StyleGroup::FamilySize, StyleGroup::GroupSize, StyleGroup::AuthorSize,
                           StyleGroup::DescSize};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(captions.at(i), this);
        label->setObjectName(QStringLiteral("lbField_%1").arg(i));
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("txtField_%1").arg(i));
        FieldLimitValidator::apply(field, limits[i]);
        label->setBuddy(field);
        fields->addWidget(label, i, 0);
        fields->addWidget(field, i, 1);
        m_txtField.at(size_t(i)) = field;
    }

    auto* buttons = new QHBoxLayout;
    const QStringList commands{QStringLiteral("Select All"), QStringLiteral("Unselect All"),
                               QStringLiteral("Import Selected Styles")};
    buttons->addStretch();
    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(commands.at(i), this);
        button->setObjectName(QStringLiteral("Command1_%1").arg(i));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
        buttons->addWidget(button);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rows);
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

void frmStyContent::fill(const QString& shortName, const QStringList& styleNames,
                         const std::array<QString, 4>& values) {
    setWindowTitle(shortName);
    for (int r = 0; r < RowCount; ++r) {
        const QString name = r < styleNames.size() ? styleNames.at(r).trimmed() : QString();
        QCheckBox* check = m_check1.at(size_t(r));
        check->setText(name);
        check->setChecked(!name.isEmpty());
        // A row without a style has nothing to pick.
        check->setEnabled(!name.isEmpty());
    }
    for (int i = 0; i < 4; ++i)
        m_txtField.at(size_t(i))->setText(values.at(size_t(i)));
}

void frmStyContent::Command1_Click(int index) {
    switch (index) {
    case 0:
        for (QCheckBox* check : m_check1)
            check->setChecked(!check->text().trimmed().isEmpty());
        break;
    case 1:
        for (QCheckBox* check : m_check1)
            check->setChecked(false);
        break;
    case 2: {
        // Values that cannot be stored are refused here, while they can still be mended.
        if (const QString problem = StyleGroup::refusal({.family = m_txtField[0]->text(),
                                                         .group = m_txtField[1]->text(),
                                                         .author = m_txtField[2]->text()});
            !problem.isEmpty()) {
            m_prompt.message(problem, Prompt::Title, Prompt::Icon::Critical);
            return;
        }
        for (int r = 0; r < RowCount; ++r)
            m_module.PickedStyles.at(size_t(r)) = m_check1.at(size_t(r))->isChecked();
        m_module.ExchangeValue1 = m_txtField[0]->text();
        m_module.ExchangeValue2 = m_txtField[1]->text();
        m_module.ExchangeValue3 = m_txtField[2]->text();
        m_module.ExchangeValue4 = m_txtField[3]->text();
        accept();
        break;
    }
    default:
        break;
    }
}
