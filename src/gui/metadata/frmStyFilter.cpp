#include "gui/metadata/frmStyFilter.h"

#include "gui/main/FieldLimitValidator.h"
#include "metadata/FilterClauses.h"
#include "metadata/StyleGroup.h"
#include "session/SBKModule.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Field {
    const char* caption;
    int limit; // 0: none
};
// The filter fields of the columns 1..6 of FilterClauses; a name may be as long as the store keeps.
// A value is only looked for, never stored, so any character may be typed: another program may
// have stored texts that SBK itself would refuse.
const Field fields[frmStyFilter::FieldCount] = {
    {"Name ", StyleGroup::NameSize}, {"Description ", StyleGroup::DescSize}, {"Family ", 0}, {"Group ", 0},
    {"STY file name ", 0},           {"Author ", StyleGroup::AuthorSize},
};

// A sort choice as stored in FilterFields 6..11, or as a header click leaves it in entry 6 (a column
// name, perhaps with " DESC"), as the display name the drop-down shows and its Descending tick.
std::pair<QString, bool> shownChoice(QString choice, const QString& descFlag) {
    bool descending = descFlag == QStringLiteral(" DESC");
    if (choice.endsWith(QStringLiteral(" DESC"))) {
        choice.chop(5);
        descending = true;
    }
    const int column = int(FilterClauses::columnNames().indexOf(choice));
    if (column > 0)
        choice = FilterClauses::displayNames().at(column);
    if (!FilterClauses::displayNames().contains(choice))
        return {FilterClauses::displayNames().first(), false};
    return {choice, descending};
}

} // namespace

frmStyFilter::frmStyFilter(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt) {
    setObjectName(QStringLiteral("frmStyFilter"));
    setWindowTitle(QStringLiteral("Database filter setting"));
    setModal(true);

    auto* frame1 = new QGroupBox(QStringLiteral(" Filter Settings "), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    auto* filterGrid = new QGridLayout(frame1);
    for (int i = 0; i < FieldCount; ++i) {
        auto* label = new QLabel(QString::fromLatin1(fields[i].caption), frame1);
        label->setObjectName(QStringLiteral("lbDesc_%1").arg(i + 1));
        auto* field = new QLineEdit(frame1);
        field->setObjectName(QStringLiteral("txtField_%1").arg(i));
        field->setText(m_module.FilterFields[size_t(i)]);
        if (fields[i].limit > 0)
            FieldLimitValidator::apply(field, fields[i].limit);
        label->setBuddy(field);
        filterGrid->addWidget(label, i, 0);
        filterGrid->addWidget(field, i, 1);
        m_txtField.at(size_t(i)) = field;
    }
    filterGrid->setColumnMinimumWidth(1, fontMetrics().averageCharWidth() * 32);

    auto* frame2 = new QGroupBox(QStringLiteral(" Order settings "), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* orderGrid = new QGridLayout(frame2);
    for (int i = 0; i < FieldCount; ++i) {
        auto* order = new QComboBox(frame2);
        order->setObjectName(QStringLiteral("cmdOrder_%1").arg(i));
        order->addItems(FilterClauses::displayNames());
        const auto [choice, descending] =
            shownChoice(m_module.FilterFields[size_t(6 + i)], m_module.FilterFields[size_t(12 + i)]);
        order->setCurrentText(choice);
        auto* desc = new QCheckBox(QStringLiteral("Descending"), frame2);
        desc->setObjectName(QStringLiteral("chDesc_%1").arg(i));
        desc->setChecked(descending);
        orderGrid->addWidget(order, i, 0);
        orderGrid->addWidget(desc, i, 1);
        m_cmdOrder.at(size_t(i)) = order;
        m_chDesc.at(size_t(i)) = desc;
    }

    auto makeButton = [this](const QString& name, const QString& caption) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        return button;
    };
    for (int i = 0; i < 2; ++i) {
        QPushButton* reset = makeButton(QStringLiteral("cmdEmpty_%1").arg(i), QStringLiteral("Reset all"));
        connect(reset, &QPushButton::clicked, this, [this, i] { cmdEmpty_Click(i); });
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(reset);
        (i == 0 ? filterGrid : orderGrid)->addLayout(row, FieldCount, 0, 1, 2);
    }
    QPushButton* ok = makeButton(QStringLiteral("cmdOk"), QStringLiteral("Set filter on"));
    connect(ok, &QPushButton::clicked, this, &frmStyFilter::cmdOk_Click);
    QPushButton* exit = makeButton(QStringLiteral("cmdExit"), QStringLiteral("Exit"));
    connect(exit, &QPushButton::clicked, this, &QDialog::reject);

    auto* frames = new QHBoxLayout;
    frames->addWidget(frame1, 1);
    frames->addWidget(frame2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addLayout(buttons);
}

void frmStyFilter::cmdEmpty_Click(int index) {
    for (int i = 0; i < FieldCount; ++i) {
        if (index == 0) {
            m_txtField[size_t(i)]->clear();
        } else {
            m_cmdOrder[size_t(i)]->setCurrentIndex(0);
            m_chDesc[size_t(i)]->setChecked(false);
        }
    }
}

void frmStyFilter::cmdOk_Click() {
    std::array<QString, FilterClauses::FieldCount> values;
    std::array<QString, FilterClauses::SortCount> choices;
    std::array<bool, FilterClauses::SortCount> descending{};
    for (int i = 0; i < FieldCount; ++i) {
        values[size_t(i)] = m_txtField[size_t(i)]->text();
        choices[size_t(i)] = m_cmdOrder[size_t(i)]->currentText();
        descending[size_t(i)] = m_chDesc[size_t(i)]->isChecked();
    }
    FilterState state = FilterClauses::build(values, choices, descending);
    state.FilterFields[18] = m_module.FilterFields[18]; // not the dialog's
    m_module.FilterWhere = state.FilterWhere;
    m_module.FilterValues = state.FilterValues;
    m_module.FilterOrder = state.FilterOrder;
    m_module.FilterFields = state.FilterFields;
    accept();
}
