#include "CliRunner.h"
#include "interchange/PddRestore.h"
#include "store/Database.h"
#include "StyleFixtures.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QtTest>

class TestInterchangeCli : public QObject {
    Q_OBJECT

private slots:
    void ssfExportAndImport();
    void backupAndRestore();
    void restoreRefusals();
};

namespace {

void fill(QSqlDatabase db) {
    for (int prog : {1, 2, 3}) {
        StyleFixture f;
        f.prog = prog;
        f.name1 = QStringLiteral("Style %1").arg(prog);
        f.content1 = QByteArray(10 * prog, char('0' + prog)) + "\r\n\x00"_qba;
        addStyle(db, f);
    }
    addBank(db, 1, QStringLiteral("Live"), QString(), {3, 1});
}

} // namespace

void TestInterchangeCli::ssfExportAndImport() {
    TestEnvironment env;
    const QString a = env.createDatabase(QStringLiteral("a.mdb"));
    const QString b = env.createDatabase(QStringLiteral("b.mdb"));
    {
        auto db = env.openDatabase(QStringLiteral("a.mdb"));
        fill(db->connection());
    }
    const QString out = env.path(QStringLiteral("out"));
    QDir().mkpath(out);

    CliResult r =
        runCli(env, {QStringLiteral("--db"), a, QStringLiteral("ssf-export"), QStringLiteral("--to"), out,
                     QStringLiteral("--bank"), QStringLiteral("Live")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.endsWith("Export of bank Live to SSF files terminated without errors!\n"));
    QCOMPARE(QDir(out).entryList(QDir::Files),
             (QStringList{QStringLiteral("STYLE1.SSF"), QStringLiteral("STYLE3.SSF")}));

    r = runCli(env, {QStringLiteral("--db"), a, QStringLiteral("ssf-export"), QStringLiteral("--to"), out,
                     QStringLiteral("--all")});
    QCOMPARE(r.exitCode, 0);
    QVERIFY(r.out.endsWith("All styles successfully exported to SSF files!\n"));
    QCOMPARE(QDir(out).entryList(QDir::Files).size(), 3);

    r = runCli(env, {QStringLiteral("--db"), b, QStringLiteral("ssf-import"), out});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("STYLE1.SSF: imported as style 1\nSTYLE2.SSF: imported as style 2\n"
                               "STYLE3.SSF: imported as style 3\nSSF file import ended without errors\n"));

    // The same file again is refused: exit status 1 and the import's own message.
    r = runCli(
        env, {QStringLiteral("--db"), b, QStringLiteral("ssf-import"), out + QStringLiteral("/STYLE2.SSF")});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.out, QByteArray("STYLE2.SSF: already present as style 2\n"));
    QCOMPARE(r.err, QByteArray("sbk-cli: SSF file import aborted: style already present\n"));

    r = runCli(env,
               {QStringLiteral("--db"), b, QStringLiteral("ssf-import"), out + QStringLiteral("/NONE.SSF")});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QByteArray("sbk-cli: SSF file not found\n"));
}

void TestInterchangeCli::backupAndRestore() {
    TestEnvironment env;
    const QString a = env.createDatabase(QStringLiteral("a.mdb"));
    const QString b = env.createDatabase(QStringLiteral("b.mdb"));
    {
        auto db = env.openDatabase(QStringLiteral("a.mdb"));
        fill(db->connection());
    }
    CliResult r = runCli(
        env, {QStringLiteral("--db"), a, QStringLiteral("backup"), env.path(QStringLiteral("dump.pdd"))});
    QCOMPARE(r.exitCode, 0);
    const QString written = env.path(QStringLiteral("DUMP.PDD"));
    QCOMPARE(r.out, QStringLiteral("SBK database backup completed without errors!\nWritten to %1\n")
                        .arg(written)
                        .toUtf8());
    QVERIFY(QFileInfo::exists(written));

    r = runCli(env, {QStringLiteral("--db"), b, QStringLiteral("restore"), written, QStringLiteral("--yes")});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.out, QByteArray("SBK database restore completed without errors!\n4 records restored\n"));
    auto da = env.openDatabase(QStringLiteral("a.mdb"));
    auto db = env.openDatabase(QStringLiteral("b.mdb"));
    QCOMPARE(tableRows(db->connection(), QStringLiteral("KORFStyles"), QStringLiteral("StyleProg")),
             tableRows(da->connection(), QStringLiteral("KORFStyles"), QStringLiteral("StyleProg")));
    QCOMPARE(tableRows(db->connection(), QStringLiteral("KORFBanks"), QStringLiteral("BankProg")),
             tableRows(da->connection(), QStringLiteral("KORFBanks"), QStringLiteral("BankProg")));
}

void TestInterchangeCli::restoreRefusals() {
    TestEnvironment env;
    const QString a = env.createDatabase();
    {
        auto db = env.openDatabase();
        fill(db->connection());
    }
    const QString bad = env.writeFile(QStringLiteral("BAD.PDD"), "SBK BACKUP\r\nTABLE KORFSTYLES\r\n");
    CliResult r =
        runCli(env, {QStringLiteral("--db"), a, QStringLiteral("restore"), bad, QStringLiteral("--yes")});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.startsWith(("sbk-cli: " + PddRestore::invalidMessage(bad) + "\n").toUtf8()),
             r.err.constData());

    r = runCli(env,
               {QStringLiteral("--db"), a, QStringLiteral("restore"), env.path(QStringLiteral("NONE.PDD"))});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.err, QByteArray("sbk-cli: Can't find restore file!\n"));

    // Without a terminal to ask on and without --yes, a good file is refused too; answers typed
    // into a pipe do not count.
    const QString good =
        env.writeFile(QStringLiteral("EMPTY.PDD"), "SBK BACKUP\r\nTABLE KORFBANKS\r\n##NR0\r\n"
                                                   "TABLE KORFSTYLES\r\n##NR0\r\nSBK BACKUP\r\n");
    r = runCli(env, {QStringLiteral("--db"), a, QStringLiteral("restore"), good}, "y\ny\n");
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.err.contains("give --yes"));
    auto db = env.openDatabase();
    QCOMPARE(tableRows(db->connection(), QStringLiteral("KORFStyles"), QStringLiteral("StyleProg")).size(),
             3);
}

QTEST_GUILESS_MAIN(TestInterchangeCli)
#include "tst_InterchangeCli.moc"
