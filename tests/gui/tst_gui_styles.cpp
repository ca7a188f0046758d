// The styles window: grid model, sort buttons and colours, count caption, editing by double
// click, the closing question and the Styles menu states.

#include "banks/frmStyles.h"
#include "banks/StyleGridModel.h"
#include "core/WindowOpener.h"
#include "GuiTestData.h"
#include "metadata/frmStyleEdit.h"
#include "ScriptedPrompt.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

using namespace guitest;

class StylesWindowTest : public QObject {
    Q_OBJECT
private slots:
    void gridModel();
    void windowLayout();
    void sortClicks();
    void sortByOtherColumnResetsColours();
    void countCaption_data();
    void countCaption();
    void emptyListingDisablesCommands();
    void sendToUtilityNeedsProgram();
    void editByDoubleClickKeepsRow();
    void editCancelledOrRefused();
    void styleEditDialog();
    void closingQuestion_data();
    void closingQuestion();
    void badFilterShowsMessage();
    void hundredThousandStyles();

private:
    static QColor headerColour(frmStyles& window, int i) {
        return child<QPushButton>(&window, QStringLiteral("cbTitle_%1").arg(i))
            ->palette()
            .color(QPalette::Button);
    }
    static QStringList names(frmStyles& window) {
        QStringList list;
        for (int r = 0; r < window.gridModel()->rowCount(); ++r)
            list << window.gridModel()->text(r, 1);
        return list;
    }
};

void StylesWindowTest::gridModel() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyle(module, QStringLiteral("Fu") + QChar(0) + QStringLiteral("nk"), QStringLiteral("desc"),
             QStringLiteral("FAM"), QStringLiteral("GRP"));
    addStyle(module, QStringLiteral("Ballad"));
    module.refreshListing();

    StyleGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setListing(module.StyleRecordset);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 5);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1"));
    QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("Funk"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("desc"));
    QCOMPARE(model.data(model.index(0, 3)).toString(), QStringLiteral("FAM"));
    QCOMPARE(model.data(model.index(0, 4)).toString(), QStringLiteral("GRP"));
    QCOMPARE(model.data(model.index(1, 2)).toString(), QString()); // a missing description is empty
    QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
             Qt::AlignLeft | Qt::AlignVCenter);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.updateRow(1, QStringLiteral("Slow"), QStringLiteral("d"), QStringLiteral("f"), QStringLiteral("g"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.text(1, 1), QStringLiteral("Slow"));
    QCOMPARE(module.StyleRecordset.row(1).StyleName1, QStringLiteral("Ballad")); // the listing itself is kept
    model.setListing(StyleListing());
    QCOMPARE(model.rowCount(), 0);
}

