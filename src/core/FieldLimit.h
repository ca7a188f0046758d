#pragma once

#include <QString>

// The length limit of a text field, for typing only: text the program puts into the field is never
// cut, and a field that opened longer than its limit may be shortened but not lengthened past it.
// A field that holds only the blank stored for an empty field (one blank stands for an empty family,
// group or author) has that blank replaced by the first character typed. The windows apply it to
// their fields through FieldLimitValidator.
class FieldLimit {
public:
    // text: what the field holds when the limit is installed.
    FieldLimit(int limit, const QString& text);

    // The field's text changed, typed by the user or put in by the program. True when the field now
    // holds only the blank the program put in, which the window selects so that typing replaces it.
    bool changed(const QString& text, bool typed);
    // The user edited the field (typing, pasting, deleting) to this text.
    void edited(const QString& text);
    // Whether an edit may leave input in the field: the lone blank is dropped when a character is
    // typed beside it, and what was typed past the limit is cut at the cursor. False refuses the edit.
    bool accept(QString& input, int& pos) const;

private:
    int m_limit;
    // The most characters an edit may leave: the limit, or more while the field still holds a
    // longer text the program put in.
    int m_allowance;
    bool m_blankOnly = false;
};
