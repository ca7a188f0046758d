// The styles window: layout, remembered shape, sorting header, find as you type, count caption,
// editing by double click, and the working bank with its commands, drag and drop and states.

#include "banks/WorkingBank.h"
#include "core/SBKSettings.h"
#include "gui/banks/frmBankSave.h"
#include "gui/banks/WorkingBankModel.h"
#include "gui/main/WindowOpener.h"
#include "GuiTestData.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QTemporaryFile>
#include <QToolTip>
#include <QVBoxLayout>

using namespace guitest;
using namespace Qt::StringLiterals;

namespace {

// The colour the header shows at the left edge of a column, as painted.
QColor paintedHeaderColour(frmStyles& window, int i) {
    QHeaderView* header = window.grid()->horizontalHeader();
    return header->grab().toImage().pixelColor(header->sectionViewportPosition(i) + 3, 3);
}

void clickHeader(frmStyles& window, int i) {
    QHeaderView* header = window.grid()->horizontalHeader();
    QTest::mouseClick(
        header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(i) + header->sectionSize(i) / 2, header->height() / 2));
}

// A widget lies wholly inside the window.
bool inside(QWidget* window, QWidget* widget) {
    return widget->isVisible() &&
           window->rect().contains(QRect(widget->mapTo(window, QPoint()), widget->size()));
}

// The tooltip shown on resting the mouse over a cell of the grid.
QString cellTip(frmStyles& window, int row, int column) {
    QWidget* viewport = window.grid()->viewport();
    const QPoint at = window.grid()->visualRect(window.gridModel()->index(row, column)).center();
    QHelpEvent event(QEvent::ToolTip, at, viewport->mapToGlobal(at));
    QApplication::sendEvent(viewport, &event);
    return QToolTip::text();
}

// What the grid puts into a drag of rows first..last.
std::unique_ptr<QMimeData> draggedRows(frmStyles& window, int first, int last) {
    QModelIndexList cells;
    for (int r = first; r <= last; ++r)
        cells << window.gridModel()->index(r, 1) << window.gridModel()->index(r, 2);
    return std::unique_ptr<QMimeData>(window.gridModel()->mimeData(cells));
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

} // namespace

