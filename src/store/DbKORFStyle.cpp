#include "store/DbKORFStyle.h"

#include "core/SbkError.h"
#include "store/Database.h"
#include "store/SqliteRows.h"
#include "store/SqliteStatement.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QByteArray blank(1, ' ');
}

QByteArray DbKORFStyle::seekOf(const QByteArray& content1) {
    return content1.isEmpty() ? blank : content1.left(250);
}

bool DbKORFStyle::keepsFacts(QSqlDatabase connection) {
    const QSqlRecord record = connection.record(QStringLiteral("KORFStyles"));
    for (const QString& column : Database::factsColumns() + Database::fingerprintColumns())
        if (record.indexOf(column.section(QLatin1Char(' '), 0, 0)) < 0)
            return false;
    return true;
}

namespace {

QVariant orNull(const std::optional<qint64>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<qint64>());
}

std::optional<qint64> fingerprintIn(const QSqlRecord& row, const QString& column) {
    const int at = row.indexOf(column);
    return at >= 0 && !row.isNull(at) ? std::optional<qint64>(row.value(at).toLongLong()) : std::nullopt;
}

} // namespace

QSqlQuery* DbKORFStyle::prepared(std::shared_ptr<QSqlQuery>& slot, const QString& sql) {
    if (!slot) {
        auto query = std::make_shared<QSqlQuery>(m_connection);
        query->setForwardOnly(true);
        if (!query->prepare(sql)) {
            m_error = Database::gatewayError(query->lastError());
            return nullptr;
        }
        slot = query;
    }
    return slot.get();
}

void DbKORFStyle::setValues(const DbKORFStyle& other) {
    const QSqlDatabase connection = m_connection;
    StatementCache statements;
    statements.swap(m_statements);
    *this = other;
    m_connection = connection;
    m_statements.swap(statements);
}

bool DbKORFStyle::fail(const QString& text) {
    m_error = text;
    return false;
}

bool DbKORFStyle::InsKORFStyles() {
    m_error.clear();
    if (m_StyleContent1.isEmpty())
        m_StyleContent1 = blank;
    if (m_StyleContent2.isEmpty())
        m_StyleContent2 = blank;
    m_StyleSeek = m_StyleContent1.left(250);

    if (!m_statements.keepsFacts)
        m_statements.keepsFacts = keepsFacts(m_connection);
    const bool withFacts = *m_statements.keepsFacts;
    // The statement's text is made once, when it is prepared.
    const auto sql = [withFacts] {
        return QStringLiteral("INSERT INTO KORFStyles (StyleProg,StyleName1,StyleName2,StyleLength1,"
                              "StyleLength2,StyleContent1,StyleContent2,StyleSeek,StyleDate,"
                              "StyleDesc,StyleCat,StyleFamily,StyleFile,StyleAuthor%1) "
                              "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?%2)")
            .arg(withFacts ? QStringLiteral(",Tempo,Meter,FingerprintExact,FingerprintRenamed,"
                                            "FingerprintSettings,NoteFingerprint")
                           : QString(),
                 withFacts ? QStringLiteral(",?,?,?,?,?,?") : QString());
    };
    if (m_statements.direct)
        return insertDirect(sql, withFacts);
    QSqlQuery* statement =
        m_statements.insert ? m_statements.insert.get() : prepared(m_statements.insert, sql());
    if (!statement)
        return false;
    QSqlQuery& query = *statement;
    query.addBindValue(m_StyleProg);
    query.addBindValue(m_StyleName1);
    query.addBindValue(m_StyleName2);
    query.addBindValue(m_StyleLength1);
    query.addBindValue(m_StyleLength2);
    query.addBindValue(m_StyleContent1);
    query.addBindValue(m_StyleContent2);
    query.addBindValue(m_StyleSeek);
    query.addBindValue(m_StyleDate);
    query.addBindValue(m_StyleDesc);
    query.addBindValue(m_StyleCat);
    query.addBindValue(m_StyleFamily);
    query.addBindValue(m_StyleFile);
    query.addBindValue(m_StyleAuthor);
    if (withFacts) {
        query.addBindValue(m_Tempo ? QVariant(*m_Tempo) : QVariant(QMetaType::fromType<int>()));
        query.addBindValue(m_Meter.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(m_Meter));
        query.addBindValue(orNull(m_FingerprintExact));
        query.addBindValue(orNull(m_FingerprintRenamed));
        query.addBindValue(orNull(m_FingerprintSettings));
        query.addBindValue(m_NoteFingerprint.isEmpty() ? QVariant(QMetaType::fromType<QByteArray>())
                                                       : QVariant(m_NoteFingerprint));
    }
    const bool done = query.exec();
    query.finish();
    if (!done)
        return fail(Database::gatewayError(query.lastError()));
    return true;
}

