#include "store/StyleListing.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// The meter's numbers as sort keys: "12/8" after "3/4", "6/8" after "6/4".
const QString meterKeys =
    QStringLiteral("CAST(METER AS INTEGER)%1, CAST(SUBSTR(METER, INSTR(METER, '/') + 1) AS "
                   "INTEGER)%1");

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
    }
    return keys.join(QStringLiteral(", "));
}

QString StyleListing::statement(const QString& filterWhere, const QString& filterOrder, bool keepsFacts) {
    QString sql = QStringLiteral("SELECT STYLEPROG, STYLENAME1, STYLEDESC, STYLEFAMILY, STYLECAT, "
                                 "STYLEAUTHOR, STYLEDATE, TEMPO, METER FROM ");
    // Without the columns, a filter or sort on them meets NULL, as for a style whose facts are unknown.
    sql += keepsFacts ? QStringLiteral("KORFSTYLES")
                      : QStringLiteral("(SELECT *, NULL AS TEMPO, NULL AS METER FROM KORFSTYLES)");
    if (!filterWhere.isEmpty())
        sql += QStringLiteral(" WHERE ") + filterWhere;
    sql += QStringLiteral(" ORDER BY ") + orderClause(filterOrder);
    return sql;
}

StyleListing StyleListing::GetAllStyles(QSqlDatabase connection, const QString& filterWhere,
                                        const QString& filterOrder, const QStringList& filterValues) {
    StyleListing result;
    forEachStyle(connection, filterWhere, filterOrder, filterValues,
                 [&result](StyleListRow& row) { result.m_rows.append(std::move(row)); });
    return result;
}

qint64 StyleListing::forEachStyle(QSqlDatabase connection, const QString& filterWhere,
                                  const QString& filterOrder, const QStringList& filterValues,
                                  const std::function<void(StyleListRow&)>& take) {
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    const QString sql = statement(filterWhere, filterOrder, DbKORFStyle::keepsFacts(connection));
    if (filterValues.isEmpty()) {
        Database::exec(query, sql);
    } else {
        if (!query.prepare(sql))
            throw SbkError(Database::errorText(query.lastError()));
        for (const QString& value : filterValues)
            query.addBindValue(value);
        Database::exec(query);
    }
    qint64 count = 0;
    StyleListRow row;
    while (query.next()) {
        row.StyleProg = query.value(0).toInt();
        row.StyleName1 = query.value(1).toString();
        row.StyleDesc = query.value(2).toString();
        row.StyleFamily = query.value(3).toString();
        row.StyleCat = query.value(4).toString();
        row.StyleAuthor = query.value(5).toString();
        row.StyleDate = query.value(6).toString();
        row.Tempo = query.isNull(Tempo) ? std::nullopt : std::optional<int>(query.value(Tempo).toInt());
        row.Meter = query.value(Meter).toString();
        take(row);
        ++count;
    }
    // A step that fails (a page of the file damaged part way) ends the rows as their end would:
    // it must not pass for a shorter listing.
    if (query.lastError().isValid())
        throw SbkError(Database::errorText(query.lastError()));
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
