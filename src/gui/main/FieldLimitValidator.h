#pragma once

#include "core/FieldLimit.h"

#include <QValidator>

class QLineEdit;

// A field's FieldLimit on a line edit: typing is held to the limit, text the program puts in with
// setText stays whole.
class FieldLimitValidator : public QValidator {
    Q_OBJECT
public:
    // Installs the limit on the field, which owns it.
    static FieldLimitValidator* apply(QLineEdit* field, int limit);

    State validate(QString& input, int& pos) const override;

private:
    FieldLimitValidator(QLineEdit* field, int limit);

    QLineEdit* m_field;
    FieldLimit m_limit;
};