void StylesWindowTest::windowLayout() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyles(module, 3);
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("SBK 1.2 - Styles Management"));
    const QStringList captions{QStringLiteral("Style"), QStringLiteral("Name"), QStringLiteral("Description"),
                               QStringLiteral("Family"), QStringLiteral("Group")};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(child<QPushButton>(&window, QStringLiteral("cbTitle_%1").arg(i))->text(), captions.at(i));
    QVERIFY(!child<QPushButton>(&window, QStringLiteral("cbTitle_0"))->isVisible());
    QVERIFY(window.grid()->isColumnHidden(0));
    QCOMPARE(window.grid()->toolTip(), QStringLiteral("Double click for style editing"));
    // The header buttons line up with the visible columns.
    for (int i = 1; i <= 4; ++i) {
        auto* button = child<QPushButton>(&window, QStringLiteral("cbTitle_%1").arg(i));
        QCOMPARE(button->width(), window.grid()->columnWidth(i));
        const int columnX = window.grid()
                                ->viewport()
                                ->mapTo(&window, QPoint(window.grid()->columnViewportPosition(i), 0))
                                .x();
        QCOMPARE(button->mapTo(&window, QPoint(0, 0)).x(), columnX);
    }
    // Menus: only commands the program has are shown.
    QVERIFY(window.command(QStringLiteral("mFile"), 5)->isVisible());
    QCOMPARE(window.command(QStringLiteral("mFile"), 5)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    auto* styles = child<QMenu>(&window, QStringLiteral("mTopStyles"));
    QVERIFY(!styles->menuAction()->isVisible());
    QVERIFY(styles->actions().isEmpty());
    auto* banks = child<QMenu>(&window, QStringLiteral("mTopBank"));
    QStringList shown;
    for (QAction* action : banks->actions())
        shown << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    QCOMPARE(shown,
             (QStringList{QStringLiteral("mbank_0"), QStringLiteral("mbank_1"), QStringLiteral("mbank_2"),
                          QStringLiteral("mbank_3"), QStringLiteral("-"), QStringLiteral("mbank_5")}));
    QCOMPARE(window.command(QStringLiteral("mbank"), 0)->shortcut(),
             QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    QCOMPARE(window.command(QStringLiteral("mbank"), 3)->shortcut(), QKeySequence(Qt::Key_F2));
    // A later command joins its menu at its place.
    window.attachCommand(QStringLiteral("mStyles"), 7);
    QVERIFY(styles->menuAction()->isVisible());
    QCOMPARE(styles->actions().size(), 1);
}

void StylesWindowTest::sortClicks() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyle(module, QStringLiteral("Bossa"));
    addStyle(module, QStringLiteral("Alpine"));
    addStyle(module, QStringLiteral("Cha Cha"));
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    window.show();
    QCOMPARE(names(window),
             (QStringList{QStringLiteral("Bossa"), QStringLiteral("Alpine"), QStringLiteral("Cha Cha")}));

    auto* name = child<QPushButton>(&window, QStringLiteral("cbTitle_1"));
    QTest::mouseClick(name, Qt::LeftButton);
    QCOMPARE(module.FilterOrder, QStringLiteral("STYLENAME1"));
    QCOMPARE(module.FilterFields[6], QStringLiteral("STYLENAME1"));
    QCOMPARE(headerColour(window, 1), frmStyles::lightRed());
    QCOMPARE(names(window),
             (QStringList{QStringLiteral("Alpine"), QStringLiteral("Bossa"), QStringLiteral("Cha Cha")}));

    QTest::mouseClick(name, Qt::LeftButton);
    QCOMPARE(module.FilterOrder, QStringLiteral("STYLENAME1 DESC"));
    QCOMPARE(headerColour(window, 1), frmStyles::lightGreen());
    QCOMPARE(names(window),
             (QStringList{QStringLiteral("Cha Cha"), QStringLiteral("Bossa"), QStringLiteral("Alpine")}));

    QTest::mouseClick(name, Qt::LeftButton);
    QVERIFY(module.FilterOrder.isEmpty());
    QVERIFY(module.FilterFields[6].isEmpty());
    QCOMPARE(headerColour(window, 1), QApplication::palette().color(QPalette::Button));
    QCOMPARE(names(window),
             (QStringList{QStringLiteral("Bossa"), QStringLiteral("Alpine"), QStringLiteral("Cha Cha")}));
}

void StylesWindowTest::sortByOtherColumnResetsColours() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyle(module, QStringLiteral("A"), QString(), QString(), QStringLiteral("ZZ"));
    addStyle(module, QStringLiteral("B"), QString(), QString(), QStringLiteral("AA"));
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    window.show();
    window.cbTitle_Click(1);
    window.cbTitle_Click(1);
    QCOMPARE(module.FilterOrder, QStringLiteral("STYLENAME1 DESC"));
    window.cbTitle_Click(4);
    QCOMPARE(module.FilterOrder, QStringLiteral("STYLECAT"));
    QCOMPARE(headerColour(window, 4), frmStyles::lightRed());
    QCOMPARE(headerColour(window, 1), window.palette().color(QPalette::Window));
    QCOMPARE(names(window), (QStringList{QStringLiteral("B"), QStringLiteral("A")}));
    // Several keys from the filter dialog give way to the clicked column's ascending key.
    module.FilterOrder = QStringLiteral("STYLEFAMILY, STYLENAME1 DESC");
    window.cbTitle_Click(2);
    QCOMPARE(module.FilterOrder, QStringLiteral("STYLEDESC"));
}

