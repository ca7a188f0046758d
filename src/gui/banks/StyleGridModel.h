#pragma once

#include "banks/WorkingBank.h"
#include "store/StyleListing.h"

#include <array>
#include <optional>
#include <QAbstractTableModel>
#include <QColor>
#include <QHash>

class DbKORFStyle;

// The style grid's rows: a view over a listing result, so that 100,000 styles cost one row
// record each and the grid asks only for the cells it paints. Columns: 0 style number (the key),
// 1 name, 2 description, 3 family, 4 group, 5 tempo, 6 meter (blank when unknown), 7 author,
// 8 date of import, 9 STY file, 10 the banks that hold the style (as setBanks gave them).
//
// A search text narrows the rows shown to the styles whose name or description contains it; row
// numbers of the model (the grid's rows) then count the shown rows only. Rows drag out as the
// style numbers and names that the working bank's insert takes.
class StyleGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum { NumberColumn = 0, NameColumn = 1, TempoColumn = 5, MeterColumn = 6, BanksColumn = 10 };
    static constexpr int ColumnCount = 11;
    static inline const QString RowsMimeType = QStringLiteral("application/x-sbk-style-rows");

    using QAbstractTableModel::QAbstractTableModel;

    // Shows a listing, narrowed by the search in use; the rows are shared with it until a row is
    // edited in place.
    void setListing(const StyleListing& listing);
    const StyleListing& listing() const { return m_listing; }

    // Shows only the rows whose name or description contains the text, in any case; "" shows all.
    void setSearch(const QString& text);
    // Makes the text that searches look through, unless it is there: every row's name and
    // description, case-folded, in one piece that a search reads from end to end (some 10 MB and
    // 60 ms for 100,000 styles, so that each key then answers at once). Done by the first search
    // after the rows changed, or beforehand when the find field gets the focus.
    void prepareSearch();
    QString search() const { return m_search; }

    qint32 styleNumber(int row) const;
    // The grid row that shows the style, -1 when none does; with shownOnly false, the row it has in
    // the listing whatever the search shows (the grid's row once the search is emptied).
    int rowOf(qint32 prog, bool shownOnly = true) const;
    QString text(int row, int column) const;
    // Writes an edited style's texts into its row where it stands (it moves at the next refill).
    void updateRow(int row, const DbKORFStyle& style);
    // The banks column's texts by style number (StoredBanks::namesByStyle); a style not in it is
    // in no bank.
    void setBanks(QHash<qint32, QString> banks);

    // The background of a column's header (an invalid colour leaves it to the style).
    void setHeaderColour(int column, const QColor& colour);

    // The rows that mimeData put into a drag, or nothing for data of another kind or from another
    // run of the program (its style numbers would name other styles).
    static std::optional<QList<WorkingBank::GridRow>> draggedRows(const QMimeData* data);

    // The name as the grid shows it: without characters of code 0.
    static QString shownName(const QString& name);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    // The listing row behind a grid row, -1 outside.
    int listingRow(int row) const;
    // m_shown := the listing rows (of `among`, or of the whole listing) that match m_search.
    void narrow(const QList<int>* among);
    // After the rows changed: the search text is made again when a search needs it.
    void forgetSearchText();

    StyleListing m_listing;
    QString m_search;
    QList<int> m_shown;       // the listing rows shown while a search is in use
    QString m_searchText;     // see prepareSearch
    QList<int> m_searchStart; // where each row's text starts in m_searchText, and its end; empty
                              // while the text is not made
    QHash<qint32, QString> m_banks;
    std::array<QColor, ColumnCount> m_headerColours;
};
