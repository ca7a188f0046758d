#include "core/Progress.h"
#include "core/SbkError.h"
#include "interchange/PddBackup.h"
#include "interchange/PddRestore.h"
#include "store/Database.h"
#include "StyleFixtures.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QSqlError>
#include <QtTest>

namespace {

class CountingProgress : public Progress {
public:
    void begin(qint64 t, const QString&) override { total = t; }
    void step(qint64 d, const QString&) override { last = d; }
    qint64 total = -1;
    qint64 last = 0;
};

QByteArray allBytes() {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    return bytes;
}

QByteArray lines(const QList<QByteArray>& list) {
    QByteArray out;
    for (const QByteArray& line : list)
        out += line + "\r\n";
    return out;
}

QList<QByteArray> bankLines(qint32 prog, const QByteArray& name, const QByteArray& desc,
                            const QList<qint32>& filled) {
    QList<QByteArray> out{QByteArray::number(prog), name, desc};
    for (int k = 0; k < 32; ++k)
        out << QByteArray::number(k < filled.size() ? filled[k] : 0);
    return out;
}

QList<QByteArray> styleLines(qint32 prog, const QByteArray& name, const QByteArray& content1,
                             const QByteArray& content2, const QByteArray& desc = "") {
    return {QByteArray::number(prog),
            name,
            "",
            QByteArray::number(content1.size()),
            QByteArray::number(content2.size()),
            content1,
            content2,
            content1.left(250),
            "2006/05/12",
            desc,
            "",
            "",
            "",
            ""};
}

QList<QVariantList> styles(QSqlDatabase db) {
    return tableRows(db, QStringLiteral("KORFStyles"), QStringLiteral("StyleProg"));
}

QList<QVariantList> banks(QSqlDatabase db) {
    return tableRows(db, QStringLiteral("KORFBanks"), QStringLiteral("BankProg"));
}

const QList<QByteArray> emptyDump{"SBK BACKUP",       "TABLE KORFBANKS", "##NR0",
                                  "TABLE KORFSTYLES", "##NR0",           "SBK BACKUP"};

} // namespace

class TestPdd : public QObject {
    Q_OBJECT

private slots:
    void emptyTablesWrittenAsNr0();
    void backupLineByLine();
    void everyByteSurvivesBackupAndRestore();
    void nullValuesComeBackEmpty();
    void backupRefusesWhatTheLayoutCannotCarry_data();
    void backupRefusesWhatTheLayoutCannotCarry();
    void songBlocks();
    void invalidFiles_data();
    void invalidFiles();
    void failedRestoreLeavesDatabaseUnchanged_data();
    void failedRestoreLeavesDatabaseUnchanged();
    void targetPath();
};

void TestPdd::emptyTablesWrittenAsNr0() {
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    const QString path = env.path(QStringLiteral("EMPTY.PDD"));
    PddBackup::backup(db->connection(), path);
    QCOMPARE(TestEnvironment::readFile(path), lines(emptyDump));

    const PddRestore::Check check = PddRestore::validate(path);
    QVERIFY2(check.valid, qPrintable(check.problem));
    QCOMPARE(check.records, 0);

    // Restoring an empty dump empties the tables.
    env.createDatabase(QStringLiteral("full.mdb"));
    auto full = env.openDatabase(QStringLiteral("full.mdb"));
    addStyle(full->connection(), StyleFixture{});
    addBank(full->connection(), 1, QStringLiteral("B"), QString(), {1});
    PddRestore::restore(full->connection(), path, check.records);
    QVERIFY(styles(full->connection()).isEmpty());
    QVERIFY(banks(full->connection()).isEmpty());
}

