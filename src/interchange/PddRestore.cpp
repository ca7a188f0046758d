#include "interchange/PddRestore.h"

#include "core/ProgressRun.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "interchange/PddReader.h"
#include "music/NoteFingerprint.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFEntry.h"
#include "store/DbKORFStyle.h"
#include "store/PageCacheScope.h"
#include "store/Transaction.h"

#include <future>
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

namespace {
constexpr qsizetype FactsBatch = 64; // styles whose facts are read at a time
}

DamagedStyles PddRestore::restore(QSqlDatabase db, const QString& path, qint64 total, Progress* progress) {
    // Anything else in the file's place is refused by the reader, with its reason.
    if (!QFileInfo::exists(path))
        throw SbkError(MissingFileMessage);
    DamagedStyles damaged;
    // Set while the reader hands a block or record on: an error thrown then is the database's,
    // any other one the file's.
    bool storing = false;
    try {
        const PageCacheScope cache(db);
        Transaction transaction(db);
        QSqlQuery query(db);
        qint64 done = 0;
        const ProgressRun run(progress, total, QStringLiteral("Restoring the database"));

        // Styles are stored a batch behind the reader: while one batch is stored, the facts of the
        // next are read from their blocks on a thread of their own. Every other row waits until
        // the styles before it are stored, so the rows go in in the file's order.
        DbKORFStyle inserter(db); // its insert is prepared once
        inserter.setDirectInsert(true);
        QList<DbKORFStyle> gathered;
        QList<DbKORFStyle> reading;
        std::future<QList<StyleFactsValues>> readingFacts;
        const auto storeReading = [&] {
            if (reading.isEmpty())
                return;
            const QList<StyleFactsValues> facts = readingFacts.get();
            for (qsizetype i = 0; i < reading.size(); ++i) {
                inserter.setValues(reading.at(i));
                inserter.setFacts(facts.at(i));
                if (!inserter.InsKORFStyles())
                    throw SbkError(QStringLiteral("Style %1 (%2) cannot be stored: %3")
                                       .arg(inserter.StyleProg())
                                       .arg(SingleByteText::plainText(inserter.StyleName1()),
                                            Database::inWords(inserter.clsKORFStylesError())));
                if (!facts.at(i).damage.isEmpty())
                    damaged.add(inserter.StyleProg(), inserter.StyleName1());
                run.step(++done, inserter.StyleName1());
            }
            reading.clear();
        };
        const auto passOnGathered = [&] {
            QList<std::pair<QByteArray, QByteArray>> blocks;
            blocks.reserve(gathered.size());
            for (const DbKORFStyle& style : std::as_const(gathered))
                blocks.append({style.StyleContent1(), style.StyleContent2()});
            // Read on the spot when no thread can be had.
            std::future<QList<StyleFactsValues>> facts =
                std::async(std::launch::async | std::launch::deferred, [blocks] {
                    QList<StyleFactsValues> read;
                    read.reserve(blocks.size());
                    for (const auto& [content1, content2] : blocks)
                        read.append(NoteFingerprint::readFacts(content1, content2));
                    return read;
                });
            storeReading();
            reading = std::move(gathered);
            gathered.clear();
            readingFacts = std::move(facts);
        };
        const auto storeAll = [&] {
            if (!gathered.isEmpty())
                passOnGathered();
            storeReading();
        };

        // A handler's work is marked as storing, so that what it throws is told from the file's errors.
        const auto marked = [&storing](auto work) {
            return [&storing, work](auto&&... args) {
                storing = true;
                work(std::forward<decltype(args)>(args)...);
                storing = false;
            };
        };
        PddReader::Handlers handlers;
        // A table is emptied when its block is reached; a song block is always empty (the reader
        // refuses one with records), and this program keeps no song tables to empty.
        handlers.table = marked([&](const QString& table, qint64) {
            storeAll();
            if (table == QStringLiteral("KORFBANKS"))
                Database::exec(query, QStringLiteral("DELETE FROM KORFBanks"));
            else if (table == QStringLiteral("KORFSTYLES"))
                Database::exec(query, QStringLiteral("DELETE FROM KORFStyles")); // and their entries
            else if (table == QStringLiteral("KORFENTRIES") && !DbKORFEntry::isAvailable(db))
                throw SbkError(
                    QStringLiteral("the file holds the directory entries of styles from newer bank "
                                   "files, which this database of another program cannot keep"));
        });
        DbKORFEntry entries(db); // ends with the run, as the inserter does
        entries.setDirectInsert(true);
        handlers.entry = marked([&](qint32 styleProg, int block, const KORFEntry& entry) {
            storeAll();
            if (!entries.InsKORFEntries(styleProg, block == 1 ? entry : KORFEntry(),
                                        block == 2 ? entry : KORFEntry()))
                throw SbkError(
                    QStringLiteral("The directory entry of block %1 of style %2 cannot be stored: %3")
                        .arg(block)
                        .arg(styleProg)
                        .arg(entries.clsKORFEntriesError()));
            run.step(++done);
        });
        // The reader hands the same record for every row of a block: it is bound to the
        // connection once, so that its insert is prepared once.
        handlers.bank = marked([&](DbKORFBank& bank) {
            storeAll();
            bank.setActiveConnection(db);
            if (!bank.InsKORFBanks())
                throw SbkError(QStringLiteral("Bank %1 (%2) cannot be stored: %3")
                                   .arg(bank.BankProg())
                                   .arg(bank.BankName(), Database::inWords(bank.clsKORFBanksError())));
            run.step(++done, bank.BankName());
        });
        // The dump does not carry the facts: they are read from the blocks again.
        handlers.style = marked([&](DbKORFStyle& style) {
            gathered.append(style);
            if (gathered.size() == FactsBatch)
                passOnGathered();
        });
        try {
            PddReader(path).read(handlers);
        } catch (const SbkError& error) {
            if (storing)
                throw;
            throw NotABackup(notABackupMessage(path) + QStringLiteral("\n\n") + error.message() +
                             QStringLiteral("\nThe database was not changed."));
        }
        storeAll();
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
