// The Styles menu walked as a user would: group delete and update, the filter dialog with "Reset
// Filter", tempo and meter in the grid and the filter, SSF export of a selection and of a bank, SSF
// import of a folder that holds a duplicate, and sending a style to a stand-in KORG utility.

#include "core/SBKSettings.h"
#include "gui/interchange/SsfDialog.h"
#include "gui/main/WindowOpener.h"
#include "GuiTestData.h"
#include "interchange/SsfExport.h"
#include "interchange/SsfFile.h"
#include "interchange/SsfImport.h"
#include "metadata/StyleGroup.h"
#include "sty/KORFLibrary.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <unistd.h>

using namespace guitest;
using namespace Qt::StringLiterals;

namespace {

// The names in the working bank's slots, as the slots show them.
QString bankSlotNames(frmStyles& window) {
    QStringList names;
    for (int slot = 0; slot < window.bank().count(); ++slot)
        names << child<QLabel>(&window, u"lbNewStyle_%1"_s.arg(slot))->text().trimmed();
    return names.join(u',');
}

// A style whose data is its own, so that SSF files of different styles differ.
DbKORFStyle ownStyle(qint32 prog, const QString& name) {
    DbKORFStyle style;
    style.setStyleProg(prog);
    style.setStyleName1(name);
    style.setStyleContent1(name.toLatin1() + "-data");
    style.setStyleLength1(qint32(style.StyleContent1().size()));
    style.setStyleContent2(QByteArray(" ")); // an empty block, as the database keeps it
    style.setStyleDate(u"2006/05/12"_s);
    return style;
}

qint32 addOwnStyle(SBKModule& module, const QString& name) {
    DbKORFStyle style = ownStyle(DbKORFStyle(module.connection()).NextKORFStyle(), name);
    style.setActiveConnection(module.connection());
    if (!style.InsKORFStyles())
        qFatal("cannot insert a test style");
    return style.StyleProg();
}

} // namespace

class StylesMenuTest : public QObject {
    Q_OBJECT
private slots:
    // Rows 3 to 7 go after the question, from the table, from every bank and from the working bank,
    // which stays as stored; the place in the list stays. Deleting the working bank's last styles
    // empties it.
    void deleteGroup() {
        Fixture f(10);
        const qint32 bankA = addBank(f.module, u"A"_s, {1, 3, 5, 8, 2});
        addBank(f.module, u"B"_s, {7, 6, 10});
        frmStyles window(f.module, f.prompt);
        showStoredBank(window, f.module, bankA);
        window.bank().setSelectedSlot(3); // S008
        selectRows(window, 2, 6);
        answerYesNo(f.prompt, {1});
        window.mStyles_Click(1);
        QVERIFY(f.prompt.texts().first().startsWith(u"5 styles  will be deleted"_s));
        QCOMPARE(countRows(f.module, u"KORFStyles"_s), 5);
        QCOMPARE(queryRows(f.module.connection(),
                           u"SELECT BankStyle01, BankStyle02, BankStyle03, BankStyle04 "
                           "FROM KORFBanks ORDER BY BankProg"_s),
                 (QStringList{u"1|8|2|0"_s, u"10|0|0|0"_s}));
        QCOMPARE(gridNames(window), u"S001,S002,S008,S009,S010"_s);
        QCOMPARE(window.grid()->currentIndex().row(), 2); // where the deleted rows began
        QCOMPARE(bankSlotNames(window), u"S001,S008,S002"_s);
        QCOMPARE(window.bank().SelectedSlot(), 1);
        QCOMPARE(f.module.BankState, 1);

        answerYesNo(f.prompt, {1});
        selectRows(window, 0, 2);
        window.mStyles_Click(1);
        QCOMPARE(window.bank().count(), 0);
        QCOMPARE(f.module.BankState, 0);
        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // The dialog proposes the last selected style's values; a ticked field keeps every style's own
    // value, an emptied one stores the blank kept for an empty field; the grid follows the current
    // style to its new place, and the updated styles that stand together there stay selected as
    // the grid's one range.
    void updateGroup() {
        Fixture f;
        const QStringList families{u"B"_s, u"C"_s, u"D"_s, u"E"_s};
        for (int i = 0; i < 4; ++i)
            addStyle(f.module, u"Style%1"_s.arg(i + 1), {}, families[i], u"G%1"_s.arg(i + 1));
        QSqlQuery(f.module.connection()).exec(u"UPDATE KORFStyles SET StyleAuthor = 'A' || StyleProg"_s);
        f.module.FilterOrder = u"STYLEFAMILY"_s;
        frmStyles window(f.module, f.prompt);
        selectRows(window, 1, 2); // styles 2 and 3, the current row on style 3
        const QString texts =
            u"SELECT StyleFamily, StyleCat, StyleAuthor FROM KORFStyles ORDER BY StyleProg"_s;
        const QStringList updated{u"B|G1|A1"_s, u"Z|G2| "_s, u"Z|G3| "_s, u"E|G4|A4"_s};

        QString proposed;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            proposed = u"%1|%2|%3"_s.arg(field(&dialog, 0)->text(), field(&dialog, 1)->text(),
                                         field(&dialog, 2)->text());
            field(&dialog, 0)->setText(u"Z"_s);
            child<QCheckBox>(&dialog, u"Check1_1"_s)->setChecked(true);
            field(&dialog, 2)->clear();
            click(&dialog, u"cmdOk"_s);
            return dialog.result();
        });
        answerYesNo(f.prompt, {1});
        window.mStyles_Click(0);
        QCOMPARE(proposed, u"D|G3|A3"_s);
        QCOMPARE(f.prompt.texts(), QStringList{u"A group of styles is about to be updated. Are you sure?"_s});
        QCOMPARE(queryRows(f.module.connection(), texts), updated);
        QVERIFY(gridNames(window).startsWith(u"Style1,Style4,"_s));
        QCOMPARE(window.gridModel()->styleNumber(window.grid()->currentIndex().row()), 3);
        const auto selection = [&] {
            QList<int> rows;
            for (const QModelIndex& index : window.grid()->selectionModel()->selectedRows())
                rows << index.row();
            std::sort(rows.begin(), rows.end());
            return rows << f.module.GridAnchorRow << f.module.GridEndRow;
        };
        QCOMPARE(selection(), (QList{2, 3, 2, 3}));