void TestPdd::backupLineByLine() {
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    QSqlDatabase c = db->connection();
    for (int prog : {3, 1, 2}) {
        StyleFixture f;
        f.prog = prog;
        f.name1 = QStringLiteral("S%1").arg(prog);
        f.content1 = QByteArray(prog == 2 ? 300 : 5, char('a' + prog));
        f.content2 = "second";
        f.desc = prog == 1 ? QStringLiteral("Caf\u00e9 \u20ac") : QString();
        addStyle(c, f);
    }
    addBank(c, 2, QStringLiteral("Second"), QStringLiteral("two"), {3, 1});
    addBank(c, 1, QStringLiteral("First"), QString(), {1, 2, 3});

    CountingProgress progress;
    const QString path = env.path(QStringLiteral("FIVE.PDD"));
    PddBackup::backup(c, path, &progress);
    QCOMPARE(progress.total, 5);
    QCOMPARE(progress.last, 5);

    QList<QByteArray> expected{"SBK BACKUP", "TABLE KORFBANKS", "##NR2"};
    expected << bankLines(1, "First", "", {1, 2, 3}) << bankLines(2, "Second", "two", {3, 1});
    expected << "TABLE KORFSTYLES"
             << "##NR3";
    expected << styleLines(1, "S1", "bbbbb", "second", "Caf\xe9 \x80")
             << styleLines(2, "S2", QByteArray(300, 'c'), "second") << styleLines(3, "S3", "ddddd", "second");
    expected << "SBK BACKUP";
    const QByteArray written = TestEnvironment::readFile(path);
    QCOMPARE(written.split('\n').size(), expected.size() + 1);
    QCOMPARE(written, lines(expected));
}

void TestPdd::everyByteSurvivesBackupAndRestore() {
    TestEnvironment env;
    env.createDatabase(QStringLiteral("a.mdb"));
    env.createDatabase(QStringLiteral("b.mdb"));
    auto a = env.openDatabase(QStringLiteral("a.mdb"));
    auto b = env.openDatabase(QStringLiteral("b.mdb"));

    StyleFixture every;
    every.prog = 10;
    every.name1 = QStringLiteral("N\u0000\u00ff\u0080");
    every.content1 = allBytes() + "\r\n\n\r" + allBytes();
    every.content2 = "\r\n";
    every.desc = QStringLiteral("\u20ac\u2030\u0152 \u00e9");
    every.author = QStringLiteral("A\u00d6");
    addStyle(a->connection(), every);
    StyleFixture lineEnds;
    lineEnds.prog = 11;
    lineEnds.content1 = "\n";
    lineEnds.content2 = "ends in CR\r";
    addStyle(a->connection(), lineEnds);
    StyleFixture emptyBlocks;
    emptyBlocks.prog = 12;
    emptyBlocks.content1 = "";
    emptyBlocks.content2 = "";
    addStyle(a->connection(), emptyBlocks);
    addBank(a->connection(), 7, QStringLiteral("Bank \u00e9\u20ac"), QStringLiteral("desc"), {12, 0, 10, 11});

    // Something to replace in the target.
    StyleFixture old;
    old.prog = 99;
    addStyle(b->connection(), old);
    addBank(b->connection(), 99, QStringLiteral("old"), QString(), {99});

    const QString path = env.path(QStringLiteral("ALL.PDD"));
    PddBackup::backup(a->connection(), path);
    const PddRestore::Check check = PddRestore::validate(path);
    QVERIFY2(check.valid, qPrintable(check.problem));
    QCOMPARE(check.records, 4);
    CountingProgress progress;
    PddRestore::restore(b->connection(), path, check.records, &progress);
    QCOMPARE(progress.last, 4);
    QCOMPARE(styles(b->connection()), styles(a->connection()));
    QCOMPARE(banks(b->connection()), banks(a->connection()));
}