void StylesWindowTest::countCaption_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("caption");
    QTest::newRow("no filter") << QString() << QStringLiteral(" 15 styles available ");
    QTest::newRow("filter") << QStringLiteral("STYLECAT = 'POP'")
                            << QStringLiteral(" 12 styles available - Database filtering is active ");
    QTest::newRow("filter matching nothing")
        << QStringLiteral("STYLECAT = 'JAZZ'") << QStringLiteral("No style available");
}

void StylesWindowTest::countCaption() {
    QFETCH(QString, filter);
    QFETCH(QString, caption);
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    for (int i = 0; i < 15; ++i)
        addStyle(module, QStringLiteral("S%1").arg(i), QString(), QString(),
                 i < 12 ? QStringLiteral("POP") : QStringLiteral("ROCK"));
    module.FilterWhere = filter;
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    QCOMPARE(child<QGroupBox>(&window, QStringLiteral("frStyle"))->title(), caption);
}

void StylesWindowTest::emptyListingDisablesCommands() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    module.KorgProgramPath = QStringLiteral("/opt/korg/utility");
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    QCOMPARE(child<QGroupBox>(&window, QStringLiteral("frStyle"))->title(),
             QStringLiteral("No style available"));
    QCOMPARE(window.gridModel()->rowCount(), 0);
    for (int i : {0, 1, 3, 8, 10})
        QVERIFY(!window.command(QStringLiteral("mStyles"), i)->isEnabled());
    for (int i : {4, 6, 7})
        QVERIFY(window.command(QStringLiteral("mStyles"), i)->isEnabled());
    QVERIFY(!window.command(QStringLiteral("mbank"), 0)->isEnabled());
    QVERIFY(window.command(QStringLiteral("mbank"), 9)->isEnabled());
}

void StylesWindowTest::sendToUtilityNeedsProgram() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyles(module, 1);
    module.KorgProgramPath = QStringLiteral("   ");
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    QVERIFY(window.command(QStringLiteral("mStyles"), 0)->isEnabled());
    QVERIFY(!window.command(QStringLiteral("mStyles"), 10)->isEnabled());
    module.KorgProgramPath = QStringLiteral("/opt/korg/utility");
    window.RefreshStyleGrid();
    QVERIFY(window.command(QStringLiteral("mStyles"), 10)->isEnabled());
}

void StylesWindowTest::editByDoubleClickKeepsRow() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyle(module, QStringLiteral("Alpha"));
    addStyle(module, QStringLiteral("Beta"));
    const qint32 gamma = addStyle(module, QStringLiteral("Gamma"), QStringLiteral("old"));
    module.FilterOrder = QStringLiteral("STYLENAME1");
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    window.show();

    QString shownName;
    WindowOpener::ScopedHook hook([&](QDialog& dialog) {
        if (!qobject_cast<frmStyleEdit*>(&dialog))
            return int(QDialog::Rejected);
        auto* name = child<QLineEdit>(&dialog, QStringLiteral("txtField_0"));
        shownName = name->text();
        name->clear();
        QTest::keyClicks(name, QStringLiteral("Aardvark"));
        child<QLineEdit>(&dialog, QStringLiteral("txtField_1"))->setText(QStringLiteral("new description"));
        QTest::mouseClick(child<QPushButton>(&dialog, QStringLiteral("cbUpdate")), Qt::LeftButton);
        return dialog.result();
    });
    QTableView* grid = window.grid();
    const QRect cell = grid->visualRect(window.gridModel()->index(2, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());

    QCOMPARE(shownName, QStringLiteral("Gamma"));
    QCOMPARE(module.ExchangeValue1, QString(QChar(28)));
    QCOMPARE(module.GridAnchorRow, 2);
    // Updated where it stands, though it now sorts first.
    QCOMPARE(names(window),
             (QStringList{QStringLiteral("Alpha"), QStringLiteral("Beta"), QStringLiteral("Aardvark")}));
    QCOMPARE(window.gridModel()->text(2, 2), QStringLiteral("new description"));
    DbKORFStyle check(module.connection());
    check.setStyleProg(gamma);
    QVERIFY(check.GetKORFStyles());
    QCOMPARE(check.StyleName1(), QStringLiteral("Aardvark"));
    QCOMPARE(check.StyleDesc(), QStringLiteral("new description"));
    QCOMPARE(check.StyleContent1(), QByteArray("data")); // the data blocks are untouched
    // The next refill moves it.
    window.queryListing();
    window.RefreshStyleGrid();
    QCOMPARE(names(window).constFirst(), QStringLiteral("Aardvark"));
}

