// Start-up loop, the parameters dialog with its reconnection, the file dialog filters and the
// orderly end.

#include "core/DialogPrompt.h"
#include "core/frmParameters.h"
#include "core/SBKSettings.h"
#include "core/StartUp.h"
#include "GuiTestData.h"
#include "ScriptedPrompt.h"

#include <QLineEdit>
#include <QRegularExpression>

using namespace guitest;

class StartUpTest : public QObject {
    Q_OBJECT
private slots:
    void startUpLoop_data();
    void startUpLoop();
    void reconnectAfterDatabasePathChange();
    void parameterChecks_data();
    void parameterChecks();
    void parametersKeepCaseAndTrim();
    void fileDialogFilters();
};

void StartUpTest::startUpLoop_data() {
    // script: answers in order, "db" / "nowhere" / "" / "cancel" for input boxes, "yes" / "no"
    // for the question. asked: "input:<proposal>" or "question" for each box shown.
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("defaultExists");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<QString>("saved");
    QTest::newRow("default file present")
        << QString() << true << QStringList() << QStringList() << true << QStringLiteral("default");
    QTest::newRow("empty answer, No") << QString() << false << QStringList{"", "no"}
                                      << QStringList{"input:default", "question"} << false << QString();
    QTest::newRow("cancelled, Yes, then a file")
        << QString() << false << QStringList{"cancel", "yes", "db"}
        << QStringList{"input:default", "question", "input:"} << true << QStringLiteral("db");
    QTest::newRow("missing file asked again at once")
        << QString() << false << QStringList{"nowhere", "db"} << QStringList{"input:default", "input:nowhere"}
        << true << QStringLiteral("db");
    QTest::newRow("stored path used as it stands")
        << QStringLiteral("db") << false << QStringList() << QStringList() << true << QStringLiteral("db");
}

void StartUpTest::startUpLoop() {
    QFETCH(QString, stored);
    QFETCH(bool, defaultExists);
    QFETCH(QStringList, script);
    QFETCH(QStringList, asked);
    QFETCH(bool, goesOn);
    QFETCH(QString, saved);
    TestEnvironment env;
    const QMap<QString, QString> paths{{QStringLiteral("default"), env.path(QStringLiteral("SBK.MDB"))},
                                       {QStringLiteral("db"), env.createDatabase(QStringLiteral("mine.mdb"))},
                                       {QStringLiteral("nowhere"), env.path(QStringLiteral("no/such.mdb"))}};
    if (defaultExists)
        Database::createEmpty(paths[QStringLiteral("default")]);
    SBKSettings settings;
    if (!stored.isEmpty())
        settings.setValue(SBKSettings::Path, SBKSettings::Database, paths.value(stored));
    ScriptedPrompt prompt;
    for (const QString& step : script) {
        if (step == QLatin1String("yes") || step == QLatin1String("no"))
            prompt.answer(step == QLatin1String("yes") ? Prompt::Answer::Yes : Prompt::Answer::No);
        else
            prompt.answerText(step == QLatin1String("cancel") ? std::nullopt
                                                              : std::optional<QString>(paths.value(step)));
    }
    SBKModule module;
    QCOMPARE(StartUp::Main(settings, module, prompt, paths[QStringLiteral("default")]), goesOn);

    QStringList seen;
    for (const ScriptedPrompt::Asked& a : prompt.asked()) {
        if (a.kind == ScriptedPrompt::Kind::Input) {
            QCOMPARE(a.text,
                     QStringLiteral("Please insert database path (Example: %1)").arg(StartUp::examplePath()));
            seen << QStringLiteral("input:") + paths.key(a.proposed);
        } else {
            QCOMPARE(a.text, QStringLiteral("A database path is needed or SBK cannot continue. Try again?"));
            QCOMPARE(a.icon, Prompt::Icon::Critical);
            QCOMPARE(a.buttons, Prompt::Buttons::YesNo);
            seen << QStringLiteral("question");
        }
        QCOMPARE(a.title, QStringLiteral("SBK"));
    }
    QCOMPARE(seen, asked);
    QCOMPARE(settings.value(SBKSettings::Path, SBKSettings::Database), paths.value(saved));
    QCOMPARE(module.isConnected(), goesOn);
    if (goesOn)
        QVERIFY(module.StyleTable && module.BankTable);
}

