#pragma once

#include <QValidator>

class QLineEdit;

// The length limit of a text field, for typing only: text the program puts into the field is never
// cut, and a field that opened longer than its limit may be shortened but not lengthened past it.
// A field that holds only the blank stored for an empty field (one blank stands for an empty family, group or
// author) shows it selected, and the first character typed replaces it.
class FieldLimit : public QValidator {
    Q_OBJECT
public:
    // Installs the limit on the field, which owns it.
    static FieldLimit* apply(QLineEdit* field, int limit);

    State validate(QString& input, int& pos) const override;

private:
    FieldLimit(QLineEdit* field, int limit);

    QLineEdit* m_field;
    int m_limit;
    // The most characters an edit may leave: the limit, or more while the field still holds a
    // longer text the program put in.
    int m_allowance;
    bool m_blankOnly = false;
};
