// The application around the styles window: start-up loop, parameters with their checks and
// reconnection, file dialog filters, the main window with its buttons, hidden complete deletion
// and help on F1, the backup / restore window, the files the program is started with, and those a
// later start hands over.

#include "core/Progress.h"
#include "core/SBKSettings.h"
#include "gui/interchange/frmBckpRstr.h"
#include "gui/interchange/frmSSFImport.h"
#include "gui/main/DialogPrompt.h"
#include "gui/main/FileOpener.h"
#include "gui/main/frmLog.h"
#include "gui/main/frmMain.h"
#include "gui/main/frmParameters.h"
#include "gui/main/HelpKeyFilter.h"
#include "gui/main/HelpViewer.h"
#include "gui/main/PendingFiles.h"
#include "gui/main/RunningInstance.h"
#include "gui/main/WindowOpener.h"
#include "gui/sty/frmStyImport.h"
#include "GuiTestData.h"
#include "interchange/PddRestore.h"
#include "session/StartUp.h"

#include <future>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTextBrowser>

using namespace guitest;
using namespace Qt::StringLiterals;

class ApplicationTest : public QObject {
    Q_OBJECT
private slots:
    void startUpLoop_data() {
        // script: "db" / "nowhere" / "" / "cancel" answer input boxes, "yes" / "no" the question.
        // asked: "input:<proposal>" for each input box, "again?" for the question.
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("defaultExists");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("saved");
        QTest::newRow("default file present") << "" << true << QStringList() << QStringList() << "default";
        QTest::newRow("empty answer, Yes, cancelled, No")
            << "" << false << QStringList{"", "yes", "cancel", "no"}
            << QStringList{"input:default", "again?", "input:", "again?"} << "";
        QTest::newRow("missing file asked again at once")
            << "" << false << QStringList{"nowhere", "db"} << QStringList{"input:default", "input:nowhere"}
            << "db";
        QTest::newRow("stored path used as it stands")
            << "db" << false << QStringList() << QStringList() << "db";
        QTest::newRow("stored file gone: asked, proposing the default")
            << "nowhere" << true << QStringList{"db"} << QStringList{"input:default"} << "db";
    }

    void startUpLoop() {
        QFETCH(QString, stored);
        QFETCH(bool, defaultExists);
        QFETCH(QStringList, script);
        QFETCH(QString, saved);
        TestEnvironment env;
        const QMap<QString, QString> paths{{u"default"_s, env.path(u"SBK.MDB"_s)},
                                           {u"db"_s, env.createDatabase(u"mine.mdb"_s)},
                                           {u"nowhere"_s, env.path(u"no/such.mdb"_s)}};
        if (defaultExists)
            Database::createEmpty(paths[u"default"_s]);
        SBKSettings settings;
        if (!stored.isEmpty())
            settings.setValue(SBKSettings::Path, SBKSettings::Database, paths.value(stored));
        ScriptedPrompt prompt;
        for (const QString& step : script) {
            if (step == "yes"_L1 || step == "no"_L1)
                answerYesNo(prompt, {step == "yes"_L1});
            else
                prompt.answerText(step == "cancel"_L1 ? std::nullopt : std::optional(paths.value(step)));
        }
        SBKModule module;
        const bool goesOn = !saved.isEmpty();
        QCOMPARE(StartUp::Main(settings, module, prompt, paths[u"default"_s]), goesOn);

        QStringList seen;
        for (const ScriptedPrompt::Asked& a : prompt.asked()) {
            const bool input = a.kind == ScriptedPrompt::Kind::Input;
            QVERIFY(input || a.text == u"A database path is needed or SBK cannot continue. Try again?"_s);
            // The example is the default the first box proposes, also when a stored file has gone.
            QVERIFY(!input || a.text.endsWith(u"(Example: "_s + paths[u"default"_s] + u')'));
            seen << (input ? u"input:"_s + paths.key(a.proposed) : u"again?"_s);
        }
        QTEST(seen, "asked");
        QCOMPARE(settings.value(SBKSettings::Path, SBKSettings::Database), paths.value(saved));
        QCOMPARE(module.isConnected(), goesOn);
    }

