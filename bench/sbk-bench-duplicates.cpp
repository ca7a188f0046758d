// sbk-bench-duplicates: how long finding every group of copies takes in a large library, merging
// them all in one run, and, as the floor, deleting as many styles with the program's own delete;
// with the peak memory of the process after each step.
//
// The library holds --styles styles (instrument-like blocks, their fingerprints read as an import
// reads them) of which --groups pairs are copies: a third exact, a third renamed inside, a third
// at another tempo; and --banks banks of 32 slots drawn from all styles.
//
//   sbk-bench-duplicates [--styles N] [--groups N] [--banks N] [--folder DIR]
#include "banks/DuplicateStyles.h"
#include "BenchLibrary.h"
#include "core/Progress.h"
#include "core/SbkError.h"
#include "metadata/StyleGroup.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "sty/StyleFacts.h"
#include "StyleBlocks.h"

#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QTextStream out(stdout);

QVariant orNull(const std::optional<qint64>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<qint64>());
}

// Styles 1..count; style 2k (k < groups) a copy of style 2k - 1 of the kind k % 3 gives.
void build(QSqlDatabase db, int count, int groups, int banks) {
    QRandomGenerator random(20);
    QSqlQuery query(db);
    Database::exec(query, QStringLiteral("BEGIN"));
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral(
        "INSERT INTO KORFStyles (StyleProg,StyleName1,StyleLength1,StyleLength2,StyleContent1,StyleContent2,"
        "StyleSeek,StyleDate,StyleDesc,StyleCat,StyleFamily,StyleFile,StyleAuthor,Tempo,Meter,"
        "FingerprintExact,FingerprintRenamed,FingerprintSettings) VALUES "
        "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    QByteArray filler(512, Qt::Uninitialized);
    for (int prog = 1; prog <= count; ++prog) {
        const bool copy = prog % 2 == 0 && prog / 2 <= groups;
        if (!copy)
            random.fillRange(reinterpret_cast<quint32*>(filler.data()), filler.size() / 4);
        const int kind = (prog / 2) % 3;
        const QByteArray name = copy && kind == 1 ? QByteArray("Renamed") : QByteArray("Style");
        const int tempo = copy && kind == 2 ? 96 : 120;
        const QByteArray first = StyleBlocks::styleBlock(0x22, (prog + 1) / 2 % 2, filler, name);
        const QByteArray second = StyleBlocks::performanceBlock(tempo, (prog + 1) / 2 % 2, filler.left(128));
        const StyleFactsValues facts = StyleFacts::read(first, second);
        const QVariantList values{prog,
                                  QStringLiteral("Style %1").arg(prog),
                                  first.size(),
                                  second.size(),
                                  first,
                                  second,
                                  first.left(250),
                                  QStringLiteral("20%1/01/01").arg(10 + prog % 15),
                                  QString(),
                                  prog % 5 ? QStringLiteral(" ") : QStringLiteral("POP"),
                                  QStringLiteral(" "),
                                  QStringLiteral("BENCH.STY"),
                                  prog % 7 ? QStringLiteral(" ") : QStringLiteral("Ann"),
                                  *facts.Tempo,
                                  facts.Meter,
                                  orNull(facts.FingerprintExact),
                                  orNull(facts.FingerprintRenamed),
                                  orNull(facts.FingerprintSettings)};
        for (int i = 0; i < values.size(); ++i)
            insert.bindValue(i, values[i]);
        Database::exec(insert);
    }
    for (int b = 1; b <= banks; ++b) {
        DbKORFBank bank(db);
        bank.setBankProg(b);
        bank.setBankName(QStringLiteral("BANK%1").arg(b));
        for (int slot = 1; slot <= DbKORFBank::SlotCount; ++slot)
            bank.setBankStyle(slot, qint32(random.bounded(1, count + 1)));
        if (!bank.InsKORFBanks())
            throw SbkError(bank.clsKORFBanksError());
    }
    Database::exec(query, QStringLiteral("COMMIT"));
}

struct CountingProgress : Progress {
    qint64 steps = 0;
    void step(qint64, const QString&) override { ++steps; }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const auto given = bench::options(args, {QStringLiteral("--styles"), QStringLiteral("--groups"),
                                             QStringLiteral("--banks"), QStringLiteral("--folder")});
    const int styles = given ? given->value(QStringLiteral("--styles"), QStringLiteral("100000")).toInt() : 0;
    const int groups = given ? given->value(QStringLiteral("--groups"), QStringLiteral("10000")).toInt() : 0;
    const int banks = given ? given->value(QStringLiteral("--banks"), QStringLiteral("3000")).toInt() : 0;
    if (styles < 2 || groups < 1 || groups > styles / 2 || banks < 0) {
        std::fprintf(stderr, "usage: sbk-bench-duplicates [--styles N] [--groups N <= N/2] [--banks N] "
                             "[--folder DIR]\n");
        return 2;
    }
    QTemporaryDir temporary;
    const QString folder = bench::workFolder(given->value(QStringLiteral("--folder")), temporary);
    try {
        const QString path = QDir(folder).filePath(QStringLiteral("dups.mdb"));
        const QString floorPath = QDir(folder).filePath(QStringLiteral("floor.mdb"));
        QFile::remove(path);
        QFile::remove(floorPath);
        Database::createEmpty(path);
        QElapsedTimer timer;
        timer.start();
        {
            Database db(path);
            build(db.connection(), styles, groups, banks);
        }
        QFile::copy(path, floorPath);
        out << QStringLiteral(
                   "a library of %1 styles with %2 pairs of copies and %3 banks made in %4 s (%5 MB); "
                   "peak memory %6 MB\n")
                   .arg(styles)
                   .arg(groups)
                   .arg(banks)
                   .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 1)
                   .arg(QFileInfo(path).size() / 1e6, 0, 'f', 0)
                   .arg(bench::peakMegabytes(), 0, 'f', 0);
        out.flush();

        Database db(path);
        timer.restart();
        const QList<DuplicateStyles::Group> found = DuplicateStyles::find(
            db.connection(),
            {DuplicateStyles::Kind::Exact, DuplicateStyles::Kind::Renamed, DuplicateStyles::Kind::Settings});
        const double findSeconds = timer.nsecsElapsed() / 1e9;
        qint64 kinds[3] = {};
        for (const auto& group : found)
            ++kinds[int(group.kind)];
        out << QStringLiteral(
                   "finding every group of the three kinds  %1 s  (%2 groups: %3 exact, %4 renamed, "
                   "%5 settings); peak memory %6 MB\n")
                   .arg(findSeconds, 0, 'f', 3)
                   .arg(found.size())
                   .arg(kinds[0])
                   .arg(kinds[1])
                   .arg(kinds[2])
                   .arg(bench::peakMegabytes(), 0, 'f', 0);
        out.flush();

        const QList<DuplicateStyles::Merge> merges =
            DuplicateStyles::plan(found, DuplicateStyles::KeepRule::MostUsed);
        QList<qint32> deleted;
        for (const auto& merge : merges)
            for (const auto& style : merge.group.styles)
                if (style.StyleProg != merge.keep)
                    deleted << qint32(style.StyleProg);
        CountingProgress progress;
        timer.restart();
        const DuplicateStyles::Result result = DuplicateStyles::merge(db.connection(), merges, &progress);
        const double mergeSeconds = timer.nsecsElapsed() / 1e9;
        out << QStringLiteral(
                   "merging %1 groups in one run           %2 s  (%3 styles deleted, %4 bank slots "
                   "re-pointed, %5 progress steps); peak memory %6 MB\n")
                   .arg(result.groups)
                   .arg(mergeSeconds, 0, 'f', 3)
                   .arg(result.deleted)
                   .arg(result.slotsMoved)
                   .arg(progress.steps)
                   .arg(bench::peakMegabytes(), 0, 'f', 0);
        out.flush();

        Database floor(floorPath);
        timer.restart();
        const StyleGroup::Removal removal = StyleGroup::remove(floor.connection(), deleted, true);
        const double floorSeconds = timer.nsecsElapsed() / 1e9;
        out << QStringLiteral("floor: deleting those %1 styles         %2 s  (%3 banks changed)\n")
                   .arg(removal.styles)
                   .arg(floorSeconds, 0, 'f', 3)
                   .arg(removal.banks);
        out << QStringLiteral("merge / delete floor: %1x\n").arg(mergeSeconds / floorSeconds, 0, 'f', 2);
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-duplicates: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
