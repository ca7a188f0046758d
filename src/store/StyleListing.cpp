#include "store/StyleListing.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/SqliteRows.h"

#include <algorithm>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// The meter's numbers as sort keys: "12/8" after "3/4", "6/8" after "6/4".
const QString meterKeys =
    QStringLiteral("CAST(METER AS INTEGER)%1, CAST(SUBSTR(METER, INSTR(METER, '/') + 1) AS "
                   "INTEGER)%1");

// A sort key that names the count of banks, and the count as the statement sorts it.
const QRegularExpression banksKey(QStringLiteral("^BANKS((?: (?:ASC|DESC))?)$"),
                                  QRegularExpression::CaseInsensitiveOption);
const QString banksCount = QStringLiteral("COALESCE(BANKCOUNT, 0)%1");

bool sortsByBanks(const QString& filterOrder) {
    const QStringList keys = filterOrder.split(QLatin1Char(','));
    return std::any_of(keys.cbegin(), keys.cend(),
                       [](const QString& key) { return banksKey.match(key.trimmed()).hasMatch(); });
}

// The number of banks that hold each style named in a slot, as the columns BANKSTYLE and
// BANKCOUNT: one pass over the banks, however many styles there are. UNION keeps each pair of bank
// and style once, so a bank that holds a style twice counts once.
QString bankCounts() {
    QStringList slotRows;
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        slotRows << QStringLiteral("SELECT BANKPROG AS BANK, %1 AS STYLE FROM KORFBANKS")
                        .arg(DbKORFBank::slotColumn(k).toUpper());
    return QStringLiteral("SELECT STYLE AS BANKSTYLE, COUNT(*) AS BANKCOUNT FROM (") +
           slotRows.join(QStringLiteral(" UNION ")) + QStringLiteral(") WHERE STYLE <> 0 GROUP BY STYLE");
}

} // namespace

QString StyleListing::orderClause(const QString& filterOrder) {
    if (filterOrder.isEmpty())
        return QStringLiteral("STYLEPROG");
    static const QRegularExpression meterKey(QStringLiteral("^METER((?: (?:ASC|DESC))?)$"),
                                             QRegularExpression::CaseInsensitiveOption);
    // Text columns sort by their folded form, so that no letter's case counts, within ASCII or not.
    static const QRegularExpression textKey(
        QStringLiteral("^(STYLE(?:NAME1|NAME2|DESC|FAMILY|CAT|FILE|AUTHOR))((?: (?:ASC|DESC))?)$"),
        QRegularExpression::CaseInsensitiveOption);
    QStringList keys = filterOrder.split(QLatin1Char(','));
    for (QString& key : keys) {
        key = key.trimmed();
        const QRegularExpressionMatch match = textKey.match(key);
        if (match.hasMatch())
            key = QStringLiteral("SBKFOLD(%1)%2").arg(match.captured(1), match.captured(2));
        else if (const QRegularExpressionMatch meter = meterKey.match(key); meter.hasMatch())
            key = meterKeys.arg(meter.captured(1));
        else if (const QRegularExpressionMatch banks = banksKey.match(key); banks.hasMatch())
            key = banksCount.arg(banks.captured(1));
    }
    return keys.join(QStringLiteral(", "));
}

QString StyleListing::statement(const QString& filterWhere, const QString& filterOrder, bool keepsFacts) {
    QString sql = QStringLiteral("SELECT STYLEPROG, STYLENAME1, STYLEDESC, STYLEFAMILY, STYLECAT, "
                                 "STYLEAUTHOR, STYLEDATE, TEMPO, METER, STYLEFILE FROM ");
    // Without the columns, a filter or sort on them meets NULL, as for a style whose facts are unknown.
    sql += keepsFacts ? QStringLiteral("KORFSTYLES")
                      : QStringLiteral("(SELECT *, NULL AS TEMPO, NULL AS METER FROM KORFSTYLES)");
    // The banks are counted only for a sort by them.
    if (sortsByBanks(filterOrder))
        sql += QStringLiteral(" LEFT JOIN (") + bankCounts() + QStringLiteral(") ON BANKSTYLE = STYLEPROG");
    if (!filterWhere.isEmpty())
        sql += QStringLiteral(" WHERE ") + filterWhere;
    sql += QStringLiteral(" ORDER BY ") + orderClause(filterOrder);
    return sql;
}