    // A library of the previous version is brought up to date at start: cancelled, it is left as it
    // was and the program ends with the reason; done, the closing message names the styles whose
    // blocks do not decode and where to find them all.
    void upgradeAtStartCanBeCancelledAndNamesDamagedStyles() {
        TestEnvironment env;
        const QString path = env.createDatabase(u"old.mdb"_s);
        {
            SBKModule module;
            connectTo(module, path);
            addStyles(module, 2);
        }
        runSql(path, {u"PRAGMA user_version = 3"_s});
        SBKSettings settings;
        settings.setValue(SBKSettings::Path, SBKSettings::Database, path);
        struct Cancelling : Progress {
            bool cancelled() const override { return true; }
        } cancelling;
        ScriptedPrompt prompt;
        SBKModule module;
        QVERIFY(!StartUp::Main(settings, module, prompt, QString(), &cancelling));
        QCOMPARE(prompt.asked().last().icon, Prompt::Icon::Information);
        QVERIFY2(
            prompt.texts().last().endsWith(u"was cancelled. It was not changed: it stays at database version "
                                           "3, which this version opens only once it is brought up to "
                                           "date.\nSBK ends now."_s),
            qPrintable(prompt.texts().last()));
        QCOMPARE(runSql(path, {u"PRAGMA user_version"_s}), QStringList{u"3"_s});

        QVERIFY(StartUp::Main(settings, module, prompt, QString(), nullptr));
        QCOMPARE(prompt.texts().last(),
                 u"The database was brought up to date.\n\n2 stored styles are damaged: their blocks do not "
                 "decode. They were kept as they are: 1 S001, 2 S002. "_s +
                     StartUp::DamagedFilterHint);
    }

    // The same database path again (trimmed) keeps the connection and the filter; the other paths
    // (the sound font's too) are kept trimmed, in upper case only where the file system ignores
    // case, and never cut to the field's limit for typing. Refusals keep the dialog open and change
    // nothing. A changed path switches databases at once, with the filter cleared.
    void parameters() {
        Fixture f;
        const QString first = f.module.DatabasePath;
        const QString second = f.env.createDatabase(u"second.mdb"_s);
        f.module.FilterWhere = u"STYLECAT = 'POP'"_s;
        f.module.FilterOrder = u"STYLENAME1"_s;
        const QString utility = f.env.writeFile(QString(100, u'k') + u"/Utility.exe"_s, "x");
        const QString soundFont = f.env.writeFile(u"Kit.sf2"_s, "RIFF");
        const bool ignoresCase = frmParameters::fileSystemIgnoresCase();
        const auto expected = [&](const QString& s) { return ignoresCase ? s.toUpper() : s; };

        frmParameters dialog(f.module, f.prompt);
        dialog.show();
        auto* databaseField = field(&dialog, 0);
        auto* utilityField = field(&dialog, 1);
        const QString connectionName = f.module.connection().connectionName();
        databaseField->setText(u" "_s + first);
        utilityField->setText(u" "_s + utility);
        f.prompt.answerFile(u" /media/Floppy "_s).answerFile(u"/home/Ann/Backup.pdd"_s).answerFile(soundFont);
        click(&dialog, u"cmdSearch_3"_s); // the floppy is a mounted folder
        click(&dialog, u"cmdSearch_2"_s);
        click(&dialog, u"cmdSearch_4"_s);
        dialog.cmdOk_Click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.prompt.unexpected(), 0);
        QCOMPARE(f.module.connection().connectionName(), connectionName);
        QCOMPARE(f.module.FilterWhere, u"STYLECAT = 'POP'"_s);
        QCOMPARE(f.module.KorgProgramPath, expected(utility));
        QCOMPARE(f.module.FloppyDrive, expected(u"/media/Floppy"_s));
        QCOMPARE(f.module.BackupPath, expected(u"/home/Ann/Backup.pdd"_s));
        QCOMPARE(SBKSettings().value(SBKSettings::Parameters, SBKSettings::SoundFont), expected(soundFont));

