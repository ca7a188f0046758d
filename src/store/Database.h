#pragma once

#include "core/SbkError.h"
#include "store/DamagedStyles.h"
#include "store/StyleFactsValues.h"

#include <QSqlDatabase>
#include <QString>

class Progress;
class QSqlError;
class QSqlQuery;

// One open SBK database file (SQLite through Qt SQL). Opening checks that the file is an SBK
// database of a version this program reads and never alters a file it refuses.
class Database {
public:
    // 2: names of up to 28 characters and the table KORFEntries; 3: the style facts Tempo and
    // Meter; 4: the fingerprints that find the copies of every style, indexed; 5: the note
    // fingerprint of every style, indexed (SchemaMigration).
    static constexpr int SchemaVersion = 5;
    static constexpr qint32 ApplicationId = 0x53424B31; // "SBK1"

    // Creates a new, empty database file with the full schema. Refuses (SbkError) when the file
    // exists already; leaves nothing behind when it fails.
    static void createEmpty(const QString& path);

    // What bringing a file of an older version up to date needs: the reader of the style facts
    // that fills Tempo, Meter and the fingerprints of every stored style, and where its progress
    // goes. A progress that is cancelled stops the upgrade, which leaves the file as it was and
    // throws UpgradeCancelled.
    class UpgradeCancelled : public SbkError {
    public:
        using SbkError::SbkError;
    };
    struct Upgrade {
        StyleFactsReader readFacts;
        Progress* progress = nullptr;
    };

    // Opens an existing database file; throws SbkError with a message naming the file. A file of an
    // older version is brought up to date first (upgrade.readFacts is then required).
    explicit Database(const QString& path);
    Database(const QString& path, const Upgrade& upgrade);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QSqlDatabase connection() const;
    const QString& path() const { return m_path; }
    // The stored styles whose tempo or meter could not be read when the opening brought the file
    // up to date; 0 when it did not.
    qint64 stylesWithoutFacts() const { return m_stylesWithoutFacts; }
    // The stored styles whose blocks do not decode, found when the opening brought the file up to
    // date; none when it did not.
    const DamagedStyles& stylesDamaged() const { return m_stylesDamaged; }

    // A database failure in words, as the program's messages say it: "the database file cannot be
    // written (it, or its folder, is read-only)".
    static QString errorText(const QSqlError& error);
    // "<number> <description>", the form the style and bank gateways keep a failure in
    // (clsKORFStylesError, clsKORFBanksError).
    static QString gatewayError(const QSqlError& error);
    // A gateway's failure text without its number, for a sentence shown to the user.
    static QString inWords(const QString& gatewayError);
    // Runs a statement without parameters; throws SbkError with errorText on failure.
    static void exec(QSqlQuery& query, const QString& sql);
    // Executes a prepared query; throws SbkError with errorText on failure.
    static void exec(QSqlQuery& query);

    // The statements that create the schema, in order (also used by tests that build databases
    // the way another program would).
    static QStringList schemaStatements();
    // The column definitions of the style facts (version 3) and of the fingerprints (version 4, the
    // note fingerprint version 5) in the style table, and the indexes of the fingerprints.
    static QStringList factsColumns();
    static QStringList fingerprintColumns();
    static QStringList fingerprintIndexes();
    static QString query1Definition();

private:
    void checkAndPrepare(const Upgrade& upgrade);

    QString m_path;
    qint64 m_stylesWithoutFacts = 0;
    DamagedStyles m_stylesDamaged;
    QString m_connectionName;
};
