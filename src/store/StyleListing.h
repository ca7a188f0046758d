#pragma once

#include <array>
#include <functional>
#include <optional>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QStringView>

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
    QString StyleFile;
};

// The style listing: an independent copy of the listing query's rows that the caller owns. It
// knows its row count and hands out a row, or one of its values, by its place. The texts of every
// row lie end to end in one buffer and each row keeps where its own lie, so 100,000 rows cost a
// few large allocations instead of one for every value (and a window opens without waiting for
// the system to hand over the pages of as many small ones).
class StyleListing {
public:
    // The columns of the listing, in this order (a result column's index is its place here).
    enum Column { Prog, Name1, Desc, Family, Cat, Author, Date, Tempo, Meter, File };
    // The sort key of the number of stored banks that hold a style (a bank that holds it twice
    // counts once); no column of the listing.
    static inline const QString BanksKey = QStringLiteral("BANKS");

    // SELECT STYLEPROG, STYLENAME1, ..., TEMPO, METER, STYLEFILE FROM KORFSTYLES [WHERE filterWhere]
    // ORDER BY filterOrder (by STYLEPROG when filterOrder is empty). The condition is pasted in as
    // it stands with filterValues bound to its parameters in order, the sort list with its text
    // columns sorted by SBKFOLD, the meter by its numbers and BanksKey by the count of banks; a
    // clause the database rejects throws SbkError with the database's error text. A style table
    // without the facts columns (a database of another program) lists them as NULL.
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
    // The row at index (0 to RecordCount() - 1), as a copy.
    StyleListRow row(int index) const;
    qint32 number(int index) const { return m_rows.at(index).prog; }
    std::optional<int> tempo(int index) const;
    // A text column's value at index (Name1 to Date, Meter or File), valid until the listing changes.
    QStringView text(int index, Column column) const;
    // Puts new values in place of the row at index.
    void replace(int index, const StyleListRow& row);

    // The rows from first to last, each as a copy.
    class const_iterator {
    public:
        const_iterator(const StyleListing* listing, int index) : m_listing(listing), m_index(index) {}
        StyleListRow operator*() const { return m_listing->row(m_index); }
        const_iterator& operator++() {
            ++m_index;
            return *this;
        }
        bool operator!=(const const_iterator& other) const { return m_index != other.m_index; }

    private:
        const StyleListing* m_listing;
        int m_index;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, RecordCount()}; }

private:
    static constexpr int TextCount = 8; // Name1, Desc, Family, Cat, Author, Date, Meter, File
    // Where a row's texts lie in m_text: from start, the end of each relative to start.
    struct Packed {
        qsizetype start = 0;
        std::array<quint32, TextCount> ends{};
        qint32 prog = 0;
        qint32 tempo = 0;
        bool hasTempo = false;
    };
    Packed pack(const StyleListRow& row);
    // The end of the texts added since start, relative to it; SbkError when it would not fit.
    quint32 checkedEnd(qsizetype start) const;

    QList<Packed> m_rows;
    QString m_text;
};
