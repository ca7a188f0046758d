// The style import engine: duplicate policies, stored values, the picker, logs, folder scans and
// the rollback of a failed run.
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "StyTestData.h"
#include "TestEnvironment.h"

#include <QSqlQuery>
#include <QtTest>

using namespace StyTestData;

namespace {

// A bank file of count styles; variant changes the data so that files can differ.
QByteArray bankFile(int count, int variant = 0, bool secondBlocks = true) {
    KORFStyles styles;
    for (int i = 0; i < count; ++i)
        addStyle(styles, QStringLiteral("Style %1").arg(i + 1), block(40 + i, i + 10 * variant),
                 secondBlocks ? QStringLiteral("Perf %1").arg(i + 1) : QString(),
                 secondBlocks ? block(20 + i, 100 + i + 10 * variant) : QByteArray());
    return KORFLibrary::encodeCollection(styles);
}

int count(QSqlDatabase db, const QString& sql) {
    QSqlQuery query(db);
    Database::exec(query, sql);
    query.next();
    return query.value(0).toInt();
}

QStringList column(QSqlDatabase db, const QString& sql) {
    QSqlQuery query(db);
    Database::exec(query, sql);
    QStringList values;
    while (query.next())
        values << query.value(0).toString();
    return values;
}

DbKORFBank bank(QSqlDatabase db, int number) {
    DbKORFBank bank(db);
    bank.setBankProg(number);
    if (!bank.GetKORFBanks())
        qFatal("bank missing");
    return bank;
}

} // namespace

class TestStyImport : public QObject {
    Q_OBJECT

private slots:
    void policiesTwice_data();
    void policiesTwice();
    void overwriteByNameReplacesData();
    void storedValues();
    void picker();
    void foreignFilesAreLogged();
    void folderOrder();
    void errorRollsBackTheWholeRun();
    void realInstrumentFolder();
    void shortNames_data();
    void shortNames();
};

void TestStyImport::policiesTwice_data() {
    QTest::addColumn<int>("policy");
    QTest::addColumn<int>("styles");
    QTest::addColumn<int>("logLines");
    QTest::addColumn<bool>("sameSlots");
    QTest::newRow("content") << int(StyImport::Policy::SkipDuplicates) << 3 << 3 << true;
    QTest::newRow("name") << int(StyImport::Policy::OverwriteByName) << 3 << 0 << true;
    QTest::newRow("all") << int(StyImport::Policy::ImportAll) << 6 << 0 << false;
}

void TestStyImport::policiesTwice() {
    QFETCH(int, policy);
    QFETCH(int, styles);
    QFETCH(int, logLines);
    QFETCH(bool, sameSlots);
    TestEnvironment env;
    env.createDatabase();
    const auto db = env.openDatabase();
    // The first style has one block only: it must be found again as a duplicate too.
    KORFStyles list;
    addStyle(list, QStringLiteral("Single"), block(30, 1));
    addStyle(list, QStringLiteral("Double"), block(31, 2), QStringLiteral("Double b"), block(32, 3));
    addStyle(list, QStringLiteral("Third"), block(33, 4), QStringLiteral("Third b"), block(34, 5));
    const QString file = env.writeFile(QStringLiteral("POP.STY"), KORFLibrary::encodeCollection(list));

    StyImport import(db->connection());
    import.setPolicy(StyImport::Policy(policy));
    QCOMPARE(import.run(file, false, QString(), QString(), QString()), QString());
    const QString log = import.run(file, false, QString(), QString(), QString());
    QCOMPARE(int(log.count(QStringLiteral("\r\n"))), logLines);
    QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFStyles")), styles);
    QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFBanks")), 2);
    QCOMPARE(bank(db->connection(), 1).slotValues() == bank(db->connection(), 2).slotValues(), sameSlots);
    QCOMPARE(bank(db->connection(), 2).BankStyle(4), 0);
    if (logLines)
        QVERIFY(log.startsWith(
            QStringLiteral("Style Single           (1) from file POP.STY is the same as style "
                           "Single           (1) from file POP.STY, and will not be imported!\r\n")));
}

