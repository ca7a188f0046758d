#include "store/SchemaMigration.h"

#include "core/ProgressRun.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFEntry.h"
#include "store/Transaction.h"

#include <limits>
#include <QList>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const QString styleColumns =
    QStringLiteral("StyleProg, StyleName1, StyleName2, StyleLength1, StyleLength2, StyleContent1, "
                   "StyleContent2, StyleSeek, StyleDate, StyleDesc, StyleCat, StyleFamily, StyleFile, "
                   "StyleAuthor");

qint64 countOf(QSqlQuery& query, const QString& table) {
    Database::exec(query, QStringLiteral("SELECT COUNT(*) FROM ") + table);
    const qint64 count = query.next() ? query.value(0).toLongLong() : -1;
    query.finish();
    return count;
}

void migrateFrom1(QSqlQuery& query) {
    // The old table steps aside under another name, so the new one is made by the very statement
    // that makes a new database.
    QStringList statements{QStringLiteral("DROP VIEW IF EXISTS QUERY1"),
                           QStringLiteral("DROP INDEX IF EXISTS KORFStyles_Seek"),
                           QStringLiteral("DROP INDEX IF EXISTS KORFStyles_Name1"),
                           QStringLiteral("ALTER TABLE KORFStyles RENAME TO KORFStyles_v1")};
    QStringList afterwards; // the indexes and the view
    for (const QString& statement : Database::schemaStatements()) {
        if (statement.startsWith(QStringLiteral("CREATE TABLE KORFStyles (")))
            statements << statement
                       << QStringLiteral("INSERT INTO KORFStyles (%1) SELECT %1 FROM KORFStyles_v1")
                              .arg(styleColumns)
                       << QStringLiteral("DROP TABLE KORFStyles_v1");
        else if ((statement.startsWith(QStringLiteral("CREATE INDEX KORFStyles_")) &&
                  !Database::fingerprintIndexes().contains(statement)) ||
                 statement.startsWith(QStringLiteral("CREATE VIEW ")))
            afterwards << statement;
    }
    const qint64 styles = countOf(query, QStringLiteral("KORFStyles"));
    for (const QString& statement : statements + afterwards + DbKORFEntry::schemaStatements())
        Database::exec(query, statement);
    if (countOf(query, QStringLiteral("KORFStyles")) != styles)
        throw SbkError(QStringLiteral("the styles copied do not match the styles stored"));
}

bool hasIndex(QSqlQuery& query, const QString& name) {
    query.prepare(
        QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ? COLLATE NOCASE"));
    query.addBindValue(name);
    Database::exec(query);
    const bool present = query.next();
    query.finish();
    return present;
}

// The columns of the style facts (version 3) and of the fingerprints (versions 4 and 5) the table lacks (a
// table rebuilt from version 1 is made with them all).
void addColumns(QSqlDatabase db, QSqlQuery& query) {
    const QSqlRecord record = db.record(QStringLiteral("KORFStyles"));
    for (const QString& column : Database::factsColumns() + Database::fingerprintColumns())
        if (record.indexOf(column.section(QLatin1Char(' '), 0, 0)) < 0)
            Database::exec(query, QStringLiteral("ALTER TABLE KORFStyles ADD COLUMN ") + column);
}

// The indexes of the fingerprints, made once they are filled: building an index in one pass is
// cheaper than keeping it up to date through every update.
void addFingerprintIndexes(QSqlQuery& query) {
    for (const QString& index : Database::fingerprintIndexes())
        if (!hasIndex(query, index.section(QLatin1Char(' '), 2, 2)))
            Database::exec(query, index);
}

QVariant orNull(const std::optional<qint64>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<qint64>());
}