void StylesWindowTest::editCancelledOrRefused() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    const qint32 prog = addStyle(module, QStringLiteral("Alpha"));
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    window.show();
    // Exit after typing: nothing stored, answer 27.
    {
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            child<QLineEdit>(&dialog, QStringLiteral("txtField_0"))->setText(QStringLiteral("Changed"));
            QTest::mouseClick(child<QPushButton>(&dialog, QStringLiteral("cbExit")), Qt::LeftButton);
            return dialog.result();
        });
        window.grdStyles_DblClick(0);
    }
    QCOMPARE(module.ExchangeValue1, QString(QChar(27)));
    QCOMPARE(window.gridModel()->text(0, 1), QStringLiteral("Alpha"));
    QCOMPARE(module.StyleTable->StyleName1(), QStringLiteral("Alpha"));
    // A style deleted since the grid was filled opens nothing.
    {
        DbKORFStyle table(module.connection());
        table.setStyleProg(prog);
        QVERIFY(table.DelKORFStyles());
        int opened = 0;
        WindowOpener::ScopedHook hook([&](QDialog&) { return ++opened, int(QDialog::Rejected); });
        window.grdStyles_DblClick(0);
        QCOMPARE(opened, 0);
    }
    QVERIFY(prompt.asked().isEmpty());
}

void StylesWindowTest::styleEditDialog() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    const qint32 prog = addStyle(module, QStringLiteral("Funk 1"), QStringLiteral("d"), QStringLiteral("F"),
                                 QStringLiteral("G"), QByteArray(1000, 'x'), QByteArray(200, 'y'));
    module.StyleTable->setStyleProg(prog);
    QVERIFY(module.StyleTable->GetKORFStylesNoContent());
    ScriptedPrompt prompt;
    frmStyleEdit dialog(module, prompt);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Style edit"));
    QCOMPARE(child<QLabel>(&dialog, QStringLiteral("lbField_0"))->text(), QString::number(prog));
    QCOMPARE(child<QLabel>(&dialog, QStringLiteral("lbField_1"))->text(), QStringLiteral("1200"));
    QCOMPARE(child<QLabel>(&dialog, QStringLiteral("lbField_2"))->text(), QStringLiteral("2026-12-06"));
    QCOMPARE(child<QLabel>(&dialog, QStringLiteral("lbDesc_8"))->text(), QStringLiteral("Date of import "));
    QCOMPARE(child<QPushButton>(&dialog, QStringLiteral("cbUpdate"))->toolTip(),
             QStringLiteral("Updates style changes to database"));
    auto* name = child<QLineEdit>(&dialog, QStringLiteral("txtField_0"));
    name->clear();
    QTest::keyClicks(name, QStringLiteral("ABCDEFGHIJKL"));
    QCOMPARE(name->text(), QStringLiteral("ABCDEFGHIJK")); // the twelfth character is refused
    auto* family = child<QLineEdit>(&dialog, QStringLiteral("txtField_2"));
    family->setText(QStringLiteral(" spaced "));
    // Update stores the texts as typed.
    dialog.cbUpdate_Click();
    QCOMPARE(module.ExchangeValue1, QString(QChar(28)));
    QCOMPARE(module.StyleTable->StyleName1(), QStringLiteral("ABCDEFGHIJK"));
    QCOMPARE(module.StyleTable->StyleFamily(), QStringLiteral(" spaced "));
    QCOMPARE(module.StyleTable->StyleCat(), QStringLiteral("G"));
}

