#include "store/DbKORFBank.h"

#include "core/SbkError.h"
#include "store/Database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QStringList slotColumns() {
    QStringList columns;
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        columns << DbKORFBank::slotColumn(k);
    return columns;
}

// Names are compared without the blanks around them: the program stores them trimmed, and a name
// stored with blanks by an earlier version is found by the name it shows. Case plays no part, as
// in the column itself (trim() alone would compare with it).
const QString NameCompared = QStringLiteral("trim(BankName) COLLATE NOCASE");

} // namespace

QString DbKORFBank::slotColumn(int slot) {
    return QStringLiteral("BankStyle%1").arg(slot, 2, 10, QLatin1Char('0'));
}

bool DbKORFBank::fail(const QString& text) {
    m_error = text;
    return false;
}

bool DbKORFBank::InsKORFBanks() {
    m_error.clear();
    if (!m_insert) {
        QStringList marks;
        for (int i = 0; i < 3 + SlotCount; ++i)
            marks << QStringLiteral("?");
        auto insert = std::make_shared<QSqlQuery>(m_connection);
        if (!insert->prepare(QStringLiteral("INSERT INTO KORFBanks (BankProg,BankName,BankDesc,") +
                             slotColumns().join(QLatin1Char(',')) + QStringLiteral(") VALUES (") +
                             marks.join(QLatin1Char(',')) + QLatin1Char(')')))
            return fail(Database::gatewayError(insert->lastError()));
        m_insert = insert;
    }
    QSqlQuery& query = *m_insert;
    query.addBindValue(m_BankProg);
    query.addBindValue(m_BankName);
    query.addBindValue(m_BankDesc);
    for (qint32 style : m_slots)
        query.addBindValue(style);
    const bool done = query.exec();
    query.finish();
    if (!done)
        return fail(Database::gatewayError(query.lastError()));
    return true;
}

bool DbKORFBank::UpdKORFBanks() {
    // Every column in one statement: a failure changes nothing.
    m_error.clear();
    QSqlQuery query(m_connection);
    QStringList sets{QStringLiteral("BankName = ?"), QStringLiteral("BankDesc = ?")};
    for (const QString& column : slotColumns())
        sets << column + QStringLiteral(" = ?");
    query.prepare(QStringLiteral("UPDATE KORFBanks SET ") + sets.join(QStringLiteral(", ")) +
                  QStringLiteral(" WHERE BankProg = ?"));
    query.addBindValue(m_BankName);
    query.addBindValue(m_BankDesc);
    for (qint32 style : m_slots)
        query.addBindValue(style);
    query.addBindValue(m_BankProg);
    if (!query.exec())
        return fail(Database::gatewayError(query.lastError()));
    return query.numRowsAffected() > 0;
}

bool DbKORFBank::DelKORFBanks() {
    m_error.clear();
    QSqlQuery query(m_connection);
    query.prepare(QStringLiteral("DELETE FROM KORFBanks WHERE BankProg = ?"));
    query.addBindValue(m_BankProg);
    if (!query.exec())
        return fail(Database::gatewayError(query.lastError()));
    return true;
}

std::array<qint32, DbKORFBank::SlotCount>
DbKORFBank::withoutStyle(const std::array<qint32, SlotCount>& values, qint32 style) {
    std::array<qint32, SlotCount> result{};
    size_t next = 0;
    for (qint32 value : values)
        if (value != style)
            result[next++] = value;
    return result;
}

bool DbKORFBank::readRow(const QString& where, const QVariant& value) {
    m_error.clear();
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT * FROM KORFBanks WHERE %1 = ? ORDER BY BankProg").arg(where));
    query.addBindValue(value);
    if (!query.exec())
        return fail(Database::gatewayError(query.lastError()));
    if (!query.next())
        return false;
    const QSqlRecord row = query.record();
    m_BankProg = row.value(QStringLiteral("BankProg")).toInt();
    m_BankName = row.value(QStringLiteral("BankName")).toString();
    m_BankDesc = row.value(QStringLiteral("BankDesc")).toString();
    for (int k = 1; k <= SlotCount; ++k)
        m_slots[size_t(k - 1)] = row.value(slotColumn(k)).toInt();
    return true;
}

bool DbKORFBank::GetKORFBanks() {
    return readRow(QStringLiteral("BankProg"), m_BankProg);
}

bool DbKORFBank::GetKORFBanksByName() {
    return readRow(NameCompared, m_BankName.trimmed());
}

QList<qint32> DbKORFBank::NumbersByName() {
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT BankProg FROM KORFBanks WHERE %1 = ? ORDER BY BankProg").arg(NameCompared));
    query.addBindValue(m_BankName.trimmed());
    Database::exec(query);
    QList<qint32> numbers;
    while (query.next())
        numbers.append(query.value(0).toInt());
    return numbers;
}

qint32 DbKORFBank::NextKORFBank() {
    if (!m_highest) {
        auto query = std::make_shared<QSqlQuery>(m_connection);
        query->setForwardOnly(true);
        if (!query->prepare(QStringLiteral("SELECT MAX(BankProg) FROM KORFBanks")))
            throw SbkError(Database::errorText(query->lastError()));
        m_highest = query;
    }
    QSqlQuery& query = *m_highest;
    Database::exec(query);
    if (!query.next())
        throw SbkError(Database::errorText(query.lastError()));
    const QVariant highest = query.value(0);
    query.finish();
    return highest.isNull() ? 1 : highest.toInt() + 1;
}