bool DbKORFStyle::insertDirect(const std::function<QString()>& sql, bool withFacts) {
    if (!m_statements.directInsert) {
        try {
            m_statements.directInsert = std::make_shared<SqliteStatement>(m_connection, sql());
        } catch (const SbkError& error) {
            return fail(QStringLiteral("1 ") + error.message());
        }
    }
    SqliteStatement& insert = *m_statements.directInsert;
    insert.bindInt(0, m_StyleProg);
    insert.bindText(1, m_StyleName1);
    insert.bindText(2, m_StyleName2);
    insert.bindInt(3, m_StyleLength1);
    insert.bindInt(4, m_StyleLength2);
    insert.bindBlob(5, m_StyleContent1);
    insert.bindBlob(6, m_StyleContent2);
    insert.bindBlob(7, m_StyleSeek);
    const QString* texts[] = {&m_StyleDate,   &m_StyleDesc, &m_StyleCat,
                              &m_StyleFamily, &m_StyleFile, &m_StyleAuthor};
    for (int k = 0; k < 6; ++k)
        insert.bindText(8 + k, *texts[k]);
    if (withFacts) {
        if (m_Tempo)
            insert.bindInt(14, *m_Tempo);
        else
            insert.bindNull(14);
        insert.bindText(15, m_Meter.isEmpty() ? QString() : m_Meter);
        const std::optional<qint64>* fingerprints[] = {&m_FingerprintExact, &m_FingerprintRenamed,
                                                       &m_FingerprintSettings};
        for (int k = 0; k < 3; ++k) {
            if (*fingerprints[k])
                insert.bindInt(16 + k, **fingerprints[k]);
            else
                insert.bindNull(16 + k);
        }
        insert.bindBlob(19, m_NoteFingerprint.isEmpty() ? QByteArray() : m_NoteFingerprint);
    }
    return insert.exec() || fail(insert.error());
}

bool DbKORFStyle::UpdKORFStyles() {
    // All descriptive columns in one statement: a failure changes nothing. The data columns and
    // StyleSeek are never changed by an update.
    m_error.clear();
    QSqlQuery query(m_connection);
    query.prepare(QStringLiteral(
        "UPDATE KORFStyles SET StyleName1 = ?, StyleName2 = ?, StyleLength1 = ?, StyleLength2 = ?, StyleDate "
        "= ?, "
        "StyleDesc = ?, StyleCat = ?, StyleFamily = ?, StyleFile = ?, StyleAuthor = ? WHERE StyleProg = ?"));
    query.addBindValue(m_StyleName1);
    query.addBindValue(m_StyleName2);
    query.addBindValue(m_StyleLength1);
    query.addBindValue(m_StyleLength2);
    query.addBindValue(m_StyleDate);
    query.addBindValue(m_StyleDesc);
    query.addBindValue(m_StyleCat);
    query.addBindValue(m_StyleFamily);
    query.addBindValue(m_StyleFile);
    query.addBindValue(m_StyleAuthor);
    query.addBindValue(m_StyleProg);
    if (!query.exec())
        return fail(Database::gatewayError(query.lastError()));
    return query.numRowsAffected() > 0;
}

