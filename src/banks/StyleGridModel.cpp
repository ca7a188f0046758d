#include "banks/StyleGridModel.h"

void StyleGridModel::setListing(const StyleListing& listing) {
    beginResetModel();
    m_listing = listing;
    endResetModel();
}

QString StyleGridModel::shownName(const QString& name) {
    QString shown = name;
    shown.remove(QChar(0));
    return shown;
}

qint32 StyleGridModel::styleNumber(int row) const {
    if (row < 0 || row >= m_listing.RecordCount())
        return 0;
    return m_listing.row(row).StyleProg;
}

QString StyleGridModel::text(int row, int column) const {
    if (row < 0 || row >= m_listing.RecordCount())
        return QString();
    const StyleListRow& r = m_listing.row(row);
    switch (column) {
    case 0:
        return QString::number(r.StyleProg);
    case 1:
        return shownName(r.StyleName1);
    case 2:
        return r.StyleDesc;
    case 3:
        return r.StyleFamily;
    case 4:
        return r.StyleCat;
    default:
        return QString();
    }
}

void StyleGridModel::updateRow(int row, const QString& name, const QString& description,
                               const QString& family, const QString& group) {
    if (row < 0 || row >= m_listing.RecordCount())
        return;
    StyleListRow& r = m_listing.row(row);
    r.StyleName1 = name;
    r.StyleDesc = description;
    r.StyleFamily = family;
    r.StyleCat = group;
    emit dataChanged(index(row, 1), index(row, 4), {Qt::DisplayRole});
}

int StyleGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_listing.RecordCount();
}

int StyleGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StyleGridModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (role == Qt::DisplayRole)
        return text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() > 0)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return QVariant();
}

QVariant StyleGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const captions[ColumnCount] = {"Style", "Name", "Description", "Family", "Group"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString::fromLatin1(captions[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
}
