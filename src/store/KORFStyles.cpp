#include "store/KORFStyles.h"

#include "core/SbkError.h"

int KORFStyles::indexOf(int position) const {
    if (position < 1 || position > m_items.size())
        throw SbkError(
            QStringLiteral("Style list: position %1 is outside 1 to %2").arg(position).arg(m_items.size()));
    return position - 1;
}

void KORFStyles::Swap(int style1, int style2) {
    // Both positions are checked before anything changes.
    KORFStyle& a = *m_items[indexOf(style1)];
    KORFStyle& b = *m_items[indexOf(style2)];
    std::swap(a, b);
}

KORFStylePtr KORFStyles::Add(qint32 prog, const QString& name1, const QString& name2, qint32 length1,
                             qint32 length2, const QByteArray& content1, const QByteArray& content2,
                             const QString& key) {
    if (!key.isEmpty() && m_byKey.contains(key))
        throw SbkError(QStringLiteral("Style list: the key \"%1\" is already in the list").arg(key));
    auto record = std::make_shared<KORFStyle>(prog, name1, name2, length1, length2, content1, content2);
    m_items.append(record);
    m_keys.append(key);
    if (!key.isEmpty())
        m_byKey.insert(key, record);
    return record;
}

void KORFStyles::Remove(int position) {
    const int i = indexOf(position);
    if (!m_keys[i].isEmpty())
        m_byKey.remove(m_keys[i]);
    m_items.removeAt(i);
    m_keys.removeAt(i);
}

void KORFStyles::Remove(const QString& key) {
    const int i = m_keys.indexOf(key);
    if (key.isEmpty() || i < 0)
        throw SbkError(QStringLiteral("Style list: no record under the key \"%1\"").arg(key));
    Remove(i + 1);
}

KORFStylePtr KORFStyles::Item(int position) const {
    return m_items[indexOf(position)];
}

KORFStylePtr KORFStyles::Item(const QString& key) const {
    auto it = m_byKey.constFind(key);
    if (it == m_byKey.cend())
        throw SbkError(QStringLiteral("Style list: no record under the key \"%1\"").arg(key));
    return *it;
}

void KORFStyles::Clear() {
    m_items.clear();
    m_keys.clear();
    m_byKey.clear();
}
