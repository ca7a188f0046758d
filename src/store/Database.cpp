#include "store/Database.h"
#include "store/DbKORFBank.h"

#include "core/SbkError.h"
#include "store/DbKORFEntry.h"
#include "store/SchemaMigration.h"
#include "store/SqliteConnection.h"
#include "store/Transaction.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QAtomicInt connectionCounter;

QString newConnectionName() {
    return QStringLiteral("sbk-%1").arg(connectionCounter.fetchAndAddOrdered(1));
}

QString textColumn(const char* name, int size) {
    return QStringLiteral("%1 TEXT COLLATE NOCASE CHECK (length(%1) <= %2)")
        .arg(QLatin1String(name))
        .arg(size);
}

QSqlDatabase openConnection(const QString& name, const QString& path) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    QString why;
    if (!db.open()) {
        why = Database::errorText(db.lastError());
    } else {
        try {
            SqliteConnection::prepare(db);
            return db;
        } catch (const SbkError& error) {
            why = error.message();
            db.close();
        }
    }
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(name);
    throw SbkError(QStringLiteral("Cannot open the database file %1: %2").arg(path, why));
}

// The schema's size checks as the database reports them ("CHECK constraint failed: length(StyleName1)
// <= 16"), in words: "the name holds more than 16 characters".
QString sizeCheckInWords(const QString& description) {
    static const QRegularExpression check(
        QStringLiteral("CHECK constraint failed: length\\((\\w+)\\) <= (\\d+)"));
    const QRegularExpressionMatch match = check.match(description);
    if (!match.hasMatch())
        return description;
    static const QMap<QString, QString> words{
        {QStringLiteral("stylename1"), QStringLiteral("name")},
        {QStringLiteral("stylename2"), QStringLiteral("second name")},
        {QStringLiteral("styleseek"), QStringLiteral("search key")},
        {QStringLiteral("styledate"), QStringLiteral("date")},
        {QStringLiteral("styledesc"), QStringLiteral("description")},
        {QStringLiteral("stylecat"), QStringLiteral("group")},
        {QStringLiteral("stylefamily"), QStringLiteral("family")},
        {QStringLiteral("stylefile"), QStringLiteral("STY file name")},
        {QStringLiteral("styleauthor"), QStringLiteral("author")},
        {QStringLiteral("bankname"), QStringLiteral("bank name")},
        {QStringLiteral("bankdesc"), QStringLiteral("bank description")}};
    const QString column = match.captured(1);
    return QStringLiteral("the %1 holds more than %2 characters")
        .arg(words.value(column.toLower(), column), match.captured(2));
}

void closeConnection(const QString& name) {
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// The database's number of a failure, or the kind of failure when the driver gives none.
QString numberOf(const QSqlError& error) {
    const QString number = error.nativeErrorCode();
    return number.isEmpty() ? QString::number(int(error.type())) : number;
}

} // namespace

QString Database::errorText(const QSqlError& error) {
    QString description = error.databaseText();
    if (description.isEmpty())
        description = error.driverText();
    description = sizeCheckInWords(description);
    // SQLITE_BUSY and SQLITE_LOCKED, also in their extended forms: another program holds the file
    // longer than the connection waits. SQLITE_READONLY: the file, or the folder where its journal
    // goes, cannot be written.
    const int code = error.nativeErrorCode().toInt() & 0xFF;
    if (code == 5 || code == 6)
        description += QStringLiteral(": the database is in use by another program. Try again when it "
                                      "has finished.");
    if (code == 8)
        description += QStringLiteral(": the database file cannot be written (it, or its folder, is "
                                      "read-only)");
    return description;
}

QString Database::gatewayError(const QSqlError& error) {
    return numberOf(error) + QLatin1Char(' ') + errorText(error);
}

QString Database::inWords(const QString& gatewayError) {
    static const QRegularExpression number(QStringLiteral("^-?\\d+ "));
    return QString(gatewayError).remove(number);
}

