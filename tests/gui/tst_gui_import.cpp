// Styles in and banks out from the styles window: the import window with its policies, log,
// picker, Cancel and failed runs, and the make dialog with its fifteen destinations, its checks
// and disks that are not ready.

#include "../sty/StyTestData.h"
#include "ArchiveMaker.h"
#include "gui/main/FileOpener.h"
#include "gui/main/frmLog.h"
#include "gui/main/WindowOpener.h"
#include "gui/sty/frmMakeBank.h"
#include "gui/sty/frmStyContent.h"
#include "gui/sty/frmStyImport.h"
#include "GuiTestData.h"
#include "sty/StyImport.h"
#include "sty/StyMaker.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

using namespace guitest;
using namespace StyTestData;
using namespace Qt::StringLiterals;

namespace {

// The windows a command opens, each answered by the function set for its kind.
struct Windows {
    std::function<int(frmStyImport&)> import;
    std::function<int(frmStyContent&)> picker;
    std::function<int(frmMakeBank&)> make;
    QStringList logs; // caption|text of every log shown
    WindowOpener::ScopedHook hook{[this](QDialog& dialog) {
        if (auto* w = qobject_cast<frmStyImport*>(&dialog); w && import)
            return import(*w);
        if (auto* w = qobject_cast<frmStyContent*>(&dialog); w && picker)
            return picker(*w);
        if (auto* w = qobject_cast<frmMakeBank*>(&dialog); w && make)
            return make(*w);
        if (auto* w = qobject_cast<frmLog*>(&dialog)) {
            logs << w->windowTitle() + u'|' + w->text();
            return 0;
        }
        qFatal("unexpected window %s", qPrintable(dialog.objectName()));
    }};
};

// Starts the run and waits for it to end.
void runImport(frmStyImport& window) {
    QSignalSpy ended(&window, &frmStyImport::runEnded);
    window.cmdOk_Click();
    QVERIFY(ended.count() == 1 || ended.wait(30000));
}

const QString Counts = u"SELECT (SELECT COUNT(*) FROM KORFStyles), (SELECT COUNT(*) FROM KORFBanks)"_s;

template <typename T> void setChecked(QObject* parent, const QString& name, bool on = true) {
    child<T>(parent, name)->setChecked(on);
}

} // namespace

