#include "core/CaseFold.h"

#include <algorithm>

QString CaseFold::fold(QStringView text) {
    QString folded;
    append(text, folded);
    return folded;
}

void CaseFold::append(QStringView text, QString& out) {
    if (std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x80; })) {
        // Upper-casing first makes "ß" and "SS" one, as the filter's upper-cased values need.
        out += text.toString().toUpper().toCaseFolded();
        return;
    }
    const qsizetype at = out.size();
    out.resize(at + text.size());
    QChar* to = out.data() + at;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        *to++ = QChar(u >= 'A' && u <= 'Z' ? char16_t(u + ('a' - 'A')) : u);
    }
}
