#include "CliRunner.h"
#include "interchange/PddRestore.h"
#include "StyleFixtures.h"

#include <QDir>
#include <QtTest>

namespace {

// a.mdb with three styles (data holding CR, LF and a zero byte) and a bank of two of them, and an
// empty b.mdb; returns their paths.
std::pair<QString, QString> twoDatabases(const TestEnvironment& env) {
    const QString a = env.createDatabase("a.mdb");
    auto db = env.openDatabase("a.mdb");
    for (int prog : {1, 2, 3})
        addStyle(db->connection(), {.prog = prog,
                                    .name1 = QStringLiteral("Style %1").arg(prog),
                                    .content1 = QByteArray(10 * prog, char('0' + prog)) + "\r\n\x00"_qba});
    addBank(db->connection(), 1, "Live", QString(), {3, 1});
    return {a, env.createDatabase("b.mdb")};
}

CliResult cli(const TestEnvironment& env, const QString& db, const QStringList& args) {
    return runCli(env, QStringList{"--db", db} + args);
}

} // namespace

class TestInterchangeCli : public QObject {
    Q_OBJECT

private slots:
    void ssfExportAndImport() {
        TestEnvironment env;
        const auto [a, b] = twoDatabases(env);
        const QString out = env.path("out");
        QDir().mkpath(out);

        QVERIFY(cliSays(cli(env, a, {"ssf-export", "--to", out, "--all"}), 0,
                        "All styles successfully exported to SSF files!\n"));
        // Their blocks are no style's: each is named as damaged, and they are counted at the end.
        const CliResult imported = cli(env, b, {"ssf-import", out});
        QVERIFY(
            imported.out.startsWith("STYLE1.SSF: imported as style 1, which is damaged: there is no style "
                                    "block. It was stored as it is\nSTYLE2.SSF: imported as style 2"));
        QVERIFY(
            cliSays(imported, 0,
                    "ended without errors\n3 styles imported are damaged: their blocks do not decode. They "
                    "were stored as they are.\n"));

        // The same file again is refused: exit status 1 and the import's own message.
        QVERIFY(cliSays(cli(env, b, {"ssf-import", out + "/STYLE2.SSF"}), 1,
                        "sbk-cli: SSF file import aborted: style already present\n"));
        QVERIFY(cliSays(cli(env, b, {"ssf-import", out + "/NONE.SSF"}), 1,
                        "sbk-cli: SSF file not found: " + out.toUtf8() + "/NONE.SSF\n"));
        // A target that is no folder is named for what it is.
        QVERIFY(cliSays(cli(env, a, {"ssf-export", "--to", "/dev/full", "--all"}), 1,
                        "sbk-cli: The export folder /dev/full is not a folder: it is a device, not a regular "
                        "file.\n"));

        // A bank by number: a slot below 1 names no style; a renamed file is said on the output.
        {
            auto db = env.openDatabase("a.mdb");
            addStyle(db->connection(), {.prog = 4, .name1 = "Style-1", .content1 = "four"});
            addBank(db->connection(), 2, "Odd", QString(), {-5, 1, 4});
        }
        QDir().mkpath(env.path("odd"));
        QVERIFY(cliSays(cli(env, a, {"ssf-export", "--to", env.path("odd"), "--bank", "2"}), 0,
                        "/STYLE1_2.SSF\nstyle 4 (Style-1) written as STYLE1_2.SSF\n"
                        "Export of bank Odd to SSF files terminated without errors!\n"));
    }

