#include "banks/StoredBanks.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/SqliteRows.h"

#include <algorithm>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

struct StyleTexts {
    QString name;
    QString desc;
};

// The texts of every style some bank names, read in one statement. Names and descriptions are
// shared by every node that shows the same style.
QHash<qint32, StyleTexts> stylesInBanks(QSqlDatabase db) {
    QStringList columns;
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        columns << QStringLiteral("SELECT %1 FROM KORFBanks").arg(DbKORFBank::slotColumn(k));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    Database::exec(query, QStringLiteral("SELECT StyleProg, StyleName1, StyleDesc FROM KORFStyles WHERE "
                                         "StyleProg IN (") +
                              columns.join(QStringLiteral(" UNION ")) + QLatin1Char(')'));
    QHash<qint32, StyleTexts> styles;
    while (query.next())
        styles.insert(query.value(0).toInt(), {query.value(1).toString(), query.value(2).toString()});
    return styles;
}

} // namespace

QList<StoredBank> StoredBanks::all(QSqlDatabase db, int sort) {
    const QHash<qint32, StyleTexts> styles = stylesInBanks(db);
    static const char* const orders[] = {"BankName, BankProg", "BankName DESC, BankProg", "BankProg",
                                         "BankProg DESC"};
    QSqlQuery query(db);
    query.setForwardOnly(true);
    Database::exec(query, QStringLiteral("SELECT * FROM KORFBanks ORDER BY ") +
                              QLatin1String(orders[sort >= 0 && sort < 4 ? sort : 0]));
    const QSqlRecord record = query.record();
    const int progColumn = record.indexOf(QStringLiteral("BankProg"));
    const int nameColumn = record.indexOf(QStringLiteral("BankName"));
    const int descColumn = record.indexOf(QStringLiteral("BankDesc"));
    int slotColumns[DbKORFBank::SlotCount];
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        slotColumns[k - 1] = record.indexOf(DbKORFBank::slotColumn(k));

    QList<StoredBank> banks;
    while (query.next()) {
        StoredBank bank{query.value(progColumn).toInt(),
                        query.value(nameColumn).toString(),
                        query.value(descColumn).toString(),
                        {}};
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
            const qint32 style = query.value(slotColumns[k - 1]).toInt();
            const auto found = styles.constFind(style);
            if (style != 0 && found != styles.cend())
                bank.styles.append({style, k, found->name, found->desc});
        }
        banks.append(std::move(bank));
    }
    return banks;
}

QList<StoredBank> StoredBanks::holding(QSqlDatabase db, qint32 style) {
    QList<StoredBank> banks;
    holding(db, style, [&banks](const StoredBank& bank) { banks.append(bank); });
    return banks;
}

qint64 StoredBanks::holding(QSqlDatabase db, qint32 style,
                            const std::function<void(const StoredBank&)>& take) {
    QStringList terms;
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        terms << DbKORFBank::slotColumn(k).toUpper() + QStringLiteral(" = ?");
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT * FROM QUERY1 WHERE BANKPROG IN (SELECT BANKPROG FROM KORFBANKS WHERE ") +
        terms.join(QStringLiteral(" OR ")) + QStringLiteral(") ORDER BY BANKNAME"));
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        query.addBindValue(style);
    Database::exec(query);

    qint64 count = 0;
    while (query.next()) {
        StoredBank bank{query.value(QStringLiteral("BankProg")).toInt(),
                        query.value(QStringLiteral("BankName")).toString(),
                        query.value(QStringLiteral("BankDesc")).toString(),
                        {}};
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
            const QString nn = QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0'));
            const qint32 prog = query.value(nn + QStringLiteral("Prog")).toInt();
            const QVariant name = query.value(nn + QStringLiteral("Name"));
            // The view joins each slot on its own: a style that is gone comes back without a name.
            if (prog != 0 && !name.isNull())
                bank.styles.append(
                    {prog, k, name.toString(), query.value(nn + QStringLiteral("Desc")).toString()});
        }
        take(bank);
        ++count;
    }
    if (query.lastError().isValid())
        throw SbkError(Database::errorText(query.lastError()));
    return count;
}

QHash<qint32, QString> StoredBanks::namesByStyle(QSqlDatabase db) {
    QStringList columns{QStringLiteral("BankName")};
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        columns << DbKORFBank::slotColumn(k);
    SqliteRows rows(db,
                    QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
                        QStringLiteral(" FROM KORFBanks ORDER BY BankName, BankProg"),
                    {});
    QHash<qint32, QString> names;
    const QString separator = QStringLiteral(", ");
    while (rows.next()) {
        const QString name = rows.text(0);
        qint32 held[DbKORFBank::SlotCount];
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
            const qint32 style = rows.integer(k);
            held[k - 1] = style;
            if (style == 0 || std::find(held, held + k - 1, style) != held + k - 1)
                continue;
            const auto shown = names.find(style);
            if (shown == names.end())
                names.insert(style, name); // shared with the bank's other styles
            else
                *shown += separator + name;
        }
    }
    return names;
}