void Database::exec(QSqlQuery& query, const QString& sql) {
    if (!query.exec(sql))
        throw SbkError(errorText(query.lastError()));
}

void Database::exec(QSqlQuery& query) {
    if (!query.exec())
        throw SbkError(errorText(query.lastError()));
}

QString Database::query1Definition() {
    // One row per bank; every slot is joined on its own, so banks with empty slots and slots
    // naming deleted styles keep their row.
    QStringList columns{QStringLiteral("b.BankProg AS BankProg"), QStringLiteral("b.BankName AS BankName"),
                        QStringLiteral("b.BankDesc AS BankDesc")};
    QStringList joins;
    for (int k = 1; k <= 32; ++k) {
        const QString nn = QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0'));
        columns << QStringLiteral("b.BankStyle%1 AS \"%1Prog\"").arg(nn)
                << QStringLiteral("s%1.StyleName1 AS \"%1Name\"").arg(nn)
                << QStringLiteral("s%1.StyleDesc AS \"%1Desc\"").arg(nn);
        joins << QStringLiteral("LEFT JOIN KORFStyles s%1 ON s%1.StyleProg = b.BankStyle%1").arg(nn);
    }
    return QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) +
           QStringLiteral(" FROM KORFBanks b ") + joins.join(QLatin1Char(' '));
}

QStringList Database::schemaStatements() {
    QStringList styleColumns{
        QStringLiteral("StyleProg INTEGER PRIMARY KEY NOT NULL"),
        // 28: the names of newer bank files; older files give 16.
        textColumn("StyleName1", 28),
        textColumn("StyleName2", 28),
        QStringLiteral("StyleLength1 INTEGER"),
        QStringLiteral("StyleLength2 INTEGER"),
        QStringLiteral("StyleContent1 BLOB"),
        QStringLiteral("StyleContent2 BLOB"),
        QStringLiteral("StyleSeek BLOB CHECK (length(StyleSeek) <= 250)"),
        textColumn("StyleDate", 10),
        textColumn("StyleDesc", 250),
        textColumn("StyleCat", 20),
        textColumn("StyleFamily", 20),
        textColumn("StyleFile", 20),
        textColumn("StyleAuthor", 50),
    };
    styleColumns << factsColumns() << fingerprintColumns();
    QStringList bankColumns{QStringLiteral("BankProg INTEGER PRIMARY KEY NOT NULL"),
                            textColumn("BankName", 50), textColumn("BankDesc", 250)};
    for (int k = 1; k <= 32; ++k)
        bankColumns << DbKORFBank::slotColumn(k) + QStringLiteral(" INTEGER NOT NULL DEFAULT 0");

    QStringList statements{
        QStringLiteral("PRAGMA application_id = %1").arg(ApplicationId),
        QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion),
        QStringLiteral("CREATE TABLE KORFStyles (") + styleColumns.join(QStringLiteral(", ")) +
            QLatin1Char(')'),
        QStringLiteral("CREATE TABLE KORFBanks (") + bankColumns.join(QStringLiteral(", ")) +
            QLatin1Char(')'),
        // Serves the duplicate search by content, so its cost does not grow with the library.
        QStringLiteral("CREATE INDEX KORFStyles_Seek ON KORFStyles (StyleSeek, StyleLength1, StyleLength2)"),
        QStringLiteral("CREATE INDEX KORFStyles_Name1 ON KORFStyles (StyleName1)"),
        QStringLiteral("CREATE INDEX KORFBanks_Name ON KORFBanks (BankName)"),
    };
    statements << fingerprintIndexes() << QStringLiteral("CREATE VIEW QUERY1 AS ") + query1Definition();
    return statements + DbKORFEntry::schemaStatements();
}

