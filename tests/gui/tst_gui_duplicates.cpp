// The duplicates window walked as a user would: opened from the Styles menu over a library with
// exact copies and copies with other settings held by banks, a kept style chosen, a run cancelled,
// a group merged and the working bank and grid following; then the report printed, saved as PDF
// and CSV, and the failures of those files told.

#include "gui/banks/BankPrinter.h"
#include "gui/banks/DuplicateReport.h"
#include "gui/banks/DuplicateTreeModel.h"
#include "gui/banks/frmDuplicates.h"
#include "gui/main/DialogProgress.h"
#include "gui/main/WindowOpener.h"
#include "gui/metadata/frmStyleEdit.h"
#include "GuiTestData.h"
#include "MusicTestData.h"
#include "PdfText.h"
#include "StyleBlocks.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTreeView>

using namespace guitest;
using namespace Qt::StringLiterals;

namespace {

// The library of the walks: styles 1 and 3 are exact copies (3 without a group), 6 is them renamed,
// 2 and 4 are the same waltz at other tempos, 5 stands alone; bank PARTY holds 1, 2, 5, 3 and ROCK
// holds 3, 4.
void addLibrary(SBKModule& module) {
    const QByteArray ballad = StyleBlocks::styleBlock(0x22);
    const QByteArray waltz = StyleBlocks::styleBlock(0x1A);
    addBlocks(module, u"Ballad"_s, ballad, StyleBlocks::performanceBlock(90), u"2005/01/01"_s, u"POP"_s);
    addBlocks(module, u"Waltz"_s, waltz, StyleBlocks::performanceBlock(100), u"2006/01/01"_s);
    addBlocks(module, u"Ballad"_s, ballad, StyleBlocks::performanceBlock(90), u"2007/01/01"_s);
    addBlocks(module, u"Waltz 120"_s, waltz, StyleBlocks::performanceBlock(120), u"2004/01/01"_s);
    addBlocks(module, u"Lonely"_s, StyleBlocks::styleBlock(0x22, false, "other music"),
              StyleBlocks::performanceBlock(90), u"2005/01/01"_s);
    addBlocks(module, u"Ballad 2"_s, StyleBlocks::styleBlock(0x22, false, {}, "Ballad 2"),
              StyleBlocks::performanceBlock(90), u"2008/01/01"_s);
    addBank(module, u"PARTY"_s, {1, 2, 5, 3});
    addBank(module, u"ROCK"_s, {3, 4});
}

// "caption" of each group, and "number|name|group|author|tempo|meter|date|banks" (a "*" before
// the number of the style kept) of each style beneath it.
QStringList treeTexts(const DuplicateTreeModel& model) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex group = model.index(row, 0);
        texts << group.data().toString();
        for (int s = 0; s < model.rowCount(group); ++s) {
            QStringList columns;
            for (int c = 0; c < DuplicateTreeModel::ColumnCount; ++c)
                columns << model.index(s, c, group).data().toString();
            if (model.index(s, 0, group).data(Qt::CheckStateRole).toInt() == Qt::Checked)
                columns.first().prepend(u'*');
            texts << columns.join(u'|');
        }
    }
    return texts;
}

