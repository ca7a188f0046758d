// Start-up loop, reconnection through the parameters dialog, the shared file dialog filters and
// the orderly end.

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
    void defaultDatabasePresent();
    void emptyAnswerThenNo();
    void emptyAnswerThenYesThenPath();
    void missingPathAskedAgainAtOnce();
    void storedPathThatCannotOpen();
    void reconnectAfterDatabasePathChange();
    void sameDatabasePathKeepsConnection();
    void parameterChecks_data();
    void parameterChecks();
    void parametersKeepCaseAndTrim();
    void parametersExitStoresNothing();
    void parametersRefuseForeignDatabase();
    void parametersSearchButtons();
    void fileDialogFilters();
    void exitApplicationClosesDatabase();
};

void StartUpTest::defaultDatabasePresent() {
    TestEnvironment env;
    const QString path = env.createDatabase(QStringLiteral("SBK.MDB"));
    SBKSettings settings;
    SBKModule module;
    ScriptedPrompt prompt;
    QVERIFY(StartUp::Main(settings, module, prompt, path));
    QVERIFY(prompt.asked().isEmpty());
    QCOMPARE(settings.value(SBKSettings::Path, SBKSettings::Database), path);
    QVERIFY(module.isConnected());
    QVERIFY(module.StyleTable && module.BankTable);
}

void StartUpTest::emptyAnswerThenNo() {
    TestEnvironment env;
    const QString missing = env.path(QStringLiteral("SBK.MDB"));
    SBKSettings settings;
    SBKModule module;
    ScriptedPrompt prompt;
    prompt.answerText(QString()).answer(Prompt::Answer::No);
    QVERIFY(!StartUp::Main(settings, module, prompt, missing));
    QCOMPARE(prompt.asked().size(), 2);
    QCOMPARE(prompt.asked().at(0).kind, ScriptedPrompt::Kind::Input);
    QCOMPARE(prompt.asked().at(0).text,
             QStringLiteral("Please insert database path (Example: %1)").arg(StartUp::examplePath()));
    QCOMPARE(prompt.asked().at(0).title, QStringLiteral("SBK"));
    QCOMPARE(prompt.asked().at(0).proposed, missing);
    QCOMPARE(prompt.asked().at(1).text,
             QStringLiteral("A database path is needed or SBK cannot continue. Try again?"));
    QCOMPARE(prompt.asked().at(1).icon, Prompt::Icon::Critical);
    QCOMPARE(prompt.asked().at(1).buttons, Prompt::Buttons::YesNo);
    QVERIFY(settings.value(SBKSettings::Path, SBKSettings::Database).isEmpty());
    QVERIFY(!module.isConnected());
}

void StartUpTest::emptyAnswerThenYesThenPath() {
    TestEnvironment env;
    const QString existing = env.createDatabase(QStringLiteral("mine.mdb"));
    SBKSettings settings;
    SBKModule module;
    ScriptedPrompt prompt;
    // A cancelled box counts as an empty answer.
    prompt.answerText(std::nullopt).answer(Prompt::Answer::Yes).answerText(existing);
    QVERIFY(StartUp::Main(settings, module, prompt, env.path(QStringLiteral("SBK.MDB"))));
    QCOMPARE(prompt.asked().size(), 3);
    QCOMPARE(prompt.asked().at(2).proposed, QString());
    QCOMPARE(settings.value(SBKSettings::Path, SBKSettings::Database), existing);
    QCOMPARE(module.connection().databaseName(), existing);
}

void StartUpTest::missingPathAskedAgainAtOnce() {
    TestEnvironment env;
    const QString existing = env.createDatabase(QStringLiteral("mine.mdb"));
    const QString nowhere = env.path(QStringLiteral("nowhere/none.mdb"));
    SBKSettings settings;
    SBKModule module;
    ScriptedPrompt prompt;
    prompt.answerText(nowhere).answerText(existing);
    QVERIFY(StartUp::Main(settings, module, prompt, env.path(QStringLiteral("SBK.MDB"))));
    QCOMPARE(prompt.asked().size(), 2); // no message between the two input boxes
    QCOMPARE(prompt.asked().at(1).kind, ScriptedPrompt::Kind::Input);
    QCOMPARE(prompt.asked().at(1).proposed, nowhere);
    QCOMPARE(settings.value(SBKSettings::Path, SBKSettings::Database), existing);
}