void TestPdd::nullValuesComeBackEmpty() {
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    QSqlQuery query(db->connection());
    QVERIFY(query.exec(
        QStringLiteral("INSERT INTO KORFStyles (StyleProg, StyleName1, StyleLength1, StyleLength2, "
                       "StyleContent1, StyleContent2) VALUES (1, 'N', 3, 0, X'616263', ' ')")));
    QVERIFY(query.exec(QStringLiteral("INSERT INTO KORFBanks (BankProg) VALUES (4)")));
    const QString path = env.path(QStringLiteral("NULL.PDD"));
    PddBackup::backup(db->connection(), path);
    const PddRestore::Check check = PddRestore::validate(path);
    QVERIFY2(check.valid, qPrintable(check.problem));
    PddRestore::restore(db->connection(), path, check.records);
    DbKORFStyle style(db->connection());
    style.setStyleProg(1);
    QVERIFY(style.GetKORFStyles());
    QCOMPARE(style.StyleContent1(), QByteArray("abc"));
    QCOMPARE(style.StyleName2(), QString());
    QCOMPARE(style.StyleDesc(), QString());
    DbKORFBank bank(db->connection());
    bank.setBankProg(4);
    QVERIFY(bank.GetKORFBanks());
    QCOMPARE(bank.BankName(), QString());
}

void TestPdd::backupRefusesWhatTheLayoutCannotCarry_data() {
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("named");
    QTest::newRow("line break in a bank description")
        << QStringLiteral("INSERT INTO KORFBanks (BankProg, BankName, BankDesc) VALUES (3, 'Live', 'two' || "
                          "char(10) || 'lines')")
        << QStringLiteral("bank 3 (Live): its description holds a line break");
    QTest::newRow("carriage return in a style name")
        << QStringLiteral(
               "INSERT INTO KORFStyles (StyleProg, StyleName1, StyleLength1, StyleLength2, StyleContent1, "
               "StyleContent2) VALUES (5, 'A' || char(13), 1, 1, X'41', X'42')")
        << QStringLiteral("style 5 (A\r): its name holds a line break");
    QTest::newRow("character without one-byte form")
        << QStringLiteral(
               "INSERT INTO KORFStyles (StyleProg, StyleName1, StyleLength1, StyleLength2, StyleContent1, "
               "StyleContent2, StyleAuthor) VALUES (6, 'W', 1, 1, X'41', X'42', char(20013))")
        << QStringLiteral("style 6 (W): its author");
    QTest::newRow("length that does not describe the data")
        << QStringLiteral(
               "INSERT INTO KORFStyles (StyleProg, StyleName1, StyleLength1, StyleLength2, StyleContent1, "
               "StyleContent2) VALUES (8, 'L', 9, 1, X'41', X'42')")
        << QStringLiteral("style 8 (L): its stored lengths (9, 1) do not match");
}