void TestStyImport::overwriteByNameReplacesData() {
    TestEnvironment env;
    env.createDatabase();
    const auto db = env.openDatabase();
    const QString first = env.writeFile(QStringLiteral("A.STY"), bankFile(2, 0));
    const QString second = env.writeFile(QStringLiteral("B.STY"), bankFile(1, 7, false));
    StyImport import(db->connection());
    import.setPolicy(StyImport::Policy::OverwriteByName);
    import.run(first, false, QStringLiteral("Fam"), QString(), QString());
    import.run(second, false, QString(), QStringLiteral("Grp"), QString());
    QCOMPARE(import.stylesOverwritten(), 1);

    DbKORFStyle stored(db->connection());
    stored.setStyleProg(1);
    QVERIFY(stored.GetKORFStyles());
    QCOMPARE(stored.StyleContent1(), block(40, 70));
    QCOMPARE(stored.StyleLength2(), 0);
    QCOMPARE(stored.StyleFile(), QStringLiteral("B.STY"));
    QCOMPARE(stored.StyleFamily(), QStringLiteral(" "));
    QCOMPARE(stored.StyleCat(), QStringLiteral("Grp"));
    QCOMPARE(bank(db->connection(), 2).BankStyle(1), 1);
    QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFStyles")), 2);
}

void TestStyImport::storedValues() {
    TestEnvironment env;
    env.createDatabase();
    const auto db = env.openDatabase();
    // Styles at positions 1 and 3 of the bank; the first has no second block.
    const QByteArray bytes = rawSty({{"Alpha", 2, 0}, {"Gamma", 2, 2}, {"Gamma b", 7, 2}},
                                    {block(10, 1), block(11, 2), block(12, 3)});
    const QString file = env.writeFile(QStringLiteral("abcdefghij_long_name.sty"), bytes);
    StyImport import(db->connection());
    import.setToday(QDate(2024, 3, 9));
    QCOMPARE(import.run(file, false, QString(), QStringLiteral("Latin"), QStringLiteral("Me")), QString());

    DbKORFStyle stored(db->connection());
    stored.setStyleProg(1);
    QVERIFY(stored.GetKORFStyles());
    QCOMPARE(stored.StyleName1(), QStringLiteral("Alpha           "));
    QCOMPARE(stored.StyleName2(), QString());
    QCOMPARE(stored.StyleDesc(), stored.StyleName1());
    QCOMPARE(stored.StyleDate(), QStringLiteral("2024/03/09"));
    QCOMPARE(stored.StyleFamily(), QStringLiteral(" "));
    QCOMPARE(stored.StyleCat(), QStringLiteral("Latin"));
    QCOMPARE(stored.StyleAuthor(), QStringLiteral("Me"));
    QCOMPARE(stored.StyleFile(), QStringLiteral("abcdefghij_long_.sty"));
    QCOMPARE(stored.StyleContent2(), QByteArray(" "));
    stored.setStyleProg(2);
    QVERIFY(stored.GetKORFStyles());
    QCOMPARE(stored.StyleLength2(), 20);

    const DbKORFBank stored1 = bank(db->connection(), 1);
    QCOMPARE(stored1.BankName(), QStringLiteral("ABCDE001"));
    QCOMPARE(stored1.BankDesc(), QStringLiteral("Bank ABCDE"));
    std::array<qint32, 32> expected{};
    expected[0] = 1;
    expected[1] = 2;
    QCOMPARE(stored1.slotValues(), expected);
}

void TestStyImport::picker() {
    TestEnvironment env;
    env.createDatabase();
    const auto db = env.openDatabase();
    env.writeFile(QStringLiteral("scan/A.STY"), bankFile(3, 0));
    env.writeFile(QStringLiteral("scan/B.STY"), bankFile(3, 1));
    env.writeFile(QStringLiteral("scan/C.STY"), bankFile(3, 2));

    QList<StyImport::PickerRequest> requests;
    int call = 0;
    StyImport import(db->connection());
    import.setPicker([&](const StyImport::PickerRequest& request) -> std::optional<StyImport::PickerAnswer> {
        requests.append(request);
    if (call++ == 1)
        return std::nullopt; // closed: the first answer stays in force
    StyImport::PickerAnswer answer;
    answer.picked[0] = true;
    answer.picked[2] = true;
    answer.picked[5] = true; // an empty row: no effect
    answer.values = {QStringLiteral("Fam"), QStringLiteral("Grp"), QStringLiteral("Picked author"),
                     QStringLiteral("Desc")};
    return answer;
});
import.run(env.path(QStringLiteral("scan")), true, QString(), QString(), QStringLiteral("Given author"));

QCOMPARE(requests.size(), 3);
QCOMPARE(requests[0].shortName, QStringLiteral("A.STY"));
QCOMPARE(requests[0].styleNames.size(), 3);
QCOMPARE(requests[0].values[2], QStringLiteral("Given author"));
QCOMPARE(requests[0].values[3], QStringLiteral(" "));
QCOMPARE(requests[1].values[2], QStringLiteral("Picked author"));
QCOMPARE(import.stylesStored(), 6);
QCOMPARE(import.stylesUnpicked(), 3);
for (int b = 1; b <= 3; ++b) {
    const DbKORFBank stored = bank(db->connection(), b);
    QCOMPARE(stored.BankStyle(2), -1);
    QCOMPARE(stored.BankStyle(1), 2 * b - 1);
    QCOMPARE(stored.BankStyle(3), 2 * b);
}
QCOMPARE(column(db->connection(), QStringLiteral("SELECT DISTINCT StyleAuthor FROM KORFStyles")),
         QStringList{QStringLiteral("Picked author")});
QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFStyles WHERE StyleDesc = 'Desc'")),
         0);

