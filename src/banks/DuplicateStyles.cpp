#include "banks/DuplicateStyles.h"

#include "core/ProgressRun.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"

#include <algorithm>
#include <array>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

using Kind = DuplicateStyles::Kind;

// The fingerprint column of a kind, and the finer one whose values must differ inside a group of
// it (a group of copies of a finer kind is that kind's).
QString columnOf(Kind kind) {
    switch (kind) {
    case Kind::Exact:
        return QStringLiteral("FingerprintExact");
    case Kind::Renamed:
        return QStringLiteral("FingerprintRenamed");
    case Kind::Settings:
        return QStringLiteral("FingerprintSettings");
    case Kind::Notes:
        return QStringLiteral("NoteFingerprint");
    }
    return QString();
}

// How many styles of a group are more than copies of the finer kind: the distinct finer values,
// every style without one counted on its own.
QString havingOf(Kind kind) {
    switch (kind) {
    case Kind::Exact:
        return QStringLiteral("COUNT(*) > 1");
    case Kind::Renamed:
        return QStringLiteral("COUNT(DISTINCT FingerprintExact) > 1");
    case Kind::Settings:
        return QStringLiteral(
            "COUNT(DISTINCT FingerprintRenamed) + COUNT(*) - COUNT(FingerprintRenamed) > 1");
    case Kind::Notes:
        return QStringLiteral(
            "COUNT(DISTINCT FingerprintSettings) + COUNT(*) - COUNT(FingerprintSettings) > 1");
    }
    return QString();
}

// Wider kinds hold the narrower ones: copies that are exact are also renamed copies, and so on.
int widthOf(Kind kind) {
    return int(kind);
}

QString plain(const QString& stored) {
    return SingleByteText::plainText(stored).trimmed();
}

QString styleText(qint64 prog, const QString& name) {
    return QStringLiteral("%1 (%2)").arg(prog).arg(plain(name));
}

void requireFingerprints(QSqlDatabase db) {
    if (!DbKORFStyle::keepsFacts(db))
        throw SbkError(
            QStringLiteral("The database keeps no fingerprints of its styles (it was made by another "
                           "program), so their copies cannot be found."));
}

// A date as the import writes it ("yyyy/mm/dd"); anything else is no date to compare.
bool isDate(const QString& date) {
    static const QRegularExpression form(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$"));
    return form.match(date).hasMatch();
}

// The descriptive fields the kept style takes from the others where its own are empty.
struct Described {
    QString StyleName1;
    QString StyleDesc;
    QString StyleCat;
    QString StyleFamily;
    QString StyleFile;
    QString StyleAuthor;
    QVariant fingerprint; // of the group's kind; null when none
};

const char* const FilledColumns[] = {"StyleDesc", "StyleCat", "StyleFamily", "StyleFile", "StyleAuthor"};

QString* fieldOf(Described& style, int index) {
    QString* fields[] = {&style.StyleDesc, &style.StyleCat, &style.StyleFamily, &style.StyleFile,
                         &style.StyleAuthor};
    return fields[index];
}

// "a", "a and b", "a, b and c".
QString inWords(const QStringList& items) {
    if (items.size() < 2)
        return items.join(QString());
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + items.last();
}

// The values of a fact that the styles of a group hold, each once, in ascending order; those
// without the fact as "unknown" at the end. Empty when all hold the same.
template <typename Value>
QStringList distinctValues(const QList<DuplicateStyles::Style>& styles,
                           std::optional<Value> (*factOf)(const DuplicateStyles::Style&)) {
    QList<Value> known;
    bool unknown = false;
    for (const DuplicateStyles::Style& style : styles) {
        if (const std::optional<Value> value = factOf(style))
            known.append(*value);
        else
            unknown = true;
    }
    std::sort(known.begin(), known.end());
    known.erase(std::unique(known.begin(), known.end()), known.end());
    if (known.size() + (unknown ? 1 : 0) < 2)
        return {};
    QStringList texts;
    for (const Value& value : std::as_const(known))
        texts << QVariant(value).toString();
    if (unknown)
        texts << QStringLiteral("unknown");
    return texts;
}

std::optional<QString> nameOf(const DuplicateStyles::Style& style) {
    return plain(style.StyleName1);
}
std::optional<int> tempoOf(const DuplicateStyles::Style& style) {
    return style.StyleTempo;
}
std::optional<QString> meterOf(const DuplicateStyles::Style& style) {
    return style.StyleMeter.isEmpty() ? std::nullopt : std::optional<QString>(style.StyleMeter);
}

// Whether two styles of one tempo hold other performance settings: the tempo alone does not
// tell them apart.
bool otherSettingsBesideTempo(const QList<DuplicateStyles::Style>& styles) {
    for (qsizetype a = 0; a < styles.size(); ++a)
        for (qsizetype b = a + 1; b < styles.size(); ++b)
            if (styles[a].StyleTempo == styles[b].StyleTempo &&
                (!styles[a].FingerprintRenamed ||
                 styles[a].FingerprintRenamed != styles[b].FingerprintRenamed))
                return true;
    return false;
}

} // namespace