        f.prompt.clear();
        dialog.show();
        auto* soundFontField = field(&dialog, 4);
        for (const QString& path :
             {f.env.path(QString()), first, f.env.path(u"missing.exe"_s)}) { // a folder is no file
            databaseField->setText(path == f.env.path(QString()) ? path : first);
            utilityField->setText(path == first ? f.env.path(u"missing.exe"_s) : QString());
            soundFontField->setText(path == first ? soundFont : f.env.path(u"missing.sf2"_s));
            click(&dialog, u"cmdOk"_s);
        }
        QCOMPARE(f.prompt.texts(), (QStringList{u"Database file not found!"_s, u"KORG utility not found!"_s,
                                                u"Sound font not found!"_s}));
        QVERIFY(dialog.isVisible());
        QCOMPARE(SBKSettings().value(SBKSettings::Path, SBKSettings::Database), first);

        utilityField->clear();
        soundFontField->clear(); // the system's SoundFont from now on
        databaseField->clear();
        QTest::keyClicks(databaseField, second);
        click(&dialog, u"cmdOk"_s);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.module.connection().databaseName(), second);
        QVERIFY(f.module.FilterWhere.isEmpty() && f.module.FilterOrder.isEmpty());
        QCOMPARE(SBKSettings().value(SBKSettings::Path, SBKSettings::Database), second);
        QVERIFY(SBKSettings().value(SBKSettings::Parameters, SBKSettings::SoundFont).isEmpty());
    }

    // Only a left click with Shift, Ctrl and Alt asks; a wrong or cancelled code or No deletes
    // nothing; both tables go or neither (a failing second delete keeps the styles too).
    void hiddenDeletion() {
        Fixture f(2);
        addBank(f.module, u"BANK"_s, {1});
        frmMain window(f.module, f.prompt);
        window.show();
        const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
        const auto clickPicture = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
            QTest::mouseClick(child<QLabel>(&window, u"Picture1"_s), button, modifiers);
        };
        clickPicture(Qt::LeftButton, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(f.prompt.asked().isEmpty());
        const QString code = frmMain::AccessCode;
        f.prompt.answerText(code.toLower()).answerText(std::nullopt).answerText(code);
        answerYesNo(f.prompt, {0});
        for (int i = 0; i < 3; ++i)
            clickPicture(Qt::LeftButton, all);
        QCOMPARE(f.prompt.texts().size(), 4); // three times the code, once the question
        QVERIFY(f.prompt.texts().constLast().startsWith("WARNING: All data inside SBK database"_L1));

        queryRows(f.module.connection(), u"CREATE TEMP TRIGGER keep BEFORE DELETE ON KORFBanks "
                                         "BEGIN SELECT RAISE(ABORT, 'banks are locked'); END"_s);
        f.prompt.answerText(code);
        answerYesNo(f.prompt, {1});
        clickPicture(Qt::LeftButton, all);
        QVERIFY(f.prompt.texts().constLast().contains(u"banks are locked"_s));
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), 2);

        queryRows(f.module.connection(), u"DROP TRIGGER keep"_s);
        f.prompt.answerText(code);
        answerYesNo(f.prompt, {1});
        clickPicture(Qt::LeftButton, all);
        QCOMPARE(f.prompt.texts().constLast(), u"SBK database successfully initialized"_s);
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s) + countRows(f.module, u"KORFBANKS"_s), 0);
        QVERIFY(f.module.StyleTable->NextKORFStyle() == 1 && f.module.BankTable->NextKORFBank() == 1);
    }

    // The buttons, of one width under "Styles", open their windows over the main window; F1 opens
    // the guide with a section for each of them anywhere; questions go to the modal window on
    // top; the log copies with Ctrl+C and closes on any other key; Exit closes.
    void mainWindowButtonsAndHelp() {
        Fixture f;
        HelpKeyFilter help;
        qApp->installEventFilter(&help);
        frmMain window(f.module, f.prompt);
        window.show();
        for (int i = 2; i < 5; ++i)
            QCOMPARE(child<QPushButton>(&window, u"cmdMenu_%1"_s.arg(i))->width(),
                     child<QPushButton>(&window, u"cmdMenu_1"_s)->width());
        QStringList opened;
        QString shown;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            if (dialog.parentWidget() == &window)
                opened << QString::fromLatin1(dialog.metaObject()->className());
            if (auto* viewer = qobject_cast<HelpViewer*>(&dialog))
                shown = viewer->browser()->toPlainText();
            return int(QDialog::Rejected);
        });
        for (int i = 0; i < 4; ++i)
            click(&window, u"cmdMenu_%1"_s.arg(i));
        QTest::keyClick(child<QPushButton>(&window, u"cmdMenu_0"_s), Qt::Key_F1);
        QCOMPARE(opened, (QStringList{u"frmStyles"_s, u"frmAbout"_s, u"frmParameters"_s, u"frmBckpRstr"_s,
                                      u"HelpViewer"_s}));
        QVERIFY(shown.contains(u"Main window\n"_s) && shown.contains(u"Backup / Restore\n"_s));

        frmLog log; // any other window too, and F1 does not close the log
        log.setModal(true);
        log.show();
        QCOMPARE(DialogPrompt::owner(), &log);
        auto* text = child<QPlainTextEdit>(&log, u"txtResult"_s);
        QTest::keyClick(text, Qt::Key_F1);
        QCOMPARE(help.opened(), 2);
        log.setText(u"first line"_s);
        text->selectAll();
        QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), u"first line"_s);
        QVERIFY(log.isVisible()); // after F1 and Ctrl+C
        QTest::keyClick(text, Qt::Key_C);
        QVERIFY(!log.isVisible());

        click(&window, u"cmdMenu_4"_s); // Exit: the database is closed, the window goes
        QVERIFY(!f.module.isConnected());
        QVERIFY(!window.isVisible());
        QVERIFY(f.prompt.asked().isEmpty());
    }

    // A backup through the main window; refusals write nothing and change nothing; a restore
    // through the main window brings back what the backup wrote.
    void backupAndRestore() {
        Fixture f(2);
        f.module.BackupPath = f.env.path(u"dump.pdd"_s);
        addBank(f.module, u"MY BANK"_s, {2, 1});
        // Written by another program: a text a PDD file cannot carry does not stop the backup.
        queryRows(f.module.connection(),
                  u"UPDATE KORFStyles SET StyleAuthor = char(26085) WHERE StyleProg = 1"_s);

        frmMain main(f.module, f.prompt);
        QString button;
        int progressMaximum = -1;
        bool progressShownAfter = true;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            auto* window = qobject_cast<frmBckpRstr*>(&dialog);
            window->show();
            // Both fields start with the backup path, which the restore reads as the backup wrote it.
            click(window, button);
            auto* bar = child<QProgressBar>(window, u"ProgressBar1"_s);
            progressMaximum = bar->maximum();
            progressShownAfter = bar->isVisible();
            click(window, u"cmbExit"_s);
            return window->result();
        });
        button = u"cmbBackup"_s;
        answerYesNo(f.prompt, {1});
        click(&main, u"cmdMenu_3"_s);
        QCOMPARE(f.prompt.texts().value(1),
                 u"SBK database backup completed without errors!\n\n"_s + f.module.BackupPath);
        QVERIFY(f.prompt.texts().value(2).endsWith(u"\nstyle 1 (S001): author"_s));
        QCOMPARE(progressMaximum, 3); // one bank and two styles
        QVERIFY(!progressShownAfter);

        // No path, then No to the restore.
        queryRows(f.module.connection(), u"DELETE FROM KORFBANKS"_s);
        addStyle(f.module, u"Intruder"_s);
        f.prompt.clear();
        {
            frmBckpRstr window(f.module, f.prompt);
            answerYesNo(f.prompt, {1, 0});
            child<QLineEdit>(&window, u"txtField_0"_s)->setText(u"  "_s);
            click(&window, u"cmbBackup"_s);
            click(&window, u"cmbRestore"_s);
        }
        QCOMPARE(f.prompt.texts().value(0), u"Please insert PDD file path!"_s);
        QVERIFY(f.prompt.texts().value(2).startsWith("Warning: current data will be lost!"_L1));
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), 3);

        // A backup that another program replaces between the check and the restore: the warning
        // with what is wrong below it, and nothing changed.
        struct ChangingPrompt : ScriptedPrompt {
            std::function<void()> beforeLastQuestion;
            Answer message(const QString& text, const QString& title, Icon icon, Buttons buttons,
                           Answer preset) override {
                if (text == PddRestore::DataLostQuestion)
                    beforeLastQuestion();
                return ScriptedPrompt::message(text, title, icon, buttons, preset);
            }
        } changing;
        const QString copy = f.env.path(u"copy.pdd"_s);
        QVERIFY(QFile::copy(f.module.BackupPath, copy));
        changing.beforeLastQuestion = [&] { f.env.writeFile(u"copy.pdd"_s, "Not a backup\r\n"); };
        answerYesNo(changing, {1, 1});
        {
            frmBckpRstr window(f.module, changing);
            window.setRestoreFile(copy);
            click(&window, u"cmbRestore"_s);
        }
        QCOMPARE(changing.asked().last().icon, Prompt::Icon::Exclamation);
        QVERIFY2(changing.texts().last().startsWith(PddRestore::notABackupMessage(copy) +
                                                    u"\n\nThe PDD file "_s + copy +
                                                    u" is damaged at line 1"_s),
                 qPrintable(changing.texts().last()));
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), 3);

        f.prompt.clear();
        answerYesNo(f.prompt, {1, 1});
        button = u"cmbRestore"_s;
        click(&main, u"cmdMenu_3"_s);
        // The test styles' blocks are no style's: they are named as damaged.
        QVERIFY2(
            f.prompt.texts().value(2).startsWith(u"SBK database restore completed without errors!\n\n2 "
                                                 "restored styles are damaged: their blocks do not decode. "
                                                 "They were kept as they are: 1 S001, 2 S002."_s),
            qPrintable(f.prompt.texts().value(2)));
        // The database is back as it was backed up; the engine's own tests check every byte.
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), 2);
        QCOMPARE(countRows(f.module, u"KORFBANKS"_s), 1);
    }

    // Files from the desktop open one after the other in the window that reads them, chosen and
    // waiting for its button: an STY file (known by its content under any name) in the import
    // window for one file, an SSF file (a file: URL) in the SSF import, a PDD file in the restore.
    // A missing file and a file of another kind are named and passed over; nothing is imported.
    void filesFromTheDesktop() {
        Fixture f;
        const QString sty =
            f.env.writeFile(u"USER01.BIN"_s, QByteArray(23, '\x01') + "KORF" + QByteArray(40, '\0'));
        const QString ssf = f.env.writeFile(u"Style one.ssf"_s, "not yet a style");
        const QString pdd = f.env.writeFile(u"dump"_s, "SBK BACKUP\r\n");
        const QString notes = f.env.writeFile(u"notes.sty.txt"_s, "hello");
        const QString missing = f.env.path(u"gone.STY"_s);
        QStringList opened;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            const auto field = [&](const QString& name) { return child<QLineEdit>(&dialog, name)->text(); };
            if (qobject_cast<frmStyImport*>(&dialog))
                opened << child<QLabel>(&dialog, u"Label1"_s)->text() + u": "_s + field(u"txtFolder"_s);
            else if (qobject_cast<frmSSFImport*>(&dialog))
                opened << child<QRadioButton>(&dialog, u"opStyle_0"_s)->text() + u": "_s +
                              field(u"txtFolder"_s);
            else if (qobject_cast<frmBckpRstr*>(&dialog)) {
                // Restore is what the user came for: it has the focus.
                dialog.show();
                const QWidget* focus = dialog.focusWidget();
                opened << u"Restore: "_s + field(u"txtField_1"_s) + u" "_s +
                              (focus ? focus->objectName() : u"nothing"_s);
            }
            return int(QDialog::Rejected);
        });
        FileOpener::open(f.module, f.prompt, {sty, missing, QUrl::fromLocalFile(ssf).toString(), notes, pdd},
                         nullptr);
        QCOMPARE(opened, (QStringList{u"File to search: "_s + sty, u"Selected SSF file only: "_s + ssf,
                                      u"Restore: "_s + pdd + u" cmbRestore"_s}));
        const QStringList texts = f.prompt.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith(missing + u" does not exist"_s));
        QCOMPARE(texts[1], notes +
                               u" is not an STY, SSF or PDD file, nor an archive of STY files; SBK cannot "
                               u"open it."_s);
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), 0);
    }

    // A later start on the same database (any spelling of its path) hands its files over: they
    // open over the main window once the modal window open meanwhile has closed, and a message
    // says so. A start on another database finds no SBK; the hand-overs follow the database the
    // parameters switch to.
    void laterStartHandsItsFilesOver() {
        Fixture f;
        frmMain window(f.module, f.prompt);
        window.show();
        auto instance = std::make_unique<RunningInstance>(f.module);
        PendingFiles pending(f.module, f.prompt, &window);
        connect(instance.get(), &RunningInstance::filesHandedOver, &pending, &PendingFiles::add,
                Qt::QueuedConnection);
        QStringList opened;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            opened << field(&dialog, 1)->text();
            return int(QDialog::Rejected);
        });
        // The client waits for the answer, which this thread's event loop gives.
        const auto handOver = [](const QString& database, const QStringList& files) {
            auto answer =
                std::async(std::launch::async, [=] { return RunningInstance::handOver(database, files); });
            while (answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            return answer.get();
        };
        const QString first = f.module.DatabasePath;
        const QString pdd = f.env.writeFile(u"dump.pdd"_s, "SBK BACKUP\r\n");
        QDialog styles(&window);
        styles.setWindowTitle(u"Styles"_s);
        styles.setModal(true);
        styles.show();
        QCOMPARE(handOver(first, {pdd}), RunningInstance::HandOver::Taken);
        QTRY_COMPARE(f.prompt.texts(),
                     QStringList{u"SBK opens dump.pdd when the window \"Styles\" is closed."_s});
        QTest::qWait(300);
        QVERIFY(opened.isEmpty());
        styles.close();
        QTRY_COMPARE(opened, QStringList{pdd});
        const QString spelled = QFileInfo(first).path() + u"/./"_s + QFileInfo(first).fileName();
        QCOMPARE(handOver(spelled, {}), RunningInstance::HandOver::Taken);
        QCOMPARE(handOver(f.env.path(u"other.mdb"_s), {pdd}), RunningInstance::HandOver::NoneRuns);

        connectTo(f.module, f.env.createDatabase(u"second.mdb"_s));
        QTRY_COMPARE(instance->database(), f.module.DatabasePath);
        QCOMPARE(handOver(f.module.DatabasePath, {}), RunningInstance::HandOver::Taken);
        QCOMPARE(handOver(first, {}), RunningInstance::HandOver::NoneRuns);
        QCOMPARE(opened.size(), 1);
    }
};

QTEST_MAIN(ApplicationTest)
#include "tst_gui_application.moc"
