#pragma once

#include "banks/DuplicateStyles.h"

#include <QAbstractItemModel>
#include <QHash>

// The tree of the duplicates window: a bold node per group of copies ("Group 3: exact copies, 2
// styles"), and beneath it a node per style of the group with its number, name, group, author,
// tempo, meter, date and the bank slots that hold it. The first column of a style holds the choice
// of the style to keep: a check state that is exclusive within its group (checking one unchecks
// the others, and the kept style cannot be unchecked), so it behaves as a radio button.
class DuplicateTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column {
        StyleColumn,
        NameColumn,
        GroupColumn,
        AuthorColumn,
        TempoColumn,
        MeterColumn,
        DateColumn,
        BanksColumn,
        ColumnCount
    };
    enum Role { StyleProgRole = Qt::UserRole, GroupRowRole };

    explicit DuplicateTreeModel(QObject* parent = nullptr);

    // Replaces the tree; each group keeps the style the rule picks. A style kept before (by
    // setKeep or an earlier rule) that is still in its group stays kept, a group of the same kind
    // taking its own mark first.
    void setGroups(QList<DuplicateStyles::Group> groups, DuplicateStyles::KeepRule rule);
    // Every group keeps the style the rule picks, whatever was chosen before.
    void applyRule(DuplicateStyles::KeepRule rule);

    int groupCount() const { return int(m_groups.size()); }
    // The styles listed, each once (a style may be in groups of two kinds).
    qint64 styleCount() const;
    // The rows of every group.
    QList<int> allGroups() const;
    const DuplicateStyles::Group& group(int row) const { return m_groups.at(row); }
    qint64 keep(int row) const { return m_keep.at(row); }
    // Keeps that style in the group and in every other group that holds it (a group within a
    // wider one, the wider one), so that whichever of them is merged keeps it; false when the
    // style is not in the group.
    bool setKeep(int row, qint64 styleProg);
    // The group of a node (its own row, or its parent's for a style); -1 for an invalid index.
    int groupRowOf(const QModelIndex& index) const;
    // The style of a style node; nullptr for a group node.
    const DuplicateStyles::Style* styleAt(const QModelIndex& index) const;
    QModelIndex groupIndex(int row) const;

    // The merges of those groups with the styles kept in them, and the styles they delete. A style
    // may be in groups of two kinds (exact copies are also the same music): the widest kind is
    // merged, and a group whose styles lie in a wider group merged is left out (counted in
    // skipped), as a run merges each style once.
    QList<DuplicateStyles::Merge> merges(const QList<int>& rows, int* skipped = nullptr) const;
    static qint64 deletedBy(const QList<DuplicateStyles::Merge>& merges);

    // "PARTY 3, ROCK 12": the banks and slots that hold a style.
    static QString banksText(const DuplicateStyles::Style& style);
    // The texts of a style's columns, as the tree and the report show them.
    static QString styleText(const DuplicateStyles::Style& style, int column);
    static QString header(int column);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // A group node's internal id is 0; a style node's is 1 + its group's row.
    static constexpr quintptr GroupId = 0;

    static bool holds(const DuplicateStyles::Group& group, qint64 styleProg);
    // The group keeps that style; no other group changes.
    void keepOnly(int row, qint64 styleProg);
    QVariant groupData(int row, int column, int role) const;
    QVariant styleData(int row, const DuplicateStyles::Style& style, int column, int role) const;

    QList<DuplicateStyles::Group> m_groups;
    QList<qint64> m_keep; // per group, the StyleProg of the style kept
};
