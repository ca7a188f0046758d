// sbk-cli end to end: sty-info, import, banks, bank-show and make-sty, run as a process.
#include "ArchiveMaker.h"
#include "CliRunner.h"
#include "store/Database.h"
#include "StyleBlocks.h"
#include "StyTestData.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QtTest>

using namespace StyTestData;

class TestStyCli : public QObject {
    Q_OBJECT

private slots:
    void commands() {
        TestEnvironment env;
        KORFStyles facts;
        addStyle(facts, "Waltz", StyleBlocks::styleBlock(0x1B), "Waltz", StyleBlocks::performanceBlock(96));
        addStyle(facts, "Bare", block(30, 1));
        const QString factsFile = env.writeFile("F.STY", KORFLibrary::encodeCollection(facts));
        CliResult result = runCli(env, {"sty-info", factsFile});
        QVERIFY2(result.out.contains("   96  3/8\n") &&
                     result.out.contains("      -  -\n2 styles\nStyle 2: the style block: ") &&
                     result.out.contains(
                         "\nStyle 2 is damaged: the style block does not decode: at byte offset 0"),
                 result.out.constData());
        const QJsonArray factsJson =
            QJsonDocument::fromJson(runCli(env, {"sty-info", factsFile, "--json"}).out)
                .object()
                .value("styles")
                .toArray();
        QVERIFY(factsJson[0].toObject().value("StyleTempo") == 96 &&
                factsJson[1].toObject().value("StyleMeter").isNull() &&
                factsJson[1].toObject().value("StyleLength1") == 38);
        QVERIFY(
            !factsJson[0].toObject().contains("damage") &&
            factsJson[1].toObject().value("damage").toString().startsWith("the style block does not decode"));
#ifdef Q_OS_UNIX
        // A device in a file's place is refused unread, not read without end.
        QVERIFY(
            cliSays(runCli(env, {"sty-info", "/dev/zero"}), 1, "/dev/zero is a device, not a regular file"));
#endif

        const QString db = env.createDatabase();
        env.writeFile("in/ONE.STY", bankFile(3, 1));
        env.writeFile("in/sub/TWO.STY", bankFile(2, 2));
        env.writeFile("in/sub/I30.STY", "KORGI");
        result = runCli(env, {"--db", db, "import", env.path("in"), "--subfolders", "--author", "Me"});
        // The test blocks do not decode: each style is named in the output, and they are counted.
        QVERIFY2(result.exitCode == 0 && result.out.contains("5 styles imported") &&
                     result.out.count(" is damaged: the style block does not decode: ") == 5 &&
                     result.out.contains(", 5 damaged styles stored as they are;"),
                 (result.out + result.err).constData());
        QVERIFY(result.err.isEmpty()); // no progress bar when stderr is not a terminal
        // A pack: its STY entries are imported, the log names the others.
        const QString pack = env.writeFile(
            "Pack.tgz", ArchiveMaker::make(ArchiveMaker::Kind::TarGz,
                                           {{"P.SET/STYLE/P.STY", bankFile(1, 7)}, {"P.SET/info.txt", "x"}}));
        result = runCli(env, {"--db", db, "import", pack});
        QVERIFY(cliSays(result, 0, "\nPack.tgz: 1 entry that is neither") &&
                result.out.contains("1 styles imported"));
        QSqlQuery(env.openDatabase()->connection()).exec("DELETE FROM KORFBanks WHERE BankName = 'P003'");

        result = runCli(env, {"--db", db, "banks", "--json"});
        const QJsonArray banks = QJsonDocument::fromJson(result.out).array();
        QVERIFY(banks.size() == 2 && banks[1].toObject().value("Slots").toInt() == 2);

        result = runCli(env, {"--db", db, "bank-show", "TWO002", "--json"});
        const QJsonArray slotList = QJsonDocument::fromJson(result.out).object().value("Slots").toArray();
        QVERIFY(slotList.size() == 32 && slotList[2].toObject().value("StyleProg").toInt() == 0);

        QCOMPARE(
            runCli(env, {"--db", db, "make-sty", "1", env.path("OUT.STY"), "--user-bank", "18"}).exitCode, 0);
        const QByteArray written = TestEnvironment::readFile(env.path("OUT.STY"));
        QCOMPARE(written.mid(36 + 6 * 24), bankFile(3, 1).mid(36 + 6 * 24));
        QCOMPARE(int(written.at(36 + 19)), 18);

        // A bank file of a newer model: shown with its entries, imported, written back as it was.
        KORFStyles list;
        addStyle(list, "Maqsum", block(30, 1), "Maqsum", block(40, 2, hex("09020130")));
        const QByteArray newer = KORFLibrary::encodeCollection(list, newerOptions(0x1C));
        const QString newerPath = env.writeFile("USER12.STY", newer);
        result = runCli(env, {"sty-info", newerPath});
        QVERIFY2(result.out.contains("Directory: newer layout") &&
                     result.out.contains(
                         "    2  performance    0  0x1c (USER12)  2024-05-06 07:08:09  Z112A STD v1.3.1\n"),
                 result.out.constData());
        QCOMPARE(runCli(env, {"--db", db, "import", newerPath}).exitCode, 0);
        QVERIFY(cliSays(runCli(env, {"--db", db, "make-sty", "3", env.path("BACK.STY"), "--user-bank", "28"}),
                        0, "newer layout"));
        QCOMPARE(TestEnvironment::readFile(env.path("BACK.STY")), newer);

        // An older bank in the newer layout: its entries carry the library's system string.
        QCOMPARE(runCli(env, {"--db", db, "make-sty", "1", env.path("N.STY"), "--layout", "newer"}).exitCode,
                 0);
        KORFLibrary library;
        KORFStyles styles;
        library.FillCollectionFromStyle(env.path("N.STY"), styles);
        QCOMPARE(library.ReadRecords().last().entry.systemText(), "Z112A STD v1.3.1");

        // A bank whose style is gone is not written without it.
        QSqlQuery(env.openDatabase()->connection()).exec("DELETE FROM KORFStyles WHERE StyleProg = 2");
        QVERIFY(cliSays(runCli(env, {"--db", db, "make-sty", "1", env.path("LESS.STY")}), 1,
                        "names the style 2, which is no longer stored"));
        QVERIFY(!QFileInfo::exists(env.path("LESS.STY")));
    }

