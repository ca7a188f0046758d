// The styles that sound alike, walked in the styles window: the pane beside the grid that lists them
// and leads the grid and the player from groove to groove (and reads the library again once it
// changed), and the filter dialog's "Similar to the
// selected style" with the other clauses.

#include "gui/banks/SimilarStylesPane.h"
#include "gui/main/WindowOpener.h"
#include "gui/metadata/frmStyFilter.h"
#include "gui/music/ContentsPane.h"
#include "GuiTestData.h"
#include "MusicTestData.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTableWidget>

using namespace guitest;
using namespace Qt::StringLiterals;

namespace {

// 1 a samba, 2 another groove on the same elements but Var1, 3 the samba's notes at another tempo
// and name, 4 a style without notes.
void addLibrary(SBKModule& module) {
    const QByteArray samba = StyleBlocks::musicBlock(MusicTestData::samba());
    StyleBlocks::Music other = MusicTestData::samba();
    other.elements[0].variations =
        QList<StyleBlocks::Variation>(6, {3072, {{0, StyleBlocks::notes(96, 192, 15, 42)}}, {}});
    addBlocks(module, u"Samba"_s, samba, StyleBlocks::performanceBlock(96));
    addBlocks(module, u"Other"_s, StyleBlocks::musicBlock(other), StyleBlocks::performanceBlock(96));
    addBlocks(module, u"Samba II"_s, samba, StyleBlocks::performanceBlock(120));
    addBlocks(module, u"Empty"_s, StyleBlocks::musicBlock({}), StyleBlocks::performanceBlock(96));
}

// "percent|name|tempo|meter" of each row of the pane.
QStringList paneRows(const SimilarStylesPane& pane) {
    QStringList rows;
    for (int r = 0; r < pane.list()->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < SimilarStylesPane::ColumnCount; ++c)
            cells << pane.list()->item(r, c)->text();
        rows << cells.join(u'|');
    }
    return rows;
}

qint32 currentStyle(frmStyles& window) {
    return window.gridModel()->styleNumber(window.grid()->currentIndex().row());
}

// An output that plays nothing anywhere.
class SilentOutput : public LiveOutput {
public:
    double sampleRate() const override { return 44100; }
    void start(Pull) override {}
    QString name() const override { return u"silence"_s; }
};

} // namespace

