#pragma once

#include "store/KORFStyle.h"

#include <memory>
#include <QHash>
#include <QList>

using KORFStylePtr = std::shared_ptr<KORFStyle>;

// An ordered list of styles, positions 1..Count in insertion order, each optionally under a
// unique string key. Item returns the stored record itself (shared), not a copy.
// A position outside 1..Count, an unknown key or a duplicate key throws SbkError and leaves the
// list unchanged.
class KORFStyles {
public:
    // Exchanges the seven values of the records at the two positions; the record objects keep
    // their positions, keys and identity.
    void Swap(int style1, int style2);
    KORFStylePtr Add(qint32 prog, const QString& name1, const QString& name2, qint32 length1, qint32 length2,
                     const QByteArray& content1, const QByteArray& content2, const QString& key = QString());
    void Remove(int position);
    void Remove(const QString& key);
    KORFStylePtr Item(int position) const;
    KORFStylePtr Item(const QString& key) const;
    qint32 Count() const { return qint32(m_items.size()); }
    void Clear();

    // NewEnum: walk the records in position order with a range-for loop.
    auto begin() const { return m_items.cbegin(); }
    auto end() const { return m_items.cend(); }

private:
    int indexOf(int position) const;

    QList<KORFStylePtr> m_items;
    QList<QString> m_keys; // parallel to m_items; "" for a record without key
    QHash<QString, KORFStylePtr> m_byKey;
};
