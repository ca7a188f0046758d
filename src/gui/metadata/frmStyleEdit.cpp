#include "gui/metadata/frmStyleEdit.h"

#include "core/Prompt.h"
#include "core/SingleByteText.h"
#include "gui/main/FieldLimitValidator.h"
#include "metadata/StyleGroup.h"
#include "session/SBKModule.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmStyleEdit::frmStyleEdit(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt) {
    setObjectName(QStringLiteral("frmStyleEdit"));
    setWindowTitle(QStringLiteral("Style edit"));
    setModal(true);

    // Rows top to bottom. Labels are numbered Code, Name, Length, Description, Family, Group,
    // STY file name, Author, Date of import; read-only values are lbField(0..2), texts txtField(0..5).
    struct Row {
        const char* caption;
        int label;
        int field; // txtField index, or -1
        int value; // lbField index, or -1
        int maxLength;
    };
    const Row rows[] = {
        {"Code ", 0, -1, 0, 0},
        {"Name ", 1, 0, -1, 11},
        {"Length ", 2, -1, 1, 0},
        {"Description ", 3, 1, -1, StyleGroup::DescSize},
        {"Family ", 4, 2, -1, StyleGroup::FamilySize},
        {"Group ", 5, 3, -1, StyleGroup::GroupSize},
        {"STY file name ", 6, 4, -1, StyleGroup::FileSize},
        {"Date of import ", 8, -1, 2, 0},
        {"Author ", 7, 5, -1, StyleGroup::AuthorSize},
    };
    // Family, group and file name hold at most 20 characters in the database; the fields stop
    // typing there instead of letting the update fail. A limit never cuts what is stored.
    const DbKORFStyle* table = m_module.StyleTable.get();
    const QStringList values{
        table ? QString::number(table->StyleProg()) : QString(),
        table ? QString::number(qint64(table->StyleLength1()) + table->StyleLength2()) : QString(),
        table ? table->StyleDate() : QString(),
    };
    const QStringList texts{
        table ? table->StyleName1() : QString(),  table ? table->StyleDesc() : QString(),
        table ? table->StyleFamily() : QString(), table ? table->StyleCat() : QString(),
        table ? table->StyleFile() : QString(),   table ? table->StyleAuthor() : QString(),
    };

    auto* grid = new QGridLayout;
    int line = 0;
    for (const Row& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.caption), this);
        label->setObjectName(QStringLiteral("lbDesc_%1").arg(row.label));
        grid->addWidget(label, line, 0);
        if (row.field >= 0) {
            auto* field = new QLineEdit(this);
            field->setObjectName(QStringLiteral("txtField_%1").arg(row.field));
            field->setText(texts.at(row.field));
            FieldLimitValidator::apply(field, row.maxLength);
            m_txtField.at(size_t(row.field)) = field;
            grid->addWidget(field, line, 1);
        } else {
            auto* value = new QLabel(values.at(row.value), this);
            value->setObjectName(QStringLiteral("lbField_%1").arg(row.value));
            value->setAutoFillBackground(true);
            QPalette palette = value->palette();
            palette.setColor(QPalette::Window, QColor(224, 224, 224));
            value->setPalette(palette);
            grid->addWidget(value, line, 1);
        }
        ++line;
    }
    grid->setColumnMinimumWidth(1, 320);

    auto* update = new QPushButton(QStringLiteral("Update"), this);
    update->setObjectName(QStringLiteral("cbUpdate"));
    update->setToolTip(QStringLiteral("Updates style changes to database"));
    update->setAutoDefault(false);
    connect(update, &QPushButton::clicked, this, &frmStyleEdit::cbUpdate_Click);
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("cbExit"));
    exit->setToolTip(QStringLiteral("Cancel any update and exit"));
    exit->setAutoDefault(false);
    connect(exit, &QPushButton::clicked, this, &frmStyleEdit::cbExit_Click);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(update);
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    m_module.ExchangeValue1 = QString(Cancelled);
}

void frmStyleEdit::cbUpdate_Click() {
    // What cannot be stored is refused field by field: the field is named and the dialog stays.
    static std::optional<QString> StyleChanges::*const members[] = {
        &StyleChanges::name,  &StyleChanges::desc, &StyleChanges::family, &StyleChanges::group, nullptr,
        &StyleChanges::author};
    // A value left as stored passes: it may have come from a file under an older rule.
    static const QString& (DbKORFStyle::*const stored[])() const = {
        &DbKORFStyle::StyleName1, &DbKORFStyle::StyleDesc, &DbKORFStyle::StyleFamily,
        &DbKORFStyle::StyleCat,   &DbKORFStyle::StyleFile, &DbKORFStyle::StyleAuthor};
    const DbKORFStyle* shown = m_module.StyleTable.get();
    for (int i = 0; i < 6; ++i) {
        const QString text = m_txtField[size_t(i)]->text();
        if (shown && text == (shown->*stored[i])())
            continue;
        StyleChanges change;
        if (members[i])
            change.*members[i] = text;
        const QString problem = members[i] ? StyleGroup::refusal(change)
                                           : SingleByteText::refusal(QStringLiteral("STY file name"), text);
        if (!problem.isEmpty()) {
            m_prompt.message(problem, Prompt::Title, Prompt::Icon::Critical);
            m_txtField[size_t(i)]->setFocus();
            return;
        }
    }
    if (DbKORFStyle* table = m_module.StyleTable.get()) {
        // An emptied family, group or author holds the blank stored for an empty field (a value stored empty stays
        // so); otherwise the texts go as typed, untrimmed.
        auto orBlank = [](const QLineEdit* field, const QString& stored) {
            return field->text().isEmpty() && !stored.isEmpty() ? QStringLiteral(" ") : field->text();
        };
        table->setStyleName1(m_txtField[0]->text());
        table->setStyleDesc(m_txtField[1]->text());
        table->setStyleFamily(orBlank(m_txtField[2], table->StyleFamily()));
        table->setStyleCat(orBlank(m_txtField[3], table->StyleCat()));
        table->setStyleFile(m_txtField[4]->text());
        table->setStyleAuthor(orBlank(m_txtField[5], table->StyleAuthor()));
    }
    m_module.ExchangeValue1 = QString(Confirmed);
    accept();
}

void frmStyleEdit::cbExit_Click() {
    m_module.ExchangeValue1 = QString(Cancelled);
    QDialog::reject();
}

void frmStyleEdit::reject() {
    cbExit_Click();
}