class StylesWindowTest : public QObject {
    Q_OBJECT
private slots:
    // The header sorts by a column, descending, and back to the style number, coloured and with
    // its arrow. Size, place and column widths come back at the next opening, without the arrow;
    // a stored shape that cannot be read gives the default one.
    void sortClicksAndShape() {
        Fixture f;
        addStyle(f.module, u"Bossa"_s, QString(), QString(), u"ZZ"_s);
        addStyle(f.module, u"Alpine"_s, QString(), QString(), u"AA"_s);
        addStyle(f.module, u"Cha Cha"_s, QString(), QString(), u"MM"_s);
        frmStyles window(f.module, f.prompt);
        QAbstractItemModelTester tester(window.gridModel(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize defaultSize = window.size();
        QCOMPARE(gridNames(window), u"Bossa,Alpine,Cha Cha"_s);

        const struct {
            QString order;
            QColor colour;
            QString names;
            int arrow;
        } clicks[] = {
            {u"STYLENAME1"_s, frmStyles::lightRed(), u"Alpine,Bossa,Cha Cha"_s, Qt::AscendingOrder},
            {u"STYLENAME1 DESC"_s, frmStyles::lightGreen(), u"Cha Cha,Bossa,Alpine"_s, Qt::DescendingOrder},
            {QString(), QApplication::palette().color(QPalette::Button), u"Bossa,Alpine,Cha Cha"_s, -1}};
        QHeaderView* header = window.grid()->horizontalHeader();
        for (const auto& click : clicks) {
            clickHeader(window, 1);
            QCOMPARE(f.module.FilterOrder, click.order);
            QCOMPARE(headerColour(window, 1), click.colour);
            QCOMPARE(paintedHeaderColour(window, 1), click.colour); // exactly, not shaded
            QCOMPARE(header->sortIndicatorSection() == 1 ? int(header->sortIndicatorOrder()) : -1,
                     click.arrow);
            QCOMPARE(gridNames(window), click.names);
        }
        // Another column after the name: its ascending key, and the name button reset.
        window.cbTitle_Click(1);
        window.cbTitle_Click(4);
        QCOMPARE(f.module.FilterOrder, u"STYLECAT"_s);
        QCOMPARE(headerColour(window, 1), window.palette().color(QPalette::Window));

        window.resize(defaultSize + QSize(200, 150));
        header->resizeSection(2, 300);
        window.command(u"mFile"_s, 5)->trigger();
        frmStyles again(f.module, f.prompt);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.size(), defaultSize + QSize(200, 150));
        QCOMPARE(again.grid()->horizontalHeader()->sectionSize(2), 300);
        QCOMPARE(again.grid()->horizontalHeader()->sortIndicatorSection(), -1);
        again.reject();
        SBKSettings settings;
        settings.setValue(SBKSettings::StylesWindow, SBKSettings::Geometry, u"not a shape"_s);
        settings.setValue(SBKSettings::StylesWindow, SBKSettings::Columns, u"AAAA"_s);
        frmStyles fresh(f.module, f.prompt);
        fresh.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fresh));
        QCOMPARE(fresh.size(), defaultSize);
        QVERIFY(fresh.grid()->isColumnHidden(0));
    }

    // Sixty rows of "New Style" told apart: the number, author, date, file and banks are chosen
    // from the header's menu, sort from their headers (the banks by how many hold the style), every
    // caption keeps its room beside the sort arrow, the banks follow a bank saved in the window,
    // and the chosen columns come back at the next opening.
    void chosenColumns() {
        Fixture f;
        for (const auto& [author, file] :
             {std::pair{"Zed", "FAVORITE01.STY"}, {"Ann", "USER01.STY"}, {"", "A.STY"}}) {
            const qint32 style = addStyle(f.module, u"New Style"_s);
            QSqlQuery(f.module.connection())
                .exec(
                    u"UPDATE KORFStyles SET StyleAuthor = '%1', StyleDate = '2024/05/0%2', StyleFile = '%3' "
                    "WHERE StyleProg = %2"_s.arg(QLatin1String(author))
                        .arg(style)
                        .arg(QLatin1String(file)));
        }
        addBank(f.module, u"LIVE"_s, {2, 3, 2}); // style 2 twice
        addBank(f.module, u"FAVOR002"_s, {2});
        frmStyles window(f.module, f.prompt);
        window.show();
        // The columns shown, as long as the menu's ticks agree.
        const auto shown = [](frmStyles& w) {
            QList<int> columns;
            for (int c = 0; c < StyleGridModel::ColumnCount; ++c) {
                if (child<QAction>(w.columnsMenu(), u"mColumns_%1"_s.arg(c))->isChecked() ==
                    w.grid()->isColumnHidden(c))
                    return QList<int>{-1};
                if (!w.grid()->isColumnHidden(c))
                    columns << c;
            }
            return columns;
        };
        const auto cells = [&](int column) {
            QStringList texts;
            for (int r = 0; r < 3; ++r)
                texts << window.gridModel()->text(r, column);
            return texts.join(u'|');
        };
        QCOMPARE(shown(window), (QList{1, 2, 3, 4, 5, 6}));
        QVERIFY(!child<QAction>(window.columnsMenu(), u"mColumns_1"_s)->isEnabled()); // the name always shows
        for (int c : {0, 7, 8, 9, 10})
            child<QAction>(window.columnsMenu(), u"mColumns_%1"_s.arg(c))->trigger();
        QCOMPARE(shown(window), (QList{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
        QCOMPARE(cells(7) + u'/' + cells(10), u"Zed|Ann|/|FAVOR002, LIVE|LIVE"_s);

        const struct {
            int column;
            const char* order;
            const char* numbers;
        } sorts[] = {{10, "BANKS", "1|3|2"},         {10, "BANKS DESC", "2|3|1"}, {0, "STYLEPROG", "1|2|3"},
                     {0, "STYLEPROG DESC", "3|2|1"}, {7, "STYLEAUTHOR", "3|2|1"}, {9, "STYLEFILE", "3|1|2"},
                     {8, "STYLEDATE", "1|2|3"}};
        for (const auto& sort : sorts) {
            window.cbTitle_Click(sort.column);
            QCOMPARE(f.module.FilterOrder + u' ' + cells(0), u"%1 %2"_s.arg(sort.order, sort.numbers));
        }

        child<QAction>(window.columnsMenu(), u"mColumns_8"_s)->trigger(); // the date goes
        window.command(u"mFile"_s, 5)->trigger();
        frmStyles again(f.module, f.prompt);
        QCOMPARE(shown(again), (QList{0, 1, 2, 3, 4, 5, 6, 7, 9, 10}));
    }

    void layoutFitsTheScreen_data() {
        QTest::addColumn<int>("screen");
        QTest::addColumn<double>("scale");
        QTest::newRow("1600x1000, text 200%") << 0 << 2.0;
        QTest::newRow("1280x800, text 200%") << 1 << 2.0;
    }

    // The window and the windows it opens lie within the screen, and nothing in the window is cut:
    // two columns of 16 slots (shorter on a low screen), the bank buttons, the contents pane, the
    // columns as far as the screen allows; at the window's smallest size the grid still shows the
    // name, tempo and meter whole and the find field its whole hint. A cut cell tells its text.
    void layoutFitsTheScreen() {
        QFETCH(int, screen);
        QFETCH(double, scale);
        const QFont font = QApplication::font();
        QFont scaled = font;
        scaled.setPointSizeF(font.pointSizeF() * scale);
        QApplication::setFont(scaled);
        const auto restore = qScopeGuard([&] { QApplication::setFont(font); });
        QScreen* shownOn = QGuiApplication::screens().at(screen);
        const QSize room = shownOn->availableGeometry().size();
        QWidget opener; // the main window, on that screen
        opener.setScreen(shownOn);
        opener.move(shownOn->geometry().topLeft());
        opener.show();
        Fixture f(3);
        const QString description = u"A description far longer than the narrowed column shows"_s;
        addStyle(f.module, u"Slow Rock Ballad"_s, description);
        addBank(f.module, u"B"_s, {4});
        frmStyles window(f.module, f.prompt, &opener);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.screen(), shownOn);
        const QSize frame = window.frameGeometry().size() - window.size();
        const auto fits = [&](QSize size) {
            size += frame;
            return size.width() <= room.width() && size.height() <= room.height();
        };
        QVERIFY(fits(window.size()));
        selectRows(window, 0, 3);
        window.mbank_Click(0);
        window.lbNewStyle_Click(0);

        for (int s = 0; s < WorkingBank::SlotCount; ++s) {
            QLabel* slot = slotLabel(window, s);
            QVERIFY2(inside(&window, slot), qPrintable(u"slot %1"_s.arg(s)));
            QVERIFY(slot->sizeHint().width() <= slot->width() &&
                    slot->contentsRect().height() >= slot->fontMetrics().height());
            if (s % 16 != 15)
                QVERIFY(slot->geometry().bottom() < slotLabel(window, s + 1)->geometry().top());
        }
        QCOMPARE(slotLabel(window, 16)->y(), slotLabel(window, 0)->y());
        QVERIFY(slotLabel(window, 16)->x() > slotLabel(window, 0)->geometry().right());
        for (const QString& name : {u"cmdBank_0"_s, u"cmdBank_1"_s, u"lbBankDesc"_s, u"frContents"_s}) {
            auto* widget = child<QWidget>(&window, name);
            QVERIFY2(inside(&window, widget), qPrintable(name));
            QVERIFY(widget->height() >= widget->fontMetrics().height());
        }
        QVERIFY(inside(&window, window.grid()) && inside(&window, window.findField()));
        // Every column shows without a scroll bar unless the window fills the screen's width.
        QHeaderView* header = window.grid()->horizontalHeader();
        QVERIFY(window.grid()->horizontalScrollBar()->maximum() == 0 || !fits(window.size() + QSize(1, 0)));

        QVERIFY(fits(window.minimumSize()));
        window.resize(window.minimumSize());
        QTRY_COMPARE(window.size(), window.minimumSize());
        QVERIFY(header->sectionViewportPosition(6) + header->sectionSize(6) <= header->viewport()->width());

        window.resize(room);
        header->resizeSection(2, header->sectionSize(2) / 4);
        QCOMPARE(cellTip(window, 3, 2), description);
    }

    // The find field narrows by name and description on top of the sort in use, keeps the count
    // caption, hands the shown rows to the bank, and Esc empties it without closing the window.
    void findAsYouType() {
        Fixture f;
        addStyle(f.module, u"Slow Bossa"_s);
        addStyle(f.module, u"Waltz"_s, u"3/4"_s);
        addStyle(f.module, u"Rock"_s, u"with a bossa feel"_s);
        addStyle(f.module, u"Bossa"_s + QChar(0) + u"Nova"_s);
        f.module.FilterOrder = u"STYLENAME1"_s;
        frmStyles window(f.module, f.prompt);
        window.show();
        QTest::keyClicks(window.findField(), u"BOSS"_s);
        QCOMPARE(gridNames(window), QString(u"BossaNova,Rock,Slow Bossa"_s));
        QCOMPARE(child<QLabel>(&window, u"lbFound"_s)->text(), u"3 found"_s);
        QCOMPARE(child<QGroupBox>(&window, u"frStyle"_s)->title(), u" 4 styles available "_s);
        QTest::keyClicks(window.findField(), u"anov"_s); // across the characters of code 0
        QCOMPARE(gridNames(window), u"BossaNova"_s);
        window.findField()->setText(u"BOSS"_s);
        clickHeader(window, 1); // a sort keeps the narrowing
        QCOMPARE(gridNames(window), u"Slow Bossa,Rock,BossaNova"_s);
        click(&window, u"cmdBank_0"_s);
        QCOMPARE(slotTexts(window, 1), u"Slow Bossa"_s);

        QTest::keyClicks(window.findField(), u"zz"_s);
        QCOMPARE(window.gridModel()->rowCount(), 0);
        QTest::keyClick(window.findField(), Qt::Key_Escape);
        QVERIFY(window.isVisible() && window.findField()->text().isEmpty());
        QCOMPARE(window.gridModel()->rowCount(), 4);
    }

    // A filter clause the database refuses is reported, and the grid stays empty with the
    // commands on rows disabled.
    void refusedFilter() {
        Fixture f(3);
        f.module.FilterWhere = u"NOSUCHCOLUMN = 1"_s;
        frmStyles window(f.module, f.prompt);
        QCOMPARE(child<QGroupBox>(&window, u"frStyle"_s)->title(), u"No style available"_s);
        QCOMPARE(f.prompt.asked().size(), 1);
        QVERIFY(!window.command(u"mbank"_s, 0)->isEnabled());
    }

    // Edited by double click: updated in place (the author and file too) and found by its new name. Field
    // limits hold for typing only; a lone blank gives way to typing and comes back when the field is emptied;
    // a text SSF and PDD files cannot carry is refused. The data blocks are never touched.
    void editByDoubleClick() {
        Fixture f;
        addStyle(f.module, u"Alpha"_s);
        addStyle(f.module, u"Beta"_s);
        const qint32 gamma = addStyle(f.module, u"Gamma"_s, u"old"_s);
        const qint32 ballad = addStyle(f.module, u"Unplugged Ballad"_s, u"desc"_s, u" "_s, u"OLD"_s);
        f.module.FilterOrder = u"STYLENAME1"_s;
        frmStyles window(f.module, f.prompt);
        window.show();
        std::function<void(QDialog&)> edit;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            dialog.show();
            edit(dialog);
            return dialog.result();
        });
        const auto stored = [&](qint32 prog) {
            DbKORFStyle check(f.module.connection());
            check.setStyleProg(prog);
            check.GetKORFStyles();
            return QStringList{check.StyleName1(), check.StyleFamily(), check.StyleCat(),
                               QString::fromLatin1(check.StyleContent1())};
        };

        edit = [&](QDialog& dialog) {
            field(&dialog, 0)->clear();
            QTest::keyClicks(field(&dialog, 0), u"Aardvark"_s);
            field(&dialog, 4)->setText(u"ZOO.STY"_s);
            field(&dialog, 5)->setText(u"Ann"_s);
            click(&dialog, u"cbUpdate"_s);
        };
        QTableView* grid = window.grid();
        const QPoint cell = grid->visualRect(window.gridModel()->index(2, 1)).center();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell);
        QCOMPARE(gridNames(window), u"Alpha,Beta,Aardvark,Unplugged Ballad"_s);
        QCOMPARE(window.gridModel()->text(2, 7) + window.gridModel()->text(2, 9), u"AnnZOO.STY"_s);
        QCOMPARE(stored(gamma), (QStringList{u"Aardvark"_s, {}, {}, u"data"_s}));
        window.findField()->setText(u"AARDV"_s); // the find text of the edited row is new too
        QCOMPARE(gridNames(window), u"Aardvark"_s);
        window.findField()->clear();

        bool stayedOpen = false;
        edit = [&](QDialog& dialog) {
            QTest::keyClick(field(&dialog, 0), Qt::Key_End);
            QTest::keyClicks(field(&dialog, 0), u"x"_s); // not longer than it was put in
            field(&dialog, 3)->setText(u"POP"_s);
            QLineEdit* family = field(&dialog, 2);
            QTest::mouseClick(family, Qt::LeftButton, {}, QPoint(family->width() - 4, family->height() / 2));
            QTest::keyClicks(family, u"ROCK"_s);
            field(&dialog, 5)->insert(u"Zo\u00eb \u65e5"_s); // as pasted
            click(&dialog, u"cbUpdate"_s);
            stayedOpen = dialog.isVisible();
            field(&dialog, 5)->clear();
            click(&dialog, u"cbUpdate"_s);
        };
        window.grdStyles_DblClick(3);
        QVERIFY(stayedOpen);
        QCOMPARE(stored(ballad), (QStringList{u"Unplugged Ballad"_s, u"ROCK"_s, u"POP"_s, u"data"_s}));
        QCOMPARE(f.prompt.texts().size(), 1);
        QVERIFY(f.prompt.texts()[0].startsWith(
            u"The author \"Zo\u00eb \u65e5\" holds the character \"\u65e5\""_s));
    }

    // Rows dropped go in at the slot under the mouse; rows picked from the bottom go in top down
    // until the bank is full; a full bank refuses before its state changes; slots are dragged.
    void fillingTheBank() {
        Fixture f(60);
        frmStyles window(f.module, f.prompt);
        window.show();
        WorkingBankModel* bank = window.bankModel();
        QAbstractItemModelTester tester(bank, QAbstractItemModelTester::FailureReportingMode::QtTest);
        selectRows(window, 0, 7);
        window.mbank_Click(0);
        f.module.BankState = 1;
        QVERIFY(bank->dropMimeData(draggedRows(window, 20, 21).get(), Qt::CopyAction, 5, 0, QModelIndex()));
        QCOMPARE(slotTexts(window, 10), u"S001S002S003S004S005S021S022S006S007S008"_s);
        QCOMPARE(window.bank().SelectedSlot(), 6);
        QCOMPARE(f.module.BankState, 3);

        selectRows(window, 22, 41);
        click(&window, u"cmdBank_0"_s);
        QTableView* grid = window.grid();
        grid->scrollTo(window.gridModel()->index(54, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(window.gridModel()->index(54, 1)).center());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                          grid->visualRect(window.gridModel()->index(50, 1)).center());
        window.mbank_Click(0);
        QVERIFY(f.prompt.asked().isEmpty());
        QCOMPARE(f.module.WorkingBankStyles.Count(), 32);
        QCOMPARE(slotLabel(window, 30)->text() + slotLabel(window, 31)->text(), u"S051S052"_s);

        f.module.BankState = 1;
        QVERIFY(!bank->dropMimeData(draggedRows(window, 2, 2).get(), Qt::CopyAction, 0, 0, QModelIndex()));
        QCOMPARE(f.prompt.texts(),
                 QStringList{u"Bank already holds 32 styles. Selected style(s) cannot be added!"_s});
        QCOMPARE(f.module.BankState, 1); // refused before the state changes

        // Slot 1 dragged onto slot 3 lands there; like the move commands, the state stays.
        const std::unique_ptr<QMimeData> slot(bank->mimeData({bank->index(1)}));
        QVERIFY(bank->dropMimeData(slot.get(), Qt::MoveAction, 3, 0, QModelIndex()));
        QCOMPARE(slotTexts(window, 5), u"S001S003S004S002S005"_s);
        QCOMPARE(window.bank().SelectedSlot(), 3);
        QCOMPARE(f.module.BankState, 1);
    }

    // A bank of three through the shortcuts, the commands on the empty bank, a style in the bank
    // already, and closing with changes.
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
        // No keeps the bank; erasing it leaves no slot selected.
        answerYesNo(f.prompt, {0, 1});
        QTest::keyClick(&window, Qt::Key_F7);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 2);
        QTest::keyClick(&window, Qt::Key_F7);
        QCOMPARE(f.prompt.texts().constLast(), u"Would you really like to clear current bank?"_s);
        QCOMPARE(f.module.WorkingBankStyles.Count(), 0);
        QCOMPARE(window.bank().SelectedSlot(), -1);
        QCOMPARE(slotColour(window, 0), frmStyles::slotEmpty());

        // A style in the bank already is asked about once for each entry; the last answer decides.
        f.prompt.clear();
        selectRows(window, 4, 4);
        answerYesNo(f.prompt, {1, 1, 0, 0, 1});
        for (int count : {1, 2, 2, 3}) {
            window.mbank_Click(0);
            QCOMPARE(f.module.WorkingBankStyles.Count(), count);
        }
        QCOMPARE(f.prompt.asked().size(), 5);
        QCOMPARE(f.prompt.asked().at(0).defaultButton, Prompt::Answer::No);
        QCOMPARE(f.module.BankState, 2);

        // Closing a bank with changes asks (No stays, Yes closes) and does not clear the bank;
        // every opening starts with an empty bank.
        f.prompt.clear();
        answerYesNo(f.prompt, {0, 1});
        window.command(u"mFile"_s, 5)->trigger();
        QVERIFY(window.isVisible());
        f.module.BankState = 3;
        window.command(u"mFile"_s, 5)->trigger();
        QVERIFY(!window.isVisible());
        QCOMPARE(f.prompt.texts().size(), 2);
        QVERIFY(f.prompt.texts().constLast().startsWith("Current bank has been modified."_L1));
        QCOMPARE(f.module.WorkingBankStyles.Count(), 3);
        frmStyles again(f.module, f.prompt);
        QVERIFY(f.module.WorkingBankStyles.Count() == 0 && f.module.BankState == 0);
    }

    // Removing styles from a bank of two: a bank without changes counts as stored while it holds
    // styles and as none once empty; a changed bank stays changed (states 0, 1, 2, 3 before).
    void removalStates() {
        Fixture f(2);
        for (int before = 0; before < 4; ++before) {
            WorkingBank bank(f.module, f.prompt);
            bank.clear();
            bank.insert({{1, u"S001"_s}, {2, u"S002"_s}});
            f.module.BankState = before;
            answerYesNo(f.prompt, {1, 1});
            QVERIFY(bank.remove());
            QCOMPARE(f.module.BankState, (QList{1, 1, 2, 3}).at(before));
            QVERIFY(bank.remove());
            QCOMPARE(f.module.BankState, (QList{0, 0, 2, 3}).at(before));
        }
    }
};

// The window's geometry is checked on screens of 1600 by 1000 and 1280 by 800, the sizes
// screenshots use, rather than on the 800 by 600 screen the offscreen platform starts with.
int main(int argc, char* argv[]) {
    QTemporaryFile screens;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && screens.open()) {
        screens.write(R"({"screens": [{"name": "large", "x": 0, "y": 0, "width": 1600, "height": 1000,
                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1},
                         {"name": "small", "x": 1600, "y": 0, "width": 1280, "height": 800,
                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
        screens.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    }
    QApplication app(argc, argv);
    StylesWindowTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_gui_styles.moc"
