// The styles window: grid model, sort buttons and colours, count caption and menu states,
// editing by double click, and the closing question.

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

namespace {

QColor headerColour(frmStyles& window, int i) {
    return child<QPushButton>(&window, QStringLiteral("cbTitle_%1").arg(i))
        ->palette()
        .color(QPalette::Button);
}

QString names(frmStyles& window) {
    QStringList list;
    for (int r = 0; r < window.gridModel()->rowCount(); ++r)
        list << window.gridModel()->text(r, 1);
    return list.join(QLatin1Char(','));
}

} // namespace

class StylesWindowTest : public QObject {
    Q_OBJECT
private slots:
    void gridModel();
    void sortClicks();
    void countCaptionAndMenus_data();
    void countCaptionAndMenus();
    void editByDoubleClickKeepsRow();
    void styleEditDialog();
    void closingQuestion_data();
    void closingQuestion();
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
    const QStringList row0{"1", "Funk", "desc", "FAM", "GRP"};
    for (int c = 0; c < 5; ++c)
        QCOMPARE(model.data(model.index(0, c)).toString(), row0.at(c));
    QCOMPARE(model.data(model.index(1, 2)).toString(), QString()); // no description: empty
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.updateRow(1, QStringLiteral("Slow"), QStringLiteral("d"), QStringLiteral("f"), QStringLiteral("g"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(model.text(1, 1), QStringLiteral("Slow"));
    QCOMPARE(module.StyleRecordset.row(1).StyleName1, QStringLiteral("Ballad")); // the shared listing is kept
    model.setListing(StyleListing());
    QCOMPARE(model.rowCount(), 0);
}

void StylesWindowTest::sortClicks() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyle(module, QStringLiteral("Bossa"), QString(), QString(), QStringLiteral("ZZ"));
    addStyle(module, QStringLiteral("Alpine"), QString(), QString(), QStringLiteral("AA"));
    addStyle(module, QStringLiteral("Cha Cha"), QString(), QString(), QStringLiteral("MM"));
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    window.show();
    QCOMPARE(names(window), QStringLiteral("Bossa,Alpine,Cha Cha"));

    auto* name = child<QPushButton>(&window, QStringLiteral("cbTitle_1"));
    const struct {
        const char* order;
        QColor colour;
        const char* names;
    } clicks[] = {{"STYLENAME1", frmStyles::lightRed(), "Alpine,Bossa,Cha Cha"},
                  {"STYLENAME1 DESC", frmStyles::lightGreen(), "Cha Cha,Bossa,Alpine"},
                  {"", QApplication::palette().color(QPalette::Button), "Bossa,Alpine,Cha Cha"}};
    for (const auto& click : clicks) {
        QTest::mouseClick(name, Qt::LeftButton);
        QCOMPARE(module.FilterOrder, QString::fromLatin1(click.order));
        QCOMPARE(module.FilterFields[6], module.FilterOrder);
        QCOMPARE(headerColour(window, 1), click.colour);
        QCOMPARE(names(window), QString::fromLatin1(click.names));
    }
    // Another column after name descending: its ascending key, and the name button reset.
    window.cbTitle_Click(1);
    window.cbTitle_Click(1);
    window.cbTitle_Click(4);
    QCOMPARE(module.FilterOrder, QStringLiteral("STYLECAT"));
    QCOMPARE(headerColour(window, 4), frmStyles::lightRed());
    QCOMPARE(headerColour(window, 1), window.palette().color(QPalette::Window));
    QCOMPARE(names(window), QStringLiteral("Alpine,Cha Cha,Bossa"));
    // Several keys set by the filter give way to the clicked column's ascending key.
    module.FilterOrder = QStringLiteral("STYLEFAMILY, STYLENAME1 DESC");
    window.cbTitle_Click(2);
    QCOMPARE(module.FilterOrder, QStringLiteral("STYLEDESC"));
}

void StylesWindowTest::countCaptionAndMenus_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("utility");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("rows");
    QTest::newRow("no filter") << ""
                               << "  "
                               << " 15 styles available " << true;
    QTest::newRow("filter") << "STYLECAT = 'POP'"
                            << "/opt/korg"
                            << " 12 styles available - Database filtering is active " << true;
    QTest::newRow("filter matching nothing") << "STYLECAT = 'JAZZ'"
                                             << "/opt/korg"
                                             << "No style available" << false;
    QTest::newRow("filter the database refuses") << "NOSUCHCOLUMN = 1"
                                                 << ""
                                                 << "No style available" << false;
}

