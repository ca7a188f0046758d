// How the bank trees cope with many banks: fills a database with 5,000 banks of 32 styles (or the
// number given as the first argument) drawn from 20,000 styles, then times reading the banks,
// opening the bank dialog on them, changing its order, and the where-is window for a style that
// many banks hold; beside it, the one-query-per-slot reading for comparison. Prints the figures
// against their goals, the opening also as a ratio to its floor (the banks and the styles of their
// slots read by a plain query in the same run), and the memory the process holds.

#include "banks/StoredBanks.h"
#include "BenchSupport.h"
#include "core/Prompt.h"
#include "gui/banks/BankTreeModel.h"
#include "gui/banks/frmBankSave.h"
#include "gui/banks/frmShowBanks.h"
#include "session/SBKModule.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"

#include <cstdio>
#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeView>

namespace {

void fill(QSqlDatabase db, int banks, int styles) {
    db.transaction();
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc) VALUES (?, ?, ?)"));
    for (int i = 1; i <= styles; ++i) {
        query.addBindValue(i);
        query.addBindValue(QStringLiteral("Style%1").arg(i));
        query.addBindValue(QStringLiteral("A description of style number %1").arg(i));
        query.exec();
    }
    DbKORFBank bank(db);
    for (int b = 1; b <= banks; ++b) {
        bank.setBankProg(b);
        bank.setBankName(QStringLiteral("BANK%1").arg((b * 7919) % banks, 5, 10, QLatin1Char('0')));
        bank.setBankDesc(QStringLiteral("Bank number %1").arg(b));
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
            bank.setBankStyle(k, 1 + (b * 31 + k * 977) % styles);
        bank.InsKORFBanks();
    }
    db.commit();
}

// The reading the tree would do with one statement per slot.
qint64 perSlotReading(QSqlDatabase db) {
    QElapsedTimer timer;
    timer.start();
    QSqlQuery banks(db);
    banks.setForwardOnly(true);
    banks.exec(QStringLiteral("SELECT * FROM KORFBanks ORDER BY BankName"));
    QSqlQuery style(db);
    style.prepare(QStringLiteral("SELECT StyleName1, StyleDesc FROM KORFStyles WHERE StyleProg = ?"));
    qint64 found = 0;
    while (banks.next())
        for (int k = 1; k <= DbKORFBank::SlotCount; ++k) {
            style.addBindValue(banks.value(DbKORFBank::slotColumn(k)));
            style.exec();
            found += style.next() ? 1 : 0;
        }
    return found > 0 ? timer.elapsed() : -1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int bankCount = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int styleCount = 20000;
    QTemporaryDir dir;
    SBKModule module;
    bench::connectEmptyDatabase(module, dir);
    fill(module.connection(), bankCount, styleCount);
    bench::SilentPrompt prompt;
    QElapsedTimer timer;
    const double openFloor =
        bench::plainReadMs(module.connection(), QStringLiteral("SELECT * FROM QUERY1 ORDER BY BankName"));
    const long before = bench::residentKilobytes();

    timer.start();
    qsizetype nodes = 0;
    for (const StoredBank& bank : StoredBanks::all(module.connection(), StoredBanks::NameAscending))
        nodes += bank.styles.size();
    const qint64 readMs = timer.elapsed();

    timer.restart();
    frmBankSave dialog(module, prompt);
    dialog.Form_Activate();
    dialog.show();
    app.processEvents();
    const qint64 openMs = timer.elapsed();

    timer.restart();
    dialog.opSort_Click(StoredBanks::NumberDescending);
    app.processEvents();
    const qint64 sortMs = timer.elapsed();

    // What a user does: opens a bank far down the list and looks at it.
    timer.restart();
    const QModelIndex last = dialog.treeModel()->bankIndex(dialog.treeModel()->bankCount() - 1);
    dialog.tree()->expand(last);
    dialog.tree()->scrollTo(last);
    dialog.tree()->viewport()->repaint();
    const qint64 expandMs = timer.elapsed();
    const long after = bench::residentKilobytes();

    // The style that the most banks hold.
    QSqlQuery popular(module.connection());
    popular.exec(QStringLiteral("SELECT BankStyle01, COUNT(*) AS n FROM KORFBanks GROUP BY BankStyle01 "
                                "ORDER BY n DESC LIMIT 1"));
    popular.next();
    module.WhereIsStyleNumber = popular.value(0).toString();
    timer.restart();
    frmShowBanks where(module, prompt);
    where.Form_Activate();
    where.show();
    app.processEvents();
    const qint64 whereMs = timer.elapsed();
    const int whereBanks = where.treeModel()->bankCount();

    const qint64 slowMs = perSlotReading(module.connection());

    std::printf("bank tree with %d banks of 32 styles (%lld style nodes) from %d styles\n", bankCount,
                static_cast<long long>(nodes), styleCount);
    std::printf("  read all banks (2 statements):      %lld ms\n", static_cast<long long>(readMs));
    bench::figure("open the bank dialog, tree shown:", openMs, 500, openFloor);
    std::printf("  change the order (code, desc):      %lld ms\n", static_cast<long long>(sortMs));
    std::printf("  open the last bank, scroll, paint:  %lld ms\n", static_cast<long long>(expandMs));
    std::printf("  where-is, style in %d banks:        %lld ms\n", whereBanks,
                static_cast<long long>(whereMs));
    std::printf("  for comparison, one query per slot: %lld ms\n", static_cast<long long>(slowMs));
    std::printf("  memory held by the dialog and its tree: %ld kB (process %ld kB)\n", after - before, after);
    std::printf("  peak memory: %.0f MB\n", bench::peakMegabytes());
    return 0;
}
