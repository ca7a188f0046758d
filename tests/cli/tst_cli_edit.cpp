// sbk-cli commands that change the library: what edit, delete, bank-save and bank-print refuse
// (nothing changes), then banks saved, printed and deleted, styles edited and deleted.

#include "CliRunner.h"
#include "store/Database.h"
#include "store/KORFStyles.h"
#include "sty/KORFLibrary.h"
#include "StyleBlocks.h"
#include "TestEnvironment.h"

#include <cerrno>
#include <cstring>
#include <future>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>
#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Styles 1 "Bossa", 2 "Ballad", 3 "Alpine" (descriptions "B1", "B2", "A3") of group "OLD"; no bank.
struct Library {
    TestEnvironment env;
    QString db = env.createDatabase();
    Library() {
        runSql(db, {"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc, StyleCat) VALUES "
                    "(1, 'Bossa', 'B1', 'OLD'), (2, 'Ballad', 'B2', 'OLD'), (3, 'Alpine', 'A3', 'OLD')"});
    }
    CliResult cli(const QStringList& args) const { return runCli(env, QStringList{"--db", db} + args); }
    bool says(const QStringList& args, int status, const QByteArray& text = {}) const {
        return cliSays(cli(args), status, text);
    }

    // "number|name|desc|group|author" of every style, read straight from the file.
    QStringList styles() const {
        return runSql(db, {"SELECT StyleProg, StyleName1, StyleDesc, StyleCat, StyleAuthor FROM KORFStyles"});
    }

    // "number|name|desc|slot 1|slot 2|slot 3" of a bank.
    QString bank(const QString& name) const {
        return runSql(db, {"SELECT BankProg, BankName, BankDesc, BankStyle01, BankStyle02, BankStyle03 FROM "
                           "KORFBanks WHERE BankName = '" +
                           name + "'"})
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
        QTest::newRow("nothing to change") << QStringList{"edit", "1"} << 2 << "at least one of";
        QTest::newRow("name of two") << QStringList{"edit", "1", "2", "--name", "X"} << 2
                                     << "exactly one STYLE";
        QTest::newRow("no one-byte form")
            << QStringList{"edit", "1", "--author", "名"} << 2
            << "holds the character \"名\", which the instrument's files cannot hold. Use the letters";
        QTest::newRow("one not stored")
            << QStringList{"edit", "1", "99", "--group", "NEW"} << 1 << "There is no style 99.";
        QTest::newRow("style 0") << QStringList{"delete", "0", "--yes"} << 2 << "1 or more";
        // Deleting asks on the terminal; without one only --yes confirms.
        QTest::newRow("no terminal") << QStringList{"delete", "1"} << 2 << "give --yes";
        QTest::newRow("kind of copies") << QStringList{"duplicates", "--kind", "near"} << 2 << "--kind needs";
        QTest::newRow("keep without merge")
            << QStringList{"duplicates", "--keep", "newest"} << 2 << "go with --merge";
        QTest::newRow("merge without terminal") << QStringList{"duplicates", "--merge"} << 2 << "give --yes";
        QTest::newRow("delete not stored")
            << QStringList{"delete", "1", "99", "--yes"} << 1 << "There is no style 99.";
        QTest::newRow("bank of 33 styles")
            << QStringList{"bank-save", "BIG"} + QStringList(33, "1") << 2 << "at most 32 styles";
        QTest::newRow("bank style not stored")
            << QStringList{"bank-save", "X", "1", "9"} << 1 << "There is no style 9.";
        QTest::newRow("bank name with a line break")
            << QStringList{"bank-save", "A\nB", "1"} << 2 << "The bank name \"A\nB\" holds a line break";
        // Bank names and style fields follow one rule: the printable characters of ISO-8859-1.
        QTest::newRow("bank name of Windows-1252")
            << QStringList{"bank-save", "A\u20ac", "1"} << 2 << "holds the character \"\u20ac\"";
        QTest::newRow("control character in an author") << QStringList{"edit", "1", "--author", "A\u0001"}
                                                        << 2 << "an invisible control character (U+0001)";
        QTest::newRow("print an unknown bank")
            << QStringList{"bank-print", "NOPE", "--pdf", "x.pdf"} << 1 << "There is no bank NOPE.";
    }

    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, text);
        Library l;
        const QStringList before = l.styles();
        QVERIFY(l.says(args, status, text.toUtf8()));
        QCOMPARE(l.styles(), before);
        QCOMPARE(runSql(l.db, {"SELECT COUNT(*) FROM KORFBanks"}), QStringList{"0"});
    }

    void saveOverwritePrintDelete() {
        Library l;
        QVERIFY(l.says({"bank-save", "PARTY", "--desc", "Saturday", "3", "1", "3"}, 0));
        QVERIFY(l.says({"bank-save", "OTHER", "2"}, 0));
        QCOMPARE(l.bank("PARTY"), "1|PARTY|Saturday|3|1|3");
        // A name in use is refused, and overwritten only with --replace: same number, the
        // description kept when none is given.
        QVERIFY(l.says({"bank-save", "PARTY", "2"}, 1, "--replace"));
        QVERIFY(l.says({"bank-save", "PARTY", "2", "1", "--replace"}, 0));
        QCOMPARE(l.bank("PARTY"), "1|PARTY|Saturday|2|1|0");

        // A deleted style leaves no line on the printed page (the windows' test reads the page).
        runSql(l.db, {"DELETE FROM KORFStyles WHERE StyleProg = 2"});
        const QString pdf = l.env.path("party.pdf");
        QVERIFY(l.says({"bank-print", "PARTY", "--pdf", pdf}, 0, "1 styles") && QFileInfo::exists(pdf));
#ifdef Q_OS_UNIX
        // A pipe or a device in the file's place is written through, never replaced by a renamed
        // file. The pipe comes first: a program that replaced it would replace /dev/full too.
        const QString pipe = l.env.path("pipe.pdf");
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(l.says({"bank-print", "PARTY", "--pdf", pipe}, 0));
        char head[4] = {};
        QVERIFY(::read(reader, head, 4) == 4 && QByteArray(head, 4) == "%PDF");
        ::close(reader);
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(pipe).constData(), &info) == 0 && S_ISFIFO(info.st_mode));
        const CliResult full = l.cli({"bank-print", "PARTY", "--pdf", "/dev/full"});
        QVERIFY(cliSays(full, 1, "/dev/full: No space left on device") && !full.out.contains("written"));
