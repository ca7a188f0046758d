// The working bank: slots and colours, the Banks menu commands with their messages, the state
// table, and loading a stored bank.

#include "banks/frmStyles.h"
#include "banks/StyleGridModel.h"
#include "banks/WorkingBank.h"
#include "GuiTestData.h"
#include "ScriptedPrompt.h"

#include <QAction>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

using namespace guitest;

namespace {

const QString Empty = QStringLiteral("Bank is empty: there's nothing to remove!");

// Selects grid rows first..last as a user would drag over them.
void selectRows(frmStyles& window, int first, int last) {
    QTableView* grid = window.grid();
    const QItemSelection range(window.gridModel()->index(first, 0), window.gridModel()->index(last, 4));
    grid->selectionModel()->setCurrentIndex(window.gridModel()->index(last, 1),
                                            QItemSelectionModel::NoUpdate);
    grid->selectionModel()->select(range, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QColor slotColour(frmStyles& window, int slot) {
    return child<QLabel>(&window, QStringLiteral("lbNewStyle_%1").arg(slot))
        ->palette()
        .color(QPalette::Window);
}

QString slotText(frmStyles& window, int slot) {
    return child<QLabel>(&window, QStringLiteral("lbNewStyle_%1").arg(slot))->text();
}

} // namespace

class WorkingBankTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void insertShowsSlotsAndColours();
    void insertFiveIntoThirty();
    void insertIntoFullBank();
    void duplicatesAskedPerEntry_data();
    void duplicatesAskedPerEntry();
    void upwardSelectionInserts();
    void removeLastOfThree();
    void removeOnlyStyleDisablesCommands();
    void emptyBankMessages_data();
    void emptyBankMessages();
    void moveAtTheEndsDoesNothing();
    void slotClicks();
    void stateTable_data();
    void stateTable();
    void eraseAsksAndClears();
    void loadStoredBank();
    void shortcuts();

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<SBKModule> m_module;
    std::unique_ptr<ScriptedPrompt> m_prompt;
};

void WorkingBankTest::init() {
    m_env = std::make_unique<TestEnvironment>();
    m_module = std::make_unique<SBKModule>();
    connectTo(*m_module, m_env->createDatabase());
    addStyles(*m_module, 40);
    m_prompt = std::make_unique<ScriptedPrompt>();
}

void WorkingBankTest::cleanup() {
    m_prompt.reset();
    m_module.reset();
    m_env.reset();
}

void WorkingBankTest::insertShowsSlotsAndColours() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    QCOMPARE(child<QGroupBox>(&window, QStringLiteral("frBank"))->title(), QStringLiteral("<empty bank>"));
    QCOMPARE(child<QPushButton>(&window, QStringLiteral("cmdBank_0"))->toolTip(),
             QStringLiteral("Add selected style(s) to bank"));
    QCOMPARE(child<QPushButton>(&window, QStringLiteral("cmdBank_1"))->toolTip(),
             QStringLiteral("Remove selected style from bank"));
    selectRows(window, 0, 17);
    click(&window, QStringLiteral("cmdBank_0"));
    QVERIFY(m_prompt->asked().isEmpty());
    QCOMPARE(m_module->WorkingBankStyles.Count(), 18);
    QCOMPARE(window.bank().SelectedSlot(), 17);
    QCOMPARE(m_module->BankState, 2);
    QCOMPARE(slotText(window, 0), QStringLiteral("S001"));
    QCOMPARE(slotText(window, 17), QStringLiteral("S018"));
    QCOMPARE(slotColour(window, 0), frmStyles::slotFilled());
    QCOMPARE(slotColour(window, 17), frmStyles::slotSelected());
    QCOMPARE(slotColour(window, 18), frmStyles::slotEmpty());
    // Slots 0..15 form the left column, 16..31 the right one.
    auto* s0 = child<QLabel>(&window, QStringLiteral("lbNewStyle_0"));
    auto* s15 = child<QLabel>(&window, QStringLiteral("lbNewStyle_15"));
    auto* s16 = child<QLabel>(&window, QStringLiteral("lbNewStyle_16"));
    QCOMPARE(s0->x(), s15->x());
    QVERIFY(s15->y() > s0->y());
    QCOMPARE(s16->y(), s0->y());
    QVERIFY(s16->x() > s0->x());
    // The grid's selection stays as it was.
    QCOMPARE(window.grid()->selectionModel()->selectedRows().size(), 18);
    // Entries added from the grid carry only number and name.
    const KORFStylePtr entry = m_module->WorkingBankStyles.Item(1);
    QCOMPARE(entry->StyleProg(), 1);
    QCOMPARE(entry->StyleContent1(), QByteArray(" "));
    QCOMPARE(entry->StyleLength1(), 0);
}

