#include "core/SbkError.h"
#include "interchange/PddBackup.h"
#include "interchange/PddRestore.h"
#include "store/DbKORFEntry.h"
#include "sty/StyleFingerprint.h"
#include "StyleFixtures.h"

#include <cerrno>
#include <cstring>
#include <QDir>
#include <QSqlError>
#include <QtTest>

namespace {

QByteArray lines(const QList<QByteArray>& list) {
    return list.join("\r\n") + "\r\n";
}

QList<QByteArray> bankLines(qint32 prog, const QByteArray& name, const QByteArray& desc,
                            const QList<qint32>& filled) {
    QList<QByteArray> out{QByteArray::number(prog), name, desc};
    for (int k = 0; k < 32; ++k)
        out << QByteArray::number(k < filled.size() ? filled[k] : 0);
    return out;
}

// The 14 lines of a style record; the search key is the first 250 bytes of the first block.
QList<QByteArray> styleLines(qint32 prog, const QByteArray& name, const QByteArray& content1,
                             const QByteArray& content2, const QByteArray& desc = "") {
    QList<QByteArray> out{QByteArray::number(prog), name, "", QByteArray::number(content1.size())};
    out << QByteArray::number(content2.size()) << content1 << content2 << content1.left(250);
    return out << "2006/05/12" << desc << QList<QByteArray>(4);
}

const QList<QByteArray> emptyDump{"SBK BACKUP",       "TABLE KORFBANKS", "##NR0",
                                  "TABLE KORFSTYLES", "##NR0",           "SBK BACKUP"};

// Validates the file as the restore window does first, then restores it.
void restore(QSqlDatabase db, const QString& path, qint64 records, Progress* progress = nullptr) {
    const PddRestore::Check check = PddRestore::validate(path);
    QVERIFY2(check.valid, qPrintable(check.problem));
    QCOMPARE(check.records, records);
    PddRestore::restore(db, path, check.records, progress);
}

} // namespace

class TestPdd : public QObject {
    Q_OBJECT

private slots:
    void backupLineByLine() {
        TestDb t;
        // Empty tables are written as "##NR0", and the file passes the validation.
        PddBackup::backup(t.c, t.env.path("EMPTY.PDD"));
        QCOMPARE(TestEnvironment::readFile(t.env.path("EMPTY.PDD")), lines(emptyDump));
        restore(t.c, t.env.path("EMPTY.PDD"), 0);
        // Older dumps carry song tables; empty ones are passed over.
        const QList<QByteArray> songs{"TABLE KORFSONGS", "##NR0", "TABLE KORFSONSTY", "##NR0"};
        restore(t.c, t.env.writeFile("SONGS.PDD", lines(emptyDump.mid(0, 3) + songs + emptyDump.mid(3))), 0);

        for (int prog : {3, 1, 2})
            addStyle(t.c, {.prog = prog,
                           .name1 = QStringLiteral("S%1").arg(prog),
                           .content1 = QByteArray(prog == 2 ? 300 : 5, char('a' + prog)),
                           .content2 = "second",
                           .desc = prog == 1 ? QStringLiteral("Caf\u00e9 \u20ac") : QString()});
        addBank(t.c, 2, "Second", "two", {3, 1});
        addBank(t.c, 1, "First", QString(), {1, 2, 3});
        CountingProgress progress;
        const QString path = t.env.path("FIVE.PDD");
        PddBackup::backup(t.c, path, &progress);
        QVERIFY(progress.total == 5 && progress.steps.last() == 5);

        QList<QByteArray> expected{"SBK BACKUP", "TABLE KORFBANKS", "##NR2"};
        expected << bankLines(1, "First", "", {1, 2, 3}) << bankLines(2, "Second", "two", {3, 1});
        expected << "TABLE KORFSTYLES"
                 << "##NR3" << styleLines(1, "S1", "bbbbb", "second", "Caf\xe9 \x80")
                 << styleLines(2, "S2", QByteArray(300, 'c'), "second")
                 << styleLines(3, "S3", "ddddd", "second") << "SBK BACKUP";
        QCOMPARE(TestEnvironment::readFile(path), lines(expected));
    }