// Closed on the first file shown: nothing was ever ticked, so every style is skipped.
StyImport fresh(db->connection());
fresh.setPicker([](const StyImport::PickerRequest&) { return std::optional<StyImport::PickerAnswer>(); });
fresh.run(env.path(QStringLiteral("scan/A.STY")), false, QString(), QString(), QString());
QCOMPARE(fresh.stylesStored(), 0);
QCOMPARE(fresh.banksStored(), 1);
QCOMPARE(bank(db->connection(), 4).BankStyle(3), -1);
}

void TestStyImport::foreignFilesAreLogged() {
    TestEnvironment env;
    env.createDatabase();
    const auto db = env.openDatabase();
    QByteArray newer = bankFile(1);
    newer.replace(28, 4, QByteArray("\x05\x01\x00\x18", 4));
    env.writeFile(QStringLiteral("f/A_I30.STY"), "KORGI-style");
    env.writeFile(QStringLiteral("f/B_I5.sty"), "KORG<");
    env.writeFile(QStringLiteral("f/C_TEXT.STY"), "hello");
    env.writeFile(QStringLiteral("f/D_PA1000.STY"), newer);
    env.writeFile(QStringLiteral("f/E_OTHER.TXT"), "KORGI");
    env.writeFile(QStringLiteral("f/FMYSTY"), "KORG9");
    StyImport import(db->connection());
    const QString log = import.run(env.path(QStringLiteral("f")), true, QString(), QString(), QString());
    QCOMPARE(log,
             QStringLiteral("A_I30.STY is probably a style for KORG i30 arranger\r\n"
                            "B_I5.sty is probably a style for KORG i5 arranger\r\n"
                            "C_TEXT.STY is not a Pa style, is damaged, its format is unknown or you have no "
                            "rights to access it!\r\n"
                            "D_PA1000.STY is a style bank of a newer Pa model and cannot be imported yet\r\n"
                            "FMYSTY is probably a style for KORG i3,i2,i1,i4s arrangers\r\n"));
    QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFBanks")), 0);
    QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFStyles")), 0);
}

void TestStyImport::folderOrder() {
    TestEnvironment env;
    env.createDatabase();
    const auto db = env.openDatabase();
    env.writeFile(QStringLiteral("top/b.sty"), bankFile(1, 1));
    env.writeFile(QStringLiteral("top/a/deeper/d.sty"), bankFile(1, 2));
    env.writeFile(QStringLiteral("top/a/c.sty"), bankFile(1, 3));
    env.writeFile(QStringLiteral("top/A.STY"), bankFile(1, 4));
    env.writeFile(QStringLiteral("top/z/e.sty"), bankFile(1, 5));
    QStringList folders;
    StyImport import(db->connection());
    import.setProgress([&](StyImport::Stage stage, const QString& text, int, int) {
        if (stage == StyImport::Stage::Folder)
            folders << QFileInfo(text).fileName();
});
import.setSubfolders(true);
import.run(env.path(QStringLiteral("top")), true, QString(), QString(), QString());
QCOMPARE(column(db->connection(), QStringLiteral("SELECT StyleFile FROM KORFStyles ORDER BY StyleProg")),
         (QStringList{"A.STY", "b.sty", "c.sty", "d.sty", "e.sty"}));
QCOMPARE(folders, (QStringList{"top", "a", "deeper", "z"}));

import.setSubfolders(false);
import.setPolicy(StyImport::Policy::ImportAll);
import.run(env.path(QStringLiteral("top")), true, QString(), QString(), QString());
QCOMPARE(import.filesRead(), 2);
}