    void namedFileNotImported() {
        // A file named on its own that is not imported fails and stores nothing: one too short to
        // be a bank file, an archive without an STY file and one that cannot be read. (What the
        // reader refuses in a bank file, the reader's own test walks.)
        TestEnvironment env;
        const QString db = env.createDatabase();
        const QByteArray zip = ArchiveMaker::make(ArchiveMaker::Kind::Zip, {{"A.STY", bankFile(2, 1)}});
        const QList<std::pair<QString, QByteArray>> files{
            {env.writeFile("SHORT.STY", QByteArray(20, 'x')), "is not a Pa style"},
            {env.writeFile("NONE.zip", ArchiveMaker::make(ArchiveMaker::Kind::Zip, {{"read.me", "x"}})),
             "NONE.zip was not imported."},
            {env.writeFile("CUT.zip", zip.left(zip.size() / 2)), "CUT.zip is damaged in CUT.zip/A.STY ("}};
        for (const auto& [path, why] : files) {
            const CliResult result = runCli(env, {"--db", db, "import", path});
            QVERIFY2(result.exitCode == 1 && (result.out + result.err).contains(why),
                     (result.out + result.err).constData());
        }
        QCOMPARE(runSql(db, {"SELECT (SELECT COUNT(*) FROM KORFStyles) + (SELECT COUNT(*) FROM KORFBanks)"}),
                 QStringList{"0"});
    }
};

QTEST_GUILESS_MAIN(TestStyCli)
#include "tst_stycli.moc"