void Database::createEmpty(const QString& path) {
    if (QFileInfo::exists(path))
        throw SbkError(QStringLiteral("The file %1 exists already; it is not overwritten.").arg(path));
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        throw SbkError(QStringLiteral("Cannot create the database file %1: the folder %2 does not exist.")
                           .arg(path, info.absolutePath()));
    // The file is built beside its place under another name; a refusal names the folder, not that name.
    if (!QFileInfo(info.absolutePath()).isWritable())
        throw SbkError(QStringLiteral("Cannot create the database file %1: the folder %2 cannot be written.")
                           .arg(path, info.absolutePath()));

    // Build the schema in a temporary file beside the target, then rename it into place.
    const QString temporary = path + QStringLiteral(".part");
    QFile::remove(temporary);
    const QString name = newConnectionName();
    try {
        QSqlDatabase db = openConnection(name, temporary);
        QSqlQuery query(db);
        for (const QString& statement : schemaStatements())
            exec(query, statement);
    } catch (const SbkError& error) {
        closeConnection(name);
        QFile::remove(temporary);
        // The reason, without the name of the temporary file, which the user never sees.
        QString why = error.message();
        if (const qsizetype at = why.indexOf(temporary + QStringLiteral(": ")); at >= 0)
            why = why.mid(at + temporary.size() + 2);
        throw SbkError(QStringLiteral("Cannot create the database file %1 in the folder %2: %3")
                           .arg(path, info.absolutePath(), why));
    } catch (...) {
        closeConnection(name);
        QFile::remove(temporary);
        throw;
    }
    closeConnection(name);
    if (!QFile::rename(temporary, path)) {
        QFile::remove(temporary);
        throw SbkError(QStringLiteral("Cannot create the database file %1.").arg(path));
    }
}

QStringList Database::factsColumns() {
    // The meter is kept as its text ("4/4", "12/8"): the filter compares it as it is shown and
    // written in the JSON listing; the listing sorts it by its numbers.
    return {QStringLiteral("Tempo INTEGER"), QStringLiteral("Meter TEXT CHECK (length(Meter) <= 5)")};
}

QStringList Database::fingerprintColumns() {
    return {QStringLiteral("FingerprintExact INTEGER"), QStringLiteral("FingerprintRenamed INTEGER"),
            QStringLiteral("FingerprintSettings INTEGER"), QStringLiteral("NoteFingerprint BLOB")};
}

QStringList Database::fingerprintIndexes() {
    // The groups of copies of each kind are one grouped scan of its index, which also holds the
    // finer fingerprint that tells whether a group holds more than copies of the finer kind (and,
    // as every index does, StyleProg); the styles of a group are then found by the same index.
    return {QStringLiteral("CREATE INDEX KORFStyles_FingerprintExact ON KORFStyles (FingerprintExact)"),
            QStringLiteral("CREATE INDEX KORFStyles_FingerprintRenamed ON KORFStyles (FingerprintRenamed, "
                           "FingerprintExact)"),
            QStringLiteral("CREATE INDEX KORFStyles_FingerprintSettings ON KORFStyles (FingerprintSettings, "
                           "FingerprintRenamed)"),
            // The note fingerprints lie behind the blocks in every row: the search for similar styles
            // and for copies of the same notes reads them from this index alone (with StyleProg and
            // the fingerprint of the music, which tells copies of a finer kind apart).
            QStringLiteral("CREATE INDEX KORFStyles_NoteFingerprint ON KORFStyles (NoteFingerprint, "
                           "FingerprintSettings) WHERE NoteFingerprint IS NOT NULL")};
}

Database::Database(const QString& path) : Database(path, Upgrade()) {}

Database::Database(const QString& path, const Upgrade& upgrade)
    : m_path(path), m_connectionName(newConnectionName()) {
    const QFileInfo info(path);
    if (!info.exists())
        throw SbkError(QStringLiteral("The database file %1 does not exist.").arg(path));
    if (!info.isFile())
        throw SbkError(QStringLiteral("%1 is not a database file.").arg(path));
    openConnection(m_connectionName, path);
    try {
        checkAndPrepare(upgrade);
    } catch (...) {
        closeConnection(m_connectionName);
        throw;
    }
}