void TestPdd::backupRefusesWhatTheLayoutCannotCarry() {
    QFETCH(QString, statement);
    QFETCH(QString, named);
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    QSqlQuery query(db->connection());
    QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
    // An older backup of that name survives, and nothing else is left in the folder.
    const QString path = env.writeFile(QStringLiteral("out/OLD.PDD"), "older backup");
    try {
        PddBackup::backup(db->connection(), path);
        QFAIL("the backup was not refused");
    } catch (const SbkError& error) {
        QVERIFY2(error.message().contains(named), qPrintable(error.message()));
    }
    QCOMPARE(TestEnvironment::readFile(path), QByteArray("older backup"));
    QCOMPARE(QDir(env.path(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("OLD.PDD")});
}

void TestPdd::songBlocks() {
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    QList<QByteArray> withSongs{"SBK BACKUP", "TABLE KORFBANKS",  "##NR0", "TABLE KORFSONGS",
                                "##NR0",      "TABLE KORFSONSTY", "##NR0", "TABLE KORFSTYLES",
                                "##NR1"};
    withSongs << styleLines(4, "SONGLESS", "abc", "de") << "SBK BACKUP";
    const QString path = env.writeFile(QStringLiteral("SONGS.PDD"), lines(withSongs));
    const PddRestore::Check check = PddRestore::validate(path);
    QVERIFY2(check.valid, qPrintable(check.problem));
    QCOMPARE(check.records, 1);
    PddRestore::restore(db->connection(), path, check.records);
    QCOMPARE(styles(db->connection()).size(), 1);

    // Only one of the two song blocks.
    QList<QByteArray> oneSong = withSongs;
    oneSong.remove(3, 2);
    QVERIFY(PddRestore::validate(env.writeFile(QStringLiteral("ONE.PDD"), lines(oneSong))).valid);

    // A song block with records cannot be restored: there are no song tables.
    QList<QByteArray> songRecords = withSongs;
    songRecords[4] = "##NR2";
    songRecords.insert(5, "song line");
    const QString refused = env.writeFile(QStringLiteral("REFUSED.PDD"), lines(songRecords));
    const PddRestore::Check bad = PddRestore::validate(refused);
    QVERIFY(!bad.valid);
    QVERIFY2(bad.problem.contains(QStringLiteral("\"TABLE KORFSONGS\" holds 2 records")),
             qPrintable(bad.problem));
    const auto before = styles(db->connection());
    QVERIFY_THROWS_EXCEPTION(SbkError, PddRestore::restore(db->connection(), refused, 3));
    QCOMPARE(styles(db->connection()), before);
}

void TestPdd::invalidFiles_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem");
    auto replaced = [](qsizetype at, const QByteArray& line) {
        QList<QByteArray> dump = emptyDump;
        dump[at] = line;
        return lines(dump);
    };
    QTest::newRow("empty file") << QByteArray() << QStringLiteral("line 1 (byte 0): the file ends");
    QTest::newRow("other header") << replaced(0, "SBK BACKUP 2") << QStringLiteral("\"SBK BACKUP\" expected");
    QTest::newRow("count not decimal")
        << replaced(2, "##NRx") << QStringLiteral("decimal number expected for KORFBANKS");
    QTest::newRow("negative count") << replaced(4, "##NR-1")
                                    << QStringLiteral("decimal number expected for KORFSTYLES");
    QTest::newRow("count past the end")
        << replaced(4, "##NR40000") << QStringLiteral("line 6 (byte 65): the style number is not a number");
    QTest::newRow("styles block missing")
        << lines({"SBK BACKUP", "TABLE KORFBANKS", "##NR0", "SBK BACKUP"})
        << QStringLiteral("\"TABLE KORFSONGS\", \"TABLE KORFSONSTY\", \"TABLE KORFSTYLES\" expected");
    QTest::newRow("closing line missing") << lines(emptyDump.mid(0, 5)) << QStringLiteral("the file ends");
    QTest::newRow("text after the closing line")
        << lines(emptyDump + QList<QByteArray>{"more"}) << QStringLiteral("text follows the closing line");
    QList<QByteArray> longData{"SBK BACKUP", "TABLE KORFBANKS", "##NR0", "TABLE KORFSTYLES", "##NR1"};
    QList<QByteArray> record = styleLines(1, "X", "abc", "de");
    record[3] = "2000000000";
    QTest::newRow("length past the end") << lines(longData + record + QList<QByteArray>{"SBK BACKUP"})
                                         << QStringLiteral("announced as 2000000000 bytes");
    record = styleLines(1, "X", "abc", "de");
    record[3] = "2";
    QTest::newRow("length too short") << lines(longData + record + QList<QByteArray>{"SBK BACKUP"})
                                      << QStringLiteral("followed by 1 unexpected bytes");
    record = styleLines(1, "X", "abc", "de");
    record[0] = "one";
    QTest::newRow("style number not a number") << lines(longData + record + QList<QByteArray>{"SBK BACKUP"})
                                               << QStringLiteral("the style number is not a number");
    QTest::newRow("line without end") << QByteArray(5000, 'S') << QStringLiteral("longer than 4096 bytes");
}

void TestPdd::invalidFiles() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    TestEnvironment env;
    const QString path = env.writeFile(QStringLiteral("BAD.PDD"), bytes);
    const PddRestore::Check check = PddRestore::validate(path);
    QVERIFY(!check.valid);
    QVERIFY2(check.problem.contains(problem), qPrintable(check.problem));
    QVERIFY2(check.problem.contains(path), qPrintable(check.problem));
}

