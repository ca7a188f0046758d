// How the styles window copes with a large library: opens it on 100,000 styles (or the number
// given as the first argument) kept in banks of 32, sorts by name twice, scrolls to the end, types a
// text into the find field one key at a time, then deletes it and empties the field, shows the
// banks column and sorts by it, and prints the times against their goals, the opening and the
// sorting also as ratios to their floors (the same rows read by a plain query in the same run), and
// the memory the process holds. The window starts with the settings of a new user.

#include "BenchSupport.h"
#include "core/Prompt.h"
#include "gui/banks/frmStyles.h"
#include "gui/banks/StyleGridModel.h"
#include "session/SBKModule.h"
#include "store/Database.h"
#include "store/StyleListing.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    SBKModule module;
    bench::connectEmptyDatabase(module, dir);
    {
        QSqlDatabase db = module.connection();
        db.transaction();
        QSqlQuery query(db);
        query.prepare(
            QStringLiteral("INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc, StyleFamily, StyleCat) "
                           "VALUES (?, ?, ?, ?, ?)"));
        for (int i = 1; i <= count; ++i) {
            query.addBindValue(i);
            query.addBindValue(QStringLiteral("Style%1").arg((i * 7919) % count));
            query.addBindValue(QStringLiteral("A description of style number %1").arg(i));
            query.addBindValue(QStringLiteral("FAMILY%1").arg(i % 37));
            query.addBindValue(QStringLiteral("GROUP%1").arg(i % 11));
            query.exec();
        }
        QStringList slotColumns;
        for (int k = 1; k <= 32; ++k)
            slotColumns << QStringLiteral("BankStyle%1").arg(k, 2, 10, QLatin1Char('0'));
        query.prepare(QStringLiteral("INSERT INTO KORFBanks (BankProg, BankName, ") + slotColumns.join(u',') +
                      QStringLiteral(") VALUES (?, ?") + QStringLiteral(", ?").repeated(32) + u')');
        for (int bank = 0; bank * 32 < count; ++bank) {
            query.addBindValue(bank + 1);
            query.addBindValue(QStringLiteral("BANK%1").arg(bank + 1, 4, 10, QLatin1Char('0')));
            for (int k = 1; k <= 32; ++k)
                query.addBindValue(bank * 32 + k <= count ? bank * 32 + k : 0);
            query.exec();
        }
        db.commit();
    }
    const double openFloor =
        bench::plainReadMs(module.connection(), StyleListing::statement(QString(), QString()));
    const double sortFloor = bench::plainReadMs(
        module.connection(), StyleListing::statement(QString(), QStringLiteral("STYLENAME1")));
    const double sortDescFloor = bench::plainReadMs(
        module.connection(), StyleListing::statement(QString(), QStringLiteral("STYLENAME1 DESC")));
    const long before = bench::residentKilobytes();
    bench::SilentPrompt prompt;
    QElapsedTimer timer;

    timer.start();
    frmStyles window(module, prompt);
    window.show();
    app.processEvents();
    const qint64 openMs = timer.elapsed();

    // The milliseconds of a step and of the events it left.
    const auto timed = [&](const auto& step) {
        timer.restart();
        step();
        app.processEvents();
        return timer.elapsed();
    };
    const auto sortBy = [&](int column) { return timed([&] { window.cbTitle_Click(column); }); };
    const qint64 sortMs = sortBy(1);
    const qint64 sortDescMs = sortBy(1);

    timer.restart();
    window.grid()->scrollToBottom();
    window.grid()->viewport()->repaint();
    const qint64 scrollMs = timer.elapsed();
    const long after = bench::residentKilobytes();

    // Each key as the user types it: the text grows, shrinks again, and Esc empties it.
    QLineEdit* find = window.findField();
    const QString typed = QStringLiteral("style12");
    // Wall time, and the processor time of this process, which a busy machine does not inflate.
    struct Key {
        QString text;
        qint64 ms;
        qint64 cpuMs;
    };
    QList<Key> keys;
    const auto key = [&](const QString& text) {
        const std::clock_t cpu = std::clock();
        timer.restart();
        find->setText(text);
        app.processEvents();
        window.grid()->viewport()->repaint();
        keys.append({text, timer.elapsed(), qint64(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC});
    };
    // The user clicks into the find field first: it makes its search text then.
    timer.restart();
    QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
    QApplication::sendEvent(find, &focus);
    const qint64 focusMs = timer.elapsed();
    for (int n = 1; n <= typed.size(); ++n)
        key(typed.left(n));
    for (int n = typed.size() - 1; n >= 0; --n)
        key(typed.left(n));

    // The banks column shown from the header's menu, then a sort by it and by name beside it.
    const qint64 banksMs =
        timed([&] { window.columnsMenu()->findChild<QAction*>(QStringLiteral("mColumns_10"))->trigger(); });
    const qint64 sortBanksMs = sortBy(10);
    const qint64 sortBesideBanksMs = sortBy(1);
    const double sortBanksFloor =
        bench::plainReadMs(module.connection(), StyleListing::statement(QString(), QStringLiteral("BANKS")));

    std::printf("styles window with %d styles (rows shown: %d)\n", count, window.gridModel()->rowCount());
    bench::figure("open and fill:", openMs, 200, openFloor);
    bench::figure("sort by name:", sortMs, 300, sortFloor);
    bench::figure("sort by name, desc:", sortDescMs, 300, sortDescFloor);
    std::printf("  scroll to end+paint:  %lld ms\n", static_cast<long long>(scrollMs));
    std::printf("  memory held by the window and its listing: %ld kB (process %ld kB)\n", after - before,
                after);
    qint64 slowest = 0;
    qint64 slowestCpu = 0;
    qint64 total = 0;
    for (const Key& k : keys) {
        slowest = std::max(slowest, k.ms);
        slowestCpu = std::max(slowestCpu, k.cpuMs);
        total += k.ms;
    }
    std::printf("  find field gets the focus: %lld ms\n", static_cast<long long>(focusMs));
    bench::figure("find as you type, slowest key:", slowest, 100);
    std::printf("  find as you type, %lld keys: slowest %lld ms (processor %lld ms), mean %lld ms\n",
                static_cast<long long>(keys.size()), static_cast<long long>(slowest),
                static_cast<long long>(slowestCpu),
                static_cast<long long>(total / std::max<qsizetype>(1, keys.size())));
    for (const Key& k : keys)
        std::printf("    \"%s\": %lld ms (processor %lld ms)\n", qPrintable(k.text),
                    static_cast<long long>(k.ms), static_cast<long long>(k.cpuMs));
    bench::figure("show the banks column:", banksMs, 100);
    bench::figure("sort by banks:", sortBanksMs, 300, sortBanksFloor);
    bench::figure("sort by name, banks shown:", sortBesideBanksMs, 300, sortFloor);
    std::printf("  peak memory: %.0f MB\n", bench::peakMegabytes());
    return 0;
}
