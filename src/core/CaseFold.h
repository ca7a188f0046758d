#pragma once

#include <QString>
#include <QStringView>

// How SBK compares texts without regard to case. The find field of the styles window and SBKFOLD,
// which the filter and the sort run in SQL, both fold through here, so that a text found by the
// one is found by the other.
class CaseFold {
public:
    // The text case-folded: ASCII letters lowered, any other text upper-cased and then folded in
    // full, so that "ß", "SS" and "ss" are one, and "ÉTÉ" and "été". The result may be longer
    // than the text.
    static QString fold(QStringView text);
    // Appends the folded text to out (for long texts made of many pieces, without a copy of each).
    static void append(QStringView text, QString& out);
};
