#include "core/Progress.h"
#include "core/SbkError.h"
#include "interchange/SsfExport.h"
#include "interchange/SsfFile.h"
#include "interchange/SsfImport.h"
#include "store/Database.h"
#include "store/KORFStyles.h"
#include "store/StyleListing.h"
#include "StyleFixtures.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QtTest>

namespace {

class CountingProgress : public Progress {
public:
    void begin(qint64 t, const QString&) override { total = t; }
    void step(qint64 d, const QString&) override { steps << d; }
    qint64 total = -1;
    QList<qint64> steps;
};

QByteArray allBytes() {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

// An SSF file put together field by field, so that single fields can be damaged.
QByteArray ssf(const QList<QByteArray>& fields) {
    QByteArray out = SsfFile::Signature;
    for (const QByteArray& field : fields)
        out += QByteArray::number(field.size()).rightJustified(5, '0') + field;
    return out;
}

QList<QByteArray> goodFields(const QByteArray& content1 = "abc") {
    return {"NAME", "", "00003", "00002", content1, "de", "", "POP", "", "", "", "12/05/2006"};
}

} // namespace

class TestSsf : public QObject {
    Q_OBJECT

private slots:
    void layoutExampleByteForByte();
    void fileName_data();
    void fileName();
    void folderWithoutSeparatorHoldsTheFile();
    void exportDate_data();
    void exportDate();
    void styleThatCannotBeWritten_data();
    void styleThatCannotBeWritten();
    void exportModes();
    void roundTripIntoSameAndOtherDatabase();
    void emptyBlockFoundAgainAsDuplicate();
    void damagedFile_data();
    void damagedFile();
    void folderRunStopsAtFirstRefusal();
    void folderRunPassesOverOtherFiles();
    void fuzzFindingsAreRefusedCleanly();
};

void TestSsf::layoutExampleByteForByte() {
    DbKORFStyle style;
    style.setStyleName1(QStringLiteral("TEST"));
    style.setStyleLength1(3);
    style.setStyleLength2(2);
    style.setStyleContent1("abc");
    style.setStyleContent2("de");
    style.setStyleCat(QStringLiteral("POP"));
    style.setStyleDate(QStringLiteral("2006/05/12"));
    const QByteArray expected = "SSF_SBK_Quimbral"
                                "00004TEST"
                                "00000"
                                "0000500003"
                                "0000500002"
                                "00003abc"
                                "00002de"
                                "00000"
                                "00003POP"
                                "00000"
                                "00000"
                                "00000"
                                "0001012/05/2006";
    QCOMPARE(SsfFile::encode(style), expected);

    TestEnvironment env;
    const QString path = SsfFile::write(style, env.path(QString()));
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("TEST.SSF"));
    QCOMPARE(TestEnvironment::readFile(path), expected);
}

void TestSsf::fileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("file");
    QTest::newRow("blanks dropped") << QStringLiteral("Pop Ballad 2") << QStringLiteral("POPBALLAD2.SSF");
    QTest::newRow("punctuation dropped") << QStringLiteral("Pop-1") << QStringLiteral("POP1.SSF");
    QTest::newRow("underscore kept") << QStringLiteral("a_b") << QStringLiteral("A_B.SSF");
    QTest::newRow("only blanks") << QStringLiteral("   ") << QStringLiteral(".SSF");
    QTest::newRow("only accented letters") << QStringLiteral("\u00e9\u00e8\u00df") << QStringLiteral(".SSF");
    QTest::newRow("control bytes") << QStringLiteral("A\u0000B\u00ff") << QStringLiteral("AB.SSF");
}

void TestSsf::fileName() {
    QFETCH(QString, name);
    QFETCH(QString, file);
    QCOMPARE(SsfFile::fileName(name), file);
}

void TestSsf::folderWithoutSeparatorHoldsTheFile() {
    TestEnvironment env;
    const QString folder = env.path(QStringLiteral("out"));
    QDir().mkpath(folder);
    DbKORFStyle style;
    style.setStyleName1(QStringLiteral("A"));
    QVERIFY(!folder.endsWith(QLatin1Char('/')));
    const QString path = SsfFile::write(style, folder);
    QCOMPARE(path, folder + QStringLiteral("/A.SSF"));
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("A.SSF")));
}

void TestSsf::exportDate_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("import form") << QStringLiteral("2006/05/12") << QByteArray("12/05/2006");
    QTest::newRow("ISO form") << QStringLiteral("2006-05-12") << QByteArray("12/05/2006");
    QTest::newRow("empty") << QString() << SsfFile::UnknownDate;
    QTest::newRow("not a date") << QStringLiteral("yesterday") << SsfFile::UnknownDate;
    QTest::newRow("impossible day") << QStringLiteral("2006/02/31") << SsfFile::UnknownDate;
    QTest::newRow("early year") << QStringLiteral("0006/05/12") << QByteArray("12/05/0006");
}

