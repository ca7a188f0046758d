#include "gui/banks/DuplicateTreeModel.h"

#include "core/SingleByteText.h"

#include <algorithm>
#include <QFont>
#include <QHash>
#include <QSet>

namespace {

QFont boldFont() {
    QFont font;
    font.setBold(true);
    return font;
}

} // namespace

DuplicateTreeModel::DuplicateTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void DuplicateTreeModel::setGroups(QList<DuplicateStyles::Group> groups, DuplicateStyles::KeepRule rule) {
    // The styles kept before, by the kind of their group: a group takes the mark of a group of its
    // own kind first, as the group it was before the library changed.
    QHash<qint64, DuplicateStyles::Kind> keptBefore;
    for (qsizetype row = 0; row < m_groups.size(); ++row)
        keptBefore.insert(m_keep.at(row), m_groups.at(row).kind);
    beginResetModel();
    m_groups = std::move(groups);
    m_keep.clear();
    m_keep.reserve(m_groups.size());
    for (const DuplicateStyles::Group& group : std::as_const(m_groups)) {
        qint64 kept = 0;
        for (const DuplicateStyles::Style& style : group.styles) {
            const auto found = keptBefore.constFind(style.StyleProg);
            if (found == keptBefore.cend())
                continue;
            if (*found == group.kind) {
                kept = style.StyleProg;
                break;
            }
            if (kept == 0)
                kept = style.StyleProg;
        }
        m_keep.append(kept != 0 ? kept : DuplicateStyles::keepByRule(group, rule));
    }
    endResetModel();
}

void DuplicateTreeModel::applyRule(DuplicateStyles::KeepRule rule) {
    // Each group on its own: the rule orders all styles alike, so a style it keeps in a wide group
    // is also what it keeps in a narrower group that holds it.
    for (int row = 0; row < m_groups.size(); ++row)
        keepOnly(row, DuplicateStyles::keepByRule(m_groups.at(row), rule));
}

qint64 DuplicateTreeModel::styleCount() const {
    QSet<qint64> styles;
    for (const DuplicateStyles::Group& group : m_groups)
        for (const DuplicateStyles::Style& style : group.styles)
            styles.insert(style.StyleProg);
    return styles.size();
}

QList<int> DuplicateTreeModel::allGroups() const {
    QList<int> rows;
    rows.reserve(m_groups.size());
    for (int row = 0; row < m_groups.size(); ++row)
        rows << row;
    return rows;
}

bool DuplicateTreeModel::setKeep(int row, qint64 styleProg) {
    if (row < 0 || row >= m_groups.size() || !holds(m_groups.at(row), styleProg))
        return false;
    for (int other = 0; other < m_groups.size(); ++other)
        if (other == row || holds(m_groups.at(other), styleProg))
            keepOnly(other, styleProg);
    return true;
}

bool DuplicateTreeModel::holds(const DuplicateStyles::Group& group, qint64 styleProg) {
    return std::any_of(group.styles.cbegin(), group.styles.cend(),
                       [styleProg](const auto& style) { return style.StyleProg == styleProg; });
}

void DuplicateTreeModel::keepOnly(int row, qint64 styleProg) {
    if (m_keep.at(row) == styleProg)
        return;
    m_keep[row] = styleProg;
    const QModelIndex parent = groupIndex(row);
    emit dataChanged(index(0, StyleColumn, parent),
                     index(int(m_groups.at(row).styles.size()) - 1, StyleColumn, parent),
                     {Qt::CheckStateRole});
}

int DuplicateTreeModel::groupRowOf(const QModelIndex& index) const {
    if (!index.isValid())
        return -1;
    return index.internalId() == GroupId ? index.row() : int(index.internalId() - 1);
}

const DuplicateStyles::Style* DuplicateTreeModel::styleAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() == GroupId)
        return nullptr;
    return &m_groups.at(qsizetype(index.internalId() - 1)).styles.at(index.row());
}

QModelIndex DuplicateTreeModel::groupIndex(int row) const {
    return index(row, 0);
}

QList<DuplicateStyles::Merge> DuplicateTreeModel::merges(const QList<int>& rows, int* skipped) const {
    const auto width = [this](int row) { return DuplicateStyles::kinds().indexOf(m_groups.at(row).kind); };
    QList<int> widestFirst = rows;
    std::stable_sort(widestFirst.begin(), widestFirst.end(),
                     [&](int a, int b) { return width(a) > width(b); });
    QSet<qint64> covered;
    QList<int> taken;
    for (int row : std::as_const(widestFirst)) {
        const QList<DuplicateStyles::Style>& styles = m_groups.at(row).styles;
        if (std::any_of(styles.cbegin(), styles.cend(),
                        [&](const auto& s) { return covered.contains(s.StyleProg); }))
            continue;
        for (const DuplicateStyles::Style& style : styles)
            covered.insert(style.StyleProg);
        taken.append(row);
    }
    if (skipped)
        *skipped = int(rows.size() - taken.size());
    // The run goes in the tree's order.
    std::sort(taken.begin(), taken.end());
    QList<DuplicateStyles::Merge> list;
    list.reserve(taken.size());
    for (int row : std::as_const(taken))
        list.append({m_groups.at(row), m_keep.at(row)});
    return list;
}