void StartUpTest::storedPathThatCannotOpen() {
    TestEnvironment env;
    SBKSettings settings;
    const QString gone = env.path(QStringLiteral("gone.mdb"));
    settings.setValue(SBKSettings::Path, SBKSettings::Database, gone);
    settings.setValue(SBKSettings::Parameters, SBKSettings::KorgProg, QStringLiteral("/opt/korg"));
    SBKModule module;
    ScriptedPrompt prompt;
    QVERIFY(!StartUp::Main(settings, module, prompt, env.path(QStringLiteral("SBK.MDB"))));
    QCOMPARE(prompt.asked().size(), 1);
    QCOMPARE(prompt.asked().at(0).icon, Prompt::Icon::Critical);
    QVERIFY(prompt.asked().at(0).text.contains(gone));
    QCOMPARE(module.KorgProgramPath, QStringLiteral("/opt/korg"));
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
    module.FilterFields[0] = QStringLiteral("POP");
    module.FilterFields[6] = QStringLiteral("STYLENAME1");

    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    dialog.show();
    auto* field = child<QLineEdit>(&dialog, QStringLiteral("txtField_0"));
    field->clear();
    QTest::keyClicks(field, second);
    click(&dialog, QStringLiteral("cmdOk"));

    QVERIFY(prompt.asked().isEmpty());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(module.DatabasePath, second);
    QCOMPARE(module.connection().databaseName(), second);
    QVERIFY(module.FilterWhere.isEmpty());
    QVERIFY(module.FilterOrder.isEmpty());
    for (const QString& f : module.FilterFields)
        QVERIFY(f.isEmpty());
    module.refreshListing();
    QCOMPARE(module.StyleRecordset.RecordCount(), 2);
    QCOMPARE(module.StyleRecordset.row(0).StyleName1, QStringLiteral("ZETA")); // by style number
    QCOMPARE(SBKSettings().value(SBKSettings::Path, SBKSettings::Database), second);
}

void StartUpTest::sameDatabasePathKeepsConnection() {
    TestEnvironment env;
    const QString path = env.createDatabase();
    SBKModule module;
    connectTo(module, path);
    module.FilterWhere = QStringLiteral("STYLECAT = 'POP'");
    const QString connectionName = module.connection().connectionName();
    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    child<QLineEdit>(&dialog, QStringLiteral("txtField_0"))
        ->setText(QStringLiteral("  ") + path + QStringLiteral(" "));
    dialog.cmdOk_Click();
    QCOMPARE(module.connection().connectionName(), connectionName);
    QCOMPARE(module.FilterWhere, QStringLiteral("STYLECAT = 'POP'"));
    QCOMPARE(module.DatabasePath, frmParameters::storedForm(path));
}

void StartUpTest::parameterChecks_data() {
    QTest::addColumn<QString>("database");
    QTest::addColumn<QString>("utility");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty database path")
        << QStringLiteral("   ") << QString() << QStringLiteral("Database path is mandatory!");
    QTest::newRow("missing database")
        << QStringLiteral("<missing>") << QString() << QStringLiteral("Database file not found!");
    QTest::newRow("database is a folder")
        << QStringLiteral("<folder>") << QString() << QStringLiteral("Database file not found!");
    QTest::newRow("missing utility") << QStringLiteral("<db>") << QStringLiteral("<missing>")
                                     << QStringLiteral("KORG utility not found!");
}

