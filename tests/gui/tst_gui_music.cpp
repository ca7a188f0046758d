// The styles window's contents pane and live playing: what the grid's current style plays, read
// as the grid moves (and not while the pane is hidden); Space, the elements and the grid driving
// the player through an output the test pulls, switching at the next measure; no audio device
// told, within a timeout, and Export MIDI working without one.

#include "core/SBKSettings.h"
#include "gui/music/ContentsPane.h"
#include "gui/music/FluidAudioOutput.h"
#include "GuiTestData.h"
#include "music/SoundFontLocator.h"
#include "MusicTestData.h"
#include "SmfReader.h"

#include <cstring>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace guitest;
using namespace Qt::StringLiterals;

namespace {

qint32 addMusic(SBKModule& module, const QString& name, const QByteArray& styleBlock, int tempo) {
    return addBlocks(module, name, styleBlock, StyleBlocks::performanceBlock(tempo));
}

// The output of a test: the frames it is asked for, in blocks of 64 as a device asks.
class OfflineOutput : public LiveOutput {
public:
    MusicTestData::Recorder sink;
    double sampleRate() const override { return 640; } // at 100 BPM a tick a frame
    void start(Pull pull) override { m_pull = std::move(pull); }
    QString name() const override { return u"the test's output"_s; }
    void play(int frames) {
        for (int done = 0; done < frames; done += 64)
            m_pull(std::min(64, frames - done), sink, [this](int, int count) { sink.frame += count; });
    }

private:
    Pull m_pull;
};

QString text(QWidget* window, const QString& label) {
    return child<QLabel>(window, label)->text();
}

// Each track's row of the pane's table: "Drum|Drum kit|8".
QStringList trackRows(QWidget* window) {
    auto* table = child<QTableWidget>(window, u"grdTracks"_s);
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows << table->item(r, 0)->text() + u'|' + table->item(r, 1)->text() + u'|' +
                    table->item(r, 2)->text();
    return rows;
}

QList<int> enabledElements(QWidget* window) {
    QList<int> enabled;
    for (int e = 0; e < StyleElement::Count; ++e)
        if (child<QPushButton>(window, u"cmdElement_%1"_s.arg(e))->isEnabled())
            enabled << e;
    return enabled;
}

void chooseRow(frmStyles& window, int row) {
    window.grid()->setCurrentIndex(window.gridModel()->index(row, 1));
}

} // namespace