void StylesWindowTest::closingQuestion_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("closed");
    QTest::newRow("new, unchanged") << 0 << false << false << true;
    QTest::newRow("stored, unchanged") << 1 << false << false << true;
    QTest::newRow("new with changes, No") << 2 << false << true << false;
    QTest::newRow("stored with changes, No") << 3 << false << true << false;
    QTest::newRow("stored with changes, Yes") << 3 << true << true << true;
}

void StylesWindowTest::closingQuestion() {
    QFETCH(int, state);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, closed);
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyles(module, 2);
    ScriptedPrompt prompt;
    prompt.answer(answer ? Prompt::Answer::Yes : Prompt::Answer::No);
    frmStyles window(module, prompt);
    window.show();
    window.mbank_Click(0); // one style in the bank
    prompt.clear();
    prompt.answer(answer ? Prompt::Answer::Yes : Prompt::Answer::No);
    module.BankState = state;
    window.command(QStringLiteral("mFile"), 5)->trigger();
    QCOMPARE(!prompt.asked().isEmpty(), asked);
    if (asked) {
        QCOMPARE(prompt.texts(),
                 QStringList{QStringLiteral(
                     "Current bank has been modified. Do you really want to close SBK and discard all "
                     "changes?")});
        QCOMPARE(prompt.asked().at(0).defaultButton, Prompt::Answer::No);
    }
    QCOMPARE(window.isVisible(), !closed);
    QCOMPARE(module.WorkingBankStyles.Count(), 1); // closing does not clear the bank
}

void StylesWindowTest::badFilterShowsMessage() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyles(module, 2);
    module.FilterWhere = QStringLiteral("NOSUCHCOLUMN = 1");
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    QCOMPARE(prompt.asked().size(), 1);
    QCOMPARE(prompt.asked().at(0).icon, Prompt::Icon::Critical);
    QCOMPARE(window.gridModel()->rowCount(), 0);
    QCOMPARE(child<QGroupBox>(&window, QStringLiteral("frStyle"))->title(),
             QStringLiteral("No style available"));
}

void StylesWindowTest::hundredThousandStyles() {
    // The grid is a view over the listing: 100,000 rows fill it without a widget per cell.
    StyleListing listing;
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    {
        QSqlDatabase db = module.connection();
        db.transaction();
        QSqlQuery query(db);
        query.prepare(
            QStringLiteral("INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc) VALUES (?, ?, ?)"));
        for (int i = 1; i <= 100000; ++i) {
            query.addBindValue(i);
            query.addBindValue(QStringLiteral("N%1").arg(i % 9973));
            query.addBindValue(QStringLiteral("Description %1").arg(i));
            QVERIFY(query.exec());
        }
        db.commit();
    }
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    window.show();
    QCOMPARE(window.gridModel()->rowCount(), 100000);
    QCOMPARE(child<QGroupBox>(&window, QStringLiteral("frStyle"))->title(),
             QStringLiteral(" 100000 styles available "));
    window.cbTitle_Click(1);
    QCOMPARE(window.gridModel()->rowCount(), 100000);
    window.grid()->scrollToBottom();
    QCOMPARE(window.gridModel()->text(99999, 0).isEmpty(), false);
}

QTEST_MAIN(StylesWindowTest)
#include "tst_gui_styles.moc"
