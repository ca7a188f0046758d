#include "store/DamagedStyles.h"

#include "core/SingleByteText.h"

void DamagedStyles::add(qint32 styleProg, const QString& styleName1) {
    if (m_named.size() < Named)
        m_named << QStringLiteral("%1 %2").arg(styleProg).arg(
            SingleByteText::plainText(styleName1).trimmed());
    ++m_count;
}

QString DamagedStyles::sentence(const QString& what) const {
    if (m_count == 0)
        return QString();
    QString names = m_named.join(QStringLiteral(", "));
    if (m_count > m_named.size())
        names += QStringLiteral(" and %1 more").arg(m_count - m_named.size());
    if (m_count == 1)
        return QStringLiteral("1 %1 style is damaged: its blocks do not decode. It was kept as it is: %2.")
            .arg(what, names);
    return QStringLiteral(
               "%1 %2 styles are damaged: their blocks do not decode. They were kept as they are: %3.")
        .arg(QString::number(m_count), what, names);
}