void TestSsf::exportDate() {
    QFETCH(QString, stored);
    QFETCH(QByteArray, written);
    QCOMPARE(SsfFile::exportDate(stored), written);
}

void TestSsf::styleThatCannotBeWritten_data() {
    QTest::addColumn<StyleFixture>("fixture");
    QTest::addColumn<QString>("named");
    StyleFixture f;
    f.prog = 7;
    f.name1 = QStringLiteral("OLD");

    StyleFixture longData = f;
    longData.content1 = QByteArray(100000, 'x');
    QTest::newRow("data block over 99,999 bytes") << longData << QStringLiteral("first length is 100000");
    StyleFixture wideName = f;
    wideName.name2 = QStringLiteral("\u4e2d");
    QTest::newRow("name outside one byte") << wideName << QStringLiteral("second name");
    StyleFixture wideDesc = f;
    wideDesc.desc = QStringLiteral("caf\u00e9 \u4e2d");
    QTest::newRow("description outside one byte") << wideDesc << QStringLiteral("description");
}

void TestSsf::styleThatCannotBeWritten() {
    QFETCH(StyleFixture, fixture);
    QFETCH(QString, named);
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    addStyle(db->connection(), fixture);
    const QString folder = env.path(QStringLiteral("out"));
    // An older file of the same name survives the refusal.
    const QString older = env.writeFile(QStringLiteral("out/OLD.SSF"), "older file");

    SsfExport exporter(db->connection(), folder);
    try {
        exporter.exportStyles({7});
        QFAIL("the export was not refused");
    } catch (const SbkError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("style 7 (OLD)")), qPrintable(error.message()));
        QVERIFY2(error.message().contains(named), qPrintable(error.message()));
    }
    QCOMPARE(TestEnvironment::readFile(older), QByteArray("older file"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("OLD.SSF")});
}

void TestSsf::exportModes() {
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    for (const auto& [prog, name] : QList<std::pair<int, QString>>{
             {1, QStringLiteral("Zeta")}, {2, QStringLiteral("Alpha")}, {3, QStringLiteral("Mid")}}) {
        StyleFixture f;
        f.prog = prog;
        f.name1 = name;
        f.content1 = name.toLatin1();
        addStyle(db->connection(), f);
    }
    const QString folder = env.path(QStringLiteral("out"));
    QDir().mkpath(folder);
    CountingProgress progress;
    SsfExport exporter(db->connection(), folder, &progress);

    // Selected numbers: a number that is not stored is passed over without a word.
    SsfExport::Result selected = exporter.exportStyles({3, 99, 1});
    QCOMPARE(selected.files,
             (QStringList{folder + QStringLiteral("/MID.SSF"), folder + QStringLiteral("/ZETA.SSF")}));
    QCOMPARE(selected.skipped, 1);
    QCOMPARE(progress.total, 3);
    QCOMPARE(progress.steps, (QList<qint64>{1, 2, 3}));

    // The listing in its own order.
    const StyleListing byName =
        StyleListing::GetAllStyles(db->connection(), QString(), QStringLiteral("STYLENAME1"));
    const SsfExport::Result all = exporter.exportListing(byName);
    QCOMPARE(all.files,
             (QStringList{folder + QStringLiteral("/ALPHA.SSF"), folder + QStringLiteral("/MID.SSF"),
                          folder + QStringLiteral("/ZETA.SSF")}));

    // The working bank, slot by slot.
    KORFStyles bank;
    bank.Add(2, QString(), QString(), 0, 0, {}, {});
    bank.Add(40, QString(), QString(), 0, 0, {}, {});
    const SsfExport::Result banked = exporter.exportBank(bank);
    QCOMPARE(banked.files, QStringList{folder + QStringLiteral("/ALPHA.SSF")});
    QCOMPARE(banked.skipped, 1);

    QVERIFY_THROWS_EXCEPTION(
        SbkError, SsfExport(db->connection(), env.path(QStringLiteral("missing"))).exportStyles({1}));
}

