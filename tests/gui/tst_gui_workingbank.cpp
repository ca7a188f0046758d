// The working bank: slots and colours, the Banks menu commands with their messages, the state
// table, loading a stored bank and the shortcuts.

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

// Selects grid rows first..last as a user would drag over them.
void selectRows(frmStyles& window, int first, int last) {
    const QItemSelection range(window.gridModel()->index(first, 0), window.gridModel()->index(last, 4));
    window.grid()->selectionModel()->setCurrentIndex(window.gridModel()->index(last, 1),
                                                     QItemSelectionModel::NoUpdate);
    window.grid()->selectionModel()->select(range,
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QLabel* slotLabel(frmStyles& window, int slot) {
    return child<QLabel>(&window, QStringLiteral("lbNewStyle_%1").arg(slot));
}

QColor slotColour(frmStyles& window, int slot) {
    return slotLabel(window, slot)->palette().color(QPalette::Window);
}

bool enabled(frmStyles& window, int index) {
    return window.command(QStringLiteral("mbank"), index)->isEnabled();
}

} // namespace

class WorkingBankTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void insertFiveIntoThirty();
    void duplicatesAskedPerEntry_data();
    void duplicatesAskedPerEntry();
    void upwardSelectionInserts();
    void removeLastOfThree();
    void emptyBankMessages_data();
    void emptyBankMessages();
    void movesAndSlotClicks();
    void stateTable_data();
    void stateTable();
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

void WorkingBankTest::insertFiveIntoThirty() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    selectRows(window, 0, 29);
    click(&window, QStringLiteral("cmdBank_0"));
    QCOMPARE(m_module->WorkingBankStyles.Count(), 30);
    QCOMPARE(window.bank().SelectedSlot(), 29);
    QCOMPARE(slotLabel(window, 17)->text(), QStringLiteral("S018"));
    QCOMPARE(slotColour(window, 0), frmStyles::slotFilled());
    QCOMPARE(slotColour(window, 29), frmStyles::slotSelected());
    QCOMPARE(slotColour(window, 30), frmStyles::slotEmpty());

    selectRows(window, 30, 34);
    window.mbank_Click(0);
    QVERIFY(m_prompt->asked().isEmpty()); // the three rows left over are skipped silently
    QCOMPARE(m_module->WorkingBankStyles.Count(), 32);
    QCOMPARE(m_module->WorkingBankStyles.Item(32)->StyleProg(), 32);
    QCOMPARE(m_module->WorkingBankStyles.Item(32)->StyleContent1(), QByteArray(" "));
    QVERIFY(!enabled(window, 0));
    QVERIFY(child<QPushButton>(&window, QStringLiteral("cmdBank_0"))->isEnabled()); // never disabled

    m_module->BankState = 1;
    window.mbank_Click(0);
    QCOMPARE(m_prompt->texts(),
             QStringList{QStringLiteral("Bank already holds 32 styles. Selected style(s) cannot be added!")});
    QCOMPARE(m_prompt->asked().at(0).icon, Prompt::Icon::Exclamation);
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
    m_prompt->clear();
    for (int a : answers)
        m_prompt->answer(a ? Prompt::Answer::Yes : Prompt::Answer::No);
    window.mbank_Click(0);
    const QString question =
        QStringLiteral("Style S005 already present inside bank. Would you like to insert it anyway?");
    QCOMPARE(m_prompt->texts(), (QStringList{question, question}));
    QCOMPARE(m_prompt->asked().at(0).defaultButton, Prompt::Answer::No);
    QCOMPARE(m_module->WorkingBankStyles.Count(), added ? 3 : 2);
    QCOMPARE(m_module->BankState, 2);
}

void WorkingBankTest::upwardSelectionInserts() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    QTableView* grid = window.grid();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(window.gridModel()->index(6, 1)).center());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      grid->visualRect(window.gridModel()->index(4, 1)).center());
    window.mbank_Click(0);
    QCOMPARE(m_module->GridAnchorRow, 4);
    QCOMPARE(m_module->GridEndRow, 6);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 3);
    QCOMPARE(m_module->WorkingBankStyles.Item(1)->StyleName1(), QStringLiteral("S005"));
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 3); // the selection stays
}

void WorkingBankTest::removeLastOfThree() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    selectRows(window, 0, 2);
    window.mbank_Click(0);
    m_prompt->answer(Prompt::Answer::Yes);
    click(&window, QStringLiteral("cmdBank_1"));
    QCOMPARE(m_prompt->texts(),
             QStringList{QStringLiteral("Style S003 will be deleted from bank. Are you sure?")});
    QCOMPARE(m_module->WorkingBankStyles.Count(), 2);
    QCOMPARE(window.bank().SelectedSlot(), 1);
    QCOMPARE(slotColour(window, 1), frmStyles::slotSelected());
    QCOMPARE(slotLabel(window, 2)->text(), QString());
    // No keeps the bank; removing the rest leaves nothing selected and the commands disabled.
    m_prompt->answer(Prompt::Answer::No).answer(Prompt::Answer::Yes).answer(Prompt::Answer::Yes);
    for (int i = 0; i < 3; ++i)
        window.mbank_Click(1);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 0);
    QCOMPARE(window.bank().SelectedSlot(), -1);
    for (int i : {1, 2, 3, 5, 7, 8, 11, 13, 15})
        QVERIFY2(!enabled(window, i), qPrintable(QString::number(i)));
    QVERIFY(enabled(window, 0) && enabled(window, 9));
}

