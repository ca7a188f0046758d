#include "interchange/PddRestore.h"

#include "core/ProgressRun.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "interchange/PddReadAhead.h"
#include "interchange/PddReader.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFEntry.h"
#include "store/DbKORFStyle.h"
#include "store/PageCacheScope.h"
#include "store/WriteBehindScope.h"
#include "store/Transaction.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <utility>

PddRestore::Check PddRestore::validate(const QString& path) {
    Check check;
    try {
        PddReader reader(path);
        check.records = reader.read({});
        check.valid = true;
    } catch (const SbkError& error) {
        check.problem = error.message();
    }
    return check;
}

DamagedStyles PddRestore::restore(QSqlDatabase db, const QString& path, qint64 total, Progress* progress) {
    // Anything else in the file's place is refused by the reader, with its reason.
    if (!QFileInfo::exists(path))
        throw SbkError(MissingFileMessage);
    DamagedStyles damaged;
    try {
        const PageCacheScope cache(db);
        const WriteBehindScope writeBehind(db);
        Transaction transaction(db);
        QSqlQuery query(db);
        qint64 done = 0;
        const ProgressRun run(progress, total, QStringLiteral("Restoring the database"));
        // Each gateway prepares its insert once.
        DbKORFStyle styles(db);
        styles.setDirectInsert(true);
        DbKORFEntry entries(db);
        entries.setDirectInsert(true); // the gateways end with the run
        DbKORFBank banks(db);
        try {
            // The file is read, and the facts of its styles with it, on a thread of its own while
            // the records read before are stored here, in the file's order.
            PddReadAhead::read(path, [&](PddReadAhead::Record& record) {
                using Kind = PddReadAhead::Record::Kind;
                switch (record.kind) {
                case Kind::Table:
                    emptyTable(db, query, record.table);
                    break;
                case Kind::Bank:
                    storeBank(banks, record.bank);
                    run.step(++done, banks.BankName());
                    break;
                case Kind::Style:
                    styles.setValues(record.style);
                    styles.setFacts(record.facts);
                    storeStyle(styles);
                    if (!record.facts.damage.isEmpty())
                        damaged.add(styles.StyleProg(), styles.StyleName1());
                    run.step(++done, styles.StyleName1());
                    break;
                case Kind::Entry:
                    storeEntry(entries, record.styleProg, record.block, record.entry);
                    run.step(++done);
                    break;
                }
            });
        } catch (const PddReadAhead::FileError& error) {
            throw NotABackup(notABackupMessage(path) + QStringLiteral("\n\n") + error.message() +
                             QStringLiteral("\nThe database was not changed."));
        }
        query.finish();
        transaction.commit();
    } catch (const NotABackup&) {
        throw;
    } catch (const SbkError& error) {
        throw SbkError(QStringLiteral("The restore from %1 stopped: %2\nThe database was not changed.")
                           .arg(path, error.message()));
    }
    return damaged;
}

void PddRestore::emptyTable(QSqlDatabase db, QSqlQuery& query, const QString& table) {
    // A table is emptied when its block is reached; a song block is always empty (the reader
    // refuses one with records), and this program keeps no song tables to empty.
    if (table == QStringLiteral("KORFBANKS"))
        Database::exec(query, QStringLiteral("DELETE FROM KORFBanks"));
    else if (table == QStringLiteral("KORFSTYLES"))
        Database::exec(query, QStringLiteral("DELETE FROM KORFStyles")); // and their entries
    else if (table == QStringLiteral("KORFENTRIES") && !DbKORFEntry::isAvailable(db))
        throw SbkError(QStringLiteral("the file holds the directory entries of styles from newer bank "
                                      "files, which this database of another program cannot keep"));
}

void PddRestore::storeBank(DbKORFBank& banks, const DbKORFBank& bank) {
    banks.setBankProg(bank.BankProg());
    banks.setBankName(bank.BankName());
    banks.setBankDesc(bank.BankDesc());
    banks.setSlotValues(bank.slotValues());
    if (!banks.InsKORFBanks())
        throw SbkError(QStringLiteral("Bank %1 (%2) cannot be stored: %3")
                           .arg(banks.BankProg())
                           .arg(banks.BankName(), Database::inWords(banks.clsKORFBanksError())));
}

void PddRestore::storeStyle(DbKORFStyle& styles) {
    if (!styles.InsKORFStyles())
        throw SbkError(QStringLiteral("Style %1 (%2) cannot be stored: %3")
                           .arg(styles.StyleProg())
                           .arg(SingleByteText::plainText(styles.StyleName1()),
                                Database::inWords(styles.clsKORFStylesError())));
}

void PddRestore::storeEntry(DbKORFEntry& entries, qint32 styleProg, int block, const KORFEntry& entry) {
    if (!entries.InsKORFEntries(styleProg, block == 1 ? entry : KORFEntry(), block == 2 ? entry : KORFEntry()))
        throw SbkError(QStringLiteral("The directory entry of block %1 of style %2 cannot be stored: %3")
                           .arg(block)
                           .arg(styleProg)
                           .arg(entries.clsKORFEntriesError()));
}
