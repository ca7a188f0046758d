#include "store/StyleListing.h"

#include "core/SbkError.h"
#include "store/Database.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

QString StyleListing::orderClause(const QString& filterOrder) {
    if (filterOrder.isEmpty())
        return QStringLiteral("STYLEPROG");
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
    }
    return keys.join(QStringLiteral(", "));
}

QString StyleListing::statement(const QString& filterWhere, const QString& filterOrder) {
    QString sql = QStringLiteral("SELECT STYLEPROG, STYLENAME1, STYLEDESC, STYLEFAMILY, STYLECAT, "
                                 "STYLEAUTHOR, STYLEDATE FROM KORFSTYLES");
    if (!filterWhere.isEmpty())
        sql += QStringLiteral(" WHERE ") + filterWhere;
    sql += QStringLiteral(" ORDER BY ") + orderClause(filterOrder);
    return sql;
}

StyleListing StyleListing::GetAllStyles(QSqlDatabase connection, const QString& filterWhere,
                                        const QString& filterOrder, const QStringList& filterValues) {
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    if (filterValues.isEmpty()) {
        Database::exec(query, statement(filterWhere, filterOrder));
    } else {
        if (!query.prepare(statement(filterWhere, filterOrder)))
            throw SbkError(Database::errorText(query.lastError()));
        for (const QString& value : filterValues)
            query.addBindValue(value);
        Database::exec(query);
    }
    StyleListing result;
    while (query.next()) {
        StyleListRow row;
        row.StyleProg = query.value(0).toInt();
        row.StyleName1 = query.value(1).toString();
        row.StyleDesc = query.value(2).toString();
        row.StyleFamily = query.value(3).toString();
        row.StyleCat = query.value(4).toString();
        row.StyleAuthor = query.value(5).toString();
        row.StyleDate = query.value(6).toString();
        result.m_rows.append(std::move(row));
    }
    return result;
}
