// How the styles window copes with a large library: opens it on 100,000 styles (or the number
// given as the first argument) kept in banks of 32, sorts by name twice, scrolls to the end, types a
// text into the find field one key at a time, then deletes it and empties the field, shows the
// banks column and sorts by it, and prints the times against their goals, the opening and the
// sorting also as ratios to their floors (the same rows read by a plain query in the same run), and
// the memory the process holds. The window starts with the settings of a new user.
//
// Then "Similar styles" on the current style, every style holding the note fingerprint of one of 16
// styles of generated music (goal: the first question, which reads the notes of the library, and
// the next, from what it read, each under 0.3 s).
//
// Then Play: a style whose Var1 starts with a note is chosen in the grid and Space is pressed, some
// rounds (the first opens the output); each round prints the time from the key to the first note
// given to the synthesizer, and the sound the output keeps in its buffers on top of it. The output is the
// system's sound when a device opens; else (no device, as on a build machine) a stand-in that asks for its
// periods of sound in real time from a thread of its own, as a device does, into the same synthesizer.

#include "BenchLibrary.h"
#include "BenchSupport.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "gui/banks/frmStyles.h"
#include "gui/banks/SimilarStylesPane.h"
#include "gui/banks/StyleGridModel.h"
#include "gui/music/ContentsPane.h"
#include "gui/music/FluidAudioOutput.h"
#include "music/NoteFingerprint.h"
#include "music/SoundFontLocator.h"
#include "music/SoundFontSynth.h"
#include "music/SynthSettings.h"
#include "session/SBKModule.h"
#include "store/Database.h"
#include "store/StyleListing.h"

#include "StyleBlocks.h"
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <thread>
#include <vector>

namespace {

// What a sound device does when there is none: asks for a period of sound each period, on time,
// from a thread of its own, rendered by the synthesizer with the SoundFont.
class PacedOutput : public LiveOutput {
public:
    explicit PacedOutput(const QString& soundFont) : m_synth(m_settings, soundFont) {}
    ~PacedOutput() override {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    double sampleRate() const override { return m_settings.sampleRate(); }
    QString name() const override { return QStringLiteral("a stand-in device"); }
    double bufferSeconds() const override {
        return FluidAudioOutput::PeriodFrames * FluidAudioOutput::Periods / sampleRate();
    }
    void start(Pull pull) override {
        m_thread = std::thread([this, pull] {
            constexpr int Period = FluidAudioOutput::PeriodFrames;
            std::vector<qint16> buffer(2 * Period);
            const auto period = std::chrono::nanoseconds(qint64(Period * 1e9 / sampleRate()));
            auto next = std::chrono::steady_clock::now();
            while (!m_stop) {
                pull(Period, m_synth,
                     [&](int offset, int count) { m_synth.write(count, buffer.data() + 2 * offset); });
                next += period;
                std::this_thread::sleep_until(next);
            }
        });
    }

private:
    SynthSettings m_settings;
    SoundFontSynth m_synth;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Whether the system's sound opens here.
bool deviceOpens(const QString& soundFont) {
    try {
        FluidAudioOutput output(soundFont);
        output.start([](int, MidiSink&, const PatternScheduler::Render& render) { render(0, 0); });
        return true;
    } catch (const SbkError&) {
        return false;
    }
}

// Space pressed on the grid at the last style (one whose Var1 starts with a note), rounds times.
void reportPlay(frmStyles& window, QApplication& app) {
    QString soundFont;
    try {
        soundFont = SoundFontLocator::resolve(QString(), QString());
    } catch (const SbkError& error) {
        std::printf("  play: skipped (%s)\n", qPrintable(error.message()));
        return;
    }
    const bool device = deviceOpens(soundFont);
    std::optional<LivePlayer::ScopedFactory> standIn;
    if (!device)
        standIn.emplace([soundFont](const QString&) { return std::make_unique<PacedOutput>(soundFont); });
    window.findField()->clear();
    app.processEvents();
    window.grid()->setCurrentIndex(window.gridModel()->index(window.gridModel()->rowCount() - 1, 1));
    window.grid()->setFocus();
    ContentsPane* pane = window.contentsPane();
    if (!pane->music()) {
        std::printf("  play: the style cannot be read (%s)\n", qPrintable(pane->error()));
        return;
    }
    // The player looks at the pane a moment before pressing Space: the SoundFont loads meanwhile.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    QList<double> rounds;
    for (int round = 0; round < 6; ++round) {
        QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QApplication::sendEvent(window.grid(), &space);
        for (int wait = 0; wait < 2000 && !pane->player().startMilliseconds(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        rounds << pane->player().startMilliseconds().value_or(-1);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        QApplication::sendEvent(window.grid(), &space);
        app.processEvents();
        // A sound server may take a moment to start the stream it just opened: the later rounds
        // measure the output as it runs.
        std::this_thread::sleep_for(std::chrono::milliseconds(round == 0 ? 2500 : 100));
    }
    const LiveOutput* output = pane->player().output();
    std::printf("  play, through %s (%.0f ms of buffers after the synthesizer):\n",
                output ? qPrintable(output->name()) : "no output",
                output ? output->bufferSeconds() * 1000 : 0.0);
    bench::figure("Space to first note, first Play:", rounds.first(), 200);
    const double later = *std::max_element(rounds.cbegin() + 1, rounds.cend());
    bench::figure("Space to first note, later:", later, 200);
    std::printf("    every round: ");
    for (const double ms : rounds)
        std::printf("%.1f ", ms);
    std::printf("ms\n");
}

} // namespace

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
        // Last, a style whose Var1 plays a note on every beat from its start.
        StyleBlocks::Music music;
        music.elements[0].variations = {{3072, {{0, StyleBlocks::notes(0, 384, 8, 36)}}, {}}};
        const QByteArray block = StyleBlocks::musicBlock(music);
        const QByteArray performance = StyleBlocks::performanceBlock(120);
        query.prepare(
            QStringLiteral("INSERT INTO KORFStyles (StyleProg, StyleName1, StyleLength1, StyleLength2, "
                           "StyleContent1, StyleContent2) VALUES (?, ?, ?, ?, ?, ?)"));
        for (const QVariant& value :
             {QVariant(count + 1), QVariant(QStringLiteral("zz Beat")), QVariant(int(block.size())),
              QVariant(int(performance.size())), QVariant(block), QVariant(performance)})
            query.addBindValue(value);
        query.exec();
        // The notes of 16 styles of music, shared out among the styles.
        query.prepare(QStringLiteral("UPDATE KORFStyles SET NoteFingerprint = ? WHERE StyleProg % 16 = ?"));
        for (int seed = 0; seed < 16; ++seed) {
            query.addBindValue(NoteFingerprint::readFacts(
                                   BenchLibrary::musicBlock(40000, 0x22, false, quint32(seed)), performance)
                                   .NoteFingerprint);
            query.addBindValue(seed);
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
    QAction* similar = window.command(QStringLiteral("mStyles"), 14);
    const qint64 similarFirstMs = timed([&] { similar->trigger(); });
    const qint64 similarNextMs = timed([&] { similar->trigger(); });
    std::printf("  similar styles: %d listed\n", window.similarPane()->list()->rowCount());
    bench::figure("similar styles, first question:", similarFirstMs, 300);
    bench::figure("similar styles, next question:", similarNextMs, 300);
    std::printf("  peak memory: %.0f MB\n", bench::peakMegabytes());
    reportPlay(window, app);
    return 0;
}
