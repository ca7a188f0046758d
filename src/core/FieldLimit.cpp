#include "core/FieldLimit.h"

#include <algorithm>

namespace {
const QString blank = QStringLiteral(" ");
}

FieldLimit::FieldLimit(int limit, const QString& text)
    : m_limit(limit), m_allowance(std::max<int>(limit, text.size())), m_blankOnly(text == blank) {}

bool FieldLimit::changed(const QString& text, bool typed) {
    // Only the blank the program put in is replaced by typing; a blank the user typed stays.
    if (typed) {
        m_blankOnly = m_blankOnly && text == blank;
        return false;
    }
    m_blankOnly = text == blank;
    m_allowance = std::max<int>(m_allowance, text.size());
    return m_blankOnly;
}

void FieldLimit::edited(const QString& text) {
    m_allowance = std::max<int>(m_limit, text.size());
}

bool FieldLimit::accept(QString& input, int& pos) const {
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
        return true;
    // What was typed or pasted ends at the cursor: its end is cut, as a plain length limit would.
    if (pos < excess)
        return false;
    input.remove(pos - excess, excess);
    pos -= int(excess);
    return true;
}