void selectGroup(frmDuplicates& window, int row) {
    window.tree()->selectionModel()->select(window.treeModel()->groupIndex(row),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QString result(frmDuplicates& window) {
    return child<QLabel>(&window, u"lblResult"_s)->text();
}

QList<qint32> workingBank(const SBKModule& module) {
    QList<qint32> styles;
    for (const KORFStylePtr& style : module.WorkingBankStyles)
        styles << style->StyleProg();
    return styles;
}

// A progress whose user cancels at once.
class CancelAtOnce : public Progress {
public:
    bool cancelled() const override { return true; }
};

const QString Banks = u"SELECT BankName, BankStyle01, BankStyle02, BankStyle03, BankStyle04 FROM KORFBanks "
                      "ORDER BY BankProg"_s;

} // namespace

class DuplicatesTest : public QObject {
    Q_OBJECT
    // The walk through the window the menu opened (mergeFromTheStylesWindow).
    void walk(frmDuplicates& window, Fixture& f) {
        DuplicateTreeModel& model = *window.treeModel();
        QAbstractItemModelTester tester(&model);
        // Exact copies alone at first: the other kinds differ, and are ticked by choice.
        QCOMPARE(treeTexts(model).size(), 3);
        QCOMPARE(child<QLabel>(&window, u"lblCount"_s)->text(),
                 u"1 group of 2 styles found; merging all deletes 1 style."_s);
        child<QCheckBox>(&window, u"chkKind_1"_s)->setChecked(true);
        child<QCheckBox>(&window, u"chkKind_2"_s)->setChecked(true);
        QCOMPARE(
            treeTexts(model),
            (QStringList{
                u"Group 1: exact copies, 2 styles"_s, u"*1|Ballad|POP||90|4/4|2005/01/01|PARTY 1"_s,
                u"3|Ballad|||90|4/4|2007/01/01|PARTY 4, ROCK 1"_s, u"Group 2: renamed copies, 3 styles"_s,
                u"*1|Ballad|POP||90|4/4|2005/01/01|PARTY 1"_s,
                u"3|Ballad|||90|4/4|2007/01/01|PARTY 4, ROCK 1"_s, u"6|Ballad 2|||90|4/4|2008/01/01|"_s,
                u"Group 3: same music, other settings, 2 styles"_s, u"2|Waltz|||100|3/4|2006/01/01|PARTY 2"_s,
                u"*4|Waltz 120|||120|3/4|2004/01/01|ROCK 2"_s}));
        window.tvGroups_DblClick(model.index(0, 1, model.groupIndex(2)));
        QCOMPARE(f.module.StyleTable->StyleProg(), 2);

        // Keep style 3 of the exact copies: style 1 is no longer kept, in the renamed copies that
        // hold both either, and the kept one cannot be unchecked.
        const QModelIndex exact = model.groupIndex(0);
        QVERIFY(model.setData(model.index(1, 0, exact), Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!model.setData(model.index(1, 0, exact), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(model.index(0, 0, exact).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QCOMPARE((QList<qint64>{model.keep(0), model.keep(1), model.keep(2)}), (QList<qint64>{3, 3, 4}));

        // Merge all asks what the styles differ in, No preset; cancelled, nothing changes.
        CancelAtOnce cancel;
        window.setProgress(&cancel);
        answerYesNo(f.prompt, {1});
        click(&window, u"cmdMergeAll"_s);
        QCOMPARE(f.prompt.texts().constLast(),
                 u"Merging 2 groups (1 group within a wider group, which takes its copies) deletes 3 "
                 "styles from the database; the banks that hold them will hold the styles kept instead.\n\n"
                 "2 of the groups hold styles that differ, and only one of each group is kept:\n"
                 "Styles 1, 3 and 6 (renamed copies) differ in name (Ballad, Ballad 2).\n"
                 "Styles 2 and 4 (same music, other settings) differ in name (Waltz, Waltz 120) and tempo "
                 "(100, 120).\n\nAre you sure?"_s);
        QVERIFY(f.prompt.asked().constLast().defaultButton == Prompt::Answer::No);
        QCOMPARE(result(window), u"Merge cancelled: nothing was changed."_s);
        QCOMPARE(countRows(f.module, u"KORFStyles"_s), 6);

        window.setProgress(nullptr); // the progress dialog
        selectGroup(window, 2);
        answerYesNo(f.prompt, {1});
        click(&window, u"cmdMerge"_s);
        QVERIFY(f.prompt.texts().constLast().startsWith(u"Merging 1 group deletes 1 style from"_s));
        QCOMPARE(result(window), u"1 group merged: 1 style deleted, 1 bank slot now holds the style kept."_s);
        // The renamed copies merged with the exact ones inside them keep the style marked there.
        answerYesNo(f.prompt, {1});
        click(&window, u"cmdMergeAll"_s);
        QVERIFY(f.prompt.texts().constLast().contains(
            u"The group holds styles that differ, and only one of them is kept:\nStyles 1, 3 and 6"_s));
        QCOMPARE(result(window),
                 u"1 group merged: 2 styles deleted, 1 bank slot now holds the style kept."_s);
        QCOMPARE(child<QLabel>(&window, u"lblCount"_s)->text(), u"No duplicates found."_s);
    }

    // The same notes (sameNotesMerged): not exact copies, a kind of their own, merged.
    void findSameNotes(frmDuplicates& window, Fixture& f) {
        QCOMPARE(child<QLabel>(&window, u"lblCount"_s)->text(), u"No duplicates found."_s);
        child<QCheckBox>(&window, u"chkKind_3"_s)->setChecked(true);
        QCOMPARE(treeTexts(*window.treeModel()),
                 (QStringList{u"Group 1: same notes, 2 styles"_s, u"1|Samba|||96|4/4|2006/01/01|LATIN 1"_s,
                              u"*2|Samba Rock|||120|4/4|2005/01/01|LATIN 2"_s}));
        answerYesNo(f.prompt, {1});
        click(&window, u"cmdMergeAll"_s);
        QCOMPARE(result(window), u"1 group merged: 1 style deleted, 1 bank slot now holds the style kept."_s);
    }

private slots:
    // From the menu: exact copies found first, then every kind with the oldest kept; a double click
    // edits a style; a keep choice that behaves as a radio button in every group holding the style;
    // a cancelled run that changes nothing; one group merged, then all with the choice made; after
    // the window the working bank and grid follow.
    void mergeFromTheStylesWindow() {
        Fixture f;
        addLibrary(f.module);
        frmStyles styles(f.module, f.prompt);
        showStoredBank(styles, f.module, 1); // PARTY
        QAction* item = styles.command(u"mStyles"_s, 12);
        QCOMPARE(item->text(), u"Find duplicates..."_s);

        QStringList opened;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            opened << dialog.objectName();
            if (qobject_cast<frmStyleEdit*>(&dialog))
                return int(QDialog::Rejected);
            walk(dynamic_cast<frmDuplicates&>(dialog), f);
            return int(QDialog::Accepted);
        });
        item->trigger();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(opened, (QStringList{u"frmDuplicates"_s, u"frmStyleEdit"_s}));
        QCOMPARE(f.prompt.unexpected(), 0);

        // Style 3 kept, with the group of the copy it replaced; both banks hold it where they held 1,
        // and style 4 where they held 2.
        QCOMPARE(queryRows(f.module.connection(), u"SELECT StyleProg, StyleCat FROM KORFStyles"_s),
                 (QStringList{u"3|POP"_s, u"4|"_s, u"5|"_s}));
        QCOMPARE(queryRows(f.module.connection(), Banks),
                 (QStringList{u"PARTY|3|4|5|3"_s, u"ROCK|3|4|0|0"_s}));
        QCOMPARE(workingBank(f.module), (QList<qint32>{3, 4, 5, 3}));
        QCOMPARE(f.module.BankState, 1);
        QCOMPARE(styles.gridModel()->rowCount(), 3);
    }

    // The same notes with another piano sound and tempo: found as that kind alone (their bytes differ),
    // listed with the oldest kept, and merged, the bank holding the style kept.
    void sameNotesMerged() {
        Fixture f;
        StyleBlocks::Music samba = MusicTestData::samba();
        addBlocks(f.module, u"Samba"_s, StyleBlocks::musicBlock(samba), StyleBlocks::performanceBlock(96),
                  u"2006/01/01"_s);
        samba.elements[0].sounds[3].program = 30;
        addBlocks(f.module, u"Samba Rock"_s, StyleBlocks::musicBlock(samba),
                  StyleBlocks::performanceBlock(120), u"2005/01/01"_s);
        addBank(f.module, u"LATIN"_s, {1, 2});
        frmStyles styles(f.module, f.prompt);
        showStoredBank(styles, f.module, 1);
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            findSameNotes(dynamic_cast<frmDuplicates&>(dialog), f);
            return int(QDialog::Accepted);
        });
        styles.command(u"mStyles"_s, 12)->trigger();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(queryRows(f.module.connection(), Banks), QStringList{u"LATIN|2|2|0|0"_s});
        QCOMPARE(workingBank(f.module), (QList<qint32>{2, 2}));
        QCOMPARE(gridNames(styles), u"Samba Rock"_s);
        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // The report of the kinds ticked as CSV with every text quoted and formulas defused; a full disk
    // is told, never success.
    void reportFiles() {
        Fixture f;
        addLibrary(f.module);
        // Texts a spreadsheet would take for a date or a formula.
        queryRows(f.module.connection(),
                  u"UPDATE KORFStyles SET StyleName1 = 'Rock \"n\", Roll' WHERE StyleProg = 1"_s);
        queryRows(f.module.connection(),
                  u"UPDATE KORFStyles SET StyleName1 = '=1+2', StyleAuthor = '@me' WHERE StyleProg = 3"_s);
        queryRows(f.module.connection(), u"UPDATE KORFStyles SET StyleCat = '-x' WHERE StyleProg = 2"_s);
        frmDuplicates window(f.module, f.prompt);
        child<QCheckBox>(&window, u"chkKind_2"_s)->setChecked(true); // no renamed copies

        f.prompt.answerFile(f.env.path(u"list"_s)); // the extension is added
        click(&window, u"cmdCsv"_s);
        QCOMPARE(result(window), u"The list was saved as %1.csv."_s.arg(f.env.path(u"list"_s)));
        QCOMPARE(
            TestEnvironment::readFile(f.env.path(u"list.csv"_s)),
            "\"Group\",\"Kind\",\"Keep\",\"Style\",\"Name\",\"Style group\",\"Author\",\"Tempo\","
            "\"Meter\",\"Date\",\"Banks and slots\"\r\n"
            "1,\"exact\",\"yes\",1,\"Rock \"\"n\"\", Roll\",\"POP\",\"\",90,\"4/4\",\"2005/01/01\",\"PARTY "
            "1\"\r\n"
            "1,\"exact\",\"no\",3,\"'=1+2\",\"\",\"'@me\",90,\"4/4\",\"2007/01/01\",\"PARTY 4, ROCK 1\"\r\n"
            "2,\"settings\",\"no\",2,\"Waltz\",\"'-x\",\"\",100,\"3/4\",\"2006/01/01\",\"PARTY 2\"\r\n"
            "2,\"settings\",\"yes\",4,\"Waltz 120\",\"\",\"\",120,\"3/4\",\"2004/01/01\",\"ROCK 2\"\r\n");

        // A file that cannot be written is named, and the list is not saved.
        f.prompt.answerFile(u"/dev/full"_s);
        click(&window, u"cmdPdf"_s);
        QCOMPARE(result(window), u"The list was not saved."_s);
        QCOMPARE(f.prompt.texts().constLast(), u"Cannot write the file /dev/full: No space left on device"_s);
        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // A report longer than a page goes on over pages, the captions on top of each; and the
    // progress dialog's Cancel reaches the engine until the next run begins.
    void pagesAndCancel() {
        QList<DuplicateStyles::Group> groups;
        QList<qint64> keep;
        for (int g = 0; g < 40; ++g) {
            DuplicateStyles::Group group;
            for (int s = 0; s < 3; ++s) {
                DuplicateStyles::Style style;
                style.StyleProg = 3 * g + s + 1;
                style.StyleName1 = u"Style %1"_s.arg(style.StyleProg);
                group.styles.append(style);
            }
            groups.append(group);
            keep.append(3 * g + 1);
        }
        TestEnvironment env;
        const QString path = env.path(u"long.pdf"_s);
        DuplicateReport(groups, keep).writePdf(path);
        if (const std::optional<QStringList> lines = pdfLines(path)) {
            QVERIFY(lines->contains(u"Page 2"_s));
            QVERIFY(lines->contains(u"Group 40: exact copies, 3 styles"_s));
            QVERIFY(lines->count(u"Style Name Style group Author Tempo Meter Date Banks and slots"_s) >= 2);
        }

        DialogProgress progress(true);
        progress.begin(10, u"Merging"_s);
        QProgressDialog* dialog = nullptr;
        for (QWidget* widget : QApplication::allWidgets())
            if (auto* found = qobject_cast<QProgressDialog*>(widget))
                dialog = found;
        QVERIFY(dialog && !progress.cancelled());
        child<QPushButton>(dialog, QString())->click();
        progress.end();
        QVERIFY(progress.cancelled());
        progress.begin(10, u"Merging"_s);
        QVERIFY(!progress.cancelled());
        progress.end();
    }
};

QTEST_MAIN(DuplicatesTest)
#include "tst_gui_duplicates.moc"