// Reads what the blocks of every stored style tell, some hundred styles at a time in number order,
// so that the memory a run takes does not grow with the library: from version 1 or 2 the facts and
// the fingerprints in the one decoding of each block, from version 3 (whose facts are stored) the
// fingerprints alone. Counts the styles left without tempo or meter by this run and those whose
// blocks do not decode. Throws UpgradeCancelled when the progress is cancelled.
void fillFromBlocks(QSqlDatabase db, const Database::Upgrade& upgrade, qint64 fromVersion,
                    SchemaMigration::Outcome& outcome) {
    const bool withFacts = fromVersion < 3;
    if (!upgrade.readFacts)
        throw SbkError(QStringLiteral("the blocks of the stored styles cannot be read here"));
    constexpr int BatchSize = 256;
    QSqlQuery query(db);
    const qint64 total = countOf(query, QStringLiteral("KORFStyles"));
    const ProgressRun run(upgrade.progress, total,
                          withFacts         ? QStringLiteral("Reading tempo and meter of the stored styles")
                          : fromVersion < 4 ? QStringLiteral("Reading the stored styles to find their copies")
                                            : QStringLiteral("Reading the notes of the stored styles"));

    QSqlQuery batch(db);
    batch.setForwardOnly(true);
    QSqlQuery update(db);
    const QString fingerprints = QStringLiteral(
        "FingerprintExact = ?, FingerprintRenamed = ?, FingerprintSettings = ?, NoteFingerprint = ?");
    if (!batch.prepare(QStringLiteral("SELECT StyleProg, StyleContent1, StyleContent2, StyleName1 FROM "
                                      "KORFStyles WHERE "
                                      "StyleProg > ? ORDER BY StyleProg LIMIT %1")
                           .arg(BatchSize)) ||
        !update.prepare(
            QStringLiteral("UPDATE KORFStyles SET %1%2 WHERE StyleProg = ?")
                .arg(withFacts ? QStringLiteral("Tempo = ?, Meter = ?, ") : QString(), fingerprints)))
        throw SbkError(
            Database::errorText(batch.lastError().isValid() ? batch.lastError() : update.lastError()));
    struct Stored {
        qint64 prog;
        QByteArray content1;
        QByteArray content2;
        QString name;
    };
    QList<Stored> rows;
    qint64 last = std::numeric_limits<qint64>::min();
    qint64 done = 0;
    for (;;) {
        rows.clear();
        batch.bindValue(0, last);
        Database::exec(batch);
        while (batch.next())
            rows.append({batch.value(0).toLongLong(), batch.value(1).toByteArray(),
                         batch.value(2).toByteArray(), batch.value(3).toString()});
        batch.finish();
        if (rows.isEmpty())
            break;
        for (const Stored& row : std::as_const(rows)) {
            StyleFactsValues facts;
            try {
                facts = upgrade.readFacts(row.content1, row.content2);
            } catch (const std::exception&) {
                // A style the reader fails on keeps no facts, the others do.
                facts = {};
                facts.damage = QStringLiteral("its blocks could not be read");
            }
            if (!facts.damage.isEmpty())
                outcome.damaged.add(qint32(row.prog), row.name);
            int at = 0;
            if (withFacts) {
                if (!facts.complete())
                    ++outcome.withoutFacts;
                update.bindValue(at++,
                                 facts.Tempo ? QVariant(*facts.Tempo) : QVariant(QMetaType::fromType<int>()));
                update.bindValue(at++, facts.Meter.isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                                             : QVariant(facts.Meter));
            }
            update.bindValue(at++, orNull(facts.FingerprintExact));
            update.bindValue(at++, orNull(facts.FingerprintRenamed));
            update.bindValue(at++, orNull(facts.FingerprintSettings));
            update.bindValue(at++, facts.NoteFingerprint.isEmpty()
                                       ? QVariant(QMetaType::fromType<QByteArray>())
                                       : QVariant(facts.NoteFingerprint));
            update.bindValue(at, row.prog);
            Database::exec(update);
        }
        last = rows.last().prog;
        done += rows.size();
        run.step(done);
        if (run.cancelled())
            throw Database::UpgradeCancelled(QStringLiteral("the upgrade was cancelled"));
    }
}

} // namespace

SchemaMigration::Outcome SchemaMigration::migrate(QSqlDatabase db, const QString& path, qint64 fromVersion,
                                                  const Database::Upgrade& upgrade) {
    try {
        // The version read before the lock may be stale: another program opening the same file
        // may have migrated it meanwhile. Locked, the version read again is the one that counts.
        Transaction transaction(db);
        QSqlQuery query(db);
        Database::exec(query, QStringLiteral("PRAGMA user_version"));
        fromVersion = query.next() ? query.value(0).toLongLong() : fromVersion;
        query.finish();
        if (fromVersion > Database::SchemaVersion)
            throw SbkError(
                QStringLiteral("a newer version of SBK brought it to database version %1 meanwhile")
                    .arg(fromVersion));
        Outcome outcome;
        if (fromVersion == Database::SchemaVersion) {
            transaction.commit();
            return outcome;
        }
        if (fromVersion < 1)
            throw SbkError(QStringLiteral("there is no way from database version %1").arg(fromVersion));
        if (fromVersion == 1)
            migrateFrom1(query);
        addColumns(db, query);
        fillFromBlocks(db, upgrade, fromVersion, outcome);
        addFingerprintIndexes(query);
        Database::exec(query, QStringLiteral("PRAGMA user_version = %1").arg(Database::SchemaVersion));
        query.finish();
        transaction.commit();
        return outcome;
    } catch (const Database::UpgradeCancelled&) {
        throw Database::UpgradeCancelled(
            QStringLiteral(
                "Bringing the database file %1 up to this version of SBK was cancelled. It was not "
                "changed: it stays at database version %2, which this version opens only once it "
                "is brought up to date.")
                .arg(path)
                .arg(fromVersion));
    } catch (const SbkError& error) {
        throw SbkError(QStringLiteral("The database file %1 could not be brought up to this version of SBK "
                                      "(database version %2 to %3): %4. It was not changed.")
                           .arg(path)
                           .arg(fromVersion)
                           .arg(Database::SchemaVersion)
                           .arg(error.message()));
    }
}
