// sbk-bench-music: how long reading what a stored style plays takes: every style of a generated
// library of styles of music (15 elements, their chord variations, eight tracks of notes each),
// fetched from the database through the gateway and read into the model, one by one, as the
// styles window and sbk-cli style-show read them; and the same for the instruments' own styles
// when their folder is at hand, with the largest of them (goal: under 20 ms). Also how fast a
// chord variation renders offline through the system's General MIDI SoundFont.
//
//   sbk-bench-music [--styles N] [--block-size BYTES] [--rounds N] [--real FOLDER] [--folder DIR]
#include "BenchLibrary.h"
#include "core/SbkError.h"
#include "music/SoundFontLocator.h"
#include "music/SoundFontSynth.h"
#include "music/StyleMusicReader.h"
#include "music/SynthSettings.h"
#include "music/WavRenderer.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"
#include "sty/StyImport.h"
#include "StyleBlocks.h"

#include <algorithm>
#include <cstdio>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <vector>

namespace {

struct Timing {
    std::vector<double> ms; // of each style, the best of the rounds
    qint32 largest = 0;     // the style of the largest style block
    qint32 largestSize = 0;
    int notes = 0;
};

// Reads every stored style's music rounds times; a style's figure is its best round.
Timing readAll(const Database& db, int rounds) {
    DbKORFStyle table(db.connection());
    const qint32 last = table.NextKORFStyle() - 1;
    Timing timing;
    timing.ms.assign(size_t(last), 1e100);
    for (int round = 0; round < rounds; ++round)
        for (qint32 prog = 1; prog <= last; ++prog) {
            QElapsedTimer timer;
            timer.start();
            const StyleMusic music = StyleMusicReader::readStored(table, prog);
            double& best = timing.ms[size_t(prog - 1)];
            best = std::min(best, timer.nsecsElapsed() / 1e6);
            if (round == 0) {
                for (const StyleElement& element : music.elements)
                    for (const ChordVariation& variation : element.variations)
                        timing.notes += variation.notes();
                const qint32 size =
                    qint32(table.StyleContent1().startsWith('\x06') ? table.StyleContent1().size()
                                                                    : table.StyleContent2().size());
                if (size > timing.largestSize) {
                    timing.largestSize = size;
                    timing.largest = prog;
                }
            }
        }
    return timing;
}

void report(const QString& what, const Timing& timing) {
    std::vector<double> sorted = timing.ms;
    std::sort(sorted.begin(), sorted.end());
    double total = 0;
    for (const double ms : sorted)
        total += ms;
    const auto at = [&](double share) {
        return sorted[std::min(sorted.size() - 1, size_t(share * double(sorted.size())))];
    };
    bench::line(QStringLiteral("%1: %2 styles, %3 notes, %4 ms in all")
                    .arg(what)
                    .arg(sorted.size())
                    .arg(timing.notes)
                    .arg(total, 0, 'f', 1));
    bench::line(QStringLiteral("  per style: mean %1 ms, median %2 ms, 99th percentile %3 ms, slowest %4 ms")
                    .arg(total / double(sorted.size()), 0, 'f', 3)
                    .arg(at(0.5), 0, 'f', 3)
                    .arg(at(0.99), 0, 'f', 3)
                    .arg(sorted.back(), 0, 'f', 3));
    bench::line(QStringLiteral("  the largest style (%1, %2 bytes): %3 ms (goal: under 20 ms)")
                    .arg(timing.largest)
                    .arg(timing.largestSize)
                    .arg(timing.ms[size_t(timing.largest - 1)], 0, 'f', 3));
}

// Renders Var1 of a generated style through the system's SoundFont, 8 passes.
void reportRender(const QString& folder) {
    QString soundFont;
    try {
        soundFont = SoundFontLocator::resolve({}, {});
    } catch (const SbkError& error) {
        bench::line(QStringLiteral("rendering: skipped (%1)").arg(error.message()));
        return;
    }
    const auto music = std::make_shared<const StyleMusic>(
        StyleMusicReader::read(BenchLibrary::musicBlock(32768, 0x22, false, 7),
                               StyleBlocks::performanceBlock(120), QStringLiteral("bench")));
    SynthSettings settings;
    QElapsedTimer timer;
    timer.start();
    SoundFontSynth synth(settings, soundFont);
    const double loading = timer.nsecsElapsed() / 1e9;
    timer.restart();
    const WavRenderer::Result result =
        WavRenderer::render({music, 0, 1}, 8, synth, QDir(folder).filePath(QStringLiteral("render.wav")));
    const double rendering = timer.nsecsElapsed() / 1e9;
    bench::line(
        QStringLiteral("rendering Var1 (8 tracks) 8 times, %1 s of sound with its release, through %2: "
                       "%3 s (%4 x real time); loading the SoundFont %5 s")
            .arg(result.seconds, 0, 'f', 1)
            .arg(QFileInfo(soundFont).canonicalFilePath())
            .arg(rendering, 0, 'f', 3)
            .arg(result.seconds / rendering, 0, 'f', 0)
            .arg(loading, 0, 'f', 3));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto given =
        bench::options(app.arguments().mid(1),
                       {QStringLiteral("--styles"), QStringLiteral("--block-size"),
                        QStringLiteral("--rounds"), QStringLiteral("--real"), QStringLiteral("--folder")});
    const int styles = given ? given->value(QStringLiteral("--styles"), QStringLiteral("2000")).toInt() : 0;
    const int blockSize =
        given ? given->value(QStringLiteral("--block-size"), QStringLiteral("32768")).toInt() : 0;
    const int rounds = given ? given->value(QStringLiteral("--rounds"), QStringLiteral("3")).toInt() : 0;
    if (styles < 1 || blockSize < 4096 || rounds < 1) {
        std::fprintf(stderr, "usage: sbk-bench-music [--styles N] [--block-size BYTES >= 4096] [--rounds N] "
                             "[--real FOLDER] [--folder DIR]\n");
        return 2;
    }
    const QString real = given->value(QStringLiteral("--real"), QStringLiteral(SBK_REAL_STY_DEFAULT));
    QTemporaryDir temporary;
    const QString folder = bench::workFolder(given->value(QStringLiteral("--folder")), temporary);
    try {
        QElapsedTimer timer;
        timer.start();
        const QString path = bench::freshDatabase(folder, QStringLiteral("music.mdb"));
        {
            Database db(path);
            const BenchLibrary library(blockSize, 20240601, BenchLibrary::Content::Music);
            for (int first = 1; first <= styles; first += 1000)
                library.insertStyles(db.connection(), first, qMin(1000, styles - first + 1));
        }
        bench::line(
            QStringLiteral("a library of %1 styles of music (style blocks of about %2 bytes) made in %3 s; "
                           "best of %4 rounds")
                .arg(styles)
                .arg(blockSize)
                .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 1)
                .arg(rounds));
        report(QStringLiteral("generated styles"), readAll(Database(path), rounds));

        if (QFileInfo(real).isDir()) {
            const QString realPath = bench::freshDatabase(folder, QStringLiteral("real.mdb"));
            Database db(realPath);
            StyImport import(db.connection());
            import.setSubfolders(true);
            import.run(real, true, QString(), QString(), QString());
            report(QStringLiteral("the instruments' styles of %1").arg(real),
                   readAll(db, std::max(rounds, 5)));
        } else {
            bench::line(QStringLiteral("the instruments' styles: skipped (no folder %1)").arg(real));
        }
        reportRender(folder);
    } catch (const SbkError& error) {
        std::fprintf(stderr, "sbk-bench-music: %s\n", qPrintable(error.message()));
        return 1;
    }
    return 0;
}
