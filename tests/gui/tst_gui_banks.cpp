// Banks that last: the bank dialog (save, overwrite, update, load, tree order, delete), the
// where-is window and bank printing, each walked through from the styles window.

#include "gui/banks/BankPrinter.h"
#include "gui/banks/BankTreeModel.h"
#include "gui/banks/frmBankSave.h"
#include "gui/banks/frmShowBanks.h"
#include "gui/banks/frmStyles.h"
#include "gui/banks/StyleGridModel.h"
#include "gui/main/WindowOpener.h"
#include "GuiTestData.h"
#include "PdfText.h"

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTreeView>

using namespace guitest;
using namespace Qt::StringLiterals;

namespace {

// "number|name|description|slot|slot..." of every stored bank, the slots up to the last filled one.
QStringList storedBanks(SBKModule& module) {
    QStringList rows = queryRows(module.connection(), u"SELECT * FROM KORFBanks ORDER BY BankProg"_s);
    for (QString& row : rows)
        row.remove(QRegularExpression(u"(\\|0)+$"_s));
    return rows;
}

void insertRows(frmStyles& window, int first, int last) {
    selectRows(window, first, last);
    window.mbank_Click(0);
}

QStringList workingBank(SBKModule& module) {
    QStringList names;
    for (int p = 1; p <= module.WorkingBankStyles.Count(); ++p)
        names << module.WorkingBankStyles.Item(p)->StyleName1();
    return names;
}

// The texts of a node's children, top to bottom.
QStringList childTexts(const QModelIndex& parent) {
    QStringList texts;
    for (int row = 0; row < parent.model()->rowCount(parent); ++row)
        texts << parent.model()->index(row, 0, parent).data().toString();
    return texts;
}

bool highlighted(const QModelIndex& node) {
    return node.data(Qt::FontRole).value<QFont>().bold() &&
           node.data(Qt::ForegroundRole).value<QColor>() == QColor(0, 0, 255);
}

} // namespace

