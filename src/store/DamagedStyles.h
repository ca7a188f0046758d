#pragma once

#include <QString>
#include <QStringList>

// The styles a run found damaged, their blocks not decoding (StyleFactsValues::damage), and kept
// byte for byte all the same: how many, and the first few by number and name, for the message that
// ends the run.
class DamagedStyles {
public:
    static constexpr int Named = 10;

    void add(qint32 styleProg, const QString& styleName1);
    qint64 count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }

    // "3 restored styles are damaged: their blocks do not decode. They were kept as they are: 12
    // BALLAD, 14 POP, 20 SWING." for what = "restored"; the first Named styles are named, the rest
    // counted ("and 5 more"). "" when there are none.
    QString sentence(const QString& what) const;

private:
    qint64 m_count = 0;
    QStringList m_named;
};
