// The style import engine: duplicate policies, stored values, the picker, logs, folder scans and
// the rollback of a failed run.
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "sty/StyImport.h"
#include "StyTestData.h"
#include "TestEnvironment.h"

#include <QSqlQuery>
#include <QtTest>

using namespace StyTestData;

namespace {

// A fresh database with an import engine on it.
struct Fixture {
    TestEnvironment env;
    std::unique_ptr<Database> db = (env.createDatabase(), env.openDatabase());
    StyImport import{db->connection()};

    QString run(const QString& name, bool folder = false, const QString& group = QString()) {
        return import.run(env.path(name), folder, QString(), group, QString());
    }
    QStringList column(const QString& sql) const {
        QSqlQuery query(db->connection());
        Database::exec(query, sql);
        QStringList values;
        while (query.next())
            values << query.value(0).toString();
        return values;
    }
    int count(const QString& from) const { return column("SELECT COUNT(*) FROM " + from).first().toInt(); }
    // The numbers of stored styles and banks.
    QList<int> counts() const { return {count("KORFStyles"), count("KORFBanks")}; }
    DbKORFBank bank(int number) const {
        DbKORFBank bank(db->connection());
        bank.setBankProg(number);
        if (!bank.GetKORFBanks())
            qFatal("bank missing");
        return bank;
    }
    DbKORFStyle style(int number) const {
        DbKORFStyle style(db->connection());
        style.setStyleProg(number);
        if (!style.GetKORFStyles())
            qFatal("style missing");
        return style;
    }
};

} // namespace

class TestStyImport : public QObject {
    Q_OBJECT

private slots:
    void policiesTwice_data() {
        QTest::addColumn<int>("policy");
        QTest::addColumn<int>("styles");
        QTest::addColumn<int>("logLines");
        QTest::newRow("content") << int(StyImport::Policy::SkipDuplicates) << 3 << 3;
        QTest::newRow("name") << int(StyImport::Policy::OverwriteByName) << 3 << 0;
        QTest::newRow("all") << int(StyImport::Policy::ImportAll) << 6 << 0;
    }
    void policiesTwice() {
        QFETCH(int, policy);
        QFETCH(int, styles);
        QFETCH(int, logLines);
        Fixture f;
        // The first style has one block only: it must be found again as a duplicate too.
        KORFStyles list;
        addStyle(list, "Single", block(30, 1));
        addStyle(list, "Double", block(31, 2), "Double b", block(32, 3));
        addStyle(list, "Third", block(33, 4), "Third b", block(34, 5));
        f.env.writeFile("POP.STY", KORFLibrary::encodeCollection(list));
        f.import.setPolicy(StyImport::Policy(policy));
        QCOMPARE(f.run("POP.STY"), QString());
        const QString log = f.run("POP.STY");
        QCOMPARE(int(log.count("\r\n")), logLines);
        QCOMPARE(f.counts(), (QList<int>{styles, 2}));
        QCOMPARE(f.bank(1).slotValues() == f.bank(2).slotValues(), styles == 3);
        QCOMPARE(f.bank(2).BankStyle(4), 0);
        if (logLines)
            QVERIFY(log.startsWith("Style Single           (1) from file POP.STY is the same as style "
                                   "Single           (1) from file POP.STY, and will not be imported!\r\n"));
    }

