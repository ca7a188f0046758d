#pragma once

#include "store/KORFEntry.h"

#include <QByteArray>
#include <QString>

// One style in memory: its number, two names and its data in two blocks with their lengths.
// Contents are byte strings; every byte 0..255 is kept. The record checks nothing.
// A style whose blocks came from a newer bank file also carries their directory entries.
class KORFStyle {
public:
    KORFStyle() = default;
    KORFStyle(qint32 prog, const QString& name1, const QString& name2, qint32 length1, qint32 length2,
              const QByteArray& content1, const QByteArray& content2)
        : m_StyleProg(prog), m_StyleName1(name1), m_StyleName2(name2), m_StyleLength1(length1),
          m_StyleLength2(length2), m_StyleContent1(content1), m_StyleContent2(content2) {}

    qint32 StyleProg() const { return m_StyleProg; }
    void setStyleProg(qint32 v) { m_StyleProg = v; }
    const QString& StyleName1() const { return m_StyleName1; }
    void setStyleName1(const QString& v) { m_StyleName1 = v; }
    const QString& StyleName2() const { return m_StyleName2; }
    void setStyleName2(const QString& v) { m_StyleName2 = v; }
    qint32 StyleLength1() const { return m_StyleLength1; }
    void setStyleLength1(qint32 v) { m_StyleLength1 = v; }
    qint32 StyleLength2() const { return m_StyleLength2; }
    void setStyleLength2(qint32 v) { m_StyleLength2 = v; }
    const QByteArray& StyleContent1() const { return m_StyleContent1; }
    void setStyleContent1(const QByteArray& v) { m_StyleContent1 = v; }
    const QByteArray& StyleContent2() const { return m_StyleContent2; }
    void setStyleContent2(const QByteArray& v) { m_StyleContent2 = v; }
    const KORFEntry& StyleEntry1() const { return m_StyleEntry1; }
    void setStyleEntry1(const KORFEntry& v) { m_StyleEntry1 = v; }
    const KORFEntry& StyleEntry2() const { return m_StyleEntry2; }
    void setStyleEntry2(const KORFEntry& v) { m_StyleEntry2 = v; }

private:
    qint32 m_StyleProg = 0;
    QString m_StyleName1;
    QString m_StyleName2;
    qint32 m_StyleLength1 = 0;
    qint32 m_StyleLength2 = 0;
    QByteArray m_StyleContent1;
    QByteArray m_StyleContent2;
    KORFEntry m_StyleEntry1;
    KORFEntry m_StyleEntry2;
};