void TestStyImport::errorRollsBackTheWholeRun() {
    TestEnvironment env;
    env.createDatabase();
    const auto db = env.openDatabase();
    const QString earlier = env.writeFile(QStringLiteral("EARLIER.STY"), bankFile(2, 9));
    StyImport import(db->connection());
    import.run(earlier, false, QString(), QString(), QString());

    env.writeFile(QStringLiteral("run/1.STY"), bankFile(2, 1));
    env.writeFile(QStringLiteral("run/2.STY"), bankFile(2, 2));
    env.writeFile(QStringLiteral("run/3.STY"), bankFile(2, 3).left(150));
    env.writeFile(QStringLiteral("run/4.STY"), bankFile(2, 4));
    try {
        import.run(env.path(QStringLiteral("run")), true, QString(), QString(), QString());
        QFAIL("the damaged file was not reported");
    } catch (const SbkError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("3.STY: at byte offset ")),
                 qPrintable(error.message()));
        QVERIFY(error.message().contains(QStringLiteral("the database is as it was before")));
    }
    QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFStyles")), 2);
    QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFBanks")), 1);

    // Values that do not fit their columns are refused before anything is read.
    QVERIFY_THROWS_EXCEPTION(SbkError, import.run(earlier, false, QString(21, 'x'), QString(), QString()));
    QVERIFY_THROWS_EXCEPTION(
        SbkError, import.run(env.path(QStringLiteral("nowhere")), true, QString(), QString(), QString()));
    QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFBanks")), 1);

    // A failed insert (a family from the picker too long for its column) stops and undoes the run.
    import.setPicker([](const StyImport::PickerRequest& request) {
        StyImport::PickerAnswer answer;
    answer.picked.fill(true);
    answer.values = request.values;
    answer.values[0] = QString(30, 'f');
    return std::optional<StyImport::PickerAnswer>(answer);
});
QVERIFY_THROWS_EXCEPTION(SbkError, import.run(env.path(QStringLiteral("run/1.STY")), false, QString(),
                                              QString(), QString()));
QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFStyles")), 2);
QCOMPARE(count(db->connection(), QStringLiteral("SELECT COUNT(*) FROM KORFBanks")), 1);
}

void TestStyImport::realInstrumentFolder() {
    const QString folder = qEnvironmentVariable("SBK_REAL_STY");
    if (folder.isEmpty() || !QDir(folder).exists())
        QSKIP("the folder of instrument-saved STY files is not available");
    TestEnvironment env;
    env.createDatabase();
    const auto db = env.openDatabase();
    StyImport import(db->connection());
    import.setSubfolders(true);
    const QString log = import.run(folder, true, QString(), QString(), QString());
    // Pa600 banks are imported; banks of newer models are logged and passed over.
    QVERIFY(import.filesRead() > 0);
    QCOMPARE(import.banksStored(), import.filesRead());
    QVERIFY(import.filesSkipped() > 0);
    QCOMPARE(
        int(log.count(QStringLiteral(" is a style bank of a newer Pa model and cannot be imported yet\r\n"))),
        import.filesSkipped());
}

void TestStyImport::shortNames_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shortName");
    QTest::newRow("short") << "/x/USER01.STY"
                           << "USER01.STY";
    QTest::newRow("exactly 20") << "/x/abcdefghijklmno.STY"
                                << "abcdefghijklmno.STY";
    QTest::newRow("long") << "/x/My favourite styles 2024.sty"
                          << "My favourite sty.sty";
    QTest::newRow("no extension") << "/x/averyveryverylongnamewithoutdotSTY"
                                  << "averyveryverylongnam";
    QTest::newRow("long extension") << "/x/a.averyveryverylongextension"
                                    << "a.averyveryverylonge";
}

void TestStyImport::shortNames() {
    QFETCH(QString, path);
    QFETCH(QString, shortName);
    QCOMPARE(StyImport::shortNameOf(path), shortName);
}

QTEST_GUILESS_MAIN(TestStyImport)
#include "tst_styimport.moc"