class BanksTest : public QObject {
    Q_OBJECT
private slots:
    // A new bank saved, saved again under its name (No, then Yes to overwriting it), updated, the
    // dialog left, and loaded back after the discard question.
    void saveOverwriteUpdateAndLoad() {
        Fixture f(10);
        frmStyles window(f.module, f.prompt);
        insertRows(window, 0, 2);
        QCOMPARE(f.module.BankState, 2);

        // What each opening found: the name proposed, and whether it can be typed.
        QStringList seen;
        std::function<int(frmBankSave&)> drive;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            seen << field(&dialog, 0)->text() + (field(&dialog, 0)->isEnabled() ? "|on"_L1 : "|off"_L1);
            return drive(dynamic_cast<frmBankSave&>(dialog));
        });

        drive = [&](frmBankSave& dialog) {
            QTest::keyClicks(field(&dialog, 0), u"PARTY"_s);
            field(&dialog, 1)->setText(u"Saturday"_s);
            dialog.cmdOk_Click();
            return dialog.result();
        };
        window.command(u"mbank"_s, 7)->trigger();
        QCOMPARE(storedBanks(f.module), QStringList{u"1|PARTY|Saturday|1|2|3"_s});
        QCOMPARE(f.module.BankState, 1);
        QCOMPARE(child<QGroupBox>(&window, u"frBank"_s)->title(), u" PARTY"_s);

        // "Save bank as ..." with the same name: No keeps the dialog open and stores nothing,
        // Yes overwrites the bank under its number. The name is trimmed once, as typed: looked up
        // and stored without its blanks, so that it stays one bank.
        insertRows(window, 3, 3);
        drive = [&](frmBankSave& dialog) {
            QTest::keyClicks(field(&dialog, 0), u" PARTY  "_s);
            field(&dialog, 1)->setText(u"Sunday"_s);
            answerYesNo(f.prompt, {0});
            dialog.cmdOk_Click();
            if (dialog.result() != QDialog::Rejected ||
                storedBanks(f.module).constFirst().contains("Sunday"_L1))
                return -1;
            answerYesNo(f.prompt, {1});
            dialog.cmdOk_Click();
            return dialog.result();
        };
        window.command(u"mbank"_s, 8)->trigger();
        QCOMPARE(f.prompt.texts(),
                 QStringList(2, u"Bank PARTY already present. Would you like to overwrite it?"_s));
        QCOMPARE(storedBanks(f.module), QStringList{u"1|PARTY|Sunday|1|2|3|4"_s});
        QCOMPARE(f.module.BankState, 1);

        // "Save bank" on the changed bank updates it; leaving the dialog restores the state.
        insertRows(window, 4, 4);
        drive = [&](frmBankSave& dialog) {
            field(&dialog, 1)->setText(u"Monday"_s);
            dialog.cmdOk_Click();
            return dialog.result();
        };
        window.command(u"mbank"_s, 7)->trigger();
        QCOMPARE(storedBanks(f.module), QStringList{u"1|PARTY|Monday|1|2|3|4|5"_s});
        insertRows(window, 5, 5);
        drive = [&](frmBankSave& dialog) {
            dialog.findChild<QPushButton*>(u"cmdCancel"_s)->click();
            return dialog.result();
        };
        window.command(u"mbank"_s, 7)->trigger();
        QCOMPARE(f.module.BankState, 3);
        QCOMPARE(seen, (QStringList{u"|on"_s, u"|on"_s, u"PARTY|off"_s, u"PARTY|off"_s}));

        // Loading asks before the changes go; No keeps them and opens nothing.
        f.prompt.clear();
        answerYesNo(f.prompt, {0});
        window.command(u"mbank"_s, 9)->trigger();
        QVERIFY(f.prompt.texts().constFirst().startsWith("If you load another bank"_L1));
        QCOMPARE(f.module.WorkingBankStyles.Count(), 6);
        QCOMPARE(seen.size(), 4);

        // Yes clears the bank; Ok without a picked bank asks for one; the picked bank loads.
        addBank(f.module, u"OTHER"_s, {9}, QString());
        answerYesNo(f.prompt, {1});
        drive = [&](frmBankSave& dialog) {
            if (f.module.WorkingBankStyles.Count() != 0 || dialog.treeModel()->bankCount() != 2)
                return -1;
            dialog.cmdOk_Click();
            dialog.tree()->setCurrentIndex(dialog.treeModel()->bankIndex(dialog.treeModel()->rowOfBank(1)));
            dialog.cmdOk_Click();
            return dialog.result();
        };
        window.command(u"mbank"_s, 9)->trigger();
        QCOMPARE(seen.constLast(), u"|off"_s);
        QCOMPARE(f.prompt.texts().constLast(), u"Please insert bank name!"_s);
        QCOMPARE(workingBank(f.module), (QStringList{u"S001"_s, u"S002"_s, u"S003"_s, u"S004"_s, u"S005"_s}));
        QCOMPARE(f.module.BankState, 1);
        QCOMPARE(child<QGroupBox>(&window, u"frBank"_s)->title(), u" PARTY"_s);
        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // Three banks by name and by number last first, their looks and the texts a picked bank shows.
    void treeOrdersAndPicking() {
        Fixture f(8);
        addBank(f.module, u"MIDDLE [x]"_s, {0, 0, 0, 5, 7, 8}, u"a ] b [c"_s);
        addBank(f.module, u"ALPHA"_s, {1}, u"first"_s);
        addBank(f.module, u"ZULU"_s, {2, 2}, QString(), 100000);
        queryRows(f.module.connection(), u"DELETE FROM KORFStyles WHERE StyleProg = 8"_s); // no node

        frmBankSave dialog(f.module, f.prompt);
        QVERIFY(dialog.Form_Activate());
        const BankTreeModel* model = dialog.treeModel();
        const QString alpha = u"ALPHA [first]"_s, middleText = u"MIDDLE [x] [a ] b [c]"_s,
                      zuluText = u"ZULU []"_s;
        QCOMPARE(childTexts(model->rootIndex()), (QStringList{alpha, middleText, zuluText}));
        child<QRadioButton>(&dialog, u"opSort_3"_s)->click();
        QCOMPARE(childTexts(model->rootIndex()), (QStringList{zuluText, alpha, middleText}));

        const QModelIndex middle = model->bankIndex(2);
        QCOMPARE(childTexts(middle), (QStringList{u"S005 [D5]"_s, u"S007 [D7]"_s}));
        QVERIFY(middle.data(Qt::FontRole).value<QFont>().bold() && highlighted(model->index(0, 0, middle)));

        // Picking: the bank's texts as stored, brackets and all; a style node picks nothing.
        dialog.tree()->setCurrentIndex(middle);
        QCOMPARE(field(&dialog, 0)->text() + u'|' + field(&dialog, 1)->text(), u"MIDDLE [x]|a ] b [c"_s);
        QCOMPARE(dialog.SelectedBankNumber(), 1);
        dialog.tree()->setCurrentIndex(model->index(0, 0, model->bankIndex(0)));
        QCOMPARE(dialog.SelectedBankNumber(), 0);
    }

    // A stored bank loads without its empty slots and a style that is gone. Deleting the working
    // bank's own stored bank makes it a new bank: "Save bank" then inserts.
    void deleteOwnBankThenSave() {
        Fixture f(5);
        addBank(f.module, u"MINE"_s, {1, 0, 2, 9}, u"m"_s);
        addBank(f.module, u"YOURS"_s, {3}, u"y"_s);
        frmStyles window(f.module, f.prompt);
        showStoredBank(window, f.module, 1);
        QCOMPARE(workingBank(f.module), (QStringList{u"S001"_s, u"S002"_s}));

        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            auto& bankDialog = dynamic_cast<frmBankSave&>(dialog);
            if (bankDialog.mode() != frmBankSave::Mode::Load) {
                QTest::keyClicks(field(&dialog, 0), u"MINE AGAIN"_s);
                bankDialog.cmdOk_Click();
                return dialog.result();
            }
            BankTreeModel* model = bankDialog.treeModel();
            bankDialog.tree()->setCurrentIndex(model->bankIndex(0)); // MINE
            answerYesNo(f.prompt, {0, 1, 1});
            bankDialog.cmdDelete_Click();
            bankDialog.cmdDelete_Click();
            if (childTexts(model->rootIndex()) != QStringList{u"YOURS [y]"_s} || f.module.BankState != 2)
                return -1;
            bankDialog.tree()->setCurrentIndex(model->bankIndex(0));
            bankDialog.cmdDelete_Click();
            bankDialog.reject();
            return dialog.result();
        });
        window.command(u"mbank"_s, 9)->trigger();
        QCOMPARE(f.prompt.texts().size(), 3);
        QCOMPARE(f.prompt.texts().constLast(), u"Deleting bank YOURS from database?"_s);
        QCOMPARE(f.module.BankState, 2);
        QCOMPARE(workingBank(f.module), (QStringList{u"S001"_s, u"S002"_s}));
        QVERIFY(storedBanks(f.module).isEmpty());

        window.command(u"mbank"_s, 7)->trigger();
        QCOMPARE(storedBanks(f.module), QStringList{u"1|MINE AGAIN||1|2"_s});
        QCOMPARE(f.module.BankState, 1);
    }

    // A style in three banks, twice in one of them; the double click with its two questions.
    void whereIs() {
        Fixture f(6);
        addBank(f.module, u"CHARLIE"_s, {5, 1, 5}, u"c"_s);
        addBank(f.module, u"ALPHA"_s, {2, 5}, u"a"_s);
        addBank(f.module, u"BRAVO"_s, {5}, u"b"_s);
        addBank(f.module, u"OTHER"_s, {1}, u"o"_s);
        queryRows(f.module.connection(), u"UPDATE KORFStyles SET StyleDesc = '   ' WHERE StyleProg = 1"_s);
        frmStyles window(f.module, f.prompt);
        insertRows(window, 3, 3); // S004 in the working bank

        int opened = 0;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            ++opened;
            auto& where = dynamic_cast<frmShowBanks&>(dialog);
            const BankTreeModel* model = where.treeModel();
            const QModelIndex charlie = model->bankIndex(2);
            if (childTexts(model->rootIndex()) !=
                    QStringList{u"ALPHA [a]"_s, u"BRAVO [b]"_s, u"CHARLIE [c]"_s} ||
                childTexts(charlie) != QStringList{u"S005 [D5] "_s, u"S001"_s, u"S005 [D5] "_s} ||
                !highlighted(model->index(0, 0, charlie)) || highlighted(model->index(1, 0, charlie)))
                return -1;
            // The root and a style do nothing; No to the discard question keeps everything.
            where.tvBanks_DblClick(model->rootIndex());
            where.tvBanks_DblClick(model->index(0, 0, charlie));
            answerYesNo(f.prompt, {1, 0});
            where.tvBanks_DblClick(charlie);
            if (dialog.result() == QDialog::Accepted || f.module.WorkingBankStyles.Count() != 1)
                return -1;
            answerYesNo(f.prompt, {1, 1});
            where.tvBanks_DblClick(charlie);
            return dialog.result();
        });
        selectRows(window, 4, 4);
        window.command(u"mStyles"_s, 8)->trigger();
        QCOMPARE(opened, 1);
        QCOMPARE(f.prompt.texts().size(), 4);
        QCOMPARE(f.prompt.texts().constFirst(), u"Confirm bank CHARLIE loading?"_s);
        QCOMPARE(workingBank(f.module), (QStringList{u"S005"_s, u"S001"_s, u"S005"_s}));
        QCOMPARE(f.module.BankState, 1);
        QCOMPARE(window.bank().SelectedSlot(), 0);
        QCOMPARE(child<QGroupBox>(&window, u"frBank"_s)->title(), u" CHARLIE"_s);

        // A style in no bank: the message, and no window.
        f.prompt.clear();
        selectRows(window, 5, 5);
        window.command(u"mStyles"_s, 8)->trigger();
        QCOMPARE(opened, 1);
        QCOMPARE(f.prompt.texts(), QStringList{u"Selected style cannot be found in any bank!"_s});
    }

    // "Print bank": nothing unless the bank is stored and unchanged; the same page on a printer and,
    // without one, in the PDF file the user chooses.
    void printBank() {
        Fixture f(4);
        addBank(f.module, u"GIG"_s, {3, 1, 2, 4}, u"Friday gig"_s);
        frmStyles window(f.module, f.prompt);
        showStoredBank(window, f.module, 1);
        // Still in the working bank, but no longer stored.
        queryRows(f.module.connection(), u"DELETE FROM KORFStyles WHERE StyleProg = 2"_s);

        const QString printed = f.env.path(u"printer.pdf"_s);
        const QString saved = f.env.path(u"chosen.pdf"_s);
        bool printerThere = true;
        const PdfPrinterStandIn printer(printed, &printerThere);
        f.module.BankState = 3;
        window.command(u"mbank"_s, 15)->trigger();
        QVERIFY(f.prompt.asked().isEmpty());
        f.module.BankState = 1;
        answerYesNo(f.prompt, {1});
        window.command(u"mbank"_s, 15)->trigger();

        printerThere = false;
        answerYesNo(f.prompt, {1, 1});
        f.prompt.answerFile(saved.chopped(4)); // the extension is added
        window.command(u"mbank"_s, 15)->trigger();
        QCOMPARE(f.prompt.texts().size(), 4);
        QVERIFY(f.prompt.texts().at(2).startsWith("No printer is installed"_L1));
        QCOMPARE(f.prompt.asked().constLast().proposed, u"GIG.pdf"_s);

        const QStringList expected{u"GIG"_s, u"Friday gig"_s, u"S003 D3"_s, u"S001 D1"_s, u"S004 D4"_s};
        for (const QString& pdf : {printed, saved}) {
            const std::optional<QStringList> lines = pdfLines(pdf);
            if (!lines)
                QSKIP("pdftotext (poppler-utils) is not installed");
            QCOMPARE(*lines, expected);
        }
    }
};

QTEST_MAIN(BanksTest)
#include "tst_gui_banks.moc"