class ImportTest : public QObject {
    Q_OBJECT
private slots:
    // One folder run with a file per outcome under the content policy (new, duplicate, not a KORF
    // file), without banks, then Exit.
    void folderImportByPolicy() {
        Fixture f;
        StyImport(f.module.connection())
            .run(f.env.writeFile(u"OLD.STY"_s, bankFile(2, 1)), false, {}, {}, {});
        f.env.writeFile(u"in/NEW.STY"_s,
                        rawSty({{"Fresh 1", 2, 0}, {"Fresh 2", 2, 1}}, {block(30, 50), block(31, 51)}));
        f.env.writeFile(u"in/SAME.STY"_s, bankFile(2, 1));
        f.env.writeFile(u"in/JUNK.STY"_s, "KORGI and more");
        frmStyles window(f.module, f.prompt);
        Windows windows;
        QString summary;
        windows.import = [&](frmStyImport& w) {
            child<QLineEdit>(&w, u"txtFolder"_s)->setText(f.env.path(u"in"_s));
            QTest::keyClicks(field(&w, 0), u"Pop"_s);
            setChecked<QCheckBox>(&w, u"chkBank"_s, false);
            f.prompt.answer(Prompt::Answer::Yes); // the log
            runImport(w);
            summary = child<QLabel>(&w, u"lbResult"_s)->text();
            click(&w, u"cmdCancel"_s);
            return w.result();
        };
        window.command(u"mFile"_s, 0)->trigger();

        QCOMPARE(f.prompt.texts(),
                 QStringList{u"Import process terminated. Should I show you the import log?"_s});
        QCOMPARE(windows.logs.size(), 1);
        // The engine's own tests hold every line of the log; here its first and the summary.
        QVERIFY2(windows.logs.first().startsWith(u"|JUNK.STY is probably a style for KORG i30 arranger\n"_s),
                 qPrintable(windows.logs.first()));
        QVERIFY2(summary.contains(u", 2 damaged styles stored as they are;"_s), qPrintable(summary));
        QCOMPARE(queryRows(f.module.connection(),
                           u"SELECT StyleProg, StyleName1, StyleFamily, StyleCat, StyleFile, "
                           u"length(StyleContent1) FROM KORFStyles ORDER BY StyleProg"_s),
                 (QStringList{u"1|Style 1         | | |OLD.STY|48"_s, u"2|Style 2         | | |OLD.STY|49"_s,
                              u"3|Fresh 1         |Pop| |NEW.STY|38"_s,
                              u"4|Fresh 2         |Pop| |NEW.STY|39"_s}));
        QCOMPARE(queryRows(f.module.connection(), u"SELECT BankName FROM KORFBanks"_s),
                 QStringList{u"OLD001"_s});
        QCOMPARE(f.module.ImportMode, 99);
        QCOMPARE(window.gridModel()->rowCount(), 4); // the grid shows the refilled listing
        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // The picker of the first file: its rows, Unselect All and Select All, one style unticked, the
    // author changed and the group emptied (stored as one blank); the second file's picker, ticked
    // afresh but closed by its close box, leaves those answers in force. The picked values are not
    // taken as description.
    void pickerAcrossTwoFiles() {
        Fixture f;
        for (const QString& name : {u"A.STY"_s, u"B.STY"_s})
            f.env.writeFile(u"scan/"_s + name, bankFile(3, name == "A.STY"_L1 ? 1 : 2));
        f.module.ImportMode = 0;
        frmStyImport window(f.module, f.prompt);
        f.prompt.answerFile(f.env.path(u"scan/B.STY"_s)); // Search: the folder of the file chosen
        window.cmdSearch_Click();
        field(&window, 2)->setText(u"Given"_s);
        setChecked<QCheckBox>(&window, u"chkErrors"_s);

        QStringList seen;
        Windows windows;
        windows.picker = [&](frmStyContent& picker) {
            auto ticks = [&] {
                QString text;
                for (int r = 0; r < 5; ++r)
                    text += child<QCheckBox>(&picker, u"Check1_%1"_s.arg(r))->isChecked() ? u'x' : u'.';
                return text;
            };
            seen << picker.windowTitle() + u'|' + ticks() + u'|' +
                        child<QCheckBox>(&picker, u"Check1_2"_s)->text() + u'|' + field(&picker, 2)->text() +
                        u'|' + field(&picker, 3)->text();
            if (seen.size() == 3) {
                picker.show();
                picker.close();
                return picker.result();
            }
            click(&picker, u"Command1_1"_s);
            click(&picker, u"Command1_0"_s);
            seen << ticks();
            setChecked<QCheckBox>(&picker, u"Check1_1"_s, false);
            field(&picker, 2)->setText(u"Picked"_s);
            field(&picker, 3)->clear();
            click(&picker, u"Command1_2"_s);
            return picker.result();
        };
        runImport(window);
        QCOMPARE(seen, (QStringList{u"A.STY|xxx..|Style 3|Given| "_s, u"xxx.."_s,
                                    u"B.STY|xxx..|Style 3|Picked|"_s}));
        QCOMPARE(queryRows(f.module.connection(),
                           u"SELECT BankStyle01, BankStyle02, BankStyle03, BankStyle04 FROM KORFBanks"_s),
                 (QStringList{u"1|-1|2|0"_s, u"3|-1|4|0"_s}));
        QCOMPARE(
            queryRows(f.module.connection(),
                      u"SELECT DISTINCT StyleAuthor, StyleCat, StyleDesc = StyleName1 FROM KORFStyles"_s),
            QStringList{u"Picked| |1"_s});
    }

    // A pack opened from the desktop (a ZIP known by its content) opens the window for one file on
    // it; the bar counts its STY entries, the picker is shown for each by its path in the pack, and
    // the log counts the entries passed over.
    void packFromTheDesktop() {
        Fixture f;
        const QString pack =
            f.env.writeFile(u"PopPack"_s, ArchiveMaker::make(ArchiveMaker::Kind::Zip,
                                                             {{"Pop.SET/STYLE/USER01.STY", bankFile(2, 1)},
                                                              {"Pop.SET/STYLE/USER02.STY", bankFile(1, 2)},
                                                              {"Pop.SET/cover.jpg", "JFIF"}}));
        QStringList seen;
        Windows windows;
        windows.import = [&](frmStyImport& w) {
            setChecked<QCheckBox>(&w, u"chkErrors"_s);
            f.prompt.answer(Prompt::Answer::Yes); // the log
            runImport(w);
            seen << child<QLabel>(&w, u"Label1"_s)->text() + u'|' +
                        QString::number(child<QProgressBar>(&w, u"pbFiles"_s)->maximum());
            return w.result();
        };
        windows.picker = [&](frmStyContent& picker) {
            seen << picker.windowTitle();
            click(&picker, u"Command1_2"_s);
            return picker.result();
        };
        FileOpener::open(f.module, f.prompt, {pack}, nullptr);
        QCOMPARE(seen, (QStringList{u"PopPack/Pop.SET/STYLE/USER01.STY"_s,
                                    u"PopPack/Pop.SET/STYLE/USER02.STY"_s, u"File to search|2"_s}));
        // The blocks made here carry no tempo or meter, which the log names first.
        QVERIFY(windows.logs.size() == 1 &&
                windows.logs.first().endsWith(
                    u"\nPopPack: 1 entry that is neither an STY file nor an archive was passed over\n"_s));
        QCOMPARE(queryRows(f.module.connection(), u"SELECT StyleFile, BankName FROM KORFStyles, KORFBanks "
                                                  u"WHERE BankStyle01 = StyleProg"_s),
                 (QStringList{u"USER01.STY|USER0001"_s, u"USER02.STY|USER0002"_s}));
    }

    // Cancel in the middle of a folder, then a run that fails on its second file: both leave the
    // database as it was. While a run goes on, nothing can start another run or close the window.
    void stoppedRunsLeaveTheDatabaseAsItWas() {
        Fixture f;
        StyImport(f.module.connection()).run(f.env.writeFile(u"OLD.STY"_s, bankFile(2)), false, {}, {}, {});
        for (int i = 1; i <= 4; ++i)
            f.env.writeFile(u"run/%1.STY"_s.arg(i), bankFile(2, i));
        f.module.ImportMode = 0;
        frmStyImport window(f.module, f.prompt);
        window.show();
        child<QLineEdit>(&window, u"txtFolder"_s)->setText(f.env.path(u"run"_s));
        QProgressBar* bar = child<QProgressBar>(&window, u"pbFiles"_s);
        QStringList during;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) {
            if (value != 2)
                return;
            during << QString::number(bar->maximum()) + (window.isRunning() ? u"|running"_s : u"|idle"_s) +
                          (child<QPushButton>(&window, u"cmdOk"_s)->isEnabled() ? u"|start"_s : u""_s) +
                          (child<QPushButton>(&window, u"cmdCancel"_s)->isEnabled() ? u"|exit"_s : u""_s) +
                          (window.close() ? u"|closed"_s : u""_s);
            click(&window, u"cmdStop"_s);
        });
        runImport(window);
        QCOMPARE(during, QStringList{u"4|running"_s});
        QCOMPARE(queryRows(f.module.connection(), Counts), QStringList{u"2|1"_s});
        QCOMPARE(child<QLabel>(&window, u"lbResult"_s)->text(),
                 u"Cancelled after 2 of 4 files: nothing of this run was kept."_s);
        QCOMPARE(f.prompt.asked().size(), 0);

