// The styles window: sort buttons and colours, count caption and menu states, editing by double
// click, the closing question, and the working bank with its commands, messages, state table,
// stored banks and shortcuts.

#include "banks/frmStyles.h"
#include "banks/StyleGridModel.h"
#include "banks/WorkingBank.h"
#include "core/WindowOpener.h"
#include "GuiTestData.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

using namespace guitest;
using namespace Qt::StringLiterals;

namespace {

QColor headerColour(frmStyles& window, int i) {
    return child<QPushButton>(&window, u"cbTitle_%1"_s.arg(i))->palette().color(QPalette::Button);
}

QString names(frmStyles& window) {
    QStringList list;
    for (int r = 0; r < window.gridModel()->rowCount(); ++r)
        list << window.gridModel()->text(r, 1);
    return list.join(u',');
}

// Selects grid rows first..last as a user would drag over them.
void selectRows(frmStyles& window, int first, int last) {
    QItemSelectionModel* selection = window.grid()->selectionModel();
    selection->setCurrentIndex(window.gridModel()->index(last, 1), QItemSelectionModel::NoUpdate);
    selection->select(QItemSelection(window.gridModel()->index(first, 0), window.gridModel()->index(last, 4)),
                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QLabel* slotLabel(frmStyles& window, int slot) {
    return child<QLabel>(&window, u"lbNewStyle_%1"_s.arg(slot));
}

// The captions of the first slots, run together.
QString slotTexts(frmStyles& window, int count) {
    QString texts;
    for (int slot = 0; slot < count; ++slot)
        texts += slotLabel(window, slot)->text();
    return texts;
}

QColor slotColour(frmStyles& window, int slot) {
    return slotLabel(window, slot)->palette().color(QPalette::Window);
}

bool enabled(frmStyles& window, int index) {
    return window.command(u"mbank"_s, index)->isEnabled();
}

} // namespace

class StylesWindowTest : public QObject {
    Q_OBJECT
private slots:
    void sortClicks() {
        Fixture f;
        addStyle(f.module, u"Bossa"_s, QString(), QString(), u"ZZ"_s);
        addStyle(f.module, u"Alpine"_s, QString(), QString(), u"AA"_s);
        addStyle(f.module, u"Cha Cha"_s, QString(), QString(), u"MM"_s);
        frmStyles window(f.module, f.prompt);
        QAbstractItemModelTester tester(window.gridModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        window.show();
        QCOMPARE(names(window), u"Bossa,Alpine,Cha Cha"_s);

        const struct {
            QString order;
            QColor colour;
            QString names;
        } clicks[] = {
            {u"STYLENAME1"_s, frmStyles::lightRed(), u"Alpine,Bossa,Cha Cha"_s},
            {u"STYLENAME1 DESC"_s, frmStyles::lightGreen(), u"Cha Cha,Bossa,Alpine"_s},
            {QString(), QApplication::palette().color(QPalette::Button), u"Bossa,Alpine,Cha Cha"_s}};
        for (const auto& click : clicks) {
            QTest::mouseClick(child<QPushButton>(&window, u"cbTitle_1"_s), Qt::LeftButton);
            QCOMPARE(f.module.FilterOrder, click.order);
            QCOMPARE(headerColour(window, 1), click.colour);
            QCOMPARE(names(window), click.names);
        }
        // Another column after name descending: its ascending key, and the name button reset.
        window.cbTitle_Click(1);
        window.cbTitle_Click(1);
        window.cbTitle_Click(4);
        QCOMPARE(f.module.FilterOrder, u"STYLECAT"_s);
        QCOMPARE(headerColour(window, 4), frmStyles::lightRed());
        QCOMPARE(headerColour(window, 1), window.palette().color(QPalette::Window));
        QCOMPARE(names(window), u"Alpine,Cha Cha,Bossa"_s);
    }

    void countCaptionAndMenus_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("utility");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("rows");
        QTest::newRow("no filter") << QString() << u"  "_s << u" 15 styles available "_s << true;
        QTest::newRow("filter") << u"STYLECAT = 'POP'"_s << u"/opt/korg"_s
                                << u" 12 styles available - Database filtering is active "_s << true;
        QTest::newRow("filter the database refuses")
            << u"NOSUCHCOLUMN = 1"_s << QString() << u"No style available"_s << false;
    }

    void countCaptionAndMenus() {
        QFETCH(QString, filter);
        QFETCH(QString, utility);
        QFETCH(bool, rows);
        Fixture f;
        for (int i = 0; i < 15; ++i)
            addStyle(f.module, u"S%1"_s.arg(i), QString(), QString(), i < 12 ? u"POP"_s : u"ROCK"_s);
        f.module.FilterWhere = filter;
        f.module.KorgProgramPath = utility;
        frmStyles window(f.module, f.prompt);
        QTEST(child<QGroupBox>(&window, u"frStyle"_s)->title(), "caption");
        // A clause the database refuses is reported, and the grid stays empty.
        QCOMPARE(f.prompt.asked().size(), filter.startsWith("NOSUCH"_L1) ? 1 : 0);
        QCOMPARE(window.command(u"mStyles"_s, 0)->isEnabled(), rows);
        QCOMPARE(window.command(u"mStyles"_s, 10)->isEnabled(), rows && !utility.trimmed().isEmpty());
        QVERIFY(window.command(u"mStyles"_s, 6)->isEnabled());
        QCOMPARE(enabled(window, 0), rows);
        QVERIFY(!window.command(u"mFile"_s, 3)->isEnabled());
    }

    void editByDoubleClickKeepsRow() {
        Fixture f;
        addStyle(f.module, u"Alpha"_s);
        const qint32 beta = addStyle(f.module, u"Beta"_s);
        const qint32 gamma = addStyle(f.module, u"Gamma"_s, u"old"_s);
        f.module.FilterOrder = u"STYLENAME1"_s;
        frmStyles window(f.module, f.prompt);
        window.show();

        QString button = u"cbUpdate"_s;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            auto* name = child<QLineEdit>(&dialog, u"txtField_0"_s);
            name->clear();
            QTest::keyClicks(name, u"Aardvark"_s);
            child<QLineEdit>(&dialog, u"txtField_1"_s)->setText(u"new description"_s);
            QTest::mouseClick(child<QPushButton>(&dialog, button), Qt::LeftButton);
            return dialog.result();
        });
        QTableView* grid = window.grid();
        const QPoint cell = grid->visualRect(window.gridModel()->index(2, 1)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);

        QCOMPARE(f.module.ExchangeValue1, QString(QChar(28)));
        // Updated where it stands, though it now sorts first.
        QCOMPARE(names(window), u"Alpha,Beta,Aardvark"_s);
        QCOMPARE(window.gridModel()->text(2, 2), u"new description"_s);
        DbKORFStyle check(f.module.connection());
        check.setStyleProg(gamma);
        QVERIFY(check.GetKORFStyles());
        QCOMPARE(check.StyleName1(), u"Aardvark"_s);
        QCOMPARE(check.StyleContent1(), QByteArray("data")); // the data blocks are untouched

        // Exit after typing answers 27 and stores nothing.
        button = u"cbExit"_s;
        window.grdStyles_DblClick(1);
        QCOMPARE(f.module.ExchangeValue1, QString(QChar(27)));
        QCOMPARE(window.gridModel()->text(1, 1), u"Beta"_s);
        check.setStyleProg(beta);
        QVERIFY(check.GetKORFStyles());
        QCOMPARE(check.StyleName1(), u"Beta"_s);
    }