    void storedValuesAndOverwrite() {
        Fixture f;
        // Styles at positions 1 and 3 of the bank; the first has no second block.
        f.env.writeFile("abcdefghij_long_name.sty",
                        rawSty({{"Alpha", 2, 0}, {"Gamma", 2, 2}, {"Gamma b", 7, 2}},
                               {block(10, 1), block(11, 2), block(12, 3)}));
        f.import.setToday(QDate(2024, 3, 9));
        QCOMPARE(f.import.run(f.env.path("abcdefghij_long_name.sty"), false, QString(), "Latin", "Me"),
                 QString());
        const DbKORFStyle alpha = f.style(1);
        QCOMPARE(alpha.StyleName1() + '|' + alpha.StyleName2() + '|' + alpha.StyleDesc() + '|' +
                     alpha.StyleDate(),
                 "Alpha           ||Alpha           |2024/03/09");
        QCOMPARE(alpha.StyleFamily() + '|' + alpha.StyleCat() + '|' + alpha.StyleAuthor() + '|' +
                     alpha.StyleFile(),
                 " |Latin|Me|abcdefghij_long_.sty");
        QCOMPARE(alpha.StyleContent2(), QByteArray(" "));
        QCOMPARE(f.style(2).StyleLength2(), 20);
        QCOMPARE(f.bank(1).BankName() + '|' + f.bank(1).BankDesc(), "ABCDE001|Bank ABCDE");
        QCOMPARE(f.bank(1).slotValues(), (std::array<qint32, 32>{1, 2}));

        // Overwritten by name: the stored style keeps its number and takes the new file's data.
        f.env.writeFile("B.STY", rawSty({{"Gamma", 2, 0}}, {block(5, 9)}));
        f.import.setPolicy(StyImport::Policy::OverwriteByName);
        f.run("B.STY", false, "Grp");
        QCOMPARE(f.import.stylesOverwritten(), 1);
        QCOMPARE(f.style(2).StyleContent1(), block(5, 9));
        QCOMPARE(f.style(2).StyleLength2(), 0);
        QCOMPARE(f.style(2).StyleFile() + '|' + f.style(2).StyleCat(), "B.STY|Grp");
        QCOMPARE(f.bank(2).BankStyle(1), 2);
        QCOMPARE(f.counts(), (QList<int>{2, 2}));
    }

    void picker() {
        Fixture f;
        for (int i = 0; i < 3; ++i)
            f.env.writeFile(QStringLiteral("scan/%1.STY").arg(QChar('A' + i)), bankFile(3, i));
        QList<StyImport::PickerRequest> requests;
        f.import.setPicker(
            [&](const StyImport::PickerRequest& request) -> std::optional<StyImport::PickerAnswer> {
                requests.append(request);
                if (requests.size() == 2)
                    return std::nullopt; // closed: the first answer stays in force
                StyImport::PickerAnswer answer{{}, {"Fam", "Grp", "Picked author", "Desc"}};
                answer.picked[0] = answer.picked[2] = true;
                answer.picked[5] = true; // an empty row: no effect
                return answer;
            });
        f.import.run(f.env.path("scan"), true, QString(), QString(), "Given author");
        QCOMPARE(requests.size(), 3);
        QCOMPARE(requests[0].shortName, "A.STY");
        QCOMPARE(requests[0].styleNames.size(), 3);
        QCOMPARE(requests[0].values[2] + '|' + requests[0].values[3], "Given author| ");
        QCOMPARE(requests[1].values[2], "Picked author");
        QCOMPARE(f.import.stylesStored(), 6);
        QCOMPARE(f.import.stylesUnpicked(), 3);
        for (int b = 1; b <= 3; ++b) // unticked styles are -1 in their bank
            QCOMPARE(f.bank(b).slotValues(), (std::array<qint32, 32>{2 * b - 1, -1, 2 * b}));
        QCOMPARE(f.column("SELECT DISTINCT StyleAuthor FROM KORFStyles"), QStringList{"Picked author"});
        QCOMPARE(f.count("KORFStyles WHERE StyleDesc = 'Desc'"), 0);

        // Closed on the first file shown: nothing was ever ticked, so every style is skipped.
        StyImport fresh(f.db->connection());
        fresh.setPicker(
            [](const StyImport::PickerRequest&) { return std::optional<StyImport::PickerAnswer>(); });
        fresh.run(f.env.path("scan/A.STY"), false, QString(), QString(), QString());
        QCOMPARE(fresh.stylesStored(), 0);
        QCOMPARE(f.bank(4).slotValues(), (std::array<qint32, 32>{-1, -1, -1}));
    }

    void foreignFilesAreLogged() {
        Fixture f;
        f.env.writeFile("f/A_I30.STY", "KORGI-style");
        f.env.writeFile("f/B_I5.sty", "KORG<");
        f.env.writeFile("f/C_TEXT.STY", "hello");
        f.env.writeFile("f/D_PA1000.STY", bankFile(1).replace(28, 4, hex("05010018")));
        f.env.writeFile("f/E_OTHER.TXT", "KORGI");
        f.env.writeFile("f/FMYSTY", "KORG9");
        QCOMPARE(f.run("f", true),
                 "A_I30.STY is probably a style for KORG i30 arranger\r\n"
                 "B_I5.sty is probably a style for KORG i5 arranger\r\n"
                 "C_TEXT.STY is not a Pa style, is damaged, its format is unknown or you have no "
                 "rights to access it!\r\n"
                 "D_PA1000.STY is a style bank of a newer Pa model and cannot be imported yet\r\n"
                 "FMYSTY is probably a style for KORG i3,i2,i1,i4s arrangers\r\n");
        QCOMPARE(f.counts(), (QList<int>{0, 0}));
    }

