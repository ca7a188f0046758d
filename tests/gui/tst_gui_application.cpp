// The application around the styles window: start-up loop, parameters with their checks and
// reconnection, file dialog filters, the main window with its buttons, hidden complete deletion
// and help on F1, and the backup / restore window.

#include "core/DialogPrompt.h"
#include "core/frmLog.h"
#include "core/frmMain.h"
#include "core/frmParameters.h"
#include "core/HelpKeyFilter.h"
#include "core/HelpViewer.h"
#include "core/SBKSettings.h"
#include "core/StartUp.h"
#include "core/WindowOpener.h"
#include "GuiTestData.h"
#include "interchange/frmBckpRstr.h"
#include "interchange/PddBackup.h"

#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>

using namespace guitest;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)
Q_DECLARE_METATYPE(Qt::MouseButton)

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
        QTest::newRow("empty answer, No")
            << "" << false << QStringList{"", "no"} << QStringList{"input:default", "again?"} << "";
        QTest::newRow("cancelled, Yes, then a file")
            << "" << false << QStringList{"cancel", "yes", "db"}
            << QStringList{"input:default", "again?", "input:"} << "db";
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
            seen << (input ? u"input:"_s + paths.key(a.proposed) : u"again?"_s);
        }
        QTEST(seen, "asked");
        QCOMPARE(settings.value(SBKSettings::Path, SBKSettings::Database), paths.value(saved));
        QCOMPARE(module.isConnected(), goesOn);
        if (goesOn)
            QVERIFY(module.StyleTable && module.BankTable);
    }

    void parametersRefuseOrReconnect() {
        Fixture f;
        const QString first = f.module.DatabasePath;
        const QString second = f.env.createDatabase(u"second.mdb"_s);
        connectTo(f.module, second);
        addStyle(f.module, u"ZETA"_s);
        addStyle(f.module, u"ALPHA"_s);
        connectTo(f.module, first);
        f.module.FilterWhere = u"STYLECAT = 'POP'"_s;
        f.module.FilterOrder = u"STYLENAME1"_s;
        f.module.FilterFields[0] = f.module.FilterFields[6] = u"x"_s;

        frmParameters dialog(f.module, f.prompt);
        dialog.show();
        auto* field = child<QLineEdit>(&dialog, u"txtField_0"_s);
        // The same path again (trimmed) keeps the connection and the filter.
        const QString connectionName = f.module.connection().connectionName();
        field->setText(u" "_s + first);
        dialog.cmdOk_Click();
        QCOMPARE(f.module.connection().connectionName(), connectionName);
        QCOMPARE(f.module.FilterWhere, u"STYLECAT = 'POP'"_s);

        // Refusals keep the dialog open and change neither the settings nor the database.
        dialog.show();
        const QString missing = f.env.path(u"missing.mdb"_s);
        for (const QString& path : {u"   "_s, missing, f.env.path(QString()), first}) {
            field->setText(path);
            child<QLineEdit>(&dialog, u"txtField_1"_s)->setText(path == first ? missing : QString());
            click(&dialog, u"cmdOk"_s);
        }
        QCOMPARE(f.prompt.texts(),
                 (QStringList{u"Database path is mandatory!"_s, u"Database file not found!"_s,
                              u"Database file not found!"_s, u"KORG utility not found!"_s}));
        QVERIFY(dialog.isVisible());
        QCOMPARE(SBKSettings().value(SBKSettings::Path, SBKSettings::Database), first);
        QVERIFY(f.module.KorgProgramPath.isEmpty());
        QCOMPARE(f.module.connection().connectionName(), connectionName);
        child<QLineEdit>(&dialog, u"txtField_1"_s)->clear();

        // A changed path switches databases at once, with the filter cleared.
        field->clear();
        QTest::keyClicks(field, second);
        click(&dialog, u"cmdOk"_s);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.module.connection().databaseName(), second);
        QVERIFY(f.module.FilterWhere.isEmpty() && f.module.FilterOrder.isEmpty());
        QVERIFY(std::all_of(f.module.FilterFields.begin(), f.module.FilterFields.end(),
                            [](auto& field) { return field.isEmpty(); }));
        f.module.refreshListing();
        QCOMPARE(f.module.StyleRecordset.RecordCount(), 2);
        QCOMPARE(f.module.StyleRecordset.row(0).StyleName1, u"ZETA"_s); // by style number
        QCOMPARE(SBKSettings().value(SBKSettings::Path, SBKSettings::Database), second);
        QCOMPARE(f.prompt.asked().size(), 4);
    }

    void parametersKeepCaseAndTrim() {
        Fixture f;
        // Longer than the field's limit for typing: what the program puts in is never cut.
        const QString utility = f.env.writeFile(QString(100, u'k') + u"/Utility.exe"_s, "x");
        const bool ignoresCase = frmParameters::fileSystemIgnoresCase();
        frmParameters dialog(f.module, f.prompt);
        child<QLineEdit>(&dialog, u"txtField_1"_s)->setText(u" "_s + utility);
        // The floppy is a mounted folder chosen like the other paths (a drive letter on Windows).
        if (ignoresCase) {
            child<QLineEdit>(&dialog, u"txtField_2"_s)->setText(u" /media/Floppy "_s);
        } else {
            f.prompt.answerFile(u" /media/Floppy "_s);
            click(&dialog, u"cmdSearch_3"_s);
        }
        f.prompt.answerFile(u"/home/Ann/Backup.pdd"_s);
        click(&dialog, u"cmdSearch_2"_s);
        dialog.cmdOk_Click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(f.prompt.unexpected(), 0);

        const auto expected = [&](const QString& s) { return ignoresCase ? s.toUpper() : s; };
        QCOMPARE(f.module.KorgProgramPath, expected(utility));
        QCOMPARE(f.module.FloppyDrive, expected(u"/media/Floppy"_s));
        QCOMPARE(f.module.BackupPath, expected(u"/home/Ann/Backup.pdd"_s));
        QCOMPARE(SBKSettings().value(SBKSettings::Parameters, SBKSettings::SbkBackup), f.module.BackupPath);
        // Only where case does not matter is a path differing in case the same database.
        QCOMPARE(frmParameters::samePath(f.module.DatabasePath, f.module.DatabasePath.toUpper()),
                 ignoresCase);
    }

    void fileDialogFilters() {
        // File dialog patterns match regardless of case, as the instrument writes upper case.
        const QString filter = DialogPrompt::nameFilters(u"Styles (*.STY)|*.STY"_s).constFirst();
        const QString glob = filter.mid(filter.lastIndexOf(u'(') + 1).chopped(1);
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(glob));
        for (const QString& name : {u"USER01.STY"_s, u"user01.sty"_s, u"Mixed.Sty"_s})
            QVERIFY2(re.match(name).hasMatch(), qPrintable(name));
        QVERIFY(!re.match(u"user01.pdd"_s).hasMatch());
    }

    void hiddenDeletion_data() {
        // code: the access code typed ("-" cancels); answer: to the question that follows.
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("asked");
        const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
        const QString code = frmMain::AccessCode;
        QTest::newRow("plain click") << Qt::LeftButton << Qt::KeyboardModifiers() << code << true << 0;
        QTest::newRow("ctrl and alt only")
            << Qt::LeftButton << (Qt::ControlModifier | Qt::AltModifier) << code << true << 0;
        QTest::newRow("right button") << Qt::RightButton << all << code << true << 0;
        QTest::newRow("code in lower case") << Qt::LeftButton << all << code.toLower() << true << 1;
        QTest::newRow("cancelled") << Qt::LeftButton << all << u"-"_s << true << 1;
        QTest::newRow("code then No") << Qt::LeftButton << all << code << false << 2;
        QTest::newRow("code then Yes") << Qt::LeftButton << all << code << true << 3;
    }

    void hiddenDeletion() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(QString, code);
        QFETCH(bool, answer);
        QFETCH(int, asked);
        Fixture f(2);
        addBank(f.module, u"BANK"_s, {1});
        f.prompt.answerText(code == "-"_L1 ? std::nullopt : std::optional(code));
        answerYesNo(f.prompt, {answer});
        frmMain window(f.module, f.prompt);
        window.show();
        QTest::mouseClick(child<QLabel>(&window, u"Picture1"_s), button, modifiers);

        const QStringList texts{u"WARNING: insert password for complete database deletion"_s,
                                u"WARNING: All data inside SBK database will be deleted. Are you sure?"_s,
                                u"SBK database successfully initialized"_s};
        QCOMPARE(f.prompt.texts(), texts.mid(0, asked));
        if (asked >= 2)
            QCOMPARE(f.prompt.asked().at(1).defaultButton, Prompt::Answer::No);
        const bool deleted = asked == 3;
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), deleted ? 0 : 2);
        QCOMPARE(countRows(f.module, u"KORFBANKS"_s), deleted ? 0 : 1);
        if (deleted)
            QVERIFY(f.module.StyleTable->NextKORFStyle() == 1 && f.module.BankTable->NextKORFBank() == 1);
    }

    // Both tables or neither: when the second delete fails, the styles stay too.
    void hiddenDeletionIsAllOrNothing() {
        Fixture f(2);
        addBank(f.module, u"BANK"_s, {1});
        QSqlQuery lock(f.module.connection());
        QVERIFY(lock.exec(u"CREATE TEMP TRIGGER keep BEFORE DELETE ON KORFBanks "
                          "BEGIN SELECT RAISE(ABORT, 'banks are locked'); END"_s));
        f.prompt.answerText(frmMain::AccessCode);
        answerYesNo(f.prompt, {true});
        frmMain window(f.module, f.prompt);
        window.show();
        QTest::mouseClick(child<QLabel>(&window, u"Picture1"_s), Qt::LeftButton,
                          Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(f.prompt.texts().constLast().contains(u"banks are locked"_s));
        QCOMPARE(f.prompt.asked().constLast().icon, Prompt::Icon::Critical);
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), 2);
        QCOMPARE(countRows(f.module, u"KORFBANKS"_s), 1);
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
        for (const QString& section : {u"Main window"_s, u"Styles window"_s, u"Style edit"_s, u"Parameters"_s,
                                       u"Backup / Restore"_s, u"About"_s})
            QVERIFY2(shown.contains(section + u'\n'), qPrintable(section));

        frmLog log; // any other window too, and F1 does not close the log
        log.setModal(true);
        log.show();
        QCOMPARE(DialogPrompt::owner(), &log);
        auto* text = child<QPlainTextEdit>(&log, u"txtResult"_s);
        QTest::keyClick(text, Qt::Key_F1);
        QCOMPARE(help.opened(), 2);
        QVERIFY(log.isVisible());
        qApp->removeEventFilter(&help);
        log.setText(u"first line\nsecond line"_s);
        text->selectAll();
        QTest::keyClick(text, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), u"first line\nsecond line"_s);
        QVERIFY(log.isVisible());
        QTest::keyClick(text, Qt::Key_C);
        QVERIFY(!log.isVisible());

        click(&window, u"cmdMenu_4"_s); // Exit: the database is closed, the window goes
        QVERIFY(!f.module.isConnected());
        QVERIFY(!window.isVisible());
        QVERIFY(f.prompt.asked().isEmpty());
    }

    void backupRefusals_data() {
        // button, the path typed, Yes/No answers (1/0), the start of each text shown.
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::newRow("backup without path")
            << u"cmbBackup"_s << u"  "_s << QList<int>{} << QStringList{"Please insert PDD file path!"};
        QTest::newRow("backup not confirmed") << u"cmbBackup"_s << u"<dir>/dump.pdd"_s << QList<int>{0}
                                              << QStringList{"Confirm database backup?"};
        QTest::newRow("restore file not a dump")
            << u"cmbRestore"_s << u"<dir>/notes.pdd"_s << QList<int>{}
            << QStringList{
                   "<dir>/notes.pdd is not a SBK backup files or is corrupted! Restore process aborted!"};
        QTest::newRow("restore, No to the second question")
            << u"cmbRestore"_s << u"<dump>"_s << QList<int>{1, 0}
            << QStringList{"Restore file has been correctly checked. Confirm restore to SBK database?",
                           "Warning: current data will be lost! Confirm restore to SBK database?"};
    }

    void backupRefusals() {
        QFETCH(QString, button);
        QFETCH(QString, path);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, asked);
        Fixture f(1);
        const QString dir = QFileInfo(f.env.path(u"x"_s)).absolutePath();
        f.env.writeFile(u"notes.pdd"_s, "SBK BACKUP\r\nsomething else\r\n");
        const QString dump = PddBackup::targetPath(f.env.path(u"good.pdd"_s));
        PddBackup::backup(f.module.connection(), dump);
        addStyles(f.module, 1);
        answerYesNo(f.prompt, answers);
        frmBckpRstr window(f.module, f.prompt);
        window.show();
        path.replace(u"<dir>"_s, dir).replace(u"<dump>"_s, dump);
        child<QLineEdit>(&window, button == "cmbBackup"_L1 ? u"txtField_0"_s : u"txtField_1"_s)
            ->setText(path);
        click(&window, button);

        QCOMPARE(f.prompt.texts().size(), asked.size());
        for (int i = 0; i < asked.size(); ++i)
            QVERIFY2(f.prompt.texts().at(i).startsWith(asked[i].replace(u"<dir>"_s, dir)),
                     qPrintable(f.prompt.texts().at(i)));
        for (const QString& name : {u"/dump.pdd"_s, u"/dump.txt"_s})
            QVERIFY(!QFileInfo::exists(PddBackup::targetPath(dir + name)));
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), 2);
    }

    void backupThenRestoreFromMainWindow() {
        Fixture f(2);
        f.module.BackupPath = f.env.path(u"dump.pdd"_s);
        addBank(f.module, u"MY BANK"_s, {2, 1});
        // Written by another program: a text a PDD file cannot carry does not stop the backup.
        QSqlQuery(f.module.connection())
            .exec(u"UPDATE KORFStyles SET StyleAuthor = char(26085) WHERE StyleProg = 1"_s);

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
        QCOMPARE(f.prompt.texts().mid(0, 2),
                 (QStringList{u"Confirm database backup?"_s,
                              u"SBK database backup completed without errors!\n\n"_s + f.module.BackupPath}));
        QVERIFY(f.prompt.texts().value(2).endsWith(u"\nstyle 1 (S001): author"_s));
        QCOMPARE(f.prompt.asked().value(2).icon, Prompt::Icon::Exclamation);
        QCOMPARE(progressMaximum, 3); // one bank and two styles
        QVERIFY(!progressShownAfter);

        // Change everything, then restore.
        QSqlQuery(f.module.connection()).exec(u"DELETE FROM KORFBANKS"_s);
        QSqlQuery(f.module.connection()).exec(u"DELETE FROM KORFSTYLES"_s);
        addStyle(f.module, u"Intruder"_s);
        f.prompt.clear();
        answerYesNo(f.prompt, {1, 1});
        button = u"cmbRestore"_s;
        click(&main, u"cmdMenu_3"_s);
        QCOMPARE(f.prompt.texts().value(2), u"SBK database restore completed without errors!"_s);

        // The database is back as it was backed up; the engine's own tests check every byte.
        QCOMPARE(countRows(f.module, u"KORFSTYLES"_s), 2);
        QCOMPARE(countRows(f.module, u"KORFBANKS"_s), 1);
        f.module.refreshListing();
        QCOMPARE(f.module.StyleRecordset.row(0).StyleName1, u"S001"_s);
    }
};

QTEST_MAIN(ApplicationTest)
#include "tst_gui_application.moc"