    // Field limits hold for typing only; a lone blank gives way to what is typed and comes back when
    // the field is emptied; a text SSF and PDD files cannot carry is refused, naming the field.
    void editKeepsWhatIsStored() {
        Fixture f;
        const qint32 prog = addStyle(f.module, u"Unplugged Ballad"_s, u"desc"_s, u" "_s, u"OLD"_s);
        frmStyles window(f.module, f.prompt);
        int round = 0;
        bool stayedOpen = false;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            dialog.show();
            auto* name = child<QLineEdit>(&dialog, u"txtField_0"_s);
            auto* family = child<QLineEdit>(&dialog, u"txtField_2"_s);
            auto* author = child<QLineEdit>(&dialog, u"txtField_5"_s);
            if (round++ == 0) {
                QTest::keyClick(name, Qt::Key_End);
                QTest::keyClicks(name, u"x"_s); // not longer than it was put in
                child<QLineEdit>(&dialog, u"txtField_3"_s)->setText(u"POP"_s);
                QTest::mouseClick(family, Qt::LeftButton, {},
                                  QPoint(family->width() - 4, family->height() / 2));
                QTest::keyClicks(family, u"ROCK"_s);
                author->insert(u"Zo\u00eb \u65e5"_s); // as pasted
                click(&dialog, u"cbUpdate"_s);
                stayedOpen = dialog.isVisible();
                author->clear();
            } else {
                name->selectAll();
                QTest::keyClicks(name, u"ABCDEFGHIJKLMNOP"_s);
                family->clear();
            }
            click(&dialog, u"cbUpdate"_s);
            return dialog.result();
        });
        window.show();
        DbKORFStyle check(f.module.connection());
        check.setStyleProg(prog);
        const auto stored = [&] {
            check.GetKORFStylesNoContent();
            return QStringList{check.StyleName1(), check.StyleFamily(), check.StyleCat()};
        };
        window.grdStyles_DblClick(0);
        QVERIFY(stayedOpen);
        QCOMPARE(stored(), (QStringList{u"Unplugged Ballad"_s, u"ROCK"_s, u"POP"_s}));
        QCOMPARE(f.prompt.texts(),
                 QStringList{u"The author \"Zo\u00eb \u65e5\" holds the character \"\u65e5\", "
                             "which SSF and PDD files cannot carry. Use only the letters and "
                             "signs of windows-1252."_s});
        window.grdStyles_DblClick(0);
        QCOMPARE(stored(), (QStringList{u"ABCDEFGHIJK"_s, u" "_s, u"POP"_s}));
    }

    void closingQuestion() {
        Fixture f(2);
        frmStyles window(f.module, f.prompt);
        window.show();
        window.mbank_Click(0); // one style in the bank: a new bank with changes
        answerYesNo(f.prompt, {0, 1});
        window.command(u"mFile"_s, 5)->trigger();
        QVERIFY(window.isVisible());
        f.module.BankState = 3; // a stored bank with changes
        window.command(u"mFile"_s, 5)->trigger();
        QVERIFY(!window.isVisible());
        QCOMPARE(f.prompt.texts(),
                 QStringList(2,
                             u"Current bank has been modified. Do you really want to close SBK and discard "
                             u"all changes?"_s));
        QCOMPARE(f.module.WorkingBankStyles.Count(), 1); // closing does not clear the bank
        // A stored bank without changes closes at once.
        window.show();
        f.module.BankState = 1;
        window.command(u"mFile"_s, 5)->trigger();
        QVERIFY(!window.isVisible());
        QCOMPARE(f.prompt.texts().size(), 2);
    }

    void insertFiveIntoThirty() {
        Fixture f(40);
        frmStyles window(f.module, f.prompt);
        window.show();
        selectRows(window, 0, 29);
        click(&window, u"cmdBank_0"_s);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 30);
        QCOMPARE(window.bank().SelectedSlot(), 29);

        // Rows 35 up to 31 picked from the bottom: the first two fill the bank, the rest are
        // skipped silently, and the selection stays.
        QTableView* grid = window.grid();
        grid->scrollTo(window.gridModel()->index(34, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(window.gridModel()->index(34, 1)).center());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          grid->visualRect(window.gridModel()->index(30, 1)).center());
        window.mbank_Click(0);
        QVERIFY(f.prompt.asked().isEmpty());
        QVERIFY(f.module.GridAnchorRow == 30 && f.module.GridEndRow == 34);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 32);
        QCOMPARE(slotLabel(window, 30)->text() + slotLabel(window, 31)->text(), u"S031S032"_s);
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 5);
        QVERIFY(!enabled(window, 0));

        f.module.BankState = 1;
        window.mbank_Click(0);
        QCOMPARE(f.prompt.texts(),
                 QStringList{u"Bank already holds 32 styles. Selected style(s) cannot be added!"_s});
        QCOMPARE(f.module.BankState, 1); // refused before the state changes
    }

    void duplicatesAskedPerEntry() {
        Fixture f(40);
        frmStyles window(f.module, f.prompt);
        selectRows(window, 4, 4);
        window.mbank_Click(0);
        answerYesNo(f.prompt, {1});
        window.mbank_Click(0); // S005 twice now
        // Asked once for each entry already there; the last answer decides.
        f.prompt.clear();
        answerYesNo(f.prompt, {1, 0, 0, 1});
        window.mbank_Click(0);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 2);
        window.mbank_Click(0);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 3);
        QCOMPARE(
            f.prompt.texts(),
            QStringList(4, u"Style S005 already present inside bank. Would you like to insert it anyway?"_s));
        QCOMPARE(f.prompt.asked().at(0).defaultButton, Prompt::Answer::No);
        QCOMPARE(f.module.BankState, 2);
    }

    // A bank of three through the shortcuts: slot clicks, moves, removing the last, erasing, and
    // then what each command says on the empty bank.
    void bankOfThree() {
        Fixture f(40);
        frmStyles window(f.module, f.prompt);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.grid()->setFocus();
        selectRows(window, 0, 2);
        QTest::keyClick(&window, Qt::Key_Insert, Qt::ShiftModifier);
        QTest::mouseClick(slotLabel(window, 0), Qt::LeftButton);
        QCOMPARE(slotColour(window, 0), frmStyles::slotSelected());
        QCOMPARE(slotColour(window, 2), frmStyles::slotFilled());
        QTest::mouseClick(slotLabel(window, 20), Qt::LeftButton); // an empty slot keeps the selection
        QTest::keyClick(&window, Qt::Key_F2, Qt::ShiftModifier);  // up at slot 0: nothing
        QCOMPARE(slotTexts(window, 3), u"S001S002S003"_s);
        QTest::keyClick(&window, Qt::Key_F2); // down
        QCOMPARE(window.bank().SelectedSlot(), 1);
        QCOMPARE(slotTexts(window, 3), u"S002S001S003"_s);
        window.lbNewStyle_Click(2);
        QTest::keyClick(&window, Qt::Key_F2); // down at the last slot: nothing
        QCOMPARE(window.bank().SelectedSlot(), 2);

        answerYesNo(f.prompt, {1});
        QTest::keyClick(&window, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(f.prompt.texts(), QStringList{u"Style S003 will be deleted from bank. Are you sure?"_s});
        QCOMPARE(slotTexts(window, 3), u"S002S001"_s);
        QCOMPARE(window.bank().SelectedSlot(), 1);
        QCOMPARE(slotColour(window, 1), frmStyles::slotSelected());
        // No keeps the bank; erasing leaves nothing selected and the commands disabled.
        answerYesNo(f.prompt, {0, 0, 1});
        QTest::keyClick(&window, Qt::Key_Delete, Qt::ShiftModifier);
        QTest::keyClick(&window, Qt::Key_F7);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 2);
        QTest::keyClick(&window, Qt::Key_F7);
        QCOMPARE(f.prompt.texts().constLast(), u"Would you really like to clear current bank?"_s);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 0);
        QCOMPARE(window.bank().SelectedSlot(), -1);
        QCOMPARE(slotColour(window, 0), frmStyles::slotEmpty());
        QVERIFY(!enabled(window, 1) && !enabled(window, 2) && !enabled(window, 5) && enabled(window, 0));

        f.prompt.clear();
        for (int command : {1, 2, 3, 5})
            window.mbank_Click(command);
        QCOMPARE(f.prompt.texts(), (QStringList{u"Bank is empty: there's nothing to remove!"_s,
                                                u"Bank is empty: there's nothing to move up!"_s,
                                                u"Bank is empty: there's nothing to move down!"_s,
                                                u"Bank is empty: there's nothing to remove."_s}));
        QCOMPARE(f.prompt.asked().at(0).icon, Prompt::Icon::Exclamation);
        QCOMPARE(f.module.BankState, 0);
    }

    void stateTable_data() {
        // Events on a bank of two styles with the last slot selected, confirmations answered Yes.
        QTest::addColumn<QString>("event");
        QTest::addColumn<QList<int>>("after"); // the state after the event, for states 0, 1, 2, 3 before
        QTest::newRow("insert") << u"insert"_s << QList<int>{2, 3, 2, 3};
        QTest::newRow("remove") << u"remove"_s << QList<int>{1, 1, 2, 3};
        QTest::newRow("remove both") << u"remove both"_s << QList<int>{0, 0, 2, 3};
        QTest::newRow("move up") << u"up"_s << QList<int>{0, 1, 2, 3};
        QTest::newRow("move down at the end") << u"down"_s << QList<int>{0, 1, 2, 3};
        QTest::newRow("erase") << u"erase"_s << QList<int>{0, 0, 0, 0};
    }

    void stateTable() {
        QFETCH(QString, event);
        QFETCH(QList<int>, after);
        Fixture f(3);
        for (int before = 0; before < 4; ++before) {
            ScriptedPrompt prompt;
            WorkingBank bank(f.module, prompt);
            bank.clear();
            bank.insert({{1, u"S001"_s}, {2, u"S002"_s}});
            f.module.BankState = before;
            answerYesNo(prompt, {1, 1});
            const bool done = event == "insert"_L1        ? bank.insert({{3, u"S003"_s}})
                              : event == "remove"_L1      ? bank.remove()
                              : event == "remove both"_L1 ? bank.remove() && bank.remove()
                              : event == "up"_L1          ? bank.moveUp()
                              : event == "down"_L1        ? bank.moveDown()
                                                          : bank.erase();
            QVERIFY(done);
            QVERIFY2(f.module.BankState == after.at(before),
                     qPrintable(u"%1 from %2 gave %3"_s.arg(event).arg(before).arg(f.module.BankState)));
        }
    }

    void loadStoredBank() {
        // Styles in slots 1, 2 and 5, and a slot naming a style that is gone.
        Fixture f(40);
        DbKORFStyle gone(f.module.connection());
        gone.setStyleProg(40);
        QVERIFY(gone.DelKORFStyles());
        const qint32 bank = addBank(f.module, u"MY BANK"_s, {7, 3, 0, 0, 12, 40});
        frmStyles window(f.module, f.prompt);
        f.module.BankTable->setBankProg(bank);
        QVERIFY(f.module.BankTable->GetKORFBanks());
        window.showStoredBank();
        QCOMPARE(f.module.BankState, 1);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 3);
        QCOMPARE(slotTexts(window, 3), u"S007S003S012"_s);
        QCOMPARE(window.bank().SelectedSlot(), 0);
        QCOMPARE(child<QGroupBox>(&window, u"frBank"_s)->title(), u" MY BANK"_s);
        // Every opening of the window starts empty again.
        frmStyles again(f.module, f.prompt);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 0);
        QCOMPARE(f.module.BankState, 0);
    }
};

QTEST_MAIN(StylesWindowTest)
#include "tst_gui_styles.moc"
