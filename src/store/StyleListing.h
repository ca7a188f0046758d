#pragma once

#include <functional>
#include <optional>
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
    std::optional<int> Tempo; // the style facts; absent and "" when unknown
    QString Meter;
};

// The style listing: an independent copy of the listing query's rows that the caller owns. It
// knows its row count and can be walked from first to last (or addressed by row for a view).
class StyleListing {
public:
    // The columns of the listing, in this order (a result column's index is its place here).
    enum Column { Prog, Name1, Desc, Family, Cat, Author, Date, Tempo, Meter };

    // SELECT STYLEPROG, STYLENAME1, ..., TEMPO, METER FROM KORFSTYLES [WHERE filterWhere] ORDER BY
    // filterOrder (by STYLEPROG when filterOrder is empty). The condition is pasted in as it stands
    // with filterValues bound to its parameters in order, the sort list with its text columns
    // sorted by SBKFOLD and the meter by its numbers; a clause the database rejects throws SbkError
    // with the database's error text. A style table without the facts columns (a database of
    // another program) lists them as NULL.
    static StyleListing GetAllStyles(QSqlDatabase connection, const QString& filterWhere,
                                     const QString& filterOrder, const QStringList& filterValues = {});
    // The rows of the same query handed to the caller one at a time, as they are read, so that a
    // listing written row by row holds one row however large the library is. The row is the
    // caller's to keep (it may be moved from); the next one is read into the same object. Returns
    // the number of rows; a failure of the database, also part way, throws SbkError.
    static qint64 forEachStyle(QSqlDatabase connection, const QString& filterWhere,
                               const QString& filterOrder, const QStringList& filterValues,
                               const std::function<void(StyleListRow&)>& take);
    static QString statement(const QString& filterWhere, const QString& filterOrder, bool keepsFacts = true);
    // The ORDER BY list for filterOrder ("STYLENAME1 DESC, STYLECAT", "METER DESC" ...).
    static QString orderClause(const QString& filterOrder);
    // The meters the stored styles have, each once, by numerator and then denominator ("2/4",
    // "3/4", "4/4", "6/8", "12/8").
    static QStringList metersPresent(QSqlDatabase connection);

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