        // The engine itself refuses what SSF and PDD files cannot carry, from any caller.
        const StyleChanges refused{.author = u"名"_s};
        QCOMPARE(errorOf([&] {
                     StyleGroup::update(f.module.connection(), {1, 2}, refused);
                 }),
                 StyleGroup::refusal(refused));
        QCOMPARE(queryRows(f.module.connection(), texts), updated);

    }

    // Values with and without "%", and "Reset Filter" keeping the order and its colour.
    void filterDialog() {
        Fixture f;
        addStyle(f.module, u"Rock'n Roll"_s, {}, {}, u"POP"_s);
        addStyle(f.module, u"Rocky"_s, {}, {}, u"pop"_s);
        addStyle(f.module, u"Ballad"_s, {}, {}, u"POP"_s);
        addStyle(f.module, u"Rockabilly"_s, {}, {}, u"LATIN"_s);
        frmStyles window(f.module, f.prompt);

        std::function<void(QDialog&)> round;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            round(dialog);
            return dialog.result();
        });
        round = [](QDialog& dialog) {
            field(&dialog, 0)->setText(u" rock% "_s);
            field(&dialog, 3)->setText(u"pop"_s);
            child<QComboBox>(&dialog, u"cmdOrder_0"_s)->setCurrentText(u"NAME"_s);
            child<QCheckBox>(&dialog, u"chDesc_0"_s)->setChecked(true);
            click(&dialog, u"cmdOk"_s);
        };
        window.mStyles_Click(6);
        QCOMPARE(gridNames(window), u"Rocky,Rock'n Roll"_s);

        window.mStyles_Click(7);
        QCOMPARE(f.module.FilterOrder, u"STYLENAME1 DESC"_s);
        QVERIFY(gridNames(window).startsWith(u"Rocky,Rockabilly,"_s));
        QCOMPARE(headerColour(window, 1), frmStyles::lightGreen());

        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // Tempo and meter: their columns beside the name (also under a layout stored before they and
    // the columns to be chosen were there), a sort by tempo from its header, and the filter's meter
    // choice and tempo range, then with "Damaged styles only" too, which "Reset Filter" clears.
    void tempoAndMeter() {
        Fixture f;
        QStandardItemModel fiveColumns(0, 5);
        QHeaderView oldHeader(Qt::Horizontal);
        oldHeader.setModel(&fiveColumns);
        oldHeader.setSectionHidden(0, true); // the number was never shown then
        SBKSettings().setValue(SBKSettings::StylesWindow, SBKSettings::Columns,
                               QString::fromLatin1(oldHeader.saveState().toBase64()));
        const struct {
            const char* name;
            QVariant tempo;
            const char* meter;
        } styles[] = {{"Waltz", 90, "3/4"},
                      {"Ballad", 70, "6/8"},
                      {"Polka", 120, "2/4"},
                      {"Minuet", 100, "3/4"},
                      {"Unknown", QVariant(), nullptr}};
        for (const auto& style : styles) {
            QSqlQuery query(f.module.connection());
            query.prepare(u"UPDATE KORFSTYLES SET TEMPO = ?, METER = ? WHERE STYLEPROG = ?"_s);
            query.addBindValue(style.tempo);
            query.addBindValue(style.meter ? QVariant(QString::fromLatin1(style.meter)) : QVariant());
            query.addBindValue(addStyle(f.module, QString::fromLatin1(style.name)));
            QVERIFY(query.exec());
        }
        frmStyles window(f.module, f.prompt);
        QHeaderView* header = window.grid()->horizontalHeader();
        QCOMPARE(header->visualIndex(5), 2);
        QCOMPARE(header->visualIndex(6), 3);
        QVERIFY(header->sectionSize(5) != header->defaultSectionSize());
        for (int column : {0, 7, 8, 9, 10}) // as in a new window: to be chosen from the header's menu
            QVERIFY(window.grid()->isColumnHidden(column));
        QCOMPARE(window.gridModel()->text(0, 5) + window.gridModel()->text(0, 6), u"903/4"_s);
        QCOMPARE(window.gridModel()->text(4, 5) + window.gridModel()->text(4, 6), QString());

        window.cbTitle_Click(5);
        QCOMPARE(gridNames(window), u"Unknown,Ballad,Waltz,Minuet,Polka"_s);

        // Minuet's blocks were read and do not decode.
        queryRows(f.module.connection(),
                  u"UPDATE KORFStyles SET FingerprintExact = StyleProg, FingerprintRenamed "
                  "= CASE WHEN StyleName1 LIKE 'Minuet%' THEN NULL ELSE 1 END"_s);
        QStringList meters;
        bool damagedOnly = false;
        bool damagedShown = false;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            auto* damaged = child<QCheckBox>(&dialog, u"chkDamaged"_s);
            if (damagedOnly) { // the filter in use is shown again, and damage is added to it
                damagedShown = damaged->isEnabled() && !damaged->isChecked() &&
                               child<QComboBox>(&dialog, u"cbMeter"_s)->currentText() == u"3/4"_s;
                damaged->setChecked(true);
                click(&dialog, u"cmdOk"_s);
                return dialog.result();
            }
            auto* meter = child<QComboBox>(&dialog, u"cbMeter"_s);
            for (int i = 0; i < meter->count(); ++i)
                meters << meter->itemText(i);
            meter->setCurrentText(u"3/4"_s);
            child<QSpinBox>(&dialog, u"txtTempo_0"_s)->setValue(100); // the other way round
            child<QSpinBox>(&dialog, u"txtTempo_1"_s)->setValue(80);
            click(&dialog, u"cmdOk"_s);
            return dialog.result();
        });
        window.mStyles_Click(6);
        QCOMPARE(meters, (QStringList{u"any"_s, u"2/4"_s, u"3/4"_s, u"6/8"_s}));
        QCOMPARE(gridNames(window), u"Waltz,Minuet"_s);
        QCOMPARE(f.module.FilterTempoFrom, 80);
        damagedOnly = true;
        window.mStyles_Click(6);
        QVERIFY(damagedShown);
        QCOMPARE(gridNames(window), u"Minuet"_s);
        window.mStyles_Click(7);
        QVERIFY(!f.module.FilterDamaged);
        QCOMPARE(gridNames(window), u"Unknown,Ballad,Waltz,Minuet,Polka"_s);
        QCOMPARE(f.module.FilterMeter, QString());
        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // The selected styles and then the stored bank, checked through the files written; the folder
    // is remembered; a missing folder is refused.
    void ssfExport() {
        Fixture f;
        for (const QString& name : {u"Alpha"_s, u"Beta"_s, u"Gamma"_s})
            addOwnStyle(f.module, name);
        const qint32 bank = addBank(f.module, u"MY BANK"_s, {3, 1});
        QDir().mkpath(f.env.path(u"sel"_s));
        QDir().mkpath(f.env.path(u"bank"_s));
        frmStyles window(f.module, f.prompt);
        showStoredBank(window, f.module, bank);
        selectRows(window, 0, 1);

        QString folder = f.env.path(u"sel"_s);
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            child<QLineEdit>(&dialog, u"txtFolder"_s)->setText(folder);
            click(&dialog, u"cmdOk"_s);
            click(&dialog, u"cmdCancel"_s);
            return dialog.result();
        });
        window.mStyles_Click(3);
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{u"ALPHA.SSF"_s, u"BETA.SSF"_s}));
        QCOMPARE(TestEnvironment::readFile(folder + u"/BETA.SSF"_s), SsfFile::encode(ownStyle(2, u"Beta"_s)));
        QCOMPARE(SBKSettings().value(SBKSettings::Ssf, SBKSettings::Export), folder);

        folder = f.env.path(u"bank"_s);
        window.mbank_Click(11);
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{u"ALPHA.SSF"_s, u"GAMMA.SSF"_s}));
        QCOMPARE(f.prompt.texts().last(), SsfExport::bankDoneMessage(u"MY BANK"_s));

        folder = f.env.path(u"gone"_s); // a folder that is not there stops the run, named
        window.mbank_Click(11);
        QCOMPARE(f.prompt.asked().last().icon, Prompt::Icon::Critical);
        QVERIFY(f.prompt.texts().last().contains(folder));
        QCOMPARE(f.prompt.unexpected(), 0);
    }

    // A folder run stops at the first file whose style is stored already, and the grid lists what
    // came in.
    void ssfImportStopsAtDuplicate() {
        Fixture f;
        addOwnStyle(f.module, u"Dup"_s);
        f.env.writeFile(u"in/A.SSF"_s, SsfFile::encode(ownStyle(0, u"First"_s)));
        f.env.writeFile(u"in/B.SSF"_s, SsfFile::encode(ownStyle(0, u"Dup"_s)));
        f.env.writeFile(u"in/C.SSF"_s, SsfFile::encode(ownStyle(0, u"Third"_s)));
        frmStyles window(f.module, f.prompt);
        QString report;
        WindowOpener::ScopedHook hook([&](QDialog& dialog) {
            child<QRadioButton>(&dialog, u"opStyle_1"_s)->setChecked(true);
            child<QLineEdit>(&dialog, u"txtFolder"_s)->setText(f.env.path(u"in"_s));
            click(&dialog, u"cmdOk"_s);
            report = static_cast<SsfDialog&>(dialog).report();
            return int(QDialog::Rejected);
        });
        window.mStyles_Click(4);
        // The test styles' blocks are no style's: each imported one is named damaged, and counted.
        QCOMPARE(report, u"A.SSF: imported as style 2, which is damaged: there is no style block. It was "
                         "stored as it is\nB.SSF: already present as style 1"_s);
        QCOMPARE(f.prompt.texts(),
                 QStringList{SsfImport::PresentMessage +
                             u"\nOne style imported is damaged: its blocks do not decode. It was stored as it is."_s});
        QCOMPARE(gridNames(window), u"Dup,First"_s);
    }

    // The work file holds the style for user bank 17 in the user's own work folder, the stand-in
    // utility is started, and without a way to type (as here) the path goes to the clipboard. A
    // missing utility, a link planted as the work folder and a style deleted meanwhile are named
    // instead, and nothing is started.
    void sendToKorgUtility() {
        Fixture f;
        const qint32 style = addOwnStyle(f.module, u"Funk"_s);
        QDir().mkpath(f.env.path(u"tmp"_s));
        qputenv("TMPDIR", QFile::encodeName(f.env.path(u"tmp"_s)));
        const QString utility = f.env.writeFile(
            u"korg/utility.sh"_s, "#!/bin/sh\necho \"started $#\" > \"$(dirname \"$0\")/record\"\n");
        QFile::setPermissions(utility, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString record = f.env.path(u"korg/record"_s);
        frmStyles window(f.module, f.prompt);
        const QString folder = f.env.path(u"tmp/sbk-%1"_s.arg(::getuid()));
        const QString workFile = QDir::toNativeSeparators(folder + u"/WRK.STY"_s);

        f.module.KorgProgramPath = f.env.path(u"korg/missing.exe"_s);
        window.mStyles_Click(10);
        QVERIFY(f.prompt.texts().last().contains(u"does not exist"_s));
        QVERIFY(!QFile::exists(workFile));

        f.module.KorgProgramPath = utility;
        QDir().mkpath(f.env.path(u"planted"_s));
        QVERIFY(QFile::link(f.env.path(u"planted"_s), folder));
        window.mStyles_Click(10);
        QVERIFY(f.prompt.texts().last().contains(folder + u" is a link"_s));
        QVERIFY(QDir(f.env.path(u"planted"_s)).isEmpty());
        QVERIFY(QFile::remove(folder));

        window.mStyles_Click(10);
        QTRY_COMPARE(TestEnvironment::readFile(record), QByteArray("started 0\n"));
        QCOMPARE(QFileInfo(folder).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QApplication::clipboard()->text(), workFile);
        KORFStyles expected;
        expected.Add(style, u"Funk"_s, QString(), 9, 0, "Funk-data", " ");
        QCOMPARE(TestEnvironment::readFile(workFile), KORFLibrary::encodeCollection(expected, 17));

        qunsetenv("TMPDIR");
    }
};

QTEST_MAIN(StylesMenuTest)
#include "tst_gui_stylesmenu.moc"
