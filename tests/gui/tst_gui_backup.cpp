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

using namespace guitest;

class BackupWindowTest : public QObject {
    Q_OBJECT
private slots:
    void refusals_data();
    void refusals();
    void backupThenRestoreFromMainWindow();
};

void BackupWindowTest::refusals_data() {
    // button, the path typed, Yes/No answers (1/0), the texts shown (each may be followed by more).
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("asked");
    const QString insert = QStringLiteral("Please insert PDD file path!");
    const QString checked =
        QStringLiteral("Restore file has been correctly checked. Confirm restore to SBK database?");
    QTest::newRow("backup without path") << "cmbBackup"
                                         << "  " << QList<int>{} << QStringList{insert};
    QTest::newRow("backup, other extension, No")
        << "cmbBackup"
        << "<dir>/dump.txt" << QList<int>{0}
        << QStringList{QStringLiteral("File extension is not PDD. Confirm backup file name?")};
    QTest::newRow("backup not confirmed")
        << "cmbBackup"
        << "<dir>/dump.pdd" << QList<int>{0} << QStringList{QStringLiteral("Confirm database backup?")};
    QTest::newRow("restore without path") << "cmbRestore"
                                          << "" << QList<int>{} << QStringList{insert};
    QTest::newRow("restore file missing")
        << "cmbRestore"
        << "<dir>/none.pdd" << QList<int>{} << QStringList{QStringLiteral("Can't find restore file!")};
    QTest::newRow("restore file not a dump")
        << "cmbRestore"
        << "<dir>/notes.pdd" << QList<int>{}
        << QStringList{QStringLiteral(
               "<dir>/notes.pdd is not a SBK backup files or is corrupted! Restore process aborted!")};
    QTest::newRow("restore, No to the first question") << "cmbRestore"
                                                       << "<dump>" << QList<int>{0} << QStringList{checked};
    QTest::newRow("restore, No to the second question")
        << "cmbRestore"
        << "<dump>" << QList<int>{1, 0}
        << QStringList{checked, QStringLiteral(
                                    "Warning: current data will be lost! Confirm restore to SBK database?")};
}

void BackupWindowTest::refusals() {
    QFETCH(QString, button);
    QFETCH(QString, path);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, asked);
    TestEnvironment env;
    const QString dir = QFileInfo(env.path(QStringLiteral("x"))).absolutePath();
    env.writeFile(QStringLiteral("notes.pdd"), "SBK BACKUP\r\nsomething else\r\n");
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyles(module, 1);
    const QString dump = PddBackup::targetPath(env.path(QStringLiteral("good.pdd")));
    PddBackup::backup(module.connection(), dump);
    addStyles(module, 1);
    ScriptedPrompt prompt;
    for (int a : answers)
        prompt.answer(a ? Prompt::Answer::Yes : Prompt::Answer::No);
    frmBckpRstr window(module, prompt);
    window.show();
    path.replace(QStringLiteral("<dir>"), dir).replace(QStringLiteral("<dump>"), dump);
    const bool backup = button == QLatin1String("cmbBackup");
    child<QLineEdit>(&window, backup ? QStringLiteral("txtField_0") : QStringLiteral("txtField_1"))
        ->setText(path);
    click(&window, button);

    QCOMPARE(prompt.asked().size(), asked.size());
    for (int i = 0; i < asked.size(); ++i) {
        const ScriptedPrompt::Asked& a = prompt.asked().at(i);
        QVERIFY2(a.text.startsWith(QString(asked.at(i)).replace(QStringLiteral("<dir>"), dir)),
                 qPrintable(a.text));
        QCOMPARE(a.icon, answers.isEmpty() ? Prompt::Icon::Critical : Prompt::Icon::Question);
        QCOMPARE(a.title, QStringLiteral("SBK"));
    }
    for (const char* name : {"/dump.pdd", "/dump.txt"})
        QVERIFY(!QFileInfo::exists(PddBackup::targetPath(dir + QString::fromLatin1(name))));
    QVERIFY(!child<QLabel>(&window, QStringLiteral("lbCheck"))->isVisible());
    QVERIFY(!child<QProgressBar>(&window, QStringLiteral("ProgressBar1"))->isVisible());
    QCOMPARE(countRows(module, QStringLiteral("KORFSTYLES")), 2);
}

void BackupWindowTest::backupThenRestoreFromMainWindow() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    module.BackupPath = env.path(QStringLiteral("dump.pdd"));
    const QByteArray content("line one\r\nline two\nTABLE KORFSTYLES\r\n\x00\xff", 44);
    const qint32 a = addStyle(module, QStringLiteral("Alpha"), QStringLiteral("first"), QStringLiteral("POP"),
                              QStringLiteral("8BEAT"), content, QByteArray("second block"));
    const qint32 b = addStyle(module, QStringLiteral("Beta"));
    addBank(module, QStringLiteral("MY BANK"), {b, a});

    ScriptedPrompt prompt;
    frmMain main(module, prompt);
    QString button;
    int progressMaximum = -1;
    bool progressShownAfter = true;
    WindowOpener::ScopedHook hook([&](QDialog& dialog) {
        auto* window = qobject_cast<frmBckpRstr*>(&dialog);
        if (!window)
            return int(QDialog::Rejected);
        window->show();
        // Both fields start with the backup path; the restore reads the name the backup wrote.
        child<QLineEdit>(window, QStringLiteral("txtField_1"))
            ->setText(PddBackup::targetPath(module.BackupPath));
        click(window, button);
        auto* bar = child<QProgressBar>(window, QStringLiteral("ProgressBar1"));
        progressMaximum = bar->maximum();
        progressShownAfter = bar->isVisible();
        click(window, QStringLiteral("cmbExit"));
        return window->result();
    });

    button = QStringLiteral("cmbBackup");
    prompt.answer(Prompt::Answer::Yes);
    click(&main, QStringLiteral("cmdMenu_3"));
    QCOMPARE(prompt.texts(), (QStringList{QStringLiteral("Confirm database backup?"),
                                          QStringLiteral("SBK database backup completed without errors!")}));
    QCOMPARE(prompt.asked().at(1).icon, Prompt::Icon::None);
    QVERIFY(QFileInfo::exists(PddBackup::targetPath(module.BackupPath)));
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
    button = QStringLiteral("cmbRestore");
    click(&main, QStringLiteral("cmdMenu_3"));
    QCOMPARE(prompt.texts().size(), 3);
    QCOMPARE(prompt.texts().at(2), QStringLiteral("SBK database restore completed without errors!"));
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

QTEST_MAIN(BackupWindowTest)
#include "tst_gui_backup.moc"