    void folderOrder() {
        Fixture f;
        const QStringList files{"top/b.sty", "top/a/deeper/d.sty", "top/a/c.sty", "top/A.STY", "top/z/e.sty"};
        for (int i = 0; i < files.size(); ++i)
            f.env.writeFile(files[i], bankFile(1, i));
        QStringList folders;
        f.import.setProgress([&](StyImport::Stage stage, const QString& text, int, int) {
            if (stage == StyImport::Stage::Folder)
                folders << QFileInfo(text).fileName();
        });
        f.import.setSubfolders(true);
        f.run("top", true);
        QCOMPARE(f.column("SELECT StyleFile FROM KORFStyles ORDER BY StyleProg"),
                 (QStringList{"A.STY", "b.sty", "c.sty", "d.sty", "e.sty"}));
        QCOMPARE(folders, (QStringList{"top", "a", "deeper", "z"}));
        f.import.setSubfolders(false);
        f.run("top", true);
        QCOMPARE(f.import.filesRead(), 2);
    }

    void errorRollsBackTheWholeRun() {
        Fixture f;
        f.env.writeFile("EARLIER.STY", bankFile(2, 9));
        f.run("EARLIER.STY");
        for (int i = 1; i <= 4; ++i)
            f.env.writeFile(QStringLiteral("run/%1.STY").arg(i), bankFile(2, i).left(i == 3 ? 150 : 10000));
        try {
            f.run("run", true);
            QFAIL("the damaged file was not reported");
        } catch (const SbkError& error) {
            QVERIFY2(error.message().contains("3.STY: at byte offset ") &&
                         error.message().contains("the database is as it was before"),
                     qPrintable(error.message()));
        }
        QCOMPARE(f.counts(), (QList<int>{2, 1}));

        // Refused before anything is read: a value too long for its column, a missing folder.
        QVERIFY_THROWS_EXCEPTION(SbkError, f.run("EARLIER.STY", false, QString(21, 'x')));
        QVERIFY_THROWS_EXCEPTION(SbkError, f.run("nowhere", true));
        // A failed insert (a family from the picker too long for its column) undoes the run.
        f.import.setPicker([](const StyImport::PickerRequest& request) {
            StyImport::PickerAnswer answer{{}, request.values};
            answer.picked.fill(true);
            answer.values[0] = QString(30, 'f');
            return std::optional<StyImport::PickerAnswer>(answer);
        });
        QVERIFY_THROWS_EXCEPTION(SbkError, f.run("run/1.STY"));
        QCOMPARE(f.counts(), (QList<int>{2, 1}));
    }

    void realInstrumentFolder() {
        const QString folder = qEnvironmentVariable("SBK_REAL_STY");
        if (folder.isEmpty() || !QDir(folder).exists())
            QSKIP("the folder of instrument-saved STY files is not available");
        Fixture f;
        f.import.setSubfolders(true);
        const QString log = f.import.run(folder, true, QString(), QString(), QString());
        // Pa600 banks are imported; banks of newer models are logged and passed over.
        QVERIFY(f.import.filesRead() > 0 && f.import.filesSkipped() > 0);
        QCOMPARE(f.import.banksStored(), f.import.filesRead());
        QCOMPARE(int(log.count(" is a style bank of a newer Pa model and cannot be imported yet\r\n")),
                 f.import.filesSkipped());
    }

    void shortNames() {
        const QList<QStringList> cases{{"/x/USER01.STY", "USER01.STY"},
                                       {"/x/abcdefghijklmno.STY", "abcdefghijklmno.STY"},
                                       {"/x/My favourite styles 2024.sty", "My favourite sty.sty"},
                                       {"/x/averyveryverylongnamewithoutdotSTY", "averyveryverylongnam"},
                                       {"/x/a.averyveryverylongextension", "a.averyveryverylonge"}};
        for (const QStringList& c : cases)
            QCOMPARE(StyImport::shortNameOf(c[0]), c[1]);
    }
};

QTEST_GUILESS_MAIN(TestStyImport)
#include "tst_styimport.moc"