void TestSsf::roundTripIntoSameAndOtherDatabase() {
    TestEnvironment env;
    env.createDatabase(QStringLiteral("a.mdb"));
    env.createDatabase(QStringLiteral("b.mdb"));
    auto a = env.openDatabase(QStringLiteral("a.mdb"));
    auto b = env.openDatabase(QStringLiteral("b.mdb"));
    StyleFixture f;
    f.prog = 5;
    f.name1 = QStringLiteral("Ballad \u00c0\u00ff");
    f.name2 = QStringLiteral("B2");
    f.content1 = allBytes() + "\r\n" + allBytes();
    f.content2 = "\x00\x1a\r"_qba;
    f.desc = QStringLiteral("Caf\u00e9 \u20ac \u2030 \u0152");
    f.group = QStringLiteral("POP");
    f.family = QStringLiteral("Ballad");
    f.file = QStringLiteral("BANK01.STY");
    f.author = QStringLiteral("Me");
    addStyle(a->connection(), f);
    StyleFixture other;
    other.prog = 41;
    addStyle(b->connection(), other);

    const QString folder = env.path(QStringLiteral("out"));
    QDir().mkpath(folder);
    const QStringList files = SsfExport(a->connection(), folder).exportStyles({5}).files;
    QCOMPARE(files.size(), 1);
    QCOMPARE(QFileInfo(files.first()).fileName(), QStringLiteral("BALLAD.SSF"));

    const SsfImport::Result same = SsfImport(a->connection()).importFile(files.first());
    QCOMPARE(same.files.size(), 1);
    QCOMPARE(same.files.first().outcome, SsfImport::Outcome::AlreadyPresent);
    QCOMPARE(same.files.first().styleProg, 5);
    QVERIFY(!same.succeeded());
    QCOMPARE(same.message(), SsfImport::PresentMessage);

    const SsfImport::Result into = SsfImport(b->connection()).importFile(files.first());
    QVERIFY(into.succeeded());
    QCOMPARE(into.message(), SsfImport::DoneMessage);
    QCOMPARE(into.files.first().styleProg, 42);
    DbKORFStyle back(b->connection());
    back.setStyleProg(42);
    QVERIFY(back.GetKORFStyles());
    QCOMPARE(back.StyleName1(), f.name1);
    QCOMPARE(back.StyleName2(), f.name2);
    QCOMPARE(back.StyleLength1(), qint32(f.content1.size()));
    QCOMPARE(back.StyleLength2(), qint32(f.content2.size()));
    QCOMPARE(back.StyleContent1(), f.content1);
    QCOMPARE(back.StyleContent2(), f.content2);
    QCOMPARE(back.StyleDesc(), f.desc);
    QCOMPARE(back.StyleCat(), f.group);
    QCOMPARE(back.StyleFamily(), f.family);
    QCOMPARE(back.StyleFile(), f.file);
    QCOMPARE(back.StyleAuthor(), f.author);
    QCOMPARE(back.StyleDate(), QStringLiteral("2006/05/12"));
}

void TestSsf::emptyBlockFoundAgainAsDuplicate() {
    // The database stores an empty block as one blank; the file carries it empty.
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    QList<QByteArray> fields = goodFields();
    fields[3] = "00000";
    fields[5] = "";
    const QString path = env.writeFile(QStringLiteral("E.SSF"), ssf(fields));
    SsfImport importer(db->connection());
    QCOMPARE(importer.importFile(path).files.first().outcome, SsfImport::Outcome::Inserted);
    QCOMPARE(importer.importFile(path).files.first().outcome, SsfImport::Outcome::AlreadyPresent);
}

void TestSsf::damagedFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem");
    const QByteArray good = ssf(goodFields());
    QByteArray letterInCount = good;
    letterInCount.replace(16, 5, "0a004");
    QTest::newRow("count not five digits")
        << letterInCount << QStringLiteral("count of the name is not five digits");
    QTest::newRow("file ends early") << good.left(good.size() - 4)
                                     << QStringLiteral("ends 4 bytes before the end of the date");
    QTest::newRow("ends inside a count") << good.left(18) << QStringLiteral("the count of the name");
    QList<QByteArray> badDate = goodFields();
    badDate[11] = "31/02/2006";
    QTest::newRow("impossible date") << ssf(badDate) << QStringLiteral("is not a date");
    badDate[11] = "2006/05/12";
    QTest::newRow("date in another form") << ssf(badDate) << QStringLiteral("is not a date");
    badDate[11] = "12/5/2006";
    QTest::newRow("short date") << ssf(badDate) << QStringLiteral("is not a date");
    QList<QByteArray> badLength = goodFields();
    badLength[2] = "0x003";
    QTest::newRow("length not a number") << ssf(badLength) << QStringLiteral("first length is not a number");
    QTest::newRow("huge count") << QByteArray(SsfFile::Signature + "99999AB")
                                << QStringLiteral("99999 announced");
}