void StartUpTest::parameterChecks() {
    QFETCH(QString, database);
    QFETCH(QString, utility);
    QFETCH(QString, message);
    TestEnvironment env;
    const QString path = env.createDatabase();
    auto resolve = [&](QString text) {
        text.replace(QStringLiteral("<missing>"), env.path(QStringLiteral("missing.bin")));
        text.replace(QStringLiteral("<folder>"), env.path(QString()));
        text.replace(QStringLiteral("<db>"), path);
        return text;
    };
    SBKModule module;
    connectTo(module, path);
    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    dialog.show();
    child<QLineEdit>(&dialog, QStringLiteral("txtField_0"))->setText(resolve(database));
    child<QLineEdit>(&dialog, QStringLiteral("txtField_1"))->setText(resolve(utility));
    click(&dialog, QStringLiteral("cmdOk"));
    QCOMPARE(prompt.texts(), QStringList{message});
    QCOMPARE(prompt.asked().at(0).title, QStringLiteral("Save Parameters Value"));
    QCOMPARE(prompt.asked().at(0).icon, Prompt::Icon::Critical);
    QVERIFY(dialog.isVisible());
    QVERIFY(SBKSettings().value(SBKSettings::Path, SBKSettings::Database).isEmpty());
    QCOMPARE(module.DatabasePath, path);
}

void StartUpTest::parametersKeepCaseAndTrim() {
    TestEnvironment env;
    const QString path = env.createDatabase(QStringLiteral("Mixed.mdb"));
    const QString utility = env.writeFile(QStringLiteral("Korg/Utility.exe"), "x");
    SBKModule module;
    connectTo(module, path);
    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    child<QLineEdit>(&dialog, QStringLiteral("txtField_1"))
        ->setText(QStringLiteral(" ") + utility + QStringLiteral(" "));
    child<QLineEdit>(&dialog, QStringLiteral("txtField_2"))->setText(QStringLiteral(" /media/Floppy "));
    child<QLineEdit>(&dialog, QStringLiteral("txtField_3"))->setText(QStringLiteral("/home/Ann/Backup.pdd"));
    dialog.cmdOk_Click();
    QVERIFY(prompt.asked().isEmpty());
    const bool upper = frmParameters::fileSystemIgnoresCase();
    QCOMPARE(module.KorgProgramPath, upper ? utility.toUpper() : utility);
    QCOMPARE(module.FloppyDrive, upper ? QStringLiteral("/MEDIA/FLOPPY") : QStringLiteral("/media/Floppy"));
    QCOMPARE(module.BackupPath,
             upper ? QStringLiteral("/HOME/ANN/BACKUP.PDD") : QStringLiteral("/home/Ann/Backup.pdd"));
    SBKSettings settings;
    QCOMPARE(settings.value(SBKSettings::Parameters, SBKSettings::KorgProg), module.KorgProgramPath);
    QCOMPARE(settings.value(SBKSettings::Parameters, SBKSettings::FloppyDrive), module.FloppyDrive);
    QCOMPARE(settings.value(SBKSettings::Parameters, SBKSettings::SbkBackup), module.BackupPath);
    // Only where case does not matter is a path differing in case the same database.
    QCOMPARE(frmParameters::samePath(path, path.toUpper()), upper);
}

void StartUpTest::parametersExitStoresNothing() {
    TestEnvironment env;
    const QString path = env.createDatabase();
    SBKModule module;
    connectTo(module, path);
    module.BackupPath = QStringLiteral("/old.pdd");
    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    dialog.show();
    QCOMPARE(child<QLineEdit>(&dialog, QStringLiteral("txtField_3"))->text(), QStringLiteral("/old.pdd"));
    child<QLineEdit>(&dialog, QStringLiteral("txtField_3"))->setText(QStringLiteral("/new.pdd"));
    click(&dialog, QStringLiteral("cmdExit"));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(module.BackupPath, QStringLiteral("/old.pdd"));
    QVERIFY(SBKSettings().value(SBKSettings::Parameters, SBKSettings::SbkBackup).isEmpty());
}