StyleListing StyleListing::GetAllStyles(QSqlDatabase connection, const QString& filterWhere,
                                        const QString& filterOrder, const QStringList& filterValues) {
    StyleListing result;
    SqliteRows rows(connection, statement(filterWhere, filterOrder, DbKORFStyle::keepsFacts(connection)),
                    filterValues);
    // Each text goes from where SQLite holds it into the listing's buffer.
    while (rows.next()) {
        Packed packed;
        packed.start = result.m_text.size();
        packed.prog = rows.integer(Prog);
        packed.hasTempo = !rows.isNull(Tempo);
        packed.tempo = packed.hasTempo ? rows.integer(Tempo) : 0;
        int place = 0;
        for (const Column column : {Name1, Desc, Family, Cat, Author, Date, Meter, File}) {
            rows.appendText(column, result.m_text);
            packed.ends[size_t(place++)] = result.checkedEnd(packed.start);
        }
        result.m_rows.append(packed);
    }
    return result;
}

namespace {

// The text columns in the order a row keeps them: the listing's own, with the meter and the file
// last.
constexpr std::array<QString StyleListRow::*, 8> packedTexts{
    &StyleListRow::StyleName1, &StyleListRow::StyleDesc,   &StyleListRow::StyleFamily,
    &StyleListRow::StyleCat,   &StyleListRow::StyleAuthor, &StyleListRow::StyleDate,
    &StyleListRow::Meter,      &StyleListRow::StyleFile};

int packedPlace(StyleListing::Column column) {
    Q_ASSERT(column != StyleListing::Prog && column != StyleListing::Tempo);
    return column >= StyleListing::Meter ? int(column) - 2 : int(column) - 1;
}

} // namespace

StyleListing::Packed StyleListing::pack(const StyleListRow& row) {
    Packed packed;
    packed.start = m_text.size();
    packed.prog = row.StyleProg;
    packed.hasTempo = row.Tempo.has_value();
    packed.tempo = row.Tempo.value_or(0);
    for (int t = 0; t < TextCount; ++t) {
        m_text += row.*packedTexts[size_t(t)];
        packed.ends[size_t(t)] = checkedEnd(packed.start);
    }
    return packed;
}

quint32 StyleListing::checkedEnd(qsizetype start) const {
    const qsizetype length = m_text.size() - start;
    if (length > qsizetype(UINT32_MAX))
        throw SbkError(QStringLiteral("A style's texts are too long to be listed."));
    return quint32(length);
}

void StyleListing::replace(int index, const StyleListRow& row) {
    // The new texts go to the end; the old ones stay unused until the listing is made again.
    m_rows[index] = pack(row);
}

QStringView StyleListing::text(int index, Column column) const {
    const int place = packedPlace(column);
    const Packed& packed = m_rows.at(index);
    const quint32 from = place == 0 ? 0 : packed.ends[size_t(place - 1)];
    return QStringView(m_text).sliced(packed.start + from, packed.ends[size_t(place)] - from);
}

std::optional<int> StyleListing::tempo(int index) const {
    const Packed& packed = m_rows.at(index);
    return packed.hasTempo ? std::optional<int>(packed.tempo) : std::nullopt;
}

StyleListRow StyleListing::row(int index) const {
    StyleListRow result;
    result.StyleProg = number(index);
    result.Tempo = tempo(index);
    for (const Column column : {Name1, Desc, Family, Cat, Author, Date, Meter, File})
        result.*packedTexts[size_t(packedPlace(column))] = text(index, column).toString();
    return result;
}

qint64 StyleListing::forEachStyle(QSqlDatabase connection, const QString& filterWhere,
                                  const QString& filterOrder, const QStringList& filterValues,
                                  const std::function<void(StyleListRow&)>& take) {
    SqliteRows rows(connection, statement(filterWhere, filterOrder, DbKORFStyle::keepsFacts(connection)),
                    filterValues);
    qint64 count = 0;
    StyleListRow row;
    while (rows.next()) {
        row.StyleProg = rows.integer(Prog);
        for (const Column column : {Name1, Desc, Family, Cat, Author, Date, Meter, File})
            row.*packedTexts[size_t(packedPlace(column))] = rows.text(column);
        row.Tempo = rows.isNull(Tempo) ? std::nullopt : std::optional<int>(rows.integer(Tempo));
        take(row);
        ++count;
    }
    return count;
}

QStringList StyleListing::metersPresent(QSqlDatabase connection) {
    QStringList meters;
    if (!DbKORFStyle::keepsFacts(connection))
        return meters;
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    Database::exec(query,
                   QStringLiteral("SELECT DISTINCT METER FROM KORFSTYLES WHERE METER IS NOT NULL ORDER BY ") +
                       meterKeys.arg(QString()));
    while (query.next())
        meters << query.value(0).toString();
    return meters;
}