void TestSsf::damagedFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    const QString path = env.writeFile(QStringLiteral("BROKEN.SSF"), bytes);
    const SsfImport::Result result = SsfImport(db->connection()).importFile(path);
    QCOMPARE(result.files.size(), 1);
    QCOMPARE(result.files.first().outcome, SsfImport::Outcome::Damaged);
    QVERIFY(!result.succeeded());
    QVERIFY2(result.message().startsWith(
                 QStringLiteral("SSF file import aborted: The SSF file BROKEN.SSF is damaged at byte ")),
             qPrintable(result.message()));
    QVERIFY2(result.message().contains(problem), qPrintable(result.message()));
    QCOMPARE(tableRows(db->connection(), QStringLiteral("KORFStyles"), QStringLiteral("StyleProg")).size(),
             0);
}

void TestSsf::folderRunStopsAtFirstRefusal() {
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    StyleFixture present;
    present.content1 = "second";
    addStyle(db->connection(), present);
    // Visited in name order: A is new, B is already stored, C is never read.
    env.writeFile(QStringLiteral("in/A.SSF"), ssf(goodFields("first")));
    QList<QByteArray> second = goodFields("second");
    second[2] = "00006";
    second[3] = "00008";
    second[5] = "data two";
    env.writeFile(QStringLiteral("in/B.SSF"), ssf(second));
    env.writeFile(QStringLiteral("in/C.SSF"), ssf(goodFields("third")));

    const SsfImport::Result result = SsfImport(db->connection()).importFolder(env.path(QStringLiteral("in")));
    QCOMPARE(result.files.size(), 2);
    QCOMPARE(result.files[0].outcome, SsfImport::Outcome::Inserted);
    QCOMPARE(result.files[0].styleProg, 2);
    QCOMPARE(result.files[1].outcome, SsfImport::Outcome::AlreadyPresent);
    QCOMPARE(result.message(), SsfImport::PresentMessage);
    QCOMPARE(tableRows(db->connection(), QStringLiteral("KORFStyles"), QStringLiteral("StyleProg")).size(),
             2);

    // A damaged file is a refusal too.
    env.writeFile(QStringLiteral("in2/A.SSF"), ssf(goodFields("fourth")).left(30));
    env.writeFile(QStringLiteral("in2/B.SSF"), ssf(goodFields("fifth")));
    const SsfImport::Result damaged =
        SsfImport(db->connection()).importFolder(env.path(QStringLiteral("in2")));
    QCOMPARE(damaged.files.size(), 1);
    QVERIFY(damaged.message().contains(QStringLiteral("A.SSF is damaged")));
}

void TestSsf::folderRunPassesOverOtherFiles() {
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    env.writeFile(QStringLiteral("in/a.ssf"), ssf(goodFields("lower case")));
    env.writeFile(QStringLiteral("in/X.SSF"), "plain text, no signature");
    env.writeFile(QStringLiteral("in/NOTSSF"), "also plain text");
    env.writeFile(QStringLiteral("in/KEEP.TXT"), ssf(goodFields("other extension")));
    QCOMPARE(SsfImport::folderFiles(env.path(QStringLiteral("in"))),
             (QStringList{env.path(QStringLiteral("in/NOTSSF")), env.path(QStringLiteral("in/X.SSF"))}));
    const SsfImport::Result result = SsfImport(db->connection()).importFolder(env.path(QStringLiteral("in")));
    QCOMPARE(result.files.size(), 2);
    QCOMPARE(result.files[0].outcome, SsfImport::Outcome::NotSsf);
    QCOMPARE(result.files[1].outcome, SsfImport::Outcome::NotSsf);
    QVERIFY(result.succeeded());
    QCOMPARE(result.message(), SsfImport::DoneMessage);
    QCOMPARE(tableRows(db->connection(), QStringLiteral("KORFStyles"), QStringLiteral("StyleProg")).size(),
             0);
}

void TestSsf::fuzzFindingsAreRefusedCleanly() {
    // Inputs that once troubled the reader. Each is refused naming the file, or read; what is read
    // must be written back to a file that reads to the same style.
    const QDir dir(QStringLiteral(SBK_INTERCHANGE_DATA "/ssf"));
    const QFileInfoList files = dir.entryInfoList(QDir::Files);
    if (files.isEmpty())
        QSKIP("no SSF regression files");
    for (const QFileInfo& info : files) {
        DbKORFStyle style;
        DbKORFStyle again;
        try {
            if (!SsfFile::read(TestEnvironment::readFile(info.filePath()), info.fileName(), style))
                continue;
        } catch (const SbkError& error) {
            QVERIFY(error.message().contains(info.fileName()));
            continue;
        }
        QVERIFY(SsfFile::read(SsfFile::encode(style), info.fileName(), again));
        QCOMPARE(again.StyleDate(), style.StyleDate());
        QCOMPARE(again.StyleContent1(), style.StyleContent1());
        QCOMPARE(again.StyleName1(), style.StyleName1());
    }
}

QTEST_GUILESS_MAIN(TestSsf)
#include "tst_Ssf.moc"
