#include "metadata/FilterClauses.h"

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
    }
    state.FilterOrder = keys.join(QStringLiteral(", "));
    return state;
}