Database::~Database() {
    closeConnection(m_connectionName);
}

QSqlDatabase Database::connection() const {
    return QSqlDatabase::database(m_connectionName, false);
}

void Database::checkAndPrepare(const Upgrade& upgrade) {
    QSqlDatabase db = connection();
    QSqlQuery query(db);
    auto pragma = [&](const char* name) -> qint64 {
        if (!query.exec(QStringLiteral("PRAGMA %1").arg(QLatin1String(name))) || !query.next())
            throw SbkError(QStringLiteral("%1 is not an SBK database (%2).")
                               .arg(m_path, query.lastError().databaseText()));
        const qint64 value = query.value(0).toLongLong();
        query.finish();
        return value;
    };
    const qint64 applicationId = pragma("application_id");
    const qint64 version = pragma("user_version");

    auto hasObject = [&](const QString& type, const QString& objectName) {
        query.prepare(
            QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = ? AND name = ? COLLATE NOCASE"));
        query.addBindValue(type);
        query.addBindValue(objectName);
        const bool found = query.exec() && query.next();
        query.finish();
        return found;
    };
    auto hasColumns = [&](const QString& table, const QStringList& columns) {
        const QSqlRecord record = db.record(table);
        for (const QString& column : columns)
            if (record.indexOf(column) < 0)
                return false;
        return true;
    };

    if (applicationId == ApplicationId) {
        if (version > SchemaVersion)
            throw SbkError(
                QStringLiteral("The database file %1 was written by a newer version of SBK (database "
                               "version %2; this version reads up to %3). It was not changed.")
                    .arg(m_path)
                    .arg(version)
                    .arg(SchemaVersion));
        if (version < SchemaVersion) {
            const SchemaMigration::Outcome outcome = SchemaMigration::migrate(db, m_path, version, upgrade);
            m_stylesWithoutFacts = outcome.withoutFacts;
            m_stylesDamaged = outcome.damaged;
        }
        return;
    }

    // A file without our mark is accepted when another program filled it with the two tables and
    // their columns. It is not altered: a missing QUERY1 is made as a view of this connection only.
    QStringList styleColumns{
        QStringLiteral("StyleProg"),     QStringLiteral("StyleName1"),   QStringLiteral("StyleName2"),
        QStringLiteral("StyleLength1"),  QStringLiteral("StyleLength2"), QStringLiteral("StyleContent1"),
        QStringLiteral("StyleContent2"), QStringLiteral("StyleSeek"),    QStringLiteral("StyleDate"),
        QStringLiteral("StyleDesc"),     QStringLiteral("StyleCat"),     QStringLiteral("StyleFamily"),
        QStringLiteral("StyleFile"),     QStringLiteral("StyleAuthor")};
    QStringList bankColumns{QStringLiteral("BankProg"), QStringLiteral("BankName"),
                            QStringLiteral("BankDesc")};
    for (int k = 1; k <= 32; ++k)
        bankColumns << DbKORFBank::slotColumn(k);
    const bool compatible = applicationId == 0 &&
                            hasObject(QStringLiteral("table"), QStringLiteral("KORFStyles")) &&
                            hasObject(QStringLiteral("table"), QStringLiteral("KORFBanks")) &&
                            hasColumns(QStringLiteral("KORFStyles"), styleColumns) &&
                            hasColumns(QStringLiteral("KORFBanks"), bankColumns);
    if (!compatible)
        throw SbkError(
            QStringLiteral("%1 is not an SBK database: it lacks the tables KORFStyles and KORFBanks with "
                           "their columns. It was not changed.")
                .arg(m_path));
    if (!hasObject(QStringLiteral("view"), QStringLiteral("QUERY1")))
        exec(query, QStringLiteral("CREATE TEMP VIEW QUERY1 AS ") + query1Definition());
}
