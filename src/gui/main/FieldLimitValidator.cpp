#include "core/FieldLimit.h"

#include <algorithm>
#include <QLineEdit>

namespace {
const QString blank = QStringLiteral(" ");
}

FieldLimit* FieldLimit::apply(QLineEdit* field, int limit) {
    auto* validator = new FieldLimit(field, limit);
    field->setValidator(validator);
    return validator;
}

FieldLimit::FieldLimit(QLineEdit* field, int limit)
    : QValidator(field), m_field(field), m_limit(limit),
      m_allowance(std::max<int>(limit, field->text().size())), m_blankOnly(field->text() == blank) {
    // setText leaves the field unmodified; typing marks it modified.
    connect(field, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Only the blank the program put in is replaced by typing; a blank the user typed stays.
        if (m_field->isModified()) {
            m_blankOnly = m_blankOnly && text == blank;
            return;
        }
        m_blankOnly = text == blank;
        m_allowance = std::max<int>(m_allowance, text.size());
        if (m_blankOnly)
            m_field->selectAll();
    });
    connect(field, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_allowance = std::max<int>(m_limit, text.size()); });
}

QValidator::State FieldLimit::validate(QString& input, int& pos) const {
    // setText validates too, but leaves the field unmodified: what the program puts in stays whole.
    if (!m_field->isModified())
        return Acceptable;
    // Typing into the lone blank replaces it, wherever the cursor stood.
    if (m_blankOnly && input.size() > 1) {
        if (input.startsWith(blank) && pos == input.size()) {
            input.remove(0, 1);
            --pos;
        } else if (input.endsWith(blank) && pos == input.size() - 1) {
            input.chop(1);
        }
    }
    const qsizetype excess = input.size() - m_allowance;
    if (excess <= 0)
        return Acceptable;
    // What was typed or pasted ends at the cursor: its end is cut, as a plain length limit would.
    if (pos < excess)
        return Invalid;
    input.remove(pos - excess, excess);
    pos -= int(excess);
    return Acceptable;
}