    void everyByteSurvivesBackupAndRestore() {
        TestDb a, b;
        const QByteArray every = TestEnvironment::allBytes();
        addStyle(a.c, {.prog = 10,
                       .name1 = QStringLiteral("N\u0000\u00ff\u0080"),
                       .content1 = every + "\r\n\n\r" + every,
                       .content2 = "\r\n",
                       .desc = QStringLiteral("\u20ac\u2030\u0152 \u00e9"),
                       .author = QStringLiteral("A\u00d6")});
        addStyle(a.c, {.prog = 11, .content1 = "\n", .content2 = "ends in CR\r"});
        addStyle(a.c, {.prog = 12, .content1 = "", .content2 = ""});
        addBank(a.c, 7, QStringLiteral("Bank \u00e9\u20ac"), "desc", {12, 0, 10, 11});
        // Rows another program left without texts (NULL): they come back empty.
        QSqlQuery query(a.c);
        QVERIFY(query.exec("INSERT INTO KORFStyles (StyleProg, StyleName1, StyleLength1, StyleLength2, "
                           "StyleContent1, StyleContent2, StyleSeek) "
                           "VALUES (13, 'N', 3, 0, X'616263', X'20', X'616263')"));
        // Its blocks give it the one fingerprint the restore stores with it.
        QVERIFY(query.exec(QStringLiteral("UPDATE KORFStyles SET FingerprintExact = %1 WHERE StyleProg = 13")
                               .arg(StyleFingerprint::exact("abc", " "))));
        QVERIFY(query.exec("INSERT INTO KORFBanks (BankProg) VALUES (8)"));
        // Something the restore replaces.
        addStyle(b.c, {.prog = 99});
        addBank(b.c, 99, "old", QString(), {99});

        const QString path = a.env.path("ALL.PDD");
        PddBackup::backup(a.c, path);
        restore(b.c, path, 6);
        QCOMPARE(styles(b.c), styles(a.c));
        QCOMPARE(banks(b.c), banks(a.c));
        // A bank without a description still has none (NULL), not an empty text.
        QCOMPARE(queryRows(b.c, "SELECT BankProg, typeof(BankDesc) FROM KORFBanks ORDER BY BankProg"),
                 (QStringList{"7|text", "8|null"}));
    }

    void directoryEntriesFollowTheClosingLine() {
        // The entries of styles from newer bank files follow the first closing line as one more
        // block, so that programs stopping there read the banks and styles as before.
        TestDb a, b;
        addStyle(a.c, {.prog = 1});
        addStyle(a.c, {.prog = 2});
        const QByteArray place = KORFEntry::encodeProperty(KORFEntry::Place, "\x02\x1c\x00"_qba);
        const KORFEntry style(
            place +
            KORFEntry::encodeProperty(KORFEntry::Timestamp, KORFEntry::timestampBytes(2024, 5, 6, 7, 8, 9)) +
            KORFEntry::encodeProperty(KORFEntry::System, "Z112A"));
        const KORFEntry performance(place + KORFEntry::encodeProperty(99, "\r\n\x00"_qba));
        QVERIFY(DbKORFEntry(a.c).InsKORFEntries(1, style, performance));
        addStyle(b.c, {.prog = 1});
        QVERIFY(DbKORFEntry(b.c).InsKORFEntries(1, performance, KORFEntry())); // replaced by the restore

        const QString path = a.env.path("ENTRIES.PDD");
        PddBackup::backup(a.c, path);
        QList<QByteArray> expected{"SBK BACKUP", "TABLE KORFBANKS", "##NR0", "TABLE KORFSTYLES", "##NR2"};
        expected << styleLines(1, "STYLE", "data one", "data two")
                 << styleLines(2, "STYLE", "data one", "data two") << "SBK BACKUP"
                 << "TABLE KORFENTRIES"
                 << "##NR2"
                 << "1"
                 << "1"
                 << "2024-05-06 07:08:09"
                 << "Z112A" << style.properties().toHex().toUpper() << "1"
                 << "2"
                 << ""
                 << "" << performance.properties().toHex().toUpper() << "SBK BACKUP";
        QCOMPARE(TestEnvironment::readFile(path), lines(expected));
        restore(b.c, path, 4);
        QCOMPARE(tableRows(b.c, "KORFEntries"), tableRows(a.c, "KORFEntries"));
    }