bool DbKORFStyle::DelKORFStyles() {
    m_error.clear();
    QSqlQuery query(m_connection);
    query.prepare(QStringLiteral("DELETE FROM KORFStyles WHERE StyleProg = ?"));
    query.addBindValue(m_StyleProg);
    if (!query.exec())
        return fail(Database::gatewayError(query.lastError()));
    return true;
}

void DbKORFStyle::readDescriptive(const QSqlRecord& row) {
    m_StyleDate = row.value(QStringLiteral("StyleDate")).toString();
    m_StyleDesc = row.value(QStringLiteral("StyleDesc")).toString();
    m_StyleCat = row.value(QStringLiteral("StyleCat")).toString();
    m_StyleFamily = row.value(QStringLiteral("StyleFamily")).toString();
    m_StyleFile = row.value(QStringLiteral("StyleFile")).toString();
    m_StyleAuthor = row.value(QStringLiteral("StyleAuthor")).toString();
}

bool DbKORFStyle::GetKORFStyles() {
    m_error.clear();
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT * FROM KORFStyles WHERE StyleProg = ?"));
    query.addBindValue(m_StyleProg);
    if (!query.exec())
        return fail(Database::gatewayError(query.lastError()));
    if (!query.next())
        return false;
    const QSqlRecord row = query.record();
    m_StyleProg = row.value(QStringLiteral("StyleProg")).toInt();
    m_StyleName1 = row.value(QStringLiteral("StyleName1")).toString();
    m_StyleName2 = row.value(QStringLiteral("StyleName2")).toString();
    m_StyleLength1 = row.value(QStringLiteral("StyleLength1")).toInt();
    m_StyleLength2 = row.value(QStringLiteral("StyleLength2")).toInt();
    m_StyleContent1 = row.value(QStringLiteral("StyleContent1")).toByteArray();
    m_StyleContent2 = row.value(QStringLiteral("StyleContent2")).toByteArray();
    m_StyleSeek = m_StyleContent1.left(250);
    readDescriptive(row);
    const int tempo = row.indexOf(QStringLiteral("Tempo"));
    m_Tempo = tempo >= 0 && !row.isNull(tempo) ? std::optional<int>(row.value(tempo).toInt()) : std::nullopt;
    const int meter = row.indexOf(QStringLiteral("Meter"));
    m_Meter = meter >= 0 ? row.value(meter).toString() : QString();
    m_FingerprintExact = fingerprintIn(row, QStringLiteral("FingerprintExact"));
    m_FingerprintRenamed = fingerprintIn(row, QStringLiteral("FingerprintRenamed"));
    m_FingerprintSettings = fingerprintIn(row, QStringLiteral("FingerprintSettings"));
    m_NoteFingerprint = row.value(QStringLiteral("NoteFingerprint")).toByteArray();
    return true;
}

bool DbKORFStyle::GetKORFStylesNoContent() {
    m_error.clear();
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT StyleProg, StyleName1, StyleName2, StyleLength1, StyleLength2, StyleDate, "
                       "StyleDesc, StyleCat, StyleFamily, StyleFile, StyleAuthor FROM KORFStyles "
                       "WHERE StyleProg = ?"));
    query.addBindValue(m_StyleProg);
    if (!query.exec())
        return fail(Database::gatewayError(query.lastError()));
    if (!query.next())
        return false;
    const QSqlRecord row = query.record();
    m_StyleProg = row.value(QStringLiteral("StyleProg")).toInt();
    m_StyleName1 = row.value(QStringLiteral("StyleName1")).toString();
    m_StyleName2 = row.value(QStringLiteral("StyleName2")).toString();
    m_StyleLength1 = row.value(QStringLiteral("StyleLength1")).toInt();
    m_StyleLength2 = row.value(QStringLiteral("StyleLength2")).toInt();
    m_StyleContent1 = blank;
    m_StyleContent2 = blank;
    m_StyleSeek = blank;
    readDescriptive(row);
    return true;
}

