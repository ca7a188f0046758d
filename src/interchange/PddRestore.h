#pragma once

#include <QSqlDatabase>
#include <QString>

class Progress;

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

    struct Check {
        bool valid = false;
        qint64 records = 0;
        QString problem;
    };
    // The validation pass: structure check and record total.
    static Check validate(const QString& path);
    // Restores in one transaction; throws SbkError (database exactly as before) on any failure.
    static void restore(QSqlDatabase db, const QString& path, qint64 total, Progress* progress = nullptr);
};
