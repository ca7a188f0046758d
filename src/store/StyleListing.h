#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// One row of the style listing: the columns the styles window and the command line show.
struct StyleListRow {
    qint32 StyleProg = 0;
    QString StyleName1;
    QString StyleDesc;
    QString StyleFamily;
    QString StyleCat;
    QString StyleAuthor;
    QString StyleDate;
};

// The style listing: an independent copy of the listing query's rows that the caller owns. It
// knows its row count and can be walked from first to last (or addressed by row for a view).
class StyleListing {
public:
    // SELECT STYLEPROG, STYLENAME1, ... FROM KORFSTYLES [WHERE filterWhere] ORDER BY filterOrder
    // (by STYLEPROG when filterOrder is empty). The condition is pasted in as it stands with
    // filterValues bound to its parameters in order, the sort list with its text columns sorted by
    // SBKFOLD; a clause the database rejects throws SbkError with the database's error text.
    static StyleListing GetAllStyles(QSqlDatabase connection, const QString& filterWhere,
                                     const QString& filterOrder, const QStringList& filterValues = {});
    static QString statement(const QString& filterWhere, const QString& filterOrder);
    // The ORDER BY list for filterOrder ("STYLENAME1 DESC, STYLECAT" ...).
    static QString orderClause(const QString& filterOrder);

    int RecordCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    const StyleListRow& row(int index) const { return m_rows.at(index); }
    StyleListRow& row(int index) { return m_rows[index]; }

    // Forward walking, as a result set is read.
    void MoveFirst() { m_position = 0; }
    void MoveNext() { ++m_position; }
    void MoveLast() { m_position = m_rows.isEmpty() ? 0 : int(m_rows.size()) - 1; }
    bool EndOfRows() const { return m_position >= m_rows.size(); }
    const StyleListRow& current() const { return m_rows.at(m_position); }

    auto begin() const { return m_rows.cbegin(); }
    auto end() const { return m_rows.cend(); }

private:
    QList<StyleListRow> m_rows;
    int m_position = 0;
};
