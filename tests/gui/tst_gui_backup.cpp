// The backup / restore window over the PDD engines, opened from the main window.

#include "core/frmMain.h"
#include "core/WindowOpener.h"
#include "GuiTestData.h"
#include "interchange/frmBckpRstr.h"
#include "interchange/PddBackup.h"
#include "ScriptedPrompt.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace guitest;

class BackupWindowTest : public QObject {
    Q_OBJECT
private slots:
    void layout();
    void refusals_data();
    void refusals();
    void backupThenRestoreFromMainWindow();
    void restoreDeclined_data();
    void restoreDeclined();
};

void BackupWindowTest::layout() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    module.BackupPath = QStringLiteral("/backups/SBK.PDD");
    ScriptedPrompt prompt;
    frmBckpRstr window(module, prompt);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Backup / Restore SBK database"));
    QCOMPARE(child<QLabel>(&window, QStringLiteral("lbDesc_1"))->text(),
             QStringLiteral("Backup database to ... "));
    QCOMPARE(child<QLabel>(&window, QStringLiteral("lbDesc_0"))->text(),
             QStringLiteral("Restore database from ... "));
    QCOMPARE(child<QLineEdit>(&window, QStringLiteral("txtField_0"))->text(), module.BackupPath);
    QCOMPARE(child<QLineEdit>(&window, QStringLiteral("txtField_1"))->text(), module.BackupPath);
    QCOMPARE(child<QPushButton>(&window, QStringLiteral("cmbBackup"))->toolTip(),
             QStringLiteral("Backup database to PDD file"));
    QCOMPARE(child<QPushButton>(&window, QStringLiteral("cmbRestore"))->toolTip(),
             QStringLiteral("Restore database from PDD file"));
    QCOMPARE(child<QPushButton>(&window, QStringLiteral("cmbExit"))->toolTip(), QStringLiteral("Exit"));
    QVERIFY(!child<QLabel>(&window, QStringLiteral("lbCheck"))->isVisible());
    QCOMPARE(child<QLabel>(&window, QStringLiteral("lbCheck"))->text(), QStringLiteral("CHECKING"));
    QVERIFY(!child<QProgressBar>(&window, QStringLiteral("ProgressBar1"))->isVisible());
    prompt.answerFile(QStringLiteral("/x/chosen.pdd")).answerFile(QString());
    click(&window, QStringLiteral("cmdSearch_1"));
    click(&window, QStringLiteral("cmdSearch_0"));
    QCOMPARE(prompt.asked().at(0).text, QStringLiteral("SBK Database Dump (*.PDD)|*.PDD"));
    QCOMPARE(child<QLineEdit>(&window, QStringLiteral("txtField_1"))->text(),
             QStringLiteral("/x/chosen.pdd"));
    QCOMPARE(child<QLineEdit>(&window, QStringLiteral("txtField_0"))->text(), module.BackupPath);
    click(&window, QStringLiteral("cmbExit"));
    QVERIFY(!window.isVisible());
}

void BackupWindowTest::refusals_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("asked");
    const QString insert = QStringLiteral("Please insert PDD file path!");
    QTest::newRow("backup without path")
        << QStringLiteral("cmbBackup") << QStringLiteral("  ") << QList<int>{} << QStringList{insert};
    QTest::newRow("backup, other extension, No")
        << QStringLiteral("cmbBackup") << QStringLiteral("<dir>/dump.txt") << QList<int>{0}
        << QStringList{QStringLiteral("File extension is not PDD. Confirm backup file name?")};
    QTest::newRow("backup not confirmed")
        << QStringLiteral("cmbBackup") << QStringLiteral("<dir>/dump.pdd") << QList<int>{0}
        << QStringList{QStringLiteral("Confirm database backup?")};
    QTest::newRow("restore without path")
        << QStringLiteral("cmbRestore") << QString() << QList<int>{} << QStringList{insert};
    QTest::newRow("restore file missing")
        << QStringLiteral("cmbRestore") << QStringLiteral("<dir>/none.pdd") << QList<int>{}
        << QStringList{QStringLiteral("Can't find restore file!")};
    QTest::newRow("restore file not a dump")
        << QStringLiteral("cmbRestore") << QStringLiteral("<dir>/notes.pdd") << QList<int>{}
        << QStringList{QStringLiteral(
               "<dir>/notes.pdd is not a SBK backup files or is corrupted! Restore process aborted!")};
}

