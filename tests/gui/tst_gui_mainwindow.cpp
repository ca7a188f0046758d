// The main window with its hidden complete deletion, the about box, the log window and the help
// that F1 opens anywhere.

#include "core/frmAbout.h"
#include "core/frmLog.h"
#include "core/frmMain.h"
#include "core/HelpKeyFilter.h"
#include "core/HelpViewer.h"
#include "core/WindowOpener.h"
#include "GuiTestData.h"
#include "ScriptedPrompt.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBrowser>

using namespace guitest;

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)
Q_DECLARE_METATYPE(Qt::MouseButton)
Q_DECLARE_METATYPE(std::optional<QString>)

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void buttonsOpenTheirWindows();
    void hiddenDeletion_data();
    void hiddenDeletion();
    void aboutClosesOnClickAndKey_data();
    void aboutClosesOnClickAndKey();
    void logClosesOnPlainKeys_data();
    void logClosesOnPlainKeys();
    void helpOnF1();
};

void MainWindowTest::buttonsOpenTheirWindows() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    ScriptedPrompt prompt;
    frmMain window(module, prompt);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("SBK 1.2"));
    QCOMPARE(child<QLabel>(&window, QStringLiteral("Picture1"))->pixmap().size(), QSize(200, 63));
    QStringList opened;
    bool ownedByMain = true;
    WindowOpener::ScopedHook hook([&](QDialog& dialog) {
        opened << QString::fromLatin1(dialog.metaObject()->className());
        ownedByMain = ownedByMain && dialog.parentWidget() == &window;
        return int(QDialog::Rejected);
    });
    for (int i = 0; i < 4; ++i)
        click(&window, QStringLiteral("cmdMenu_%1").arg(i));
    QCOMPARE(opened, (QStringList{QStringLiteral("frmStyles"), QStringLiteral("frmAbout"),
                                  QStringLiteral("frmParameters"), QStringLiteral("frmBckpRstr")}));
    QVERIFY(ownedByMain);
    QVERIFY(prompt.asked().isEmpty());
    click(&window, QStringLiteral("cmdMenu_4")); // Exit: the database is closed, the window goes
    QVERIFY(!module.isConnected());
    QVERIFY(!window.isVisible());
}

void MainWindowTest::hiddenDeletion_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<std::optional<QString>>("code");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("deleted");

    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    const QString codeQuestion = QStringLiteral("WARNING: insert password for complete database deletion");
    const QString sure =
        QStringLiteral("WARNING: All data inside SBK database will be deleted. Are you sure?");
    const std::optional<QString> code = frmMain::AccessCode;
    QTest::newRow("plain click") << Qt::LeftButton << Qt::KeyboardModifiers() << code << true << QStringList()
                                 << false;
    QTest::newRow("ctrl and alt only")
        << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier) << code << true
        << QStringList() << false;
    QTest::newRow("right button") << Qt::RightButton << all << code << true << QStringList() << false;
    QTest::newRow("code in lower case")
        << Qt::LeftButton << all << std::optional<QString>(QStringLiteral("loop on/off")) << true
        << QStringList{codeQuestion} << false;
    QTest::newRow("cancelled") << Qt::LeftButton << all << std::optional<QString>() << true
                               << QStringList{codeQuestion} << false;
    QTest::newRow("code then No") << Qt::LeftButton << all << code << false << QStringList{codeQuestion, sure}
                                  << false;
    QTest::newRow("code then Yes") << Qt::LeftButton << all << code << true
                                   << QStringList{codeQuestion, sure,
                                                  QStringLiteral("SBK database successfully initialized")}
                                   << true;
}