qint64 DuplicateTreeModel::deletedBy(const QList<DuplicateStyles::Merge>& merges) {
    qint64 deleted = 0;
    for (const DuplicateStyles::Merge& merge : merges)
        deleted += merge.group.styles.size() - 1;
    return deleted;
}

QString DuplicateTreeModel::banksText(const DuplicateStyles::Style& style) {
    QStringList places;
    places.reserve(style.Banks.size());
    for (const DuplicateStyles::BankSlot& slot : style.Banks)
        places << slot.BankName.trimmed() + QLatin1Char(' ') + QString::number(slot.Slot);
    return places.join(QStringLiteral(", "));
}

QString DuplicateTreeModel::styleText(const DuplicateStyles::Style& style, int column) {
    switch (column) {
    case StyleColumn:
        return QString::number(style.StyleProg);
    case NameColumn:
        // Names taken from STY files may be padded with zero bytes.
        return SingleByteText::plainText(style.StyleName1).trimmed();
    case GroupColumn:
        return style.StyleCat.trimmed();
    case AuthorColumn:
        return style.StyleAuthor.trimmed();
    case TempoColumn:
        return style.StyleTempo ? QString::number(*style.StyleTempo) : QString();
    case MeterColumn:
        return style.StyleMeter;
    case DateColumn:
        return style.StyleDate.trimmed();
    case BanksColumn:
        return banksText(style);
    default:
        return QString();
    }
}

QString DuplicateTreeModel::header(int column) {
    static const char* const captions[ColumnCount] = {
        "Keep / style", "Name", "Style group", "Author", "Tempo", "Meter", "Date", "Banks and slots"};
    return column >= 0 && column < ColumnCount ? QString::fromLatin1(captions[column]) : QString();
}

QModelIndex DuplicateTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid())
        return row < m_groups.size() ? createIndex(row, column, GroupId) : QModelIndex();
    if (parent.internalId() == GroupId && parent.column() == 0 &&
        row < m_groups.at(parent.row()).styles.size())
        return createIndex(row, column, quintptr(parent.row()) + 1);
    return {};
}

QModelIndex DuplicateTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == GroupId)
        return {};
    return createIndex(int(child.internalId() - 1), 0, GroupId);
}

int DuplicateTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return int(m_groups.size());
    if (parent.internalId() == GroupId && parent.column() == 0)
        return int(m_groups.at(parent.row()).styles.size());
    return 0;
}

int DuplicateTreeModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

QVariant DuplicateTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (index.internalId() == GroupId)
        return groupData(index.row(), index.column(), role);
    const int row = int(index.internalId() - 1);
    return styleData(row, m_groups.at(row).styles.at(index.row()), index.column(), role);
}

QVariant DuplicateTreeModel::groupData(int row, int column, int role) const {
    const DuplicateStyles::Group& group = m_groups.at(row);
    switch (role) {
    case Qt::DisplayRole:
        // The caption spans the row in the tree; the other columns stay empty.
        return column == 0 ? QStringLiteral("Group %1: %2, %3 styles")
                                 .arg(row + 1)
                                 .arg(DuplicateStyles::kindWords(group.kind))
                                 .arg(group.styles.size())
                           : QVariant();
    case Qt::FontRole:
        return boldFont();
    case GroupRowRole:
        return row;
    default:
        return {};
    }
}

QVariant DuplicateTreeModel::styleData(int row, const DuplicateStyles::Style& style, int column,
                                       int role) const {
    switch (role) {
    case Qt::DisplayRole:
        return styleText(style, column);
    case Qt::ToolTipRole:
        if (column == BanksColumn && !style.Banks.isEmpty())
            return banksText(style).replace(QStringLiteral(", "), QStringLiteral("\n"));
        if (column == StyleColumn)
            return QStringLiteral("The style kept when the group is merged");
        // A text cut by its column shows whole.
        return column == NameColumn || column == GroupColumn || column == AuthorColumn
                   ? QVariant(styleText(style, column))
                   : QVariant();
    case Qt::CheckStateRole:
        if (column == StyleColumn)
            return m_keep.at(row) == style.StyleProg ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        if (column == StyleColumn || column == TempoColumn)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        return {};
    case StyleProgRole:
        return style.StyleProg;
    case GroupRowRole:
        return row;
    default:
        return {};
    }
}

bool DuplicateTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const DuplicateStyles::Style* style = styleAt(index);
    if (!style || index.column() != StyleColumn || role != Qt::CheckStateRole)
        return false;
    // A radio choice: the kept style is unchecked only by checking another one.
    if (Qt::CheckState(value.toInt()) != Qt::Checked)
        return false;
    return setKeep(groupRowOf(index), style->StyleProg);
}

Qt::ItemFlags DuplicateTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.internalId() != GroupId && index.column() == StyleColumn)
        flags |= Qt::ItemIsUserCheckable;
    if (index.internalId() != GroupId)
        flags |= Qt::ItemNeverHasChildren;
    return flags;
}

QVariant DuplicateTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return header(section);
    return QAbstractItemModel::headerData(section, orientation, role);
}
