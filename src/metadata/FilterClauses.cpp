#include "metadata/FilterClauses.h"

#include <QRegularExpression>

const QStringList& FilterClauses::displayNames() {
    static const QStringList names{QStringLiteral("<NOTHING>"),   QStringLiteral("NAME"),
                                   QStringLiteral("DESCRIPTION"), QStringLiteral("FAMILY"),
                                   QStringLiteral("GROUP"),       QStringLiteral("FILE NAME"),
                                   QStringLiteral("AUTHOR")};
    return names;
}

const QStringList& FilterClauses::columnNames() {
    static const QStringList columns{QStringLiteral("STYLEPROG"),  QStringLiteral("STYLENAME1"),
                                     QStringLiteral("STYLEDESC"),  QStringLiteral("STYLEFAMILY"),
                                     QStringLiteral("STYLECAT"),   QStringLiteral("STYLEFILE"),
                                     QStringLiteral("STYLEAUTHOR")};
    return columns;
}

const QStringList& FilterClauses::factSortNames() {
    static const QStringList names{QStringLiteral("TEMPO"), QStringLiteral("METER")};
    return names;
}

FilterState FilterClauses::build(const std::array<QString, FieldCount>& values,
                                 const std::array<QString, SortCount>& sortChoices,
                                 const std::array<bool, SortCount>& descending) {
    FilterState state;
    QStringList conditions;
    for (int i = 0; i < FieldCount; ++i) {
        const QString value = values[size_t(i)].trimmed().toUpper();
        state.FilterFields[size_t(i)] = value;
        if (value.isEmpty())
            continue;
        // Both sides folded (SBKFOLD, registered on every connection): trailing blanks of the
        // blank-padded stored names do not count, and no letter's case does, within ASCII or not.
        const QString comparison =
            value.contains(QLatin1Char('%')) ? QStringLiteral(" LIKE ") : QStringLiteral(" = ");
        conditions << QStringLiteral("SBKFOLD(%1)").arg(columnNames().at(i + 1)) + comparison +
                          QStringLiteral("SBKFOLD(?)");
        state.FilterValues << value;
    }
    state.FilterWhere = conditions.join(QStringLiteral(" AND "));

    QStringList keys;
    for (int i = 0; i < SortCount; ++i) {
        const QString choice = sortChoices[size_t(i)].toUpper();
        const QString desc = descending[size_t(i)] ? QStringLiteral(" DESC") : QString();
        state.FilterFields[size_t(6 + i)] = choice;
        state.FilterFields[size_t(12 + i)] = desc;
        if (choice == displayNames().at(0))
            continue;
        const int index = int(displayNames().indexOf(choice));
        if (index > 0)
            keys << columnNames().at(index) + desc;
        else if (factSortNames().contains(choice))
            keys << choice + desc;
    }
    state.FilterOrder = keys.join(QStringLiteral(", "));
    return state;
}

void FilterClauses::addFacts(FilterState& state, const QString& meter, int tempoFrom, int tempoTo) {
    QStringList conditions;
    if (!state.FilterWhere.isEmpty())
        conditions << state.FilterWhere;
    if (!meter.isEmpty()) {
        conditions << QStringLiteral("METER = ?");
        state.FilterValues << meter;
    }
    // The bound values are texts: cast, so that 95 is compared as a number, not as "95".
    if (tempoFrom > 0) {
        conditions << QStringLiteral("TEMPO >= CAST(? AS INTEGER)");
        state.FilterValues << QString::number(tempoFrom);
    }
    if (tempoTo > 0) {
        conditions << QStringLiteral("TEMPO <= CAST(? AS INTEGER)");
        state.FilterValues << QString::number(tempoTo);
    }
    state.FilterWhere = conditions.join(QStringLiteral(" AND "));
}

void FilterClauses::addDamaged(FilterState& state) {
    // A style without its exact fingerprint was stored by another program and never read: it is not
    // known to be damaged.
    const QString damaged = QStringLiteral("FINGERPRINTEXACT IS NOT NULL AND FINGERPRINTRENAMED IS NULL");
    state.FilterWhere =
        state.FilterWhere.isEmpty() ? damaged : state.FilterWhere + QStringLiteral(" AND ") + damaged;
}

void FilterClauses::addSimilar(FilterState& state, qint32 prog, int percent) {
    // The notes compared with are read once, by the subquery that names no column of the row.
    const QString similar = QStringLiteral(
        "SBKSIMILAR(NOTEFINGERPRINT, (SELECT LIKENED.NOTEFINGERPRINT FROM KORFSTYLES AS LIKENED WHERE "
        "LIKENED.STYLEPROG = CAST(? AS INTEGER))) >= CAST(? AS INTEGER)");
    state.FilterWhere =
        state.FilterWhere.isEmpty() ? similar : state.FilterWhere + QStringLiteral(" AND ") + similar;
    state.FilterValues << QString::number(prog) << QString::number(percent);
}

std::optional<std::pair<int, int>> FilterClauses::tempoRange(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,3})?(-)?([0-9]{1,3})?$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch() || (match.captured(1).isEmpty() && match.captured(3).isEmpty()))
        return std::nullopt;
    const int from = match.captured(1).toInt();
    const int to = match.captured(2).isEmpty() ? from : match.captured(3).toInt();
    if ((!match.captured(1).isEmpty() && from < 1) || (!match.captured(3).isEmpty() && to < 1) ||
        (match.captured(2).isEmpty() && !match.captured(3).isEmpty()) || (from > 0 && to > 0 && to < from))
        return std::nullopt;
    return std::pair{from, to};
}