void WorkingBankTest::emptyBankMessages_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("message");
    QTest::newRow("remove") << 1 << QStringLiteral("Bank is empty: there's nothing to remove!");
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
    QCOMPARE(m_prompt->asked().at(0).title, QStringLiteral("SBK"));
    QCOMPARE(m_module->BankState, 0);
}

void WorkingBankTest::movesAndSlotClicks() {
    frmStyles window(*m_module, *m_prompt);
    window.show();
    selectRows(window, 0, 2);
    window.mbank_Click(0);
    QTest::mouseClick(slotLabel(window, 0), Qt::LeftButton);
    QCOMPARE(slotColour(window, 0), frmStyles::slotSelected());
    QCOMPARE(slotColour(window, 2), frmStyles::slotFilled());
    QTest::mouseClick(slotLabel(window, 20), Qt::LeftButton); // an empty slot keeps the selection
    QCOMPARE(window.bank().SelectedSlot(), 0);
    window.mbank_Click(2); // up at slot 0: nothing
    QCOMPARE(slotLabel(window, 0)->text(), QStringLiteral("S001"));
    window.mbank_Click(3);
    QCOMPARE(window.bank().SelectedSlot(), 1);
    QCOMPARE(slotLabel(window, 0)->text() + slotLabel(window, 1)->text(), QStringLiteral("S002S001"));
    window.lbNewStyle_Click(2);
    window.mbank_Click(3); // down at the last slot: nothing
    QCOMPARE(window.bank().SelectedSlot(), 2);
    // Erase asks first.
    m_prompt->answer(Prompt::Answer::No).answer(Prompt::Answer::Yes);
    window.mbank_Click(5);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 3);
    window.mbank_Click(5);
    QCOMPARE(m_prompt->texts().constLast(), QStringLiteral("Would you really like to clear current bank?"));
    QCOMPARE(m_module->WorkingBankStyles.Count(), 0);
    QCOMPARE(slotColour(window, 0), frmStyles::slotEmpty());
}

void WorkingBankTest::stateTable_data() {
    // Events on a bank of two styles with the last slot selected, confirmations answered Yes.
    QTest::addColumn<QString>("event");
    QTest::addColumn<QList<int>>("after"); // the state after the event, for states 0, 1, 2, 3 before
    QTest::newRow("insert") << QStringLiteral("insert") << QList<int>{2, 3, 2, 3};
    QTest::newRow("remove") << QStringLiteral("remove") << QList<int>{1, 1, 2, 3};
    QTest::newRow("move up") << QStringLiteral("up") << QList<int>{0, 1, 2, 3};
    QTest::newRow("move down at the end") << QStringLiteral("down") << QList<int>{0, 1, 2, 3};
    QTest::newRow("erase") << QStringLiteral("erase") << QList<int>{0, 0, 0, 0};
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
        const bool done = event == QLatin1String("insert")   ? bank.insert({{3, QStringLiteral("S003")}})
                          : event == QLatin1String("remove") ? bank.remove()
                          : event == QLatin1String("up")     ? bank.moveUp()
                          : event == QLatin1String("down")   ? bank.moveDown()
                                                             : bank.erase();
        QVERIFY(done);
        QVERIFY2(
            m_module->BankState == after.at(before),
            qPrintable(QStringLiteral("%1 from %2 gave %3").arg(event).arg(before).arg(m_module->BankState)));
    }
}

void WorkingBankTest::loadStoredBank() {
    // Styles in slots 1, 2 and 5, and a slot naming a style that is gone.
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
    QCOMPARE(slotLabel(window, 0)->text() + slotLabel(window, 1)->text() + slotLabel(window, 2)->text(),
             QStringLiteral("S007S003S012"));
    QCOMPARE(window.bank().SelectedSlot(), 0);
    QCOMPARE(child<QGroupBox>(&window, QStringLiteral("frBank"))->title(), QStringLiteral(" MY BANK"));
    QCOMPARE(child<QLabel>(&window, QStringLiteral("lbBankDesc"))->toolTip(),
             QStringLiteral("MY BANK description"));
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
    QCOMPARE(slotLabel(window, 0)->text(), QStringLiteral("S002"));
    QTest::keyClick(&window, Qt::Key_F2); // down
    QCOMPARE(slotLabel(window, 1)->text(), QStringLiteral("S002"));
    m_prompt->answer(Prompt::Answer::Yes).answer(Prompt::Answer::Yes);
    QTest::keyClick(&window, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 1);
    QTest::keyClick(&window, Qt::Key_F7);
    QCOMPARE(m_module->WorkingBankStyles.Count(), 0);
}

QTEST_MAIN(WorkingBankTest)
#include "tst_gui_workingbank.moc"
