#include "metadata/StyleGroup.h"

#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"

#include <QSet>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QList<qint32> withoutRepeats(const QList<qint32>& styles) {
    QList<qint32> unique;
    QSet<qint32> seen;
    for (qint32 style : styles)
        if (!seen.contains(style)) {
            seen.insert(style);
            unique << style;
        }
    return unique;
}

// Reads a listed style into the table; false when it is not stored and may be passed over.
bool readListed(DbKORFStyle& table, qint32 style, bool everyStyle) {
    table.setStyleProg(style);
    if (table.GetKORFStylesNoContent())
        return true;
    if (!table.clsKORFStylesError().isEmpty())
        throw SbkError(QStringLiteral("Cannot read the style %1: %2")
                           .arg(style)
                           .arg(Database::inWords(table.clsKORFStylesError())));
    if (everyStyle)
        throw SbkError(QStringLiteral("There is no style %1.").arg(style));
    return false;
}

QString orBlank(const QString& value) {
    return value.isEmpty() ? QStringLiteral(" ") : value;
}

} // namespace

QString StyleGroup::refusal(const StyleChanges& changes) {
    const struct {
        const std::optional<QString>& value;
        int size;
        const char* name;
    } fields[] = {{changes.name, NameSize, "name"},
                  {changes.desc, DescSize, "description"},
                  {changes.family, FamilySize, "family"},
                  {changes.group, GroupSize, "group"},
                  {changes.author, AuthorSize, "author"}};
    for (const auto& field : fields) {
        if (!field.value)
            continue;
        if (field.value->size() > field.size)
            return QStringLiteral("The %1 \"%2\" is too long: it may hold at most %3 characters.")
                .arg(QLatin1String(field.name), *field.value)
                .arg(field.size);
        if (const QString problem = SingleByteText::refusal(QLatin1String(field.name), *field.value);
            !problem.isEmpty())
            return problem;
    }
    return QString();
}

int StyleGroup::update(QSqlDatabase db, const QList<qint32>& styles, const StyleChanges& changes,
                       bool everyStyle) {
    if (const QString problem = refusal(changes); !problem.isEmpty())
        throw SbkError(problem);
    Transaction transaction(db);
    DbKORFStyle table(db);
    int changed = 0;
    for (qint32 style : withoutRepeats(styles)) {
        if (!readListed(table, style, everyStyle))
            continue;
        if (changes.name)
            table.setStyleName1(*changes.name);
        if (changes.desc)
            table.setStyleDesc(*changes.desc);
        if (changes.family)
            table.setStyleFamily(orBlank(*changes.family));
        if (changes.group)
            table.setStyleCat(orBlank(*changes.group));
        if (changes.author)
            table.setStyleAuthor(orBlank(*changes.author));
        if (!table.UpdKORFStyles())
            throw SbkError(QStringLiteral("Cannot update the style %1: %2")
                               .arg(style)
                               .arg(Database::inWords(table.clsKORFStylesError())));
        ++changed;
    }
    transaction.commit();
    return changed;
}

StyleGroup::Removal StyleGroup::remove(QSqlDatabase db, const QList<qint32>& styles, bool everyStyle) {
    Transaction transaction(db);
    Removal removal;
    DbKORFStyle table(db);
    QSet<qint32> deleted;
    for (qint32 style : withoutRepeats(styles)) {
        if (!readListed(table, style, everyStyle))
            continue;
        if (!table.DelKORFStyles())
            throw SbkError(QStringLiteral("Cannot delete the style %1: %2")
                               .arg(style)
                               .arg(Database::inWords(table.clsKORFStylesError())));
        deleted.insert(style);
        ++removal.styles;
    }

    // Every bank is read once, however many styles go: each loses the slots of the deleted styles,
    // the slots after them moving up (DbKORFBank::withoutStyle).
    QList<DbKORFBank> changedBanks;
    if (!deleted.isEmpty()) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        Database::exec(query, QStringLiteral("SELECT * FROM KORFBanks ORDER BY BankProg"));
        while (query.next()) {
            const QSqlRecord row = query.record();
            std::array<qint32, DbKORFBank::SlotCount> stored{};
            for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
                stored[size_t(k - 1)] = row.value(DbKORFBank::slotColumn(k)).toInt();
            std::array<qint32, DbKORFBank::SlotCount> kept = stored;
            for (qint32 style : stored)
                if (deleted.contains(style))
                    kept = DbKORFBank::withoutStyle(kept, style);
            if (kept == stored)
                continue;
            DbKORFBank bank(db);
            bank.setBankProg(row.value(QStringLiteral("BankProg")).toInt());
            bank.setBankName(row.value(QStringLiteral("BankName")).toString());
            bank.setBankDesc(row.value(QStringLiteral("BankDesc")).toString());
            bank.setSlotValues(kept);
            changedBanks << bank;
        }
    }
    for (DbKORFBank& bank : changedBanks) {
        if (!bank.UpdKORFBanks())
            throw SbkError(QStringLiteral("Cannot take the deleted styles out of the bank %1: %2")
                               .arg(bank.BankName().trimmed(), Database::inWords(bank.clsKORFBanksError())));
        ++removal.banks;
    }
    transaction.commit();
    return removal;
}
