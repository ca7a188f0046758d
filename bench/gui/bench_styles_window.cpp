// How the styles window copes with a large library: opens it on 100,000 styles (or the number
// given as the first argument), sorts by name twice, scrolls to the end, and prints the times and
// the memory the process holds.

#include "BenchSupport.h"
#include "banks/frmStyles.h"
#include "banks/StyleGridModel.h"
#include "core/Prompt.h"
#include "core/SBKModule.h"
#include "store/Database.h"

#include <cstdio>
#include <QApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.mdb"));
    Database::createEmpty(path);
    SBKModule module;
    module.DatabasePath = path;
    module.ConnectDatabase();
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
        db.commit();
    }
    const long before = bench::residentKilobytes();
    bench::SilentPrompt prompt;
    QElapsedTimer timer;

    timer.start();
    frmStyles window(module, prompt);
    window.show();
    app.processEvents();
    const qint64 openMs = timer.elapsed();

    timer.restart();
    window.cbTitle_Click(1);
    app.processEvents();
    const qint64 sortMs = timer.elapsed();

    timer.restart();
    window.cbTitle_Click(1);
    app.processEvents();
    const qint64 sortDescMs = timer.elapsed();

    timer.restart();
    window.grid()->scrollToBottom();
    window.grid()->viewport()->repaint();
    const qint64 scrollMs = timer.elapsed();
    const long after = bench::residentKilobytes();

    std::printf("styles window with %d styles (rows shown: %d)\n", count, window.gridModel()->rowCount());
    std::printf("  open and fill:        %lld ms\n", static_cast<long long>(openMs));
    std::printf("  sort by name:         %lld ms\n", static_cast<long long>(sortMs));
    std::printf("  sort by name, desc:   %lld ms\n", static_cast<long long>(sortDescMs));
    std::printf("  scroll to end+paint:  %lld ms\n", static_cast<long long>(scrollMs));
    std::printf("  memory held by the window and its listing: %ld kB (process %ld kB)\n", after - before,
                after);
    return 0;
}