#endif

        // A name that two banks hold names neither; --number says which bank is meant.
        runSql(l.db, {"INSERT INTO KORFBanks (BankProg, BankName) VALUES (9, 'PARTY')"});
        QVERIFY(l.says({"bank-delete", "PARTY", "--yes"}, 1, "The banks 1, 9 are all named PARTY"));
        QVERIFY(l.says({"bank-delete", "--number", "1", "--yes"}, 0));
        QVERIFY(l.says({"bank-delete", "PARTY", "--yes"}, 0));
        QCOMPARE(runSql(l.db, {"SELECT BankName FROM KORFBanks"}), QStringList{"OTHER"});
    }

    // A bank named with blanks around it is that bank; a name of digits that is another bank's
    // number is refused as ambiguous, and --number or --name says which bank is meant; a number is
    // digits only; a bank saved without a description keeps none through a backup; a failure the
    // database reports is told in words.
    void banksAsThePlayerNamesThem() {
        Library l;
        auto banks = [&] {
            return runSql(l.db, {"SELECT BankProg, BankName, typeof(BankDesc), BankStyle01, BankStyle02 FROM "
                                 "KORFBanks ORDER BY BankProg"});
        };
        QCOMPARE(l.cli({"bank-save", " lead", "1"}).out, "Bank lead stored as bank 1 (1 styles)\n");
        QVERIFY(l.says({"bank-save", "lead ", "2"}, 1, "Bank lead already present (bank 1)"));
        QVERIFY(l.says({"bank-save", "  lead", "2", "3", "--replace"}, 0));
        // A name an earlier version stored with its blanks is found, and stored trimmed again.
        runSql(l.db, {"INSERT INTO KORFBanks (BankProg, BankName, BankDesc) VALUES (2, ' old ', 'kept')"});
        QVERIFY(l.cli({"bank-show", "old"}).out.startsWith("Bank 2   old   kept\n"));
        QVERIFY(l.says({"bank-save", "old", "3", "--replace"}, 0));
        QCOMPARE(banks(), (QStringList{"1|lead|null|2|3", "2|old|text|3|0"}));

        // "0001" is bank 1 by its number and bank 3 by its name: refused, also with blanks around.
        QVERIFY(l.says({"bank-save", "0001", "1"}, 0));
        for (const char* which : {"0001", " 0001 "})
            QVERIFY(l.says({"bank-delete", which, "--yes"}, 2,
                           "\"0001\" is the number of bank 1 (lead) and the name of bank 3; say which "
                           "with --number 1 or --name 0001"));
        // No sign or blank makes a number: "+1" is a name, and --number takes digits only.
        QVERIFY(l.says({"bank-delete", "+1", "--yes"}, 1, "There is no bank +1."));
        QVERIFY(l.says({"bank-show", "--number", "1e0"}, 2, "--number needs a bank number, not \"1e0\""));
        QVERIFY(l.cli({"bank-show", "--number", " 3"}).out.startsWith("Bank 3  0001"));
        QVERIFY(l.says({"bank-delete", "--name", "0001", "--yes"}, 0));
        QVERIFY(l.cli({"bank-show", "1"}).out.startsWith("Bank 1  lead")); // no longer ambiguous

        const QString backup = l.env.path("ALL.PDD");
        QVERIFY(l.says({"backup", backup}, 0));
        QVERIFY(l.says({"restore", backup, "--yes"}, 0));
        QCOMPARE(banks(), (QStringList{"1|lead|null|2|3", "2|old|text|3|0"}));

        runSql(l.db, {"CREATE TRIGGER refuse BEFORE INSERT ON KORFBanks BEGIN SELECT RAISE(ABORT, 'no more "
                      "banks'); END"});
        QCOMPARE(l.cli({"bank-save", "NEW", "1"}).err, "sbk-cli: Cannot store the bank NEW: no more banks\n");
    }

    // Under a file-size limit ("ulimit -f" in the user's shell, like a full disk) each command that
    // writes a file fails with the system's reason and exit status 1, where the signal of the limit
    // would end it without a word: the file written before stays as it was, with nothing beside it.
    void writesPastAFileSizeLimit_data() {
        QTest::addColumn<QStringList>("args"); // FILE: out/<written>, FOLDER: out
        QTest::addColumn<QString>("written");
        QTest::newRow("make-sty") << QStringList{"make-sty", "PARTY", "FILE"} << "PARTY.STY";
        QTest::newRow("bank-print") << QStringList{"bank-print", "PARTY", "--pdf", "FILE"} << "party.pdf";
        QTest::newRow("backup") << QStringList{"backup", "FILE"} << "SBK.PDD";
        // A second export names its file BOSSA_2.SSF beside the first.
        QTest::newRow("ssf-export") << QStringList{"ssf-export", "--to", "FOLDER", "1"} << "BOSSA.SSF";
    }

    void writesPastAFileSizeLimit() {
        QFETCH(QStringList, args);
        QFETCH(QString, written);
        Library l;
        runSql(l.db, {"UPDATE KORFStyles SET StyleContent1 = randomblob(6000), StyleLength1 = 6000, "
                      "StyleContent2 = randomblob(3000), StyleLength2 = 3000"});
        QVERIFY(l.says({"bank-save", "PARTY", "1", "2", "3"}, 0));
        const QString out = l.env.path("out");
        QDir().mkpath(out);
        args.replaceInStrings("FILE", out + '/' + written).replaceInStrings("FOLDER", out);
        QVERIFY(l.says(args, 0));
        const QByteArray good = TestEnvironment::readFile(out + '/' + written);
        QVERIFY(good.size() > 4000);
        QVERIFY(cliSays(runCli(l.env, QStringList{"--db", l.db} + args, good.size() / 2), 1,
                        std::strerror(EFBIG)));
        QCOMPARE(TestEnvironment::readFile(out + '/' + written), good);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{written});
    }

    void newNumbersWaitForAnotherWriter() {
        // Another program (an import) holds the database for writing and stores bank 1 and style 3.
        // A bank-save and an SSF import started meanwhile wait for it, then number after it.
        Library l;
        const QString out = l.env.path("ssf");
        QDir().mkpath(out);
        QVERIFY(l.says({"ssf-export", "--to", out, "3"}, 0));
        runSql(l.db, {"DELETE FROM KORFStyles WHERE StyleProg = 3"});
        const auto holder = l.env.openDatabase();
        queryRows(holder->connection(), "BEGIN IMMEDIATE");
        queryRows(holder->connection(), "INSERT INTO KORFStyles (StyleProg, StyleName1) VALUES (3, 'Held')");
        queryRows(holder->connection(), "INSERT INTO KORFBanks (BankProg, BankName) VALUES (1, 'HELD')");
        auto bank = std::async(std::launch::async, [&] { return l.cli({"bank-save", "NEW", "1"}); });
        auto style = std::async(std::launch::async, [&] {
            return l.cli({"ssf-import", out + "/ALPINE.SSF"});
        });
        QThread::msleep(1500); // both have read the numbers they would have taken, well within the wait
        queryRows(holder->connection(), "COMMIT");
        QVERIFY(cliSays(bank.get(), 0, "as bank 2"));
        QVERIFY(cliSays(style.get(), 0, "imported as style 4"));
    }

    // Copies imported from two bank files, listed with their banks as JSON and as text, merged by
    // kind (the engine's own test holds what a merge keeps and where the banks point).
    void duplicatesFoundAndMerged() {
        Library l;
        runSql(l.db, {"DELETE FROM KORFStyles"});
        const QByteArray bulk(2000, 'b');
        auto file = [&](const QString& name, const QList<std::tuple<QString, QByteArray, int>>& styles) {
            KORFStyles list;
            for (const auto& [listed, inside, tempo] : styles) {
                const QByteArray first =
                    StyleBlocks::styleBlock(inside == "Waltz" ? 0x1A : 0x22, false, bulk, inside);
                const QByteArray second = StyleBlocks::performanceBlock(tempo, false, bulk);
                list.Add(list.Count() + 1, listed, QString(), qint32(first.size()), qint32(second.size()),
                         first, second);
            }
            return l.env.writeFile(name, KORFLibrary::encodeCollection(list));
        };
        // 1 Samba, 2 Waltz (bank FIRST); 3 Samba again, 4 renamed inside, 5 at another tempo (SECOND).
        QVERIFY(l.says({"import", file("FIRST.STY", {{"Samba", "Samba", 120}, {"Waltz", "Waltz", 90}})}, 0));
        const QString second =
            file("SECOND.STY",
                 {{"Samba", "Samba", 120}, {"Samba Two", "Samba II", 120}, {"Samba Slow", "Samba", 96}});
        QVERIFY(l.says({"import", second, "--policy", "all"}, 0));
        QVERIFY(l.says({"edit", "3", "--group", "LATIN"}, 0));

        const QJsonArray groups = QJsonDocument::fromJson(l.cli({"duplicates", "--json"}).out).array();
        QStringList shape;
        for (const QJsonValue group : groups) {
            QStringList progs;
            for (const QJsonValue style : group["styles"].toArray())
                progs << QString::number(style["StyleProg"].toInt());
            shape << group["kind"].toString() + " " + progs.join(' ');
        }
        QCOMPARE(shape, (QStringList{"exact 1 3", "renamed 1 3 4", "settings 1 3 4 5"}));
        const QJsonObject copy = groups[0]["styles"][1].toObject();
        QCOMPARE(
            QJsonDocument(QJsonObject{{"Cat", copy["StyleCat"]},
                                      {"Tempo", copy["StyleTempo"]},
                                      {"Meter", copy["StyleMeter"]},
                                      {"Banks", copy["Banks"]}})
                .toJson(QJsonDocument::Compact),
            R"({"Banks":[{"BankName":"SECON002","BankProg":2,"Slot":1}],"Cat":"LATIN","Meter":"4/4","Tempo":120})");
        const CliResult listed = l.cli({"duplicates", "--kind", "exact"});
        QVERIFY2(listed.out.startsWith("exact copies:\n") && listed.out.endsWith("1 group(s) of copies\n"),
                 listed.out.constData());

        // Without --kind only exact copies are merged; the others are named, with how to merge them.
        QCOMPARE(
            l.cli({"duplicates", "--merge", "--yes"}).out,
            "exact copies: kept 1 (Samba), deleted 3 (Samba)\n1 group(s) merged; 1 style(s) deleted; 1 "
            "bank slot(s) now hold the styles kept\n2 group(s) of renamed copies, of the same music with "
            "other settings or of the same notes were left, as their styles differ: \"sbk-cli duplicates --kind all\" lists "
            "them, \"sbk-cli duplicates --merge --kind all\" merges them.\n");
        // All kinds: the widest group takes the narrower inside it. Imported on one day, the newest
        // is the one stored last.
        QVERIFY(l.says({"duplicates", "--merge", "--kind", "all", "--keep", "newest", "--yes"}, 0,
                       "settings copies: kept 5 (Samba Slow), deleted 1 (Samba), 4 (Samba Two)\n1 group(s) "
                       "merged; 2 style(s) deleted"));
        QCOMPARE(l.cli({"duplicates"}).out, "No copies found\n");
        QCOMPARE(
            runSql(l.db, {"SELECT BankStyle01, BankStyle02, BankStyle03, BankStyle04 FROM KORFBanks ORDER "
                          "BY BankProg"}),
            (QStringList{"5|2|0|0", "5|5|5|0"}));
    }

    void editAndDelete() {
        Library l;
        QVERIFY(l.says({"bank-save", "PARTY", "3", "1", "2"}, 0));
        QCOMPARE(l.cli({"edit", "1", "2", "--group", "LATIN", "--author", QString()}).out,
                 "2 style(s) updated\n");
        QVERIFY(l.says({"edit", "3", "--name", "Alps", "--desc", "Mountain"}, 0));
        QCOMPARE(l.styles(),
                 (QStringList{"1|Bossa|B1|LATIN| ", "2|Ballad|B2|LATIN| ", "3|Alps|Mountain|OLD|"}));
        QCOMPARE(l.cli({"delete", "3", "1", "--yes"}).out,
                 "2 style(s) deleted; 1 stored bank(s) held them and were changed\n");
        QCOMPARE(l.styles(), QStringList{"2|Ballad|B2|LATIN| "});
        QCOMPARE(l.bank("PARTY"), "1|PARTY||2|0|0"); // the style left moves up to slot 1
    }
};

QTEST_GUILESS_MAIN(TestCliEdit)
#include "tst_cli_edit.moc"
