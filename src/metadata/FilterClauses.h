#pragma once

#include <array>
#include <optional>
#include <QString>
#include <QStringList>

// The filter and sort clauses of the style listing, built from the user's entries. Shared by the
// filter dialog and the command line.
struct FilterState {
    QString FilterWhere;                  // condition without WHERE, its values as "?"; "" for none
    QStringList FilterValues;             // the values of the condition's "?", in order
    QString FilterOrder;                  // sort list without ORDER BY; "" for by style number
    std::array<QString, 19> FilterFields; // 0-5 values, 6-11 sort choices, 12-17 " DESC" or "", 18 unused
};

class FilterClauses {
public:
    static constexpr int FieldCount = 6;
    static constexpr int SortCount = 6;

    // "<NOTHING>", "NAME", "DESCRIPTION", "FAMILY", "GROUP", "FILE NAME", "AUTHOR".
    static const QStringList& displayNames();
    // "STYLEPROG", "STYLENAME1", "STYLEDESC", "STYLEFAMILY", "STYLECAT", "STYLEFILE", "STYLEAUTHOR".
    static const QStringList& columnNames();
    // The sort choices of the style facts beside the display names: "TEMPO", "METER" (also the
    // listing's column names; the meter sorts by its numbers).
    static const QStringList& factSortNames();

    // values: name, description, family, group, file name, author (taken trimmed and upper-cased);
    // sortChoices: display names (upper-cased; "<NOTHING>" for none); descending: per sort row.
    // A value holding "%" becomes a LIKE test, any other an equality. The values are bound to the
    // condition's parameters, never written into it, so a quote in a value is matched as itself.
    // Both sides of a test are folded with SBKFOLD (see SqliteConnection): trailing blanks and case
    // do not count.
    // A sort choice may also be one of factSortNames().
    static FilterState build(const std::array<QString, FieldCount>& values,
                             const std::array<QString, SortCount>& sortChoices,
                             const std::array<bool, SortCount>& descending);

    // Adds the style facts to the condition, joined by AND, their values bound: meter, a meter as
    // the listing shows it ("3/4"; "" for any); tempoFrom and tempoTo, the ends of a tempo range
    // in beats per minute (0 for an open end). A style whose fact is unknown meets no such test.
    static void addFacts(FilterState& state, const QString& meter, int tempoFrom, int tempoTo);
    // Limits the condition, joined by AND, to the styles whose blocks do not decode: those stored
    // with the fingerprint of their bytes but without that of their decoded blocks
    // (StyleFactsValues::damage). The style table must have the fingerprint columns
    // (DbKORFStyle::keepsFacts).
    static void addDamaged(FilterState& state);
    // Limits the condition, joined by AND, to the styles whose notes are at least percent alike those
    // of the style prog (SBKSIMILAR, see SqliteConnection), that style among them; a style without
    // notes meets no such test. The style table must have the fingerprint columns.
    static void addSimilar(FilterState& state, qint32 prog, int percent);
    // A tempo range as the command line takes it: "90-110", "90-" (from 90), "-110" (up to 110) or
    // "120" (just that); the ends, 0 for an open one; std::nullopt for any other text or a range
    // whose ends are not 1 to 999 and in order.
    static std::optional<std::pair<int, int>> tempoRange(const QString& text);
};