void WorkingBankTest::insertFiveIntoThirty() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    selectRows(window, 0, 29);
    window.mbank_Click(0);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 30);
    selectRows(window, 30, 34);
    window.mbank_Click(0);
    QVERIFY(m_prompt->asked().isEmpty()); // the three rows left over are skipped silently
    QCOMPARE(m_module->WorkingBankStyles.Count(), 32);
    QCOMPARE(m_module->WorkingBankStyles.Item(32)->StyleProg(), 32);
    QVERIFY(!window.command(QStringLiteral("mbank"), 0)->isEnabled());
    QVERIFY(child<QPushButton>(&window, QStringLiteral("cmdBank_0"))->isEnabled()); // never disabled
}

void WorkingBankTest::insertIntoFullBank() {
    frmStyles window(*m_module, *m_prompt);
    selectRows(window, 0, 31);
    window.mbank_Click(0);
    m_module->BankState = 1;
    selectRows(window, 35, 35);
    window.mbank_Click(0);
    QCOMPARE(m_prompt->texts(),
             QStringList{QStringLiteral("Bank already holds 32 styles. Selected style(s) cannot be added!")});
    QCOMPARE(m_prompt->asked().at(0).icon, Prompt::Icon::Exclamation);
    QCOMPARE(m_prompt->asked().at(0).title, QStringLiteral("SBK"));
    QCOMPARE(m_module->BankState, 1); // refused before the state changes
}

void WorkingBankTest::duplicatesAskedPerEntry_data() {
    QTest::addColumn<QList<int>>("answers"); // 1 Yes, 0 No
    QTest::addColumn<bool>("added");
    QTest::newRow("Yes then No") << QList<int>{1, 0} << false;
    QTest::newRow("No then Yes") << QList<int>{0, 1} << true;
}

void WorkingBankTest::duplicatesAskedPerEntry() {
    QFETCH(QList<int>, answers);
    QFETCH(bool, added);
    frmStyles window(*m_module, *m_prompt);
    selectRows(window, 4, 4);
    window.mbank_Click(0);
    m_prompt->answer(Prompt::Answer::Yes);
    window.mbank_Click(0); // S005 twice now
    QCOMPARE(m_module->WorkingBankStyles.Count(), 2);
    m_prompt->clear();
    for (int a : answers)
        m_prompt->answer(a ? Prompt::Answer::Yes : Prompt::Answer::No);
    window.mbank_Click(0);
    const QString question =
        QStringLiteral("Style S005 already present inside bank. Would you like to insert it anyway?");
    QCOMPARE(m_prompt->texts(), (QStringList{question, question}));
    QCOMPARE(m_prompt->asked().at(0).icon, Prompt::Icon::Question);
    QCOMPARE(m_prompt->asked().at(0).defaultButton, Prompt::Answer::No);
    QCOMPARE(m_module->WorkingBankStyles.Count(), added ? 3 : 2);
    QCOMPARE(m_module->BankState, 2);
}

void WorkingBankTest::upwardSelectionInserts() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    QTableView* grid = window.grid();
    const QPoint lower = grid->visualRect(window.gridModel()->index(6, 1)).center();
    const QPoint upper = grid->visualRect(window.gridModel()->index(4, 1)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, lower);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, upper);
    window.mbank_Click(0);
    QCOMPARE(m_module->GridAnchorRow, 4);
    QCOMPARE(m_module->GridEndRow, 6);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 3);
    QCOMPARE(m_module->WorkingBankStyles.Item(1)->StyleName1(), QStringLiteral("S005"));
    QCOMPARE(m_module->WorkingBankStyles.Item(3)->StyleName1(), QStringLiteral("S007"));
}

void WorkingBankTest::removeLastOfThree() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    selectRows(window, 0, 2);
    window.mbank_Click(0);
    QCOMPARE(window.bank().SelectedSlot(), 2);
    m_prompt->answer(Prompt::Answer::Yes);
    click(&window, QStringLiteral("cmdBank_1"));
    QCOMPARE(m_prompt->texts(),
             QStringList{QStringLiteral("Style S003 will be deleted from bank. Are you sure?")});
    QCOMPARE(m_module->WorkingBankStyles.Count(), 2);
    QCOMPARE(window.bank().SelectedSlot(), 1);
    QCOMPARE(slotColour(window, 1), frmStyles::slotSelected());
    QCOMPARE(slotText(window, 2), QString());
    QCOMPARE(slotColour(window, 2), frmStyles::slotEmpty());
    // No keeps the bank.
    m_prompt->clear();
    m_prompt->answer(Prompt::Answer::No);
    window.mbank_Click(1);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 2);
}

