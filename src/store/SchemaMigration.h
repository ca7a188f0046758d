#pragma once

#include "store/DamagedStyles.h"
#include "store/Database.h"

#include <QSqlDatabase>
#include <QString>

// Brings an SBK database of an earlier schema version up to the current one, in place and in one
// transaction: either every step is done and the file carries the new version number (which
// earlier versions of the program then refuse to open), or the file is left as it was.
//
// Version 1 -> 2: the name columns widen from 16 to 28 characters (names of newer bank files), and
// the table KORFEntries with its trigger is added. SQLite cannot change a column's check, so the
// style table is rebuilt: the old one renamed, the new one made, every row copied, the old one
// dropped, then the indexes and the view QUERY1 made again.
//
// Version 2 -> 3: the style facts Tempo and Meter are added to the style table (a table rebuilt
// from version 1 has them already).
//
// Version 3 -> 4: the three fingerprints that find the copies of a style (StyleFingerprint) are
// added and indexed.
//
// What the new columns hold is read from the blocks of every stored style with the upgrade's
// reader, in batches, reporting progress, each block decoded once: coming from version 1 or 2 the
// facts and the fingerprints together, from version 3 the fingerprints alone (the stored facts are
// kept). A style whose blocks do not give a value keeps NULL there; the database stays usable.
//
// The upgrade's progress may be cancelled between batches: the transaction is then rolled back, so
// the file stays at its old version, and Database::UpgradeCancelled is thrown.
class SchemaMigration {
public:
    struct Outcome {
        qint64 withoutFacts = 0; // stored styles this run left without tempo or meter
        DamagedStyles damaged;   // stored styles whose blocks do not decode
    };
    // Throws SbkError naming the file when the database cannot be migrated; nothing is changed then.
    static Outcome migrate(QSqlDatabase db, const QString& path, qint64 fromVersion,
                           const Database::Upgrade& upgrade);
};