void BackupWindowTest::refusals() {
    QFETCH(QString, button);
    QFETCH(QString, path);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, asked);
    TestEnvironment env;
    env.writeFile(QStringLiteral("notes.pdd"), "SBK BACKUP\r\nsomething else\r\n");
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyles(module, 2);
    ScriptedPrompt prompt;
    for (int a : answers)
        prompt.answer(a ? Prompt::Answer::Yes : Prompt::Answer::No);
    frmBckpRstr window(module, prompt);
    window.show();
    const QString dir = env.path(QString()).chopped(1);
    path.replace(QStringLiteral("<dir>"), dir);
    child<QLineEdit>(&window, button == QLatin1String("cmbBackup") ? QStringLiteral("txtField_0")
                                                                   : QStringLiteral("txtField_1"))
        ->setText(path);
    click(&window, button);
    QCOMPARE(prompt.asked().size(), asked.size());
    for (int i = 0; i < asked.size(); ++i)
        QVERIFY2(
            prompt.asked().at(i).text.startsWith(QString(asked.at(i)).replace(QStringLiteral("<dir>"), dir)),
            qPrintable(prompt.asked().at(i).text));
    if (answers.isEmpty())
        QCOMPARE(prompt.asked().constLast().icon, Prompt::Icon::Critical);
    QVERIFY(!QFileInfo::exists(PddBackup::targetPath(dir + QStringLiteral("/dump.pdd"))));
    QVERIFY(!QFileInfo::exists(PddBackup::targetPath(dir + QStringLiteral("/dump.txt"))));
    QVERIFY(!child<QLabel>(&window, QStringLiteral("lbCheck"))->isVisible());
    QCOMPARE(countRows(module, QStringLiteral("KORFSTYLES")), 2);
}