        // A damaged second file ends the run with the error box; only the close box is left.
        f.env.writeFile(u"bad/1.STY"_s, bankFile(2, 5));
        f.env.writeFile(u"bad/2.STY"_s, bankFile(2, 6).left(150));
        child<QLineEdit>(&window, u"txtFolder"_s)->setText(f.env.path(u"bad"_s));
        runImport(window);
        QCOMPARE(queryRows(f.module.connection(), Counts), QStringList{u"2|1"_s});
        QVERIFY2(f.prompt.texts().size() == 1 && f.prompt.texts().first().contains("2.STY"_L1),
                 qPrintable(f.prompt.texts().join(u'\n')));
        QVERIFY(!child<QPushButton>(&window, u"cmdOk"_s)->isEnabled());
    }

    // "Make .STY file" checks the bank, its changes and the floppy setting in that order; the dialog
    // stays open after disks that are not ready, with the instrument's disk options off without it.
    // Then the fifteen destinations in turn, each the file the engine names (its own test holds the
    // paths, the bytes and the texts).
    void makeChecksAndEveryDestination() {
        Fixture f;
        StyImport(f.module.connection()).run(f.env.writeFile(u"IN.STY"_s, bankFile(2)), false, {}, {}, {});
        frmStyles window(f.module, f.prompt);
        window.mbank_Click(13); // empty
        showStoredBank(window, f.module, 1);
        f.module.BankState = 3; // stored, with changes
        window.mbank_Click(13);
        showStoredBank(window, f.module, 1);
        f.module.FloppyDrive = u"  "_s;
        window.mbank_Click(13);
        QCOMPARE(f.prompt.texts(),
                 (QStringList{u"Bank is empty: there's nothing to make a .STY with!"_s,
                              u"Please save changes made to current style before making a STY file!"_s,
                              u"Floppy disk is not specified. Please click on Parameter button inside main "
                              u"form and insert all required data!"_s}));

        f.prompt.clear();
        f.module.FloppyDrive = f.env.path(u"nofloppy"_s);
        QStringList seen;
        int index = 3;
        Windows windows;
        windows.make = [&](frmMakeBank& dialog) {
            seen << QString::number(child<QRadioButton>(&dialog, u"optSave_6"_s)->isEnabled());
            setChecked<QRadioButton>(&dialog, u"optSave_%1"_s.arg(index));
            dialog.cmdMake_Click();
            seen << QString::number(int(dialog.lastResult())) + (dialog.result() ? u"|closed"_s : u"|open"_s);
            return dialog.result();
        };
        window.mbank_Click(13);
        QCOMPARE(seen, (QStringList{u"0"_s, u"2|open"_s}));
        QCOMPARE(f.prompt.asked().size(), 1);

        for (const QString& folder : {u"chosen"_s, u"floppy/SBK.SET"_s, u"pahd/!123.SET/STYLE"_s,
                                      u"pahd/!456.SET/STYLE"_s, u"pahd/!789.SET/STYLE"_s})
            QDir().mkpath(f.env.path(folder));
        f.module.FloppyDrive = f.env.path(u"floppy"_s);
        f.module.PaHdDrive = f.env.path(u"pahd"_s);
        f.prompt.clear();
        seen.clear();
        f.prompt.answerFile(f.env.path(u"chosen/MINE.STY"_s));
        for (index = 0; index < StyMaker::DestinationCount; ++index) {
            window.command(u"mbank"_s, 13)->trigger();
            const QString target = index == 0 ? f.env.path(u"chosen/MINE.STY"_s)
                                              : StyMaker::targetPath(index, f.module.FloppyDrive,
                                                                     f.module.PaHdDrive, u"IN001"_s);
            QCOMPARE(f.prompt.texts().last(),
                     target + u" successfully created"_s + (index < 3 ? ""_L1 : "!"_L1));
        }
        QCOMPARE(seen.filter(u"|closed"_s).size(), StyMaker::DestinationCount);
        QCOMPARE(f.prompt.asked().first().proposed, u"IN001.STY"_s);
        QCOMPARE(f.prompt.unexpected(), 0);
    }
};

QTEST_MAIN(ImportTest)
#include "tst_gui_import.moc"
