#pragma once

#include "core/SbkError.h"
#include "store/DamagedStyles.h"

#include <QSqlDatabase>
#include <QString>

class DbKORFBank;
class DbKORFEntry;
class DbKORFStyle;
class KORFEntry;
class Progress;
class QSqlQuery;

// Reads a PDD dump back into the database. The validation pass reads the whole file and checks
// every record, so a restore that follows it rarely meets a surprise; the restore reads the file
// again (it may have changed meanwhile) and replaces the tables in one transaction, so that any
// failure leaves the database exactly as it was.
class PddRestore {
public:
    static inline const QString CheckedQuestion =
        QStringLiteral("Restore file has been correctly checked. Confirm restore to SBK database?");
    static inline const QString DataLostQuestion =
        QStringLiteral("Warning: current data will be lost! Confirm restore to SBK database?");
    static inline const QString MissingFileMessage = QStringLiteral("Can't find restore file!");
    static inline const QString DoneMessage =
        QStringLiteral("SBK database restore completed without errors!");
    static QString invalidMessage(const QString& path) {
        return path + QStringLiteral(" is not a SBK backup files or is corrupted! Restore process aborted!");
    }
    // What the restore says when the file it reads is not the backup the validation pass checked
    // (it changed meanwhile).
    static QString notABackupMessage(const QString& path) {
        return QStringLiteral("WARNING: file ") + path +
               QStringLiteral(" is not a SBK backup file or is corrupted!");
    }
    // The restore's error when the file turns out not to be a backup: notABackupMessage, and below
    // it what is wrong with the file and that the database was not changed.
    class NotABackup : public SbkError {
    public:
        using SbkError::SbkError;
    };

    struct Check {
        bool valid = false;
        qint64 records = 0;
        QString problem;
    };
    // The validation pass: structure check and record total.
    static Check validate(const QString& path);
    // Restores in one transaction; throws NotABackup when the file is not a backup, SbkError on any
    // other failure, the database exactly as before. Returns the restored styles whose blocks do
    // not decode, which are restored as they are.
    static DamagedStyles restore(QSqlDatabase db, const QString& path, qint64 total,
                                 Progress* progress = nullptr);

private:
    // Each throws SbkError saying what could not be stored.
    static void emptyTable(QSqlDatabase db, QSqlQuery& query, const QString& table);
    static void storeBank(DbKORFBank& banks, const DbKORFBank& bank);
    static void storeStyle(DbKORFStyle& styles);
    static void storeEntry(DbKORFEntry& entries, qint32 styleProg, int block, const KORFEntry& entry);
};
