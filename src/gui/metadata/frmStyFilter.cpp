#include "gui/metadata/frmStyFilter.h"

#include "core/SbkError.h"
#include "gui/main/FieldLimitValidator.h"
#include "metadata/FilterClauses.h"
#include "metadata/StyleGroup.h"
#include "music/SimilarStyles.h"
#include "music/StyleMusicReader.h"
#include "session/SBKModule.h"
#include "store/DbKORFStyle.h"
#include "store/StyleListing.h"

#include <algorithm>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
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
    if (!FilterClauses::displayNames().contains(choice) && !FilterClauses::factSortNames().contains(choice))
        return {FilterClauses::displayNames().first(), false};
    return {choice, descending};
}

// The highest tempo a range may name; a style's tempo lies between 20 and 300.
constexpr int TempoLimit = 300;

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
    // The style facts: a meter the stored styles have, and a tempo range whose open end shows "any".
    const int factsRow = FieldCount;
    auto* meterLabel = new QLabel(QStringLiteral("Meter "), frame1);
    m_cbMeter = new QComboBox(frame1);
    m_cbMeter->setObjectName(QStringLiteral("cbMeter"));
    m_cbMeter->addItem(QStringLiteral("any"), QString());
    QStringList meters;
    try {
        meters = StyleListing::metersPresent(m_module.connection());
    } catch (const SbkError&) {
        // The choice is an aid: without it the meter chosen before is still offered, and the
        // listing that follows says what is wrong with the database.
    }
    if (!m_module.FilterMeter.isEmpty() && !meters.contains(m_module.FilterMeter))
        meters << m_module.FilterMeter; // chosen before its last style went
    for (const QString& meter : meters)
        m_cbMeter->addItem(meter, meter);
    m_cbMeter->setCurrentIndex(std::max(0, m_cbMeter->findData(m_module.FilterMeter)));
    meterLabel->setBuddy(m_cbMeter);
    filterGrid->addWidget(meterLabel, factsRow, 0);
    filterGrid->addWidget(m_cbMeter, factsRow, 1, Qt::AlignLeft);

    auto* tempoLabel = new QLabel(QStringLiteral("Tempo "), frame1);
    auto* tempoRow = new QHBoxLayout;
    const int ends[2] = {m_module.FilterTempoFrom, m_module.FilterTempoTo};
    for (int i = 0; i < 2; ++i) {
        auto* end = new QSpinBox(frame1);
        end->setObjectName(QStringLiteral("txtTempo_%1").arg(i));
        end->setRange(0, TempoLimit);
        end->setSpecialValueText(QStringLiteral("any"));
        end->setSuffix(QStringLiteral(" BPM"));
        end->setValue(ends[i]);
        m_txtTempo.at(size_t(i)) = end;
        if (i == 1)
            tempoRow->addWidget(new QLabel(QStringLiteral("to"), frame1));
        tempoRow->addWidget(end);
    }
    tempoRow->addStretch();
    tempoLabel->setBuddy(m_txtTempo[0]);
    filterGrid->addWidget(tempoLabel, factsRow + 1, 0);
    filterGrid->addLayout(tempoRow, factsRow + 1, 1);
    filterGrid->setColumnMinimumWidth(1, fontMetrics().averageCharWidth() * 32);

    // The styles whose blocks do not decode, which a database of another program cannot tell.
    m_chkDamaged = new QCheckBox(QStringLiteral("Damaged styles only"), frame1);
    m_chkDamaged->setObjectName(QStringLiteral("chkDamaged"));
    const bool tells = m_module.isConnected() && DbKORFStyle::keepsFacts(m_module.connection());
    m_chkDamaged->setEnabled(tells);
    m_chkDamaged->setChecked(tells && m_module.FilterDamaged);
    m_chkDamaged->setToolTip(
        tells ? QStringLiteral("The styles whose data does not decode (a wrong check byte, a "
                               "missing end mark, a cut-off block): SBK keeps them as they "
                               "were read, but the instrument may refuse them.")
              : QStringLiteral("This database, made by another program, does not record "
                               "which styles are damaged."));
    filterGrid->addWidget(m_chkDamaged, factsRow + 2, 1);

    // The styles whose notes are like those of the style selected in the grid (setSelectedStyle).
    auto* similarRow = new QHBoxLayout;
    m_chkSimilar = new QCheckBox(QStringLiteral("Similar to the selected style, at least"), frame1);
    m_chkSimilar->setObjectName(QStringLiteral("chkSimilar"));
    m_txtSimilar = new QSpinBox(frame1);
    m_txtSimilar->setObjectName(QStringLiteral("txtSimilar"));
    m_txtSimilar->setRange(1, 100);
    m_txtSimilar->setSuffix(QStringLiteral(" %"));
    m_txtSimilar->setValue(m_module.FilterSimilarPercent);
    similarRow->addWidget(m_chkSimilar);
    similarRow->addWidget(m_txtSimilar);
    similarRow->addStretch();
    filterGrid->addLayout(similarRow, factsRow + 3, 1);
    m_lbSimilar = new QLabel(frame1);
    m_lbSimilar->setObjectName(QStringLiteral("lbSimilar"));
    m_lbSimilar->setWordWrap(true);
    filterGrid->addWidget(m_lbSimilar, factsRow + 4, 1);
    connect(m_chkSimilar, &QCheckBox::toggled, m_txtSimilar, &QWidget::setEnabled);
    setSelectedStyle(0, QString());

    auto* frame2 = new QGroupBox(QStringLiteral(" Order settings "), this);
    frame2->setObjectName(QStringLiteral("Frame2"));
    auto* orderGrid = new QGridLayout(frame2);
    for (int i = 0; i < FieldCount; ++i) {
        auto* order = new QComboBox(frame2);
        order->setObjectName(QStringLiteral("cmdOrder_%1").arg(i));
        order->addItems(FilterClauses::displayNames() + FilterClauses::factSortNames());
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
        (i == 0 ? filterGrid : orderGrid)->addLayout(row, i == 0 ? FieldCount + 5 : FieldCount, 0, 1, 2);
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

void frmStyFilter::setSelectedStyle(qint32 prog, const QString& name) {
    const QString what = StyleMusicReader::styleWhat(prog, name.trimmed());
    QString reason;
    bool notes = false;
    if (!m_module.isConnected() || !DbKORFStyle::keepsFacts(m_module.connection())) {
        reason =
            QStringLiteral("This database, made by another program, does not keep the notes of its styles.");
    } else if (prog == 0) {
        reason = QStringLiteral("No style is selected in the grid: select one to find the styles like it.");
    } else {
        try {
            notes = SimilarStyles::storedWithNotes(m_module.connection(), prog);
        } catch (const SbkError& e) {
            reason = e.message();
        }
        if (!notes && reason.isEmpty())
            reason = QStringLiteral("%1 has no notes to compare.").arg(what);
    }
    m_selected = notes ? prog : 0;
    m_chkSimilar->setEnabled(notes);
    m_chkSimilar->setChecked(notes && m_module.FilterSimilarTo != 0);
    m_txtSimilar->setEnabled(m_chkSimilar->isChecked());
    m_chkSimilar->setToolTip(notes
                                 ? QStringLiteral("Lists the styles whose notes are at least this much like "
                                                  "those of %1, that style among them.")
                                       .arg(what)
                                 : reason);
    QString text = notes ? what : reason;
    // The filter in use compared with another style: "Set filter on" compares with this one.
    if (notes && m_module.FilterSimilarTo != 0 && m_module.FilterSimilarTo != prog)
        text += QStringLiteral(" (the filter in use compares with style %1)").arg(m_module.FilterSimilarTo);
    m_lbSimilar->setText(text);
}

void frmStyFilter::cmdEmpty_Click(int index) {
    if (index == 0) {
        m_cbMeter->setCurrentIndex(0);
        for (QSpinBox* end : m_txtTempo)
            end->setValue(0);
        m_chkDamaged->setChecked(false);
        m_chkSimilar->setChecked(false);
    }
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
    // A range given the other way round means the same tempos.
    int from = m_txtTempo[0]->value();
    int to = m_txtTempo[1]->value();
    if (from > 0 && to > 0 && from > to)
        std::swap(from, to);
    const QString meter = m_cbMeter->currentData().toString();
    FilterClauses::addFacts(state, meter, from, to);
    const bool damaged = m_chkDamaged->isChecked();
    if (damaged)
        FilterClauses::addDamaged(state);
    const bool similar = m_chkSimilar->isChecked() && m_selected != 0;
    if (similar)
        FilterClauses::addSimilar(state, m_selected, m_txtSimilar->value());
    state.FilterFields[18] = m_module.FilterFields[18]; // not the dialog's
    m_module.FilterWhere = state.FilterWhere;
    m_module.FilterValues = state.FilterValues;
    m_module.FilterOrder = state.FilterOrder;
    m_module.FilterFields = state.FilterFields;
    m_module.FilterMeter = meter;
    m_module.FilterTempoFrom = from;
    m_module.FilterTempoTo = to;
    m_module.FilterDamaged = damaged;
    m_module.FilterSimilarTo = similar ? m_selected : 0;
    m_module.FilterSimilarPercent = m_txtSimilar->value();
    accept();
}