QString DuplicateStyles::name(Kind kind) {
    switch (kind) {
    case Kind::Exact:
        return QStringLiteral("exact");
    case Kind::Renamed:
        return QStringLiteral("renamed");
    case Kind::Settings:
        return QStringLiteral("settings");
    case Kind::Notes:
        return QStringLiteral("notes");
    }
    return QString();
}

QString DuplicateStyles::kindWords(Kind kind) {
    switch (kind) {
    case Kind::Exact:
        return QStringLiteral("exact copies");
    case Kind::Renamed:
        return QStringLiteral("renamed copies");
    case Kind::Settings:
        return QStringLiteral("same music, other settings");
    case Kind::Notes:
        return QStringLiteral("same notes");
    }
    return QString();
}

const QList<DuplicateStyles::Kind>& DuplicateStyles::kinds() {
    static const QList<Kind> all{Kind::Exact, Kind::Renamed, Kind::Settings, Kind::Notes};
    return all;
}

std::optional<DuplicateStyles::Kind> DuplicateStyles::fromName(const QString& word) {
    for (Kind kind : kinds())
        if (word == name(kind))
            return kind;
    return std::nullopt;
}

QList<DuplicateStyles::Group> DuplicateStyles::find(QSqlDatabase db, const QList<Kind>& kinds,
                                                    Progress* progress) {
    requireFingerprints(db);
    // One consistent view of the library for all kinds and the banks.
    Transaction reading(db, Transaction::Mode::Read);
    const ProgressRun run(progress, kinds.size() + 1, QStringLiteral("Looking for copies of styles"));
    QList<Group> groups;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    for (qsizetype k = 0; k < kinds.size(); ++k) {
        const Kind kind = kinds[k];
        const QString column = columnOf(kind);
        // The groups: one grouped scan of the kind's index; then their styles through the same
        // index, group after group by its first style.
        Database::exec(
            query, QStringLiteral("SELECT g.Fingerprint, s.StyleProg, s.StyleName1, s.StyleCat, "
                                  "s.StyleAuthor, s.Tempo, s.Meter, s.StyleDate, s.FingerprintRenamed FROM "
                                  "(SELECT %1 AS "
                                  "Fingerprint, MIN(StyleProg) AS FirstProg FROM KORFStyles WHERE %1 "
                                  "IS NOT NULL GROUP BY %1 HAVING %2) g JOIN KORFStyles s ON s.%1 = "
                                  "g.Fingerprint ORDER BY g.FirstProg, s.StyleProg")
                       .arg(column, havingOf(kind)));
        QVariant current;
        bool any = false;
        while (query.next()) {
            const QVariant fingerprint = query.value(0);
            if (!any || fingerprint != current) {
                groups.append(Group{kind, {}});
                current = fingerprint;
                any = true;
            }
            Style style;
            style.StyleProg = query.value(1).toLongLong();
            style.StyleName1 = query.value(2).toString();
            style.StyleCat = query.value(3).toString();
            style.StyleAuthor = query.value(4).toString();
            if (!query.isNull(5))
                style.StyleTempo = query.value(5).toInt();
            style.StyleMeter = query.value(6).toString();
            style.StyleDate = query.value(7).toString();
            if (!query.isNull(8))
                style.FingerprintRenamed = query.value(8).toLongLong();
            groups.last().styles.append(style);
        }
        query.finish();
        run.step(k + 1, name(kind));
    }

    // The banks and slots of the styles found: every bank read once.
    QHash<qint64, QList<BankSlot>> holders;
    for (const Group& group : std::as_const(groups))
        for (const Style& style : group.styles)
            holders.insert(style.StyleProg, {});
    if (!holders.isEmpty()) {
        QStringList columns{QStringLiteral("BankProg"), QStringLiteral("BankName")};
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
            columns << DbKORFBank::slotColumn(k);
        Database::exec(query, QStringLiteral("SELECT %1 FROM KORFBanks ORDER BY BankName, BankProg")
                                  .arg(columns.join(QStringLiteral(", "))));
        while (query.next()) {
            for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
                const auto found = holders.find(query.value(k + 1).toLongLong());
                if (found != holders.end())
                    found->append({query.value(0).toLongLong(), query.value(1).toString(), k});
            }
        }
        query.finish();
        for (Group& group : groups)
            for (Style& style : group.styles)
                style.Banks = holders.value(style.StyleProg);
    }
    reading.commit();
    run.step(kinds.size() + 1);
    return groups;
}