std::optional<QList<QSqlRecord>> DbKORFStyle::GetKORFStylesByName() {
    m_error.clear();
    QSqlQuery query(m_connection);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT * FROM KORFStyles WHERE StyleName1 = ? ORDER BY StyleProg"));
    query.addBindValue(m_StyleName1);
    if (!query.exec()) {
        fail(Database::gatewayError(query.lastError()));
        return std::nullopt;
    }
    QList<QSqlRecord> rows;
    while (query.next())
        rows.append(query.record());
    return rows;
}

qint32 DbKORFStyle::GetKORFStylesByContent(const QByteArray& content1, const QByteArray& content2,
                                           qint32 length1, qint32 length2,
                                           std::optional<qint64> exactFingerprint) {
    // Compare with the stored form: the insert keeps an empty block as one blank, so an empty block
    // must be looked for as that blank or a style with one block would never be found again.
    const QByteArray stored1 = content1.isEmpty() ? blank : content1;
    const QByteArray stored2 = content2.isEmpty() ? blank : content2;
    m_StyleSeek = seekOf(content1);

    QSqlQuery* statement =
        exactFingerprint
            ? prepared(m_statements.byFingerprint,
                       QStringLiteral("SELECT StyleProg, StyleContent1, StyleContent2 FROM KORFStyles WHERE "
                                      "FingerprintExact = ? AND StyleLength1 = ? AND StyleLength2 = ? "
                                      "ORDER BY StyleProg"))
            : prepared(m_statements.byContent,
                       QStringLiteral("SELECT StyleProg, StyleContent1, StyleContent2 FROM KORFStyles WHERE "
                                      "StyleSeek = ? AND StyleLength1 = ? AND StyleLength2 = ? "
                                      "ORDER BY StyleProg"));
    if (!statement)
        throw SbkError(m_error);
    QSqlQuery& query = *statement;
    if (exactFingerprint)
        query.addBindValue(*exactFingerprint);
    else
        query.addBindValue(m_StyleSeek);
    query.addBindValue(length1);
    query.addBindValue(length2);
    Database::exec(query);
    qint32 found = -1;
    while (query.next()) {
        if (query.value(1).toByteArray() == stored1 && query.value(2).toByteArray() == stored2) {
            found = query.value(0).toInt();
            break;
        }
    }
    query.finish();
    return found;
}

bool DbKORFStyle::everyStyleFingerprinted(QSqlDatabase connection) {
    if (!keepsFacts(connection))
        return false;
    QSqlQuery query(connection);
    Database::exec(
        query, QStringLiteral("SELECT NOT EXISTS (SELECT 1 FROM KORFStyles WHERE FingerprintExact IS NULL)"));
    return query.next() && query.value(0).toBool();
}

std::vector<qint64> DbKORFStyle::exactFingerprints(QSqlDatabase connection) {
    std::vector<qint64> fingerprints;
    if (!keepsFacts(connection))
        return fingerprints;
    // Read in the order of their index, so nothing is sorted.
    SqliteRows rows(
        connection,
        QStringLiteral("SELECT FingerprintExact FROM KORFStyles WHERE FingerprintExact IS NOT NULL "
                       "ORDER BY FingerprintExact"),
        {});
    while (rows.next())
        fingerprints.push_back(rows.integer64(0));
    return fingerprints;
}

qint32 DbKORFStyle::NextKORFStyle() {
    QSqlQuery* statement =
        prepared(m_statements.next, QStringLiteral("SELECT MAX(StyleProg) AS MAXPROG FROM KORFStyles"));
    if (!statement)
        throw SbkError(m_error);
    QSqlQuery& query = *statement;
    Database::exec(query);
    if (!query.next())
        throw SbkError(Database::errorText(query.lastError()));
    const QVariant highest = query.value(QStringLiteral("MaxProg"));
    query.finish();
    return highest.isNull() ? 1 : highest.toInt() + 1;
}