    void backupAndRestore() {
        TestEnvironment env;
        const auto [a, b] = twoDatabases(env);
        // Where case counts, the file is written as typed, so the restore finds it by the same path.
        const QString written = env.path("dump.pdd");
        QVERIFY(cliSays(cli(env, a, {"backup", written}), 0, "Written to " + written.toUtf8() + "\n"));
        QVERIFY(cliSays(cli(env, b, {"restore", written, "--yes"}), 0,
                        "without errors!\n4 records restored\n3 restored styles are damaged: their blocks do "
                        "not decode. They were kept as they are: 1 Style 1, 2 Style 2, 3 Style 3. \"sbk-cli "
                        "list --damaged\" lists the damaged styles.\n"));
        QCOMPARE(styles(env.openDatabase("b.mdb")->connection()),
                 styles(env.openDatabase("a.mdb")->connection()));

        const QString bad = env.writeFile("BAD.PDD", "SBK BACKUP\r\nTABLE KORFSTYLES\r\n");
        QVERIFY(cliSays(cli(env, a, {"restore", bad, "--yes"}), 1,
                        ("sbk-cli: " + PddRestore::invalidMessage(bad)).toUtf8()));
        QVERIFY(cliSays(cli(env, a, {"restore", env.path("NONE.PDD"), "--yes"}), 1,
                        "sbk-cli: Can't find restore file! " + env.path("NONE.PDD").toUtf8() + "\n"));
    }

    void realFilesKeepTheirEntriesThroughBackupAndRestore() {
        const QString real = qEnvironmentVariable("SBK_REAL_STY");
        if (!QFileInfo(real).isDir())
            QSKIP("the real STY files are not there");
        TestEnvironment env;
        const auto [a, b] = twoDatabases(env);
        QCOMPARE(cli(env, a, {"import", real, "--subfolders"}).exitCode, 0);
        QCOMPARE(cli(env, a, {"backup", env.path("REAL.PDD")}).exitCode, 0);
        QCOMPARE(cli(env, b, {"restore", env.path("REAL.PDD"), "--yes"}).exitCode, 0);
        const auto entries = [&](const QString& name) {
            return tableRows(env.openDatabase(name)->connection(), "KORFEntries");
        };
        QVERIFY(entries("a.mdb").size() > 100);
        QCOMPARE(entries("b.mdb"), entries("a.mdb"));
        // A bank of a newer model is written back with the instrument's timestamps, from either.
        const QString bank = runSql(a, {"SELECT MIN(BankProg) FROM KORFBanks WHERE BankStyle01 IN "
                                        "(SELECT StyleProg FROM KORFEntries)"})
                                 .value(0);
        for (const QString& db : {a, b})
            QCOMPARE(cli(env, db, {"make-sty", "--number", bank, db + ".STY", "--user-bank", "28"}).exitCode,
                     0);
        QCOMPARE(TestEnvironment::readFile(b + ".STY"), TestEnvironment::readFile(a + ".STY"));
    }

    void textWithoutOneByteFormDoesNotBlock() {
        // Texts that SSF and PDD files cannot carry, put in by another program: export and backup
        // complete, name what they changed and exit 0 (the engines' tests read the files back).
        TestEnvironment env;
        const QString a = env.createDatabase("a.mdb");
        {
            auto db = env.openDatabase("a.mdb");
            addStyle(db->connection(), {.name1 = "Wide", .author = QStringLiteral("Zo\u00eb \u65e5\u672c")});
            addBank(db->connection(), 1, QStringLiteral("\u03a8-styles"), QString(), {1});
        }
        QDir().mkpath(env.path("out"));
        CliResult r = cli(env, a, {"ssf-export", "--to", env.path("out"), "--all"});
        QVERIFY2(r.exitCode == 0 && r.err.startsWith("sbk-cli: warning: The export is complete") &&
                     r.err.endsWith(":\nstyle 1 (Wide): author\n"),
                 r.err.constData());
        r = cli(env, a, {"backup", env.path("Mixed.pdd")});
        QVERIFY2(r.exitCode == 0 && r.err.startsWith("sbk-cli: warning: The backup is complete") &&
                     r.err.endsWith(
                         QStringLiteral("\nbank 1 (\u03a8-styles): name\nstyle 1 (Wide): author\n").toUtf8()),
                 r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestInterchangeCli)
#include "tst_InterchangeCli.moc"