void StartUpTest::reconnectAfterDatabasePathChange() {
    TestEnvironment env;
    const QString first = env.createDatabase(QStringLiteral("first.mdb"));
    const QString second = env.createDatabase(QStringLiteral("second.mdb"));
    SBKModule module;
    connectTo(module, second);
    addStyle(module, QStringLiteral("ZETA"));
    addStyle(module, QStringLiteral("ALPHA"));
    connectTo(module, first);
    module.FilterWhere = QStringLiteral("STYLECAT = 'POP'");
    module.FilterOrder = QStringLiteral("STYLENAME1");
    module.FilterFields[0] = module.FilterFields[6] = QStringLiteral("x");

    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    dialog.show();
    // The same path again (trimmed) keeps the connection and the filter.
    const QString connectionName = module.connection().connectionName();
    child<QLineEdit>(&dialog, QStringLiteral("txtField_0"))->setText(QStringLiteral(" ") + first);
    dialog.cmdOk_Click();
    QCOMPARE(module.connection().connectionName(), connectionName);
    QCOMPARE(module.FilterWhere, QStringLiteral("STYLECAT = 'POP'"));

    // A file that is no database is refused; the program stays on its database.
    const QString foreign = env.writeFile(QStringLiteral("notes.mdb"), "just some text");
    frmParameters again(module, prompt);
    again.show();
    child<QLineEdit>(&again, QStringLiteral("txtField_0"))->setText(foreign);
    again.cmdOk_Click();
    QCOMPARE(prompt.asked().size(), 1);
    QVERIFY(prompt.asked().at(0).text.contains(foreign));
    QVERIFY(again.isVisible());
    QCOMPARE(module.connection().databaseName(), first);

    // A changed path switches databases at once, with the filter cleared.
    auto* field = child<QLineEdit>(&again, QStringLiteral("txtField_0"));
    field->clear();
    QTest::keyClicks(field, second);
    click(&again, QStringLiteral("cmdOk"));
    QVERIFY(!again.isVisible());
    QCOMPARE(module.connection().databaseName(), second);
    QVERIFY(module.FilterWhere.isEmpty() && module.FilterOrder.isEmpty());
    QVERIFY(std::all_of(module.FilterFields.begin(), module.FilterFields.end(),
                        [](auto& f) { return f.isEmpty(); }));
    module.refreshListing();
    QCOMPARE(module.StyleRecordset.RecordCount(), 2);
    QCOMPARE(module.StyleRecordset.row(0).StyleName1, QStringLiteral("ZETA")); // by style number
    QCOMPARE(SBKSettings().value(SBKSettings::Path, SBKSettings::Database), second);
}

void StartUpTest::parameterChecks_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("utility");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty database path") << "   "
                                         << ""
                                         << "Database path is mandatory!";
    QTest::newRow("missing database") << "<missing>"
                                      << ""
                                      << "Database file not found!";
    QTest::newRow("database is a folder") << "<folder>"
                                          << ""
                                          << "Database file not found!";
    QTest::newRow("missing utility") << "<db>"
                                     << "<missing>"
                                     << "KORG utility not found!";
    QTest::newRow("Exit") << "<db>"
                          << "<missing>"
                          << "";
}

void StartUpTest::parameterChecks() {
    QFETCH(QString, database);
    QFETCH(QString, utility);
    QFETCH(QString, message);
    TestEnvironment env;
    const QString path = env.createDatabase();
    auto resolve = [&](QString text) {
        return text.replace(QStringLiteral("<missing>"), env.path(QStringLiteral("missing.bin")))
            .replace(QStringLiteral("<folder>"), env.path(QString()))
            .replace(QStringLiteral("<db>"), path);
    };
    SBKModule module;
    connectTo(module, path);
    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    dialog.show();
    child<QLineEdit>(&dialog, QStringLiteral("txtField_0"))->setText(resolve(database));
    child<QLineEdit>(&dialog, QStringLiteral("txtField_1"))->setText(resolve(utility));
    click(&dialog, message.isEmpty() ? QStringLiteral("cmdExit") : QStringLiteral("cmdOk"));
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    if (!message.isEmpty()) {
        QCOMPARE(prompt.texts(), QStringList{message});
        QCOMPARE(prompt.asked().at(0).title, QStringLiteral("Save Parameters Value"));
        QCOMPARE(prompt.asked().at(0).icon, Prompt::Icon::Critical);
    }
    QVERIFY(SBKSettings().value(SBKSettings::Path, SBKSettings::Database).isEmpty());
    QVERIFY(module.KorgProgramPath.isEmpty());
}