void WorkingBankTest::removeOnlyStyleDisablesCommands() {
    frmStyles window(*m_module, *m_prompt);
    selectRows(window, 3, 3);
    window.mbank_Click(0);
    for (int i : {1, 2, 3, 5, 7, 8, 11, 13, 15})
        QVERIFY(window.command(QStringLiteral("mbank"), i)->isEnabled());
    m_prompt->answer(Prompt::Answer::Yes);
    window.mbank_Click(1);
    QCOMPARE(window.bank().SelectedSlot(), -1);
    for (int i : {1, 2, 3, 5, 7, 8, 11, 13, 15})
        QVERIFY2(!window.command(QStringLiteral("mbank"), i)->isEnabled(), qPrintable(QString::number(i)));
    QVERIFY(window.command(QStringLiteral("mbank"), 0)->isEnabled());
    QVERIFY(window.command(QStringLiteral("mbank"), 9)->isEnabled());
}

void WorkingBankTest::emptyBankMessages_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("message");
    QTest::newRow("remove") << 1 << Empty;
    QTest::newRow("move up") << 2 << QStringLiteral("Bank is empty: there's nothing to move up!");
    QTest::newRow("move down") << 3 << QStringLiteral("Bank is empty: there's nothing to move down!");
    QTest::newRow("erase") << 5 << QStringLiteral("Bank is empty: there's nothing to remove.");
}

void WorkingBankTest::emptyBankMessages() {
    QFETCH(int, command);
    QFETCH(QString, message);
    frmStyles window(*m_module, *m_prompt);
    window.mbank_Click(command);
    QCOMPARE(m_prompt->texts(), QStringList{message});
    QCOMPARE(m_prompt->asked().at(0).icon, Prompt::Icon::Exclamation);
    QCOMPARE(m_prompt->asked().at(0).buttons, Prompt::Buttons::Ok);
    QCOMPARE(m_module->BankState, 0);
}

void WorkingBankTest::moveAtTheEndsDoesNothing() {
    frmStyles window(*m_module, *m_prompt);
    selectRows(window, 0, 2);
    window.mbank_Click(0);
    window.lbNewStyle_Click(0);
    window.mbank_Click(2); // up at slot 0
    QCOMPARE(window.bank().SelectedSlot(), 0);
    QCOMPARE(m_module->WorkingBankStyles.Item(1)->StyleName1(), QStringLiteral("S001"));
    window.mbank_Click(3); // down: S001 to slot 1
    QCOMPARE(window.bank().SelectedSlot(), 1);
    QCOMPARE(slotText(window, 1), QStringLiteral("S001"));
    QCOMPARE(slotText(window, 0), QStringLiteral("S002"));
    window.lbNewStyle_Click(2);
    window.mbank_Click(3); // down at the last slot
    QCOMPARE(window.bank().SelectedSlot(), 2);
    QCOMPARE(slotText(window, 2), QStringLiteral("S003"));
    QVERIFY(m_prompt->asked().isEmpty());
}

void WorkingBankTest::slotClicks() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    selectRows(window, 0, 2);
    window.mbank_Click(0);
    QTest::mouseClick(child<QLabel>(&window, QStringLiteral("lbNewStyle_0")), Qt::LeftButton);
    QCOMPARE(window.bank().SelectedSlot(), 0);
    QCOMPARE(slotColour(window, 0), frmStyles::slotSelected());
    QCOMPARE(slotColour(window, 2), frmStyles::slotFilled());
    // An empty slot keeps the selection.
    QTest::mouseClick(child<QLabel>(&window, QStringLiteral("lbNewStyle_20")), Qt::LeftButton);
    QCOMPARE(window.bank().SelectedSlot(), 0);
    QCOMPARE(slotColour(window, 20), frmStyles::slotEmpty());
}

void WorkingBankTest::stateTable_data() {
    // Events on a bank of two styles with slot 1 selected; "remove" and the moves are answered
    // Yes where they ask. Changing a stored bank in any way makes it "stored with changes", so
    // that closing or loading asks before the change is lost.
    QTest::addColumn<QString>("event");
    QTest::addColumn<QList<int>>("after"); // the state after the event, for states 0, 1, 2, 3 before
    QTest::newRow("insert") << QStringLiteral("insert") << QList<int>{2, 3, 2, 3};
    QTest::newRow("remove") << QStringLiteral("remove") << QList<int>{2, 3, 2, 3};
    QTest::newRow("move up") << QStringLiteral("up") << QList<int>{2, 3, 2, 3};
    QTest::newRow("move down at the end") << QStringLiteral("down") << QList<int>{0, 1, 2, 3};
    QTest::newRow("erase") << QStringLiteral("erase") << QList<int>{0, 0, 0, 0};
    QTest::newRow("clear") << QStringLiteral("clear") << QList<int>{0, 0, 0, 0};
}

