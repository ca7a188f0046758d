#pragma once

#include "store/StyleListing.h"

#include <QAbstractTableModel>

// The style grid's rows: a view over a listing result, so that 100,000 styles cost one row
// record each and the grid asks only for the cells it paints. Columns: 0 style number (the key,
// hidden), 1 name, 2 description, 3 family, 4 group.
class StyleGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 5;

    using QAbstractTableModel::QAbstractTableModel;

    // Shows a listing; the rows are shared with it until a row is edited in place.
    void setListing(const StyleListing& listing);
    const StyleListing& listing() const { return m_listing; }

    qint32 styleNumber(int row) const;
    QString text(int row, int column) const;
    // Writes an edited style's texts into its row where it stands (it moves at the next refill).
    void updateRow(int row, const QString& name, const QString& description, const QString& family,
                   const QString& group);

    // The name as the grid shows it: without characters of code 0.
    static QString shownName(const QString& name);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    StyleListing m_listing;
};