class TestGuiMusic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The pane follows the grid: elements, chord variations, sounds and notes of a built style;
    // the note on a drum kit beyond the General MIDI map; damaged styles told, with the window
    // working on; nothing read while the pane is hidden, which the next window remembers.
    void paneShowsWhatTheGridsStylePlays() {
        Fixture f;
        StyleBlocks::Music userKit = MusicTestData::samba();
        userKit.elements[0].variations[1].tracks[0].events << StyleBlocks::notes(0, 768, 2, 101);
        addMusic(f.module, u"Samba"_s, StyleBlocks::musicBlock(MusicTestData::samba()), 96);
        addMusic(f.module, u"User kit"_s, StyleBlocks::musicBlock(userKit), 100);
        addMusic(f.module, u"Broken"_s, StyleBlocks::musicBlock(MusicTestData::samba()).left(400), 96);
        addStyle(f.module, u"No music"_s);
        frmStyles window(f.module, f.prompt);
        window.show();
        QTRY_COMPARE(text(&window, u"lbStyle"_s), u"Style 1 \"Samba\": 96 BPM"_s);
        QCOMPARE(enabledElements(&window), (QList<int>{0, 1, 6, 13, 14}));
        QVERIFY(child<QPushButton>(&window, u"cmdElement_0"_s)->isChecked());
        auto* variation = child<QComboBox>(&window, u"cboVariation"_s);
        QCOMPARE(variation->count(), 6);
        QCOMPARE(text(&window, u"lbElement"_s), u"2 measures of 4/4"_s);
        QCOMPARE(trackRows(&window).mid(0, 5),
                 (QStringList{u"Drum|Drum kit|8"_s, u"Perc|Drum kit|-"_s, u"Bass|Acoustic Bass|4"_s,
                              u"Acc1|Acoustic Grand Piano|4"_s, u"Acc2|Acoustic Guitar (nylon)|-"_s}));
        variation->activated(1);
        QCOMPARE(trackRows(&window).mid(0, 3),
                 (QStringList{u"Drum|Drum kit|8"_s, u"Perc|Drum kit|-"_s, u"Bass|Acoustic Bass|-"_s}));
        QVERIFY(text(&window, u"lbDrumMap"_s).isEmpty());

        // The next style keeps Var1, chord variation 2, whose kit plays key 101.
        chooseRow(window, 1);
        QTRY_COMPARE(text(&window, u"lbStyle"_s), u"Style 2 \"User kit\": 100 BPM"_s);
        QCOMPARE(window.contentsPane()->variation(), 2);
        QCOMPARE(
            text(&window, u"lbDrumMap"_s),
            u"The drum kit of Var1 plays keys outside the General MIDI drum map (35 to 81): 101. A General "
            "MIDI SoundFont cannot play that kit; those notes stay silent."_s);

        for (const int row : {3, 2}) {
            chooseRow(window, row);
            QTRY_COMPARE(text(&window, u"lbStyle"_s), u"Style %1"_s.arg(row + 1));
            QVERIFY(enabledElements(&window).isEmpty() &&
                    !child<QWidget>(&window, u"cmdPlay"_s)->isVisible());
        }
        QVERIFY(text(&window, u"lbError"_s)
                    .startsWith(u"This style cannot be shown or played: Style 3 \"Broken\""_s));
        QVERIFY(text(&window, u"lbError"_s).contains(u"offset"_s));
        QCOMPARE(f.prompt.asked().size(), 0);

        QAction* contents = window.command(u"mView"_s, 0);
        contents->trigger();
        window.done(QDialog::Accepted);
        frmStyles again(f.module, f.prompt);
        QVERIFY(again.contentsPane()->isHidden() && !again.command(u"mView"_s, 0)->isChecked());
    }

    // Space in the grid plays the chosen element; another element, and another style, start at the
    // next measure; a letter just typed keeps Space for the grid's search; Space stops; Esc stops
    // before it closes the window.
    void playSwitchesAtTheNextMeasure() {
        OfflineOutput* output = nullptr;
        const LivePlayer::ScopedFactory factory([&](const QString&) {
            auto made = std::make_unique<OfflineOutput>();
            output = made.get();
            return made;
        });
        Fixture f;
        StyleBlocks::Music other = MusicTestData::samba();
        other.elements[6].variations = {{1536, {{0, StyleBlocks::notes(0, 192, 8, 39)}}, {}}};
        addMusic(f.module, u"Samba"_s, StyleBlocks::musicBlock(MusicTestData::samba()), 100);
        addMusic(f.module, u"Other"_s, StyleBlocks::musicBlock(other), 100);
        frmStyles window(f.module, f.prompt);
        window.show();
        ContentsPane* pane = window.contentsPane();
        QTRY_VERIFY(pane->music());
        click(&window, u"cmdElement_1"_s); // Var2: 3/4, a measure of 1152 ticks
        window.grid()->setFocus();
        QTest::keyClick(window.grid(), Qt::Key_Space);
        QVERIFY(pane->playing() && output);
        QCOMPARE(child<QPushButton>(&window, u"cmdPlay"_s)->text(), u"Stop"_s);
        QVERIFY(text(&window, u"lbStatus"_s)
                    .startsWith(u"Playing Var2, chord variation 1, through the test's output"_s));
        output->play(1500);
        click(&window, u"cmdElement_6"_s); // Fill1
        output->play(1500);
        QCOMPARE(output->sink.framesOf(0x99, 42), (QList<qint64>{0, 384, 768, 1152, 1536, 1920}));
        QCOMPARE(output->sink.framesOf(0x99, 38).first(), 2304);
        chooseRow(window, 1);
        QTRY_COMPARE(pane->style(), 2);
        QTRY_VERIFY(pane->music() && pane->music()->elements.at(6).variations.size() == 1);
        output->play(1500);
        QCOMPARE(output->sink.framesOf(0x99, 38).last(), 2304 + 7 * 192);
        QCOMPARE(output->sink.framesOf(0x99, 39).first(), 2304 + 1536);
        QVERIFY(pane->player().startMilliseconds().has_value());

        QTest::keyClick(window.grid(), Qt::Key_Space);
        QVERIFY(!pane->playing());
        QTest::keyClick(window.grid(), Qt::Key_O);
        QTest::keyClick(window.grid(), Qt::Key_Space);
        QVERIFY(!pane->playing());
        QTest::qWait(QApplication::keyboardInputInterval() + 50);
        QTest::keyClick(window.grid(), Qt::Key_Space);
        QVERIFY(pane->playing());
        QTest::keyClick(window.grid(), Qt::Key_Escape);
        QVERIFY(!pane->playing() && window.isVisible());
        QTest::keyClick(window.grid(), Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }

    // No device opens: a sound server that does not answer is given up after the timeout, the
    // message names each driver with its reason, nothing plays, and Export MIDI still writes the
    // element.
    void noAudioDeviceIsToldAndExportStillWorks() {
        const QString soundFont = SoundFontLocator::systemDefault();
        if (soundFont.isEmpty())
            QSKIP("no General MIDI SoundFont is installed");
        Fixture f;
        // A sound server that takes the connection and never answers.
        const QByteArray socketPath = QFile::encodeName(f.env.path(u"stuck-server"_s));
        const int server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.constData(), sizeof(address.sun_path) - 1);
        QVERIFY(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                ::listen(server, 4) == 0);
        const LivePlayer::ScopedFactory factory([&](const QString&) {
            const QList<FluidAudioOutput::Driver> drivers{
                {u"pulseaudio"_s, {{"audio.pulseaudio.server", "unix:" + socketPath}}},
                {u"alsa"_s, {{"audio.alsa.device", "sbk_no_such_device"}}}};
            return std::make_unique<FluidAudioOutput>(soundFont, drivers, 300);
        });
        addMusic(f.module, u"Samba"_s, StyleBlocks::musicBlock(MusicTestData::samba()), 96);
        frmStyles window(f.module, f.prompt);
        window.show();
        QTRY_VERIFY(window.contentsPane()->music());
        click(&window, u"cmdPlay"_s);
        click(&window, u"cmdPlay"_s);
        QVERIFY(!window.contentsPane()->playing());
        QCOMPARE(f.prompt.asked().size(), 2);
        QCOMPARE(f.prompt.asked().first().icon, Prompt::Icon::Exclamation);
        for (const QString& said : f.prompt.texts())
            QVERIFY2(said.startsWith(u"Cannot play Var1 of style 1: No audio output opened ("_s) &&
                         said.contains(u"; alsa: "_s) &&
                         said.endsWith(u"Export MIDI... still saves the element as a MIDI file."_s),
                     qPrintable(said));
        QVERIFY(f.prompt.texts().first().contains(u"(pulseaudio did not answer within 0.3 seconds;"_s));
        QVERIFY(f.prompt.texts().last().contains(u"(pulseaudio has not answered an earlier call yet;"_s));

        f.prompt.answerFile(f.env.path(u"samba var1"_s));
        click(&window, u"cmdExportMidi"_s);
        QCOMPARE(f.prompt.asked().last().proposed, u"Samba Var1.mid"_s);
        const SmfFile file = SmfFile::read(TestEnvironment::readFile(f.env.path(u"samba var1.mid"_s)));
        QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
        QVERIFY(file.format == 1 && file.division == 384 && file.tracks.size() == 4);
        QCOMPARE(file.trackName(0), u"Samba: Var1, chord variation 1"_s);
        QCOMPARE(file.trackName(2), u"Bass"_s);
        QCOMPARE(text(&window, u"lbStatus"_s), u"Var1 saved as samba var1.mid"_s);

        ::close(server); // the call given up comes back
        QTRY_COMPARE_WITH_TIMEOUT(FluidAudioOutput::stillOpening(), 0, 10000);
    }
};

QTEST_MAIN(TestGuiMusic)
#include "tst_gui_music.moc"
