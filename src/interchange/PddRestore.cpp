#include "interchange/PddRestore.h"

#include "core/ProgressRun.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "interchange/PddReader.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFEntry.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"
#include "sty/StyleFacts.h"

#include <QFileInfo>
#include <QSqlQuery>

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

void PddRestore::restore(QSqlDatabase db, const QString& path, qint64 total, Progress* progress) {
    // Anything else in the file's place is refused by the reader, with its reason.
    if (!QFileInfo::exists(path))
        throw SbkError(MissingFileMessage);
    try {
        Transaction transaction(db);
        QSqlQuery query(db);
        qint64 done = 0;
        const ProgressRun run(progress, total, QStringLiteral("Restoring the database"));

        PddReader::Handlers handlers;
        // A table is emptied when its block is reached; a song block is always empty (the reader
        // refuses one with records), and this program keeps no song tables to empty.
        handlers.table = [&](const QString& table, qint64) {
            if (table == QStringLiteral("KORFBANKS"))
                Database::exec(query, QStringLiteral("DELETE FROM KORFBanks"));
            else if (table == QStringLiteral("KORFSTYLES"))
                Database::exec(query, QStringLiteral("DELETE FROM KORFStyles")); // and their entries
            else if (table == QStringLiteral("KORFENTRIES") && !DbKORFEntry::isAvailable(db))
                throw SbkError(
                    QStringLiteral("the file holds the directory entries of styles from newer bank "
                                   "files, which this database of another program cannot keep"));
        };
        DbKORFEntry entries(db);
        handlers.entry = [&](qint32 styleProg, int block, const KORFEntry& entry) {
            if (!entries.InsKORFEntries(styleProg, block == 1 ? entry : KORFEntry(),
                                        block == 2 ? entry : KORFEntry()))
                throw SbkError(
                    QStringLiteral("The directory entry of block %1 of style %2 cannot be stored: %3")
                        .arg(block)
                        .arg(styleProg)
                        .arg(entries.clsKORFEntriesError()));
            run.step(++done);
        };
        // The reader hands the same record for every row of a block: it is bound to the
        // connection once, so that its insert is prepared once.
        handlers.bank = [&](DbKORFBank& bank) {
            bank.setActiveConnection(db);
            if (!bank.InsKORFBanks())
                throw SbkError(QStringLiteral("Bank %1 (%2) cannot be stored: %3")
                                   .arg(bank.BankProg())
                                   .arg(bank.BankName(), bank.clsKORFBanksError()));
            run.step(++done, bank.BankName());
        };
        DbKORFStyle* bound = nullptr;
        handlers.style = [&](DbKORFStyle& style) {
            if (bound != &style)
                style.setActiveConnection(db);
            bound = &style;
            // The dump does not carry the facts: they are read from the blocks again.
            style.setFacts(StyleFacts::read(style.StyleContent1(), style.StyleContent2()));
            if (!style.InsKORFStyles())
                throw SbkError(
                    QStringLiteral("Style %1 (%2) cannot be stored: %3")
                        .arg(style.StyleProg())
                        .arg(SingleByteText::plainText(style.StyleName1()), style.clsKORFStylesError()));
            run.step(++done, style.StyleName1());
        };
        PddReader(path).read(handlers);
        query.finish();
        transaction.commit();
    } catch (const SbkError& error) {
        throw SbkError(QStringLiteral("The restore from %1 stopped: %2\nThe database was not changed.")
                           .arg(path, error.message()));
    }
}