void StylesWindowTest::countCaptionAndMenus() {
    QFETCH(QString, filter);
    QFETCH(QString, utility);
    QFETCH(QString, caption);
    QFETCH(bool, rows);
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    for (int i = 0; i < 15; ++i)
        addStyle(module, QStringLiteral("S%1").arg(i), QString(), QString(),
                 i < 12 ? QStringLiteral("POP") : QStringLiteral("ROCK"));
    module.FilterWhere = filter;
    module.KorgProgramPath = utility;
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    QCOMPARE(child<QGroupBox>(&window, QStringLiteral("frStyle"))->title(), caption);
    // A clause the database refuses is reported, and the grid stays empty.
    QCOMPARE(prompt.asked().size(), filter.startsWith(QLatin1String("NOSUCH")) ? 1 : 0);
    for (int i : {0, 1, 3, 8})
        QCOMPARE(window.command(QStringLiteral("mStyles"), i)->isEnabled(), rows);
    QCOMPARE(window.command(QStringLiteral("mStyles"), 10)->isEnabled(),
             rows && !utility.trimmed().isEmpty());
    QVERIFY(window.command(QStringLiteral("mStyles"), 6)->isEnabled());
    QCOMPARE(window.command(QStringLiteral("mbank"), 0)->isEnabled(), rows);

    // Commands whose dialogs are not in the program are kept out of the menus until attached.
    auto* styles = child<QMenu>(&window, QStringLiteral("mTopStyles"));
    QVERIFY(!styles->menuAction()->isVisible());
    window.attachCommand(QStringLiteral("mStyles"), 8);
    window.attachCommand(QStringLiteral("mStyles"), 6);
    QCOMPARE(styles->actions().size(), 3); // Set Filter, a separator, Where is?
    QVERIFY(styles->actions().at(1)->isSeparator());
    QVERIFY(styles->menuAction()->isVisible());
}

void StylesWindowTest::editByDoubleClickKeepsRow() {
    TestEnvironment env;
    SBKModule module;
    connectTo(module, env.createDatabase());
    addStyle(module, QStringLiteral("Alpha"));
    const qint32 beta = addStyle(module, QStringLiteral("Beta"));
    const qint32 gamma = addStyle(module, QStringLiteral("Gamma"), QStringLiteral("old"));
    module.FilterOrder = QStringLiteral("STYLENAME1");
    ScriptedPrompt prompt;
    frmStyles window(module, prompt);
    window.show();

    QString shownName;
    QString button = QStringLiteral("cbUpdate");
    WindowOpener::ScopedHook hook([&](QDialog& dialog) {
        auto* name = child<QLineEdit>(&dialog, QStringLiteral("txtField_0"));
        shownName = name->text();
        name->clear();
        QTest::keyClicks(name, QStringLiteral("Aardvark"));
        child<QLineEdit>(&dialog, QStringLiteral("txtField_1"))->setText(QStringLiteral("new description"));
        QTest::mouseClick(child<QPushButton>(&dialog, button), Qt::LeftButton);
        return dialog.result();
    });
    QTableView* grid = window.grid();
    const QPoint cell = grid->visualRect(window.gridModel()->index(2, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);

    QCOMPARE(shownName, QStringLiteral("Gamma"));
    QCOMPARE(module.ExchangeValue1, QString(QChar(28)));
    QCOMPARE(module.GridAnchorRow, 2);
    // Updated where it stands, though it now sorts first; the next refill moves it.
    QCOMPARE(names(window), QStringLiteral("Alpha,Beta,Aardvark"));
    QCOMPARE(window.gridModel()->text(2, 2), QStringLiteral("new description"));
    DbKORFStyle check(module.connection());
    check.setStyleProg(gamma);
    QVERIFY(check.GetKORFStyles());
    QCOMPARE(check.StyleName1(), QStringLiteral("Aardvark"));
    QCOMPARE(check.StyleContent1(), QByteArray("data")); // the data blocks are untouched
    window.queryListing();
    window.RefreshStyleGrid();
    QCOMPARE(names(window), QStringLiteral("Aardvark,Alpha,Beta"));

    // Exit after typing answers 27 and stores nothing.
    button = QStringLiteral("cbExit");
    window.grdStyles_DblClick(2);
    QCOMPARE(module.ExchangeValue1, QString(QChar(27)));
    QCOMPARE(window.gridModel()->text(2, 1), QStringLiteral("Beta"));
    check.setStyleProg(beta);
    QVERIFY(check.GetKORFStyles());
    QCOMPARE(check.StyleName1(), QStringLiteral("Beta"));
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
    QCOMPARE(child<QLabel>(&dialog, QStringLiteral("lbField_1"))->text(), QStringLiteral("1200"));
    auto* name = child<QLineEdit>(&dialog, QStringLiteral("txtField_0"));
    name->clear();
    QTest::keyClicks(name, QStringLiteral("ABCDEFGHIJKL"));
    QCOMPARE(name->text(), QStringLiteral("ABCDEFGHIJK")); // the twelfth character is refused
    child<QLineEdit>(&dialog, QStringLiteral("txtField_2"))->setText(QStringLiteral(" spaced "));
    dialog.cbUpdate_Click();
    QCOMPARE(module.ExchangeValue1, QString(QChar(28)));
    QCOMPARE(module.StyleTable->StyleName1(), QStringLiteral("ABCDEFGHIJK"));
    QCOMPARE(module.StyleTable->StyleFamily(), QStringLiteral(" spaced ")); // as typed
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
    frmStyles window(module, prompt);
    window.show();
    window.mbank_Click(0); // one style in the bank
    prompt.answer(answer ? Prompt::Answer::Yes : Prompt::Answer::No);
    module.BankState = state;
    window.command(QStringLiteral("mFile"), 5)->trigger();
    QCOMPARE(prompt.texts(),
             asked ? QStringList{QStringLiteral("Current bank has been modified. Do you really want to "
                                                "close SBK and discard all changes?")}
                   : QStringList());
    QCOMPARE(window.isVisible(), !closed);
    QCOMPARE(module.WorkingBankStyles.Count(), 1); // closing does not clear the bank
}

QTEST_MAIN(StylesWindowTest)
#include "tst_gui_styles.moc"