void BackupWindowTest::backupThenRestoreFromMainWindow() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    const QByteArray content("line one\r\nline two\nTABLE KORFSTYLES\r\n\x00\xff", 44);
    const qint32 a = addStyle(module, QStringLiteral("Alpha"), QStringLiteral("first"), QStringLiteral("POP"),
                              QStringLiteral("8BEAT"), content, QByteArray("second block"));
    const qint32 b = addStyle(module, QStringLiteral("Beta"));
    addBank(module, QStringLiteral("MY BANK"), {b, a});
    const QString typed = env.path(QStringLiteral("dump.pdd"));

    ScriptedPrompt prompt;
    frmMain main(module, prompt);
    QString step;
    int progressMaximum = -1;
    bool progressShownAfter = true;
    WindowOpener::ScopedHook hook([&](QDialog& dialog) {
        auto* window = qobject_cast<frmBckpRstr*>(&dialog);
        if (!window)
            return int(QDialog::Rejected);
        window->show();
        auto* bar = child<QProgressBar>(window, QStringLiteral("ProgressBar1"));
        if (step == QLatin1String("backup")) {
            child<QLineEdit>(window, QStringLiteral("txtField_0"))->setText(typed);
            click(window, QStringLiteral("cmbBackup"));
        } else {
            child<QLineEdit>(window, QStringLiteral("txtField_1"))->setText(PddBackup::targetPath(typed));
            click(window, QStringLiteral("cmbRestore"));
        }
        progressMaximum = bar->maximum();
        progressShownAfter = bar->isVisible();
        click(window, QStringLiteral("cmbExit"));
        return window->result();
    });

    step = QStringLiteral("backup");
    prompt.answer(Prompt::Answer::Yes);
    click(&main, QStringLiteral("cmdMenu_3"));
    QCOMPARE(prompt.texts(), (QStringList{QStringLiteral("Confirm database backup?"),
                                          QStringLiteral("SBK database backup completed without errors!")}));
    QCOMPARE(prompt.asked().at(1).icon, Prompt::Icon::None);
    QVERIFY(QFileInfo::exists(PddBackup::targetPath(typed)));
    QCOMPARE(progressMaximum, 3); // one bank and two styles
    QVERIFY(!progressShownAfter);

    // Change everything, then restore.
    {
        QSqlQuery query(module.connection());
        QVERIFY(query.exec(QStringLiteral("DELETE FROM KORFSTYLES")));
        QVERIFY(query.exec(QStringLiteral("DELETE FROM KORFBANKS")));
    }
    addStyle(module, QStringLiteral("Intruder"));
    prompt.clear();
    prompt.answer(Prompt::Answer::Yes).answer(Prompt::Answer::Yes);
    step = QStringLiteral("restore");
    click(&main, QStringLiteral("cmdMenu_3"));
    QCOMPARE(prompt.texts(),
             (QStringList{
                 QStringLiteral("Restore file has been correctly checked. Confirm restore to SBK database?"),
                 QStringLiteral("Warning: current data will be lost! Confirm restore to SBK database?"),
                 QStringLiteral("SBK database restore completed without errors!")}));
    QVERIFY(!progressShownAfter);

    QCOMPARE(countRows(module, QStringLiteral("KORFSTYLES")), 2);
    DbKORFStyle style(module.connection());
    style.setStyleProg(a);
    QVERIFY(style.GetKORFStyles());
    QCOMPARE(style.StyleName1(), QStringLiteral("Alpha"));
    QCOMPARE(style.StyleContent1(), content);
    QCOMPARE(style.StyleContent2(), QByteArray("second block"));
    QCOMPARE(style.StyleFamily(), QStringLiteral("POP"));
    DbKORFBank bank(module.connection());
    bank.setBankProg(1);
    QVERIFY(bank.GetKORFBanks());
    QCOMPARE(bank.BankName(), QStringLiteral("MY BANK"));
    QCOMPARE(bank.BankStyle(1), b);
    QCOMPARE(bank.BankStyle(2), a);
}

void BackupWindowTest::restoreDeclined_data() {
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("questions");
    QTest::newRow("No to the first question") << QList<int>{0} << 1;
    QTest::newRow("No to the second question") << QList<int>{1, 0} << 2;
}

void BackupWindowTest::restoreDeclined() {
    QFETCH(QList<int>, answers);
    QFETCH(int, questions);
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyles(module, 1);
    const QString dump = PddBackup::targetPath(env.path(QStringLiteral("dump.pdd")));
    PddBackup::backup(module.connection(), dump);
    addStyles(module, 2);
    ScriptedPrompt prompt;
    for (int a : answers)
        prompt.answer(a ? Prompt::Answer::Yes : Prompt::Answer::No);
    frmBckpRstr window(module, prompt);
    window.show();
    child<QLineEdit>(&window, QStringLiteral("txtField_1"))->setText(dump);
    click(&window, QStringLiteral("cmbRestore"));
    QCOMPARE(prompt.asked().size(), questions);
    for (const ScriptedPrompt::Asked& asked : prompt.asked()) {
        QCOMPARE(asked.icon, Prompt::Icon::Question);
        QCOMPARE(asked.defaultButton, Prompt::Answer::No);
    }
    QVERIFY(!child<QLabel>(&window, QStringLiteral("lbCheck"))->isVisible());
    QCOMPARE(countRows(module, QStringLiteral("KORFSTYLES")), 3);
}

QTEST_MAIN(BackupWindowTest)
#include "tst_gui_backup.moc"
