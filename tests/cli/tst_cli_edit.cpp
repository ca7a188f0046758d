// sbk-cli commands that change the library: what edit, delete, bank-save and bank-print refuse
// (nothing changes), then banks saved, printed and deleted, styles edited and deleted.

#include "CliRunner.h"
#include "TestEnvironment.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Styles 1 "Bossa", 2 "Ballad", 3 "Alpine" (descriptions "B1", "B2", "A3") of group "OLD"; no bank.
struct Library {
    TestEnvironment env;
    QString db = env.createDatabase();
    Library() {
        runSql(db, {u"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc, StyleCat) VALUES "
                    "(1, 'Bossa', 'B1', 'OLD'), (2, 'Ballad', 'B2', 'OLD'), (3, 'Alpine', 'A3', 'OLD')"_s});
    }
    CliResult cli(const QStringList& args) const { return runCli(env, QStringList{u"--db"_s, db} + args); }

    // "number|name|desc|group|author" of every style, read straight from the file.
    QStringList styles() const {
        return runSql(db,
                      {u"SELECT StyleProg, StyleName1, StyleDesc, StyleCat, StyleAuthor FROM KORFStyles"_s});
    }

    // "number|name|desc|slot 1|slot 2|slot 3" of a bank.
    QString bank(const QString& name) const {
        return runSql(db, {u"SELECT BankProg, BankName, BankDesc, BankStyle01, BankStyle02, BankStyle03 FROM "
                           "KORFBanks WHERE BankName = '%1'"_s.arg(name)})
            .value(0);
    }
};

} // namespace

class TestCliEdit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One case per check each command makes; the checks' own tests hold the rest.
    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing to change") << QStringList{u"edit"_s, u"1"_s} << 2 << "at least one of";
        QTest::newRow("name of two") << QStringList{u"edit"_s, u"1"_s, u"2"_s, u"--name"_s, u"X"_s} << 2
                                     << "exactly one STYLE";
        QTest::newRow("no one-byte form")
            << QStringList{u"edit"_s, u"1"_s, u"--author"_s, u"名"_s} << 2 << "cannot carry";
        QTest::newRow("one not stored") << QStringList{u"edit"_s, u"1"_s, u"99"_s, u"--group"_s, u"NEW"_s}
                                        << 1 << "There is no style 99.";
        QTest::newRow("style 0") << QStringList{u"delete"_s, u"0"_s, u"--yes"_s} << 2 << "1 or more";
        // Deleting asks on the terminal; without one only --yes confirms.
        QTest::newRow("no terminal") << QStringList{u"delete"_s, u"1"_s} << 2 << "give --yes";
        QTest::newRow("delete not stored")
            << QStringList{u"delete"_s, u"1"_s, u"99"_s, u"--yes"_s} << 1 << "There is no style 99.";
        QStringList many{u"bank-save"_s, u"BIG"_s};
        for (int i = 0; i < 33; ++i)
            many << u"1"_s;
        QTest::newRow("bank of 33 styles") << many << 2 << "at most 32 styles";
        QTest::newRow("bank style not stored")
            << QStringList{u"bank-save"_s, u"X"_s, u"1"_s, u"9"_s} << 1 << "There is no style 9.";
        QTest::newRow("bank name with a line break") << QStringList{u"bank-save"_s, u"A\nB"_s, u"1"_s} << 2
                                                     << "The bank name \"A\nB\" holds a line break";
        QTest::newRow("print an unknown bank")
            << QStringList{u"bank-print"_s, u"NOPE"_s, u"--pdf"_s, u"x.pdf"_s} << 1
            << "There is no bank NOPE.";
    }

    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, text);
        Library l;
        const QStringList before = l.styles();
        const CliResult result = l.cli(args);
        QCOMPARE(result.exitCode, status);
        QVERIFY2(QString::fromUtf8(result.err).contains(text), (result.out + result.err).constData());
        QCOMPARE(l.styles(), before);
        QCOMPARE(runSql(l.db, {u"SELECT COUNT(*) FROM KORFBanks"_s}), QStringList{u"0"_s});
    }

    void saveOverwritePrintDelete() {
        Library l;
        QCOMPARE(
            l.cli({u"bank-save"_s, u"PARTY"_s, u"--desc"_s, u"Saturday"_s, u"3"_s, u"1"_s, u"3"_s}).exitCode,
            0);
        QCOMPARE(l.cli({u"bank-save"_s, u"OTHER"_s, u"2"_s}).exitCode, 0);
        QCOMPARE(l.bank(u"PARTY"_s), u"1|PARTY|Saturday|3|1|3"_s);
        // A name in use is refused, and overwritten only with --replace: same number, the
        // description kept when none is given.
        const CliResult refused = l.cli({u"bank-save"_s, u"PARTY"_s, u"2"_s});
        QVERIFY2(refused.exitCode == 1 && refused.err.contains("--replace"),
                 (refused.out + refused.err).constData());
        QCOMPARE(l.cli({u"bank-save"_s, u"PARTY"_s, u"2"_s, u"1"_s, u"--replace"_s}).exitCode, 0);
        QCOMPARE(l.bank(u"PARTY"_s), u"1|PARTY|Saturday|2|1|0"_s);

        // A deleted style leaves no line on the printed page (the windows' test reads the page).
        runSql(l.db, {u"DELETE FROM KORFStyles WHERE StyleProg = 2"_s});
        const QString pdf = l.env.path(u"party.pdf"_s);
        const CliResult printed = l.cli({u"bank-print"_s, u"PARTY"_s, u"--pdf"_s, pdf});
        QCOMPARE(printed.exitCode, 0);
        QVERIFY(printed.out.contains("1 styles") && QFileInfo::exists(pdf));

        QCOMPARE(l.cli({u"bank-delete"_s, u"PARTY"_s, u"--yes"_s}).exitCode, 0);
        QCOMPARE(runSql(l.db, {u"SELECT BankName FROM KORFBanks"_s}), QStringList{u"OTHER"_s});
    }

    void editAndDelete() {
        Library l;
        QCOMPARE(l.cli({u"bank-save"_s, u"PARTY"_s, u"3"_s, u"1"_s, u"2"_s}).exitCode, 0);
        CliResult r = l.cli({u"edit"_s, u"1"_s, u"2"_s, u"--group"_s, u"LATIN"_s, u"--author"_s, QString()});
        QVERIFY2(r.exitCode == 0 && r.out == "2 style(s) updated\n", (r.out + r.err).constData());
        QCOMPARE(l.cli({u"edit"_s, u"3"_s, u"--name"_s, u"Alps"_s, u"--desc"_s, u"Mountain"_s}).exitCode, 0);
        QCOMPARE(l.styles(),
                 (QStringList{u"1|Bossa|B1|LATIN| "_s, u"2|Ballad|B2|LATIN| "_s, u"3|Alps|Mountain|OLD|"_s}));

        r = l.cli({u"delete"_s, u"3"_s, u"1"_s, u"--yes"_s});
        QVERIFY(r.exitCode == 0);
        QCOMPARE(r.out, QByteArray("2 style(s) deleted; 1 stored bank(s) held them and were changed\n"));
        QCOMPARE(l.styles(), QStringList{u"2|Ballad|B2|LATIN| "_s});
        QCOMPARE(l.bank(u"PARTY"_s), u"1|PARTY||2|0|0"_s); // the style left moves up to slot 1
    }
};

QTEST_GUILESS_MAIN(TestCliEdit)
#include "tst_cli_edit.moc"