void TestPdd::failedRestoreLeavesDatabaseUnchanged_data() {
    QTest::addColumn<QByteArray>("bytes");
    QList<QByteArray> head{"SBK BACKUP", "TABLE KORFBANKS", "##NR1"};
    head << bankLines(1, "NEW", "", {1, 2});
    head << "TABLE KORFSTYLES"
         << "##NR3";
    QList<QByteArray> repeated = head;
    repeated << styleLines(1, "A", "abc", "de") << styleLines(2, "B", "fgh", "ij")
             << styleLines(2, "C", "klm", "no") << "SBK BACKUP";
    QTest::newRow("repeated style number refused by the insert") << lines(repeated);
    QList<QByteArray> tooLong = head;
    tooLong << styleLines(1, "A", "abc", "de") << styleLines(2, "B", "fgh", "ij")
            << styleLines(3, "NAME LONGER THAN SIXTEEN", "klm", "no") << "SBK BACKUP";
    QTest::newRow("name too long for its column") << lines(tooLong);
    QList<QByteArray> cut = head;
    cut << styleLines(1, "A", "abc", "de") << styleLines(2, "B", "fgh", "ij") << "3"
        << "C"
        << ""
        << "3";
    QTest::newRow("file cut inside the third record") << lines(cut);
}

void TestPdd::failedRestoreLeavesDatabaseUnchanged() {
    QFETCH(QByteArray, bytes);
    TestEnvironment env;
    env.createDatabase();
    auto db = env.openDatabase();
    StyleFixture kept;
    kept.prog = 50;
    addStyle(db->connection(), kept);
    addBank(db->connection(), 9, QStringLiteral("KEPT"), QStringLiteral("old"), {50});
    const auto stylesBefore = styles(db->connection());
    const auto banksBefore = banks(db->connection());

    const QString path = env.writeFile(QStringLiteral("HALF.PDD"), bytes);
    try {
        PddRestore::restore(db->connection(), path, 4);
        QFAIL("the restore did not fail");
    } catch (const SbkError& error) {
        QVERIFY2(error.message().contains(QStringLiteral("The database was not changed.")),
                 qPrintable(error.message()));
        QVERIFY2(error.message().contains(path), qPrintable(error.message()));
    }
    QCOMPARE(styles(db->connection()), stylesBefore);
    QCOMPARE(banks(db->connection()), banksBefore);
    // The connection is usable afterwards: no transaction was left open.
    StyleFixture after;
    after.prog = 51;
    after.content1 = "after";
    addStyle(db->connection(), after);
    QCOMPARE(styles(db->connection()).size(), 2);
}

void TestPdd::targetPath() {
    TestEnvironment env;
    const QString folder = env.path(QStringLiteral("Backups/Mixed"));
    QDir().mkpath(folder);
    // This file system tells "a" from "A": the folders stay as typed.
    QCOMPARE(PddBackup::targetPath(folder + QStringLiteral("/sbk.pdd")), folder + QStringLiteral("/SBK.PDD"));
    QCOMPARE(PddBackup::targetPath(QStringLiteral("  relative.pdd ")), QStringLiteral("RELATIVE.PDD"));
    QCOMPARE(PddBackup::targetPath(QStringLiteral("Not/There/x.pdd")), QStringLiteral("Not/There/X.PDD"));

    // The backup to a folder that does not exist fails and leaves nothing.
    env.createDatabase();
    auto db = env.openDatabase();
    QVERIFY_THROWS_EXCEPTION(SbkError,
                             PddBackup::backup(db->connection(), env.path(QStringLiteral("none/X.PDD"))));
    QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("none"))));
}

QTEST_GUILESS_MAIN(TestPdd)
#include "tst_Pdd.moc"