    void backupWritesWhatTheLayoutCannotCarry_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("changed");
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("restored"); // that column after a restore from the backup
        auto style = [](const char* values) {
            return QStringLiteral(
                       "INSERT INTO KORFStyles (StyleProg, StyleName1, StyleLength1, StyleLength2, "
                       "StyleContent1, StyleContent2, StyleAuthor) VALUES (%1)")
                .arg(QLatin1String(values));
        };
        QTest::newRow("carriage return in a style name")
            << style("5, 'A' || char(13), 1, 1, X'41', X'42', ''") << "style 5 (A): name" << 1
            << QVariant("A?");
        QTest::newRow("lengths that do not describe the data")
            << style("8, 'L', 9, 0, X'41', X'4243', ''")
            << "style 8 (L): first length 9 (written as 1), second length 0 (written as 2)" << 4
            << QVariant(2);
    }

    void backupWritesWhatTheLayoutCannotCarry() {
        QFETCH(QString, statement);
        QFETCH(QString, changed);
        QFETCH(int, column);
        TestDb t;
        QSqlQuery query(t.c);
        QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        const QString path = t.env.path("OUT.PDD");
        QCOMPARE(PddBackup::backup(t.c, path), QStringList{changed});
        // The file reads back, each such character as "?".
        restore(t.c, path, 1);
        QTEST(styles(t.c).first().at(column), "restored");
    }

    void failedBackupsNameTheReasonAndLeaveNothing() {
        TestDb t;
        QCOMPARE(PddBackup::targetPath("  relative.pdd "), "relative.pdd");
        QVERIFY_THROWS_EXCEPTION(SbkError, PddBackup::backup(t.c, t.env.path("none/X.PDD")));
        QVERIFY(!QFileInfo::exists(t.env.path("none")));
        // A file system that takes part of a write and then refuses: the reason is named, nothing is left.
        addStyle(t.c, {.content1 = QByteArray(200000, 'x')});
        QDir().mkpath(t.env.path("out"));
        const QString message = [&] {
            FileSizeLimit limit(100000);
            return errorOf([&] { PddBackup::backup(t.c, t.env.path("out/FULL.PDD")); });
        }();
        QVERIFY2(message.contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(message));
        QCOMPARE(QDir(t.env.path("out")).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void invalidFiles_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        auto oneStyle = [](qsizetype at, const QByteArray& value) {
            QList<QByteArray> dump{"SBK BACKUP", "TABLE KORFBANKS", "##NR0", "TABLE KORFSTYLES", "##NR1"};
            QList<QByteArray> record = styleLines(1, "X", "abc", "de");
            record[at] = value;
            return lines(dump + record + QList<QByteArray>{"SBK BACKUP"});
        };
        QTest::newRow("empty file") << QByteArray() << "line 1 (byte 0): the file ends";
        QTest::newRow("song block with records: there are no song tables")
            << lines(emptyDump.mid(0, 3) + QList<QByteArray>{"TABLE KORFSONGS", "##NR2", "a", "b"} +
                     emptyDump.mid(3))
            << "\"TABLE KORFSONGS\" holds 2 records";
        QTest::newRow("styles block missing")
            << lines({"SBK BACKUP", "TABLE KORFBANKS", "##NR0", "SBK BACKUP"})
            << "\"TABLE KORFSONGS\", \"TABLE KORFSONSTY\", \"TABLE KORFSTYLES\" expected";
        QTest::newRow("length past the end") << oneStyle(3, "2000000000") << "announced as 2000000000 bytes";
        QTest::newRow("length too short") << oneStyle(3, "2") << "followed by 1 unexpected bytes";
        QTest::newRow("line without end") << QByteArray(5000, 'S') << "longer than 4096 bytes";
        const QByteArray place = "0000000302"
                                 "1C00";
        auto entry = [&](const QByteArray& style, const QByteArray& time, const QByteArray& properties) {
            QList<QByteArray> dump{"SBK BACKUP", "TABLE KORFBANKS", "##NR0", "TABLE KORFSTYLES", "##NR1"};
            return lines(dump + styleLines(1, "X", "abc", "de") +
                         QList<QByteArray>{"SBK BACKUP", "TABLE KORFENTRIES", "##NR1", style, "1", time, "",
                                           properties, "SBK BACKUP"});
        };
        QTest::newRow("entry of a style not in the file")
            << entry("7", "", place) << "directory entry of style 7 but no such style";
        QTest::newRow("entry that disagrees with its lines")
            << entry("1", "2024-05-06 07:08:09", place) << "do not agree with its lines";
        QTest::newRow("entry properties cut")
            << entry("1", "", place.chopped(2)) << "do not agree with its lines";
    }

    void invalidFiles() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        TestEnvironment env;
        const QString path = env.writeFile("BAD.PDD", bytes);
        const PddRestore::Check check = PddRestore::validate(path);
        QVERIFY2(!check.valid && check.problem.contains(problem) && check.problem.contains(path),
                 qPrintable(check.problem));
    }

    void failedRestoreLeavesDatabaseUnchanged_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const auto head = [](int count) {
            QList<QByteArray> lines{"SBK BACKUP", "TABLE KORFBANKS", "##NR1"};
            lines << bankLines(1, "NEW", "", {1, 2}) << "TABLE KORFSTYLES" << "##NR" + QByteArray::number(count)
                  << styleLines(1, "A", "abc", "de") << styleLines(2, "B", "fgh", "ij");
            return lines;
        };
        const QList<QByteArray> end{"SBK BACKUP"};
        QTest::newRow("repeated style number refused by the insert")
            << lines(head(3) + styleLines(2, "C", "klm", "no") + end) << "cannot be stored";
        // The reader is far ahead when the store fails, and is stopped.
        QList<QByteArray> many = head(2000) + styleLines(2, "C", "klm", "no");
        for (int prog = 4; prog <= 2000; ++prog)
            many << styleLines(prog, "D", QByteArray(3000, 'x'), "pq");
        QTest::newRow("repeated style number before many more") << lines(many + end) << "cannot be stored";
        QTest::newRow("file cut inside the third record")
            << lines(head(3) + QList<QByteArray>{"3", "C", "", "3"}) << "is not a SBK backup file";
    }

    void failedRestoreLeavesDatabaseUnchanged() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        TestDb t;
        addStyle(t.c, {.prog = 50});
        addBank(t.c, 9, "KEPT", "old", {50});
        const auto stylesBefore = styles(t.c), banksBefore = banks(t.c);
        const QString path = t.env.writeFile("HALF.PDD", bytes);
        const QString message = errorOf([&] { PddRestore::restore(t.c, path, 4); });
        QVERIFY2(message.contains("The database was not changed.") && message.contains(path) &&
                     message.contains(reason),
                 qPrintable(message));
        QCOMPARE(styles(t.c), stylesBefore);
        QCOMPARE(banks(t.c), banksBefore);
        // The connection is usable afterwards: no transaction was left open.
        addStyle(t.c, {.prog = 51, .content1 = "after"});
        QCOMPARE(styles(t.c).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestPdd)
#include "tst_Pdd.moc"