void StartUpTest::parametersRefuseForeignDatabase() {
    TestEnvironment env;
    const QString path = env.createDatabase();
    const QString foreign = env.writeFile(QStringLiteral("notes.mdb"), "just some text, not a database");
    SBKModule module;
    connectTo(module, path);
    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    dialog.show();
    child<QLineEdit>(&dialog, QStringLiteral("txtField_0"))->setText(foreign);
    dialog.cmdOk_Click();
    QCOMPARE(prompt.asked().size(), 1);
    QVERIFY(prompt.asked().at(0).text.contains(foreign));
    QVERIFY(dialog.isVisible());
    QCOMPARE(module.DatabasePath, path);
    QVERIFY(module.isConnected());
    QCOMPARE(module.connection().databaseName(), path);
}

void StartUpTest::parametersSearchButtons() {
    TestEnvironment env;
    const QString path = env.createDatabase();
    SBKModule module;
    connectTo(module, path);
    ScriptedPrompt prompt;
    frmParameters dialog(module, prompt);
    dialog.show();
    prompt.answerFile(QStringLiteral("/x/other.mdb"))
        .answerFile(QString())
        .answerFile(QStringLiteral("/x/dump.pdd"));
    click(&dialog, QStringLiteral("cmdSearch_0"));
    click(&dialog, QStringLiteral("cmdSearch_1")); // cancelled: unchanged
    click(&dialog, QStringLiteral("cmdSearch_2"));
    QCOMPARE(prompt.asked().at(0).text, QStringLiteral("Microsoft Database (*.MDB)|*.MDB"));
    QCOMPARE(prompt.asked().at(2).text, QStringLiteral("SBK Database Dump (*.PDD)|*.PDD"));
    QCOMPARE(child<QLineEdit>(&dialog, QStringLiteral("txtField_0"))->text(), QStringLiteral("/x/other.mdb"));
    QCOMPARE(child<QLineEdit>(&dialog, QStringLiteral("txtField_1"))->text(), QString());
    QCOMPARE(child<QLineEdit>(&dialog, QStringLiteral("txtField_3"))->text(), QStringLiteral("/x/dump.pdd"));
    if (!frmParameters::fileSystemIgnoresCase()) {
        // The floppy is a mounted folder here, chosen like the other paths.
        prompt.answerFile(QStringLiteral("/media/floppy"));
        click(&dialog, QStringLiteral("cmdSearch_3"));
        QCOMPARE(prompt.asked().last().kind, ScriptedPrompt::Kind::Folder);
        QCOMPARE(child<QLineEdit>(&dialog, QStringLiteral("txtField_2"))->text(),
                 QStringLiteral("/media/floppy"));
    } else {
        QCOMPARE(child<QLineEdit>(&dialog, QStringLiteral("txtField_2"))->maxLength(), 2);
    }
}

void StartUpTest::fileDialogFilters() {
    const QStringList filters =
        DialogPrompt::nameFilters(QStringLiteral("Single Style File (*.SSF)|*.SSF| All files (*.*)|*.*"));
    QCOMPARE(filters, (QStringList{QStringLiteral("Single Style File (*.SSF) (*.[sS][sS][fF])"),
                                   QStringLiteral("All files (*.*) (*.*)")}));
    const QString pattern = DialogPrompt::nameFilters(QStringLiteral("Styles (*.STY)|*.STY")).constFirst();
    const QString glob = pattern.mid(pattern.lastIndexOf(QLatin1Char('(')) + 1).chopped(1);
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(glob));
    for (const char* name : {"USER01.STY", "user01.sty", "Mixed.Sty"})
        QVERIFY2(re.match(QString::fromLatin1(name)).hasMatch(), name);
    QVERIFY(!re.match(QStringLiteral("user01.pdd")).hasMatch());
}

void StartUpTest::exitApplicationClosesDatabase() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    module.WorkingBankStyles.Add(1, QStringLiteral("A"), QString(), 0, 0, {}, {});
    StartUp::ExitApplication(module);
    QVERIFY(!module.isConnected());
    QVERIFY(!module.StyleTable && !module.BankTable);
    QCOMPARE(module.WorkingBankStyles.Count(), 0);
}

QTEST_MAIN(StartUpTest)
#include "tst_gui_startup.moc"