void StartUpTest::parametersKeepCaseAndTrim() {
    TestEnvironment env;
    const QString path = env.createDatabase(QStringLiteral("Mixed.mdb"));
    const QString utility = env.writeFile(QStringLiteral("Korg/Utility.exe"), "x");
    SBKModule module;
    connectTo(module, path);
    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    child<QLineEdit>(&dialog, QStringLiteral("txtField_1"))->setText(QStringLiteral(" ") + utility);
    // The floppy is a mounted folder chosen like the other paths (a drive letter on Windows).
    if (!frmParameters::fileSystemIgnoresCase()) {
        prompt.answerFile(QStringLiteral(" /media/Floppy "));
        click(&dialog, QStringLiteral("cmdSearch_3"));
        QCOMPARE(prompt.asked().at(0).kind, ScriptedPrompt::Kind::Folder);
    } else {
        QCOMPARE(child<QLineEdit>(&dialog, QStringLiteral("txtField_2"))->maxLength(), 2);
        child<QLineEdit>(&dialog, QStringLiteral("txtField_2"))->setText(QStringLiteral(" /media/Floppy "));
    }
    prompt.answerFile(QStringLiteral("/home/Ann/Backup.pdd"));
    click(&dialog, QStringLiteral("cmdSearch_2"));
    QCOMPARE(prompt.asked().constLast().text, QStringLiteral("SBK Database Dump (*.PDD)|*.PDD"));
    dialog.cmdOk_Click();
    QCOMPARE(prompt.asked().size(), frmParameters::fileSystemIgnoresCase() ? 1 : 2);

    const auto expected = [](const QString& s) {
        return frmParameters::fileSystemIgnoresCase() ? s.toUpper() : s;
    };
    QCOMPARE(module.KorgProgramPath, expected(utility));
    QCOMPARE(module.FloppyDrive, expected(QStringLiteral("/media/Floppy")));
    QCOMPARE(module.BackupPath, expected(QStringLiteral("/home/Ann/Backup.pdd")));
    SBKSettings settings;
    QCOMPARE(settings.value(SBKSettings::Parameters, SBKSettings::KorgProg), module.KorgProgramPath);
    QCOMPARE(settings.value(SBKSettings::Parameters, SBKSettings::FloppyDrive), module.FloppyDrive);
    QCOMPARE(settings.value(SBKSettings::Parameters, SBKSettings::SbkBackup), module.BackupPath);
    // Only where case does not matter is a path differing in case the same database.
    QCOMPARE(frmParameters::samePath(path, path.toUpper()), frmParameters::fileSystemIgnoresCase());
}

void StartUpTest::fileDialogFilters() {
    QCOMPARE(
        DialogPrompt::nameFilters(QStringLiteral("Single Style File (*.SSF)|*.SSF| All files (*.*)|*.*")),
        (QStringList{QStringLiteral("Single Style File (*.SSF) (*.[sS][sS][fF])"),
                     QStringLiteral("All files (*.*) (*.*)")}));
    const QString filter = DialogPrompt::nameFilters(QStringLiteral("Styles (*.STY)|*.STY")).constFirst();
    const QString glob = filter.mid(filter.lastIndexOf(QLatin1Char('(')) + 1).chopped(1);
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(glob));
    for (const char* name : {"USER01.STY", "user01.sty", "Mixed.Sty"})
        QVERIFY2(re.match(QString::fromLatin1(name)).hasMatch(), name);
    QVERIFY(!re.match(QStringLiteral("user01.pdd")).hasMatch());
}

QTEST_MAIN(StartUpTest)
#include "tst_gui_startup.moc"
