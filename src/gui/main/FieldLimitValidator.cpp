#include "gui/main/FieldLimitValidator.h"

#include <QLineEdit>

FieldLimitValidator* FieldLimitValidator::apply(QLineEdit* field, int limit) {
    auto* validator = new FieldLimitValidator(field, limit);
    field->setValidator(validator);
    return validator;
}

FieldLimitValidator::FieldLimitValidator(QLineEdit* field, int limit)
    : QValidator(field), m_field(field), m_limit(limit, field->text()) {
    // setText leaves the field unmodified; typing marks it modified.
    connect(field, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_limit.changed(text, m_field->isModified()))
            m_field->selectAll();
    });
    connect(field, &QLineEdit::textEdited, this, [this](const QString& text) { m_limit.edited(text); });
}

QValidator::State FieldLimitValidator::validate(QString& input, int& pos) const {
    // setText validates too, but leaves the field unmodified: what the program puts in stays whole.
    if (!m_field->isModified())
        return Acceptable;
    return m_limit.accept(input, pos) ? Acceptable : Invalid;
}