qint64 DuplicateStyles::keepByRule(const Group& group, KeepRule rule) {
    if (group.styles.isEmpty())
        return 0;
    // Styles with a date come before those without; among them the rule's order, then the number.
    auto byDate = [](bool newestFirst) {
        return [newestFirst](const Style& a, const Style& b) {
            const bool aDated = isDate(a.StyleDate), bDated = isDate(b.StyleDate);
            if (aDated != bDated)
                return aDated;
            if (aDated && a.StyleDate != b.StyleDate)
                return newestFirst ? a.StyleDate > b.StyleDate : a.StyleDate < b.StyleDate;
            // Dates are days: of copies stored on one day the later number came later.
            return newestFirst ? a.StyleProg > b.StyleProg : a.StyleProg < b.StyleProg;
        };
    };
    QList<Style> order = group.styles;
    if (rule == KeepRule::MostUsed) {
        const auto oldest = byDate(false);
        std::stable_sort(order.begin(), order.end(), [&](const Style& a, const Style& b) {
            if (a.Banks.size() != b.Banks.size())
                return a.Banks.size() > b.Banks.size();
            return oldest(a, b);
        });
    } else {
        std::stable_sort(order.begin(), order.end(), byDate(rule == KeepRule::Newest));
    }
    return order.first().StyleProg;
}

QStringList DuplicateStyles::differences(const Group& group) {
    if (group.kind == Kind::Exact)
        return {};
    QStringList what;
    if (const QStringList names = distinctValues<QString>(group.styles, &nameOf); !names.isEmpty()) {
        // Names in the order of the styles, not of the alphabet.
        QStringList ordered;
        for (const Style& style : group.styles) {
            const QString name = plain(style.StyleName1);
            if (const QString shown = name.isEmpty() ? QStringLiteral("no name") : name;
                !ordered.contains(shown))
                ordered << shown;
        }
        what << QStringLiteral("name (%1)").arg(ordered.join(QStringLiteral(", ")));
    } else if (group.kind == Kind::Renamed) {
        what << QStringLiteral("the name stored inside them");
    }
    if (const QStringList tempos = distinctValues<int>(group.styles, &tempoOf); !tempos.isEmpty())
        what << QStringLiteral("tempo (%1)").arg(tempos.join(QStringLiteral(", ")));
    if (const QStringList meters = distinctValues<QString>(group.styles, &meterOf); !meters.isEmpty())
        what << QStringLiteral("meter (%1)").arg(meters.join(QStringLiteral(", ")));
    if (group.kind == Kind::Settings && otherSettingsBesideTempo(group.styles))
        what << QStringLiteral("sounds or mixer settings");
    if (group.kind == Kind::Notes)
        what << QStringLiteral("sounds, controllers or key");
    return what;
}

QString DuplicateStyles::differenceNote(const QList<Merge>& merges) {
    constexpr int shownGroups = 5;
    constexpr int shownStyles = 6;
    QStringList lines;
    qsizetype differing = 0;
    for (const Merge& merge : merges) {
        if (merge.group.kind == Kind::Exact || ++differing > shownGroups)
            continue;
        const QStringList what = differences(merge.group);
        QStringList numbers;
        for (const Style& style : merge.group.styles.mid(0, shownStyles))
            numbers << QString::number(style.StyleProg);
        if (const qsizetype more = merge.group.styles.size() - shownStyles; more > 0)
            numbers << QStringLiteral("%1 more").arg(more);
        lines << QStringLiteral("Styles %1 (%2) differ in %3.")
                     .arg(inWords(numbers), kindWords(merge.group.kind),
                          what.isEmpty() ? QStringLiteral("their settings") : inWords(what));
    }
    if (differing == 0)
        return QString();
    if (differing > shownGroups)
        lines << QStringLiteral("... and %1 more such groups.").arg(differing - shownGroups);
    const QString head =
        merges.size() == 1
            ? QStringLiteral("The group holds styles that differ, and only one of them is kept:")
        : differing == 1 ? QStringLiteral("1 of the groups holds styles that differ, and only one of them is "
                                          "kept:")
                         : QStringLiteral("%1 of the groups hold styles that differ, and only one of each "
                                          "group is kept:")
                               .arg(differing);
    return head + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
}