class TestGuiSimilar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // From the grid's current style to the styles like it: choosing one makes it current in the grid
    // (emptying a find that hides it) and Space in the list plays it, while the list stays on the
    // style it was asked for; a style without notes says so.
    void walkFromGrooveToGroove() {
        const LivePlayer::ScopedFactory silence(
            [](const QString&) { return std::make_unique<SilentOutput>(); });
        Fixture f;
        addLibrary(f.module);
        frmStyles window(f.module, f.prompt);
        window.show();
        QAction* similar = window.command(u"mStyles"_s, 14);
        SimilarStylesPane* pane = window.similarPane();
        QVERIFY(window.gridMenu()->actions().contains(similar) && pane->isHidden());

        similar->trigger();
        QCOMPARE(child<QLabel>(pane, u"lbSimilarTo"_s)->text(), u"Like Style 1 \"Samba\""_s);
        const QStringList rows = paneRows(*pane);
        QCOMPARE(rows.size(), 2); // never the style itself nor one without notes
        QCOMPARE(rows.at(0), u"100 %|Samba II|120|4/4"_s);
        QVERIFY2(rows.at(1).endsWith(u"|Other|96|4/4"_s) && !rows.at(1).startsWith(u"100"_s),
                 qPrintable(rows.at(1)));

        pane->list()->setCurrentCell(0, 1);
        QCOMPARE(currentStyle(window), 3);
        QTRY_COMPARE(window.contentsPane()->style(), 3);
        QTest::keyClick(pane->list(), Qt::Key_Space);
        QVERIFY(window.contentsPane()->playing());
        QTest::keyClick(pane->list(), Qt::Key_Space);
        QVERIFY(!window.contentsPane()->playing());
        window.findField()->setText(u"Empty"_s);
        pane->list()->setCurrentCell(1, 1);
        QVERIFY(window.findField()->text().isEmpty());
        QCOMPARE(currentStyle(window), 2);
        QCOMPARE(pane->style(), 1);
        // The notes read at the first question are read again once the library changed.
        queryRows(f.module.connection(),
                  u"UPDATE KORFStyles SET NoteFingerprint = NULL WHERE StyleProg = 3"_s);
        similar->trigger();
        QCOMPARE(paneRows(*pane).size(), 1);

        window.grid()->setCurrentIndex(window.gridModel()->index(3, 1)); // Empty
        similar->trigger();
        QCOMPARE(pane->list()->rowCount(), 0);
        QCOMPARE(pane->note(), u"Style 4 \"Empty\" has no notes to compare."_s);
        click(pane, u"cmdHideSimilar"_s);
        QVERIFY(pane->isHidden());
        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // "Similar to the selected style, at least N %" lists the styles like the grid's current one,
    // with the other clauses and kept for the next opening; the pane's style that it leaves out is
    // played without the grid, and said so. Without a style, or for one without notes, the choice
    // is disabled and says why.
    void filterByLikeness() {
        Fixture f;
        addLibrary(f.module);
        frmStyles window(f.module, f.prompt);
        window.command(u"mStyles"_s, 14)->trigger(); // the styles like Samba beside the grid
        const auto filter = [&](const std::function<void(frmStyFilter&)>& fill) {
            WindowOpener::ScopedHook hook([&](QDialog& dialog) {
                auto& filterDialog = dynamic_cast<frmStyFilter&>(dialog);
                fill(filterDialog);
                filterDialog.cmdOk_Click();
                return int(QDialog::Accepted);
            });
            window.mStyles_Click(6);
        };
        filter([](frmStyFilter& dialog) {
            QCOMPARE(child<QLabel>(&dialog, u"lbSimilar"_s)->text(), u"Style 1 \"Samba\""_s);
            QCOMPARE(child<QSpinBox>(&dialog, u"txtSimilar"_s)->value(), 80);
            child<QCheckBox>(&dialog, u"chkSimilar"_s)->setChecked(true);
            child<QSpinBox>(&dialog, u"txtSimilar"_s)->setValue(99);
        });
        QCOMPARE(gridNames(window), u"Samba,Samba II"_s);
        filter([](frmStyFilter& dialog) {
            QVERIFY(child<QCheckBox>(&dialog, u"chkSimilar"_s)->isChecked());
            QCOMPARE(child<QSpinBox>(&dialog, u"txtSimilar"_s)->value(), 99);
            field(&dialog, 0)->setText(u"Samba II"_s);
        });
        QCOMPARE(gridNames(window), u"Samba II"_s);

        window.similarPane()->list()->setCurrentCell(1, 1); // Other, which the filter leaves out
        QVERIFY(window.similarPane()->note().startsWith(
            u"Style 2 \"Other\" is not in the grid: the filter in use leaves it out"_s));
        QTRY_COMPARE(window.contentsPane()->style(), 2);

        window.mStyles_Click(7); // Reset Filter, the likeness too
        frmStyFilter dialog(f.module, f.prompt);
        QCheckBox* choice = child<QCheckBox>(&dialog, u"chkSimilar"_s);
        QVERIFY(!choice->isEnabled() && !choice->isChecked());
        QCOMPARE(child<QLabel>(&dialog, u"lbSimilar"_s)->text(),
                 u"No style is selected in the grid: select one to find the styles like it."_s);
        dialog.setSelectedStyle(4, u"Empty"_s);
        QVERIFY(!choice->isEnabled());
        QCOMPARE(choice->toolTip(), u"Style 4 \"Empty\" has no notes to compare."_s);
        QCOMPARE(f.prompt.unexpected(), 0);
    }
};

QTEST_MAIN(TestGuiSimilar)
#include "tst_gui_similar.moc"