void MainWindowTest::hiddenDeletion() {
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(std::optional<QString>, code);
    QFETCH(bool, confirm);
    QFETCH(QStringList, asked);
    QFETCH(bool, deleted);

    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    const qint32 a = addStyle(module, QStringLiteral("A"));
    addStyle(module, QStringLiteral("B"));
    addBank(module, QStringLiteral("BANK"), {a});

    ScriptedPrompt prompt;
    prompt.answerText(code).answer(confirm ? Prompt::Answer::Yes : Prompt::Answer::No);
    frmMain window(module, prompt);
    window.show();
    QTest::mouseClick(child<QLabel>(&window, QStringLiteral("Picture1")), button, modifiers);

    QCOMPARE(prompt.texts(), asked);
    if (asked.size() >= 2) {
        QCOMPARE(prompt.asked().at(1).icon, Prompt::Icon::Question);
        QCOMPARE(prompt.asked().at(1).defaultButton, Prompt::Answer::No);
    }
    if (asked.size() == 3)
        QCOMPARE(prompt.asked().at(2).icon, Prompt::Icon::Exclamation);
    QCOMPARE(countRows(module, QStringLiteral("KORFSTYLES")), deleted ? 0 : 2);
    QCOMPARE(countRows(module, QStringLiteral("KORFBANKS")), deleted ? 0 : 1);
    if (deleted) {
        QCOMPARE(module.StyleTable->NextKORFStyle(), 1);
        QCOMPARE(module.BankTable->NextKORFBank(), 1);
    }
}

void MainWindowTest::aboutClosesOnClickAndKey_data() {
    QTest::addColumn<QString>("target");
    for (const char* name : {"Picture1", "Label1_0", "Label1_3", "Label2", "<key>"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void MainWindowTest::aboutClosesOnClickAndKey() {
    QFETCH(QString, target);
    frmAbout about;
    about.show();
    QCOMPARE(child<QLabel>(&about, QStringLiteral("Picture1"))->toolTip(),
             QStringLiteral("Version 1.2 (May, 2006)  - Press a key or a mouse button to exit!"));
    if (target == QStringLiteral("<key>"))
        QTest::keyClick(&about, Qt::Key_Space);
    else
        QTest::mouseClick(child<QLabel>(&about, target), Qt::LeftButton);
    QVERIFY(!about.isVisible());
}

void MainWindowTest::logClosesOnPlainKeys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closes");
    QTest::newRow("Esc") << int(Qt::Key_Escape) << true;
    QTest::newRow("Enter") << int(Qt::Key_Return) << true;
    QTest::newRow("letter") << int(Qt::Key_A) << true;
    QTest::newRow("arrow down") << int(Qt::Key_Down) << false;
}

void MainWindowTest::logClosesOnPlainKeys() {
    QFETCH(int, key);
    QFETCH(bool, closes);
    frmLog log;
    QCOMPARE(log.windowTitle(), QStringLiteral("Log file viewer"));
    log.setText(QStringLiteral("line 1\nline 2"));
    log.show();
    auto* text = child<QPlainTextEdit>(&log, QStringLiteral("txtResult"));
    QCOMPARE(text->toPlainText(), QStringLiteral("line 1\nline 2"));
    QTest::keyClick(text, Qt::Key(key));
    QCOMPARE(log.isVisible(), !closes);
    QCOMPARE(text->toPlainText(), QStringLiteral("line 1\nline 2"));
    if (!closes) {
        click(&log, QStringLiteral("Command1"));
        QVERIFY(!log.isVisible());
    }
}

void MainWindowTest::helpOnF1() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    ScriptedPrompt prompt;
    HelpKeyFilter help;
    qApp->installEventFilter(&help);
    QString shown;
    QWidget* owner = nullptr;
    WindowOpener::ScopedHook hook([&](QDialog& dialog) {
        if (auto* viewer = qobject_cast<HelpViewer*>(&dialog)) {
            shown = viewer->browser()->toPlainText();
            owner = viewer->parentWidget();
        }
        return int(QDialog::Accepted);
    });
    frmMain window(module, prompt);
    window.show();
    QTest::keyClick(child<QPushButton>(&window, QStringLiteral("cmdMenu_0")), Qt::Key_F1);
    QCOMPARE(help.opened(), 1);
    QCOMPARE(owner, &window);
    for (const char* section : {"Getting started", "Importing styles", "Building banks",
                                "writing to the instrument", "SSF and PDD", "Parameters"})
        QVERIFY2(shown.contains(QString::fromLatin1(section), Qt::CaseInsensitive), section);

    frmLog log; // any other window too
    log.show();
    QTest::keyClick(child<QPlainTextEdit>(&log, QStringLiteral("txtResult")), Qt::Key_F1);
    QCOMPARE(help.opened(), 2);
    QVERIFY(log.isVisible()); // F1 does not count as a closing key
    qApp->removeEventFilter(&help);
}

QTEST_MAIN(MainWindowTest)
#include "tst_gui_mainwindow.moc"