QList<DuplicateStyles::Merge> DuplicateStyles::plan(const QList<Group>& groups, KeepRule rule) {
    QList<const Group*> widestFirst;
    for (const Group& group : groups)
        widestFirst.append(&group);
    std::stable_sort(widestFirst.begin(), widestFirst.end(),
                     [](const Group* a, const Group* b) { return widthOf(a->kind) > widthOf(b->kind); });
    QSet<qint64> covered;
    QList<Merge> merges;
    for (const Group* group : std::as_const(widestFirst)) {
        if (group->styles.size() < 2 ||
            std::any_of(group->styles.cbegin(), group->styles.cend(),
                        [&](const Style& s) { return covered.contains(s.StyleProg); }))
            continue;
        for (const Style& style : group->styles)
            covered.insert(style.StyleProg);
        merges.append({*group, keepByRule(*group, rule)});
    }
    return merges;
}

DuplicateStyles::Result DuplicateStyles::merge(QSqlDatabase db, const QList<Merge>& merges,
                                               Progress* progress) {
    requireFingerprints(db);
    // What is asked is checked before the database is touched: every kept style one of its group,
    // and no style in two of the groups.
    QHash<qint64, qint64> keptFor; // every style of the groups -> the style kept in its place
    for (const Merge& merge : merges) {
        if (merge.group.styles.size() < 2)
            throw SbkError(
                QStringLiteral("A group to merge holds fewer than two styles. Nothing was merged."));
        const bool inGroup = std::any_of(merge.group.styles.cbegin(), merge.group.styles.cend(),
                                         [&](const Style& s) { return s.StyleProg == merge.keep; });
        if (!inGroup)
            throw SbkError(QStringLiteral("The style %1 to keep is not one of its group. Nothing was merged.")
                               .arg(merge.keep));
        for (const Style& style : merge.group.styles) {
            if (keptFor.contains(style.StyleProg))
                throw SbkError(
                    QStringLiteral("The style %1 is in two of the groups to merge%2. Nothing was merged.")
                        .arg(styleText(style.StyleProg, style.StyleName1),
                             style.StyleProg == merge.keep ||
                                     keptFor.value(style.StyleProg) == style.StyleProg
                                 ? QStringLiteral(" and is chosen to be kept twice")
                                 : QString()));
            keptFor.insert(style.StyleProg, merge.keep);
        }
    }

    try {
        Result result;
        Transaction transaction(db);
        QSqlQuery read(db);
        read.setForwardOnly(true);
        if (!read.prepare(QStringLiteral(
                "SELECT StyleName1, StyleDesc, StyleCat, StyleFamily, StyleFile, StyleAuthor, "
                "FingerprintExact, FingerprintRenamed, FingerprintSettings, NoteFingerprint FROM KORFStyles "
                "WHERE StyleProg = ?")))
            throw SbkError(Database::errorText(read.lastError()));
        QSqlQuery fill(db);
        QStringList assignments;
        for (const char* column : FilledColumns)
            assignments << QStringLiteral("%1 = ?").arg(QLatin1String(column));
        if (!fill.prepare(QStringLiteral("UPDATE KORFStyles SET %1 WHERE StyleProg = ?")
                              .arg(assignments.join(QStringLiteral(", ")))))
            throw SbkError(Database::errorText(fill.lastError()));
        QSqlQuery remove(db);
        if (!remove.prepare(QStringLiteral("DELETE FROM KORFStyles WHERE StyleProg = ?")))
            throw SbkError(Database::errorText(remove.lastError()));

        const ProgressRun run(progress, merges.size() + 1, QStringLiteral("Merging copies of styles"));
        const qint64 every = std::max<qint64>(1, merges.size() / 200);
        for (qsizetype m = 0; m < merges.size(); ++m) {
            const Merge& merge = merges[m];
            // The group as stored now, under the write lock: every style there, still a copy of the
            // others by the group's fingerprint.
            QList<Described> stored;
            Described* kept = nullptr;
            for (const Style& style : merge.group.styles) {
                read.bindValue(0, style.StyleProg);
                Database::exec(read);
                if (!read.next())
                    throw SbkError(
                        QStringLiteral("The style %1 is no longer in the database: another program deleted "
                                       "it. Find the duplicates again. Nothing was merged.")
                            .arg(styleText(style.StyleProg, style.StyleName1)));
                Described row{read.value(0).toString(),
                              read.value(1).toString(),
                              read.value(2).toString(),
                              read.value(3).toString(),
                              read.value(4).toString(),
                              read.value(5).toString(),
                              {}};
                const int at = 6 + widthOf(merge.group.kind);
                if (!read.isNull(at))
                    row.fingerprint = read.value(at);
                read.finish();
                if (row.fingerprint.isNull() ||
                    (!stored.isEmpty() && row.fingerprint != stored.first().fingerprint))
                    throw SbkError(
                        QStringLiteral("The style %1 was changed by another program and is no longer a "
                                       "copy of the others of its group. Find the duplicates again. "
                                       "Nothing was merged.")
                            .arg(styleText(style.StyleProg, row.StyleName1)));
                stored.append(row);
            }
            for (qsizetype i = 0; i < stored.size(); ++i)
                if (merge.group.styles[i].StyleProg == merge.keep)
                    kept = &stored[i];

            // The kept style's empty descriptive fields from the others, in their order.
            bool filled = false;
            for (int f = 0; f < int(std::size(FilledColumns)); ++f) {
                QString* field = fieldOf(*kept, f);
                if (!plain(*field).isEmpty())
                    continue;
                for (Described& other : stored)
                    if (&other != kept && !plain(*fieldOf(other, f)).isEmpty()) {
                        *field = *fieldOf(other, f);
                        filled = true;
                        break;
                    }
            }
            if (filled) {
                for (int f = 0; f < int(std::size(FilledColumns)); ++f)
                    fill.bindValue(f, *fieldOf(*kept, f));
                fill.bindValue(int(std::size(FilledColumns)), merge.keep);
                Database::exec(fill);
            }
            for (const Style& style : merge.group.styles) {
                if (style.StyleProg == merge.keep)
                    continue;
                remove.bindValue(0, style.StyleProg);
                Database::exec(remove);
                ++result.deleted;
            }
            ++result.groups;
            if (progress && (m % every == 0 || m + 1 == merges.size())) {
                run.step(m + 1, plain(kept->StyleName1));
                if (run.cancelled()) {
                    transaction.rollback();
                    return Result{0, 0, 0, true};
                }
            }
        }

        // Every bank read once: a slot that held a deleted copy holds the kept style, in its place.
        QList<DbKORFBank> changedBanks;
        QSqlQuery banks(db);
        banks.setForwardOnly(true);
        Database::exec(banks, QStringLiteral("SELECT * FROM KORFBanks ORDER BY BankProg"));
        while (banks.next()) {
            const QSqlRecord row = banks.record();
            std::array<qint32, DbKORFBank::SlotCount> holders{};
            bool changed = false;
            for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
                qint32& slot = holders[size_t(k - 1)];
                slot = row.value(DbKORFBank::slotColumn(k)).toInt();
                const auto found = keptFor.constFind(slot);
                if (slot != 0 && found != keptFor.cend() && *found != slot) {
                    slot = qint32(*found);
                    changed = true;
                    ++result.slotsMoved;
                }
            }
            if (!changed)
                continue;
            DbKORFBank bank(db);
            bank.setBankProg(row.value(QStringLiteral("BankProg")).toInt());
            bank.setBankName(row.value(QStringLiteral("BankName")).toString());
            bank.setBankDesc(row.value(QStringLiteral("BankDesc")).toString());
            bank.setSlotValues(holders);
            changedBanks << bank;
        }
        banks.finish();
        for (DbKORFBank& bank : changedBanks)
            if (!bank.UpdKORFBanks())
                throw SbkError(
                    QStringLiteral("Cannot point the bank %1 to the kept styles: %2. Nothing was merged.")
                        .arg(bank.BankName().trimmed(), Database::inWords(bank.clsKORFBanksError())));
        run.step(merges.size() + 1);
        if (run.cancelled()) {
            transaction.rollback();
            return Result{0, 0, 0, true};
        }
        transaction.commit();
        return result;
    } catch (const SbkError& error) {
        // The transaction has rolled back: whatever the database refused, nothing is changed.
        if (error.message().endsWith(QStringLiteral("Nothing was merged.")))
            throw;
        throw SbkError(
            QStringLiteral("The copies could not be merged: %1. Nothing was merged.").arg(error.message()));
    }
}