void WorkingBankTest::stateTable() {
    QFETCH(QString, event);
    QFETCH(QList<int>, after);
    for (int before = 0; before < 4; ++before) {
        ScriptedPrompt prompt;
        WorkingBank bank(*m_module, prompt);
        bank.clear();
        bank.insert({{1, QStringLiteral("S001")}, {2, QStringLiteral("S002")}});
        m_module->BankState = before;
        prompt.answer(Prompt::Answer::Yes);
        if (event == QLatin1String("insert"))
            QVERIFY(bank.insert({{3, QStringLiteral("S003")}}));
        else if (event == QLatin1String("remove"))
            QVERIFY(bank.remove());
        else if (event == QLatin1String("up"))
            QVERIFY(bank.moveUp());
        else if (event == QLatin1String("down"))
            QVERIFY(bank.moveDown());
        else if (event == QLatin1String("erase"))
            QVERIFY(bank.erase());
        else
            bank.clear();
        QVERIFY2(
            m_module->BankState == after.at(before),
            qPrintable(QStringLiteral("%1 from %2 gave %3").arg(event).arg(before).arg(m_module->BankState)));
    }
}

void WorkingBankTest::eraseAsksAndClears() {
    frmStyles window(*m_module, *m_prompt);
    selectRows(window, 0, 3);
    window.mbank_Click(0);
    m_prompt->answer(Prompt::Answer::No);
    window.mbank_Click(5);
    QCOMPARE(m_prompt->texts(), QStringList{QStringLiteral("Would you really like to clear current bank?")});
    QCOMPARE(m_module->WorkingBankStyles.Count(), 4);
    m_prompt->answer(Prompt::Answer::Yes);
    window.mbank_Click(5);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 0);
    QCOMPARE(m_module->BankState, 0);
    QCOMPARE(window.bank().SelectedSlot(), -1);
    QCOMPARE(slotText(window, 0), QString());
    QCOMPARE(slotColour(window, 0), frmStyles::slotEmpty());
    QVERIFY(!window.command(QStringLiteral("mbank"), 5)->isEnabled());
}

void WorkingBankTest::loadStoredBank() {
    // A stored bank with styles in slots 1, 2 and 5, and one slot naming a style that is gone.
    DbKORFStyle gone(m_module->connection());
    gone.setStyleProg(40);
    QVERIFY(gone.DelKORFStyles());
    const qint32 bank = addBank(*m_module, QStringLiteral("MY BANK"), {7, 3, 0, 0, 12, 40});
    frmStyles window(*m_module, *m_prompt);
    m_module->BankTable->setBankProg(bank);
    QVERIFY(m_module->BankTable->GetKORFBanks());
    window.showStoredBank();
    QCOMPARE(m_module->BankState, 1);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 3);
    QCOMPARE(slotText(window, 0), QStringLiteral("S007"));
    QCOMPARE(slotText(window, 1), QStringLiteral("S003"));
    QCOMPARE(slotText(window, 2), QStringLiteral("S012"));
    QCOMPARE(window.bank().SelectedSlot(), 0);
    QCOMPARE(child<QGroupBox>(&window, QStringLiteral("frBank"))->title(), QStringLiteral(" MY BANK"));
    QCOMPARE(child<QLabel>(&window, QStringLiteral("lbBankDesc"))->text(),
             QStringLiteral("MY BANK description"));
    QCOMPARE(child<QLabel>(&window, QStringLiteral("lbBankDesc"))->toolTip(),
             QStringLiteral("MY BANK description"));
    // Loaded entries carry empty contents.
    QCOMPARE(m_module->WorkingBankStyles.Item(1)->StyleContent1(), QByteArray());
    // Every opening of the window starts empty again.
    frmStyles again(*m_module, *m_prompt);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 0);
    QCOMPARE(m_module->BankState, 0);
}

void WorkingBankTest::shortcuts() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.grid()->setFocus();
    selectRows(window, 0, 1);
    QTest::keyClick(&window, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 2);
    QTest::keyClick(&window, Qt::Key_F2, Qt::ShiftModifier); // up
    QCOMPARE(slotText(window, 0), QStringLiteral("S002"));
    QTest::keyClick(&window, Qt::Key_F2); // down
    QCOMPARE(slotText(window, 1), QStringLiteral("S002"));
    m_prompt->answer(Prompt::Answer::Yes);
    QTest::keyClick(&window, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 1);
    m_prompt->answer(Prompt::Answer::Yes);
    QTest::keyClick(&window, Qt::Key_F7);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 0);
}

QTEST_MAIN(WorkingBankTest)
#include "tst_gui_workingbank.moc"
