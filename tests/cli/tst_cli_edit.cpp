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
            << QStringList{u"edit"_s, u"1"_s, u"--author"_s, u"名"_s} << 2
            << "holds the character \"名\", which the instrument's files cannot hold. Use the letters";
        QTest::newRow("one not stored") << QStringList{u"edit"_s, u"1"_s, u"99"_s, u"--group"_s, u"NEW"_s}
                                        << 1 << "There is no style 99.";
        QTest::newRow("style 0") << QStringList{u"delete"_s, u"0"_s, u"--yes"_s} << 2 << "1 or more";
        // Deleting asks on the terminal; without one only --yes confirms.
        QTest::newRow("no terminal") << QStringList{u"delete"_s, u"1"_s} << 2 << "give --yes";
        QTest::newRow("kind of copies")
            << QStringList{u"duplicates"_s, u"--kind"_s, u"near"_s} << 2 << "--kind needs";
        QTest::newRow("keep without merge")
            << QStringList{u"duplicates"_s, u"--keep"_s, u"newest"_s} << 2 << "go with --merge";
        QTest::newRow("merge without terminal")
            << QStringList{u"duplicates"_s, u"--merge"_s} << 2 << "give --yes";
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
        // Bank names and style fields follow one rule: the printable characters of ISO-8859-1.
        QTest::newRow("bank name of Windows-1252")
            << QStringList{u"bank-save"_s, u"A\u20ac"_s, u"1"_s} << 2 << "holds the character \"\u20ac\"";
        QTest::newRow("control character in an author")
            << QStringList{u"edit"_s, u"1"_s, u"--author"_s, u"A\u0001"_s} << 2
            << "an invisible control character (U+0001)";
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
#ifdef Q_OS_UNIX
        // A pipe or a device in the file's place is written through, never replaced by a renamed
        // file. The pipe comes first: a program that replaced it would replace /dev/full too.
        const QString pipe = l.env.path(u"pipe.pdf"_s);
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        const int reader = ::open(QFile::encodeName(pipe).constData(), O_RDWR | O_NONBLOCK);
        QCOMPARE(l.cli({u"bank-print"_s, u"PARTY"_s, u"--pdf"_s, pipe}).exitCode, 0);
        char head[4] = {};
        QVERIFY(::read(reader, head, 4) == 4 && QByteArray(head, 4) == "%PDF");
        ::close(reader);
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(pipe).constData(), &info) == 0 && S_ISFIFO(info.st_mode));
        const CliResult full = l.cli({u"bank-print"_s, u"PARTY"_s, u"--pdf"_s, u"/dev/full"_s});
        QVERIFY2(full.exitCode == 1 && full.err.contains("/dev/full: No space left on device") &&
                     !full.out.contains("written"),
                 (full.out + full.err).constData());
#endif

        // A name of digits that is another bank's number is refused as ambiguous: nothing is
        // guessed, and --name or --number says which bank is meant.
        QCOMPARE(l.cli({u"bank-save"_s, u"1"_s, u"3"_s}).exitCode, 0); // bank 3, named "1"
        const CliResult ambiguous = l.cli({u"bank-delete"_s, u"1"_s, u"--yes"_s});
        QVERIFY2(ambiguous.exitCode == 2 && ambiguous.err.contains("--number 1 or --name 1"),
                 ambiguous.err.constData());
        QCOMPARE(l.cli({u"bank-delete"_s, u"--name"_s, u"1"_s, u"--yes"_s}).exitCode, 0);
        QCOMPARE(l.bank(u"PARTY"_s), u"1|PARTY|Saturday|2|1|0"_s);
        QVERIFY(l.cli({u"bank-show"_s, u"1"_s}).out.startsWith("Bank 1  PARTY")); // no longer ambiguous
        // A name that two banks hold names neither.
        runSql(l.db, {u"INSERT INTO KORFBanks (BankProg, BankName) VALUES (9, 'PARTY')"_s});
        const CliResult twice = l.cli({u"bank-delete"_s, u"PARTY"_s, u"--yes"_s});
        QVERIFY2(twice.exitCode == 1 && twice.err.contains("The banks 1, 9 are all named PARTY"),
                 twice.err.constData());
        QCOMPARE(l.cli({u"bank-delete"_s, u"--number"_s, u"1"_s, u"--yes"_s}).exitCode, 0);

        QCOMPARE(l.cli({u"bank-delete"_s, u"PARTY"_s, u"--yes"_s}).exitCode, 0);
        QCOMPARE(runSql(l.db, {u"SELECT BankName FROM KORFBanks"_s}), QStringList{u"OTHER"_s});
    }

    // A bank named with blanks around it is that bank; a number is digits only, and a refusal
    // names the bank by its number; a bank saved without a description keeps none through a
    // backup; a failure the database reports is told in words.
    void banksAsThePlayerNamesThem() {
        Library l;
        auto banks = [&] {
            return runSql(l.db,
                          {u"SELECT BankProg, BankName, typeof(BankDesc), BankStyle01, BankStyle02 FROM "
                           "KORFBanks ORDER BY BankProg"_s});
        };
        QCOMPARE(l.cli({u"bank-save"_s, u" lead"_s, u"1"_s}).out,
                 QByteArray("Bank lead stored as bank 1 (1 styles)\n"));
        CliResult r = l.cli({u"bank-save"_s, u"lead "_s, u"2"_s});
        QVERIFY2(r.exitCode == 1 && r.err.contains("Bank lead already present (bank 1)"), r.err.constData());
        QCOMPARE(l.cli({u"bank-save"_s, u"  lead"_s, u"2"_s, u"3"_s, u"--replace"_s}).exitCode, 0);
        // A name an earlier version stored with its blanks is found, and stored trimmed again.
        runSql(l.db, {u"INSERT INTO KORFBanks (BankProg, BankName, BankDesc) VALUES (2, ' old ', 'kept')"_s});
        QVERIFY(l.cli({u"bank-show"_s, u"old"_s}).out.startsWith("Bank 2   old   kept\n"));
        QCOMPARE(l.cli({u"bank-save"_s, u"old"_s, u"3"_s, u"--replace"_s}).exitCode, 0);
        QCOMPARE(banks(), (QStringList{u"1|lead|null|2|3"_s, u"2|old|text|3|0"_s}));

        // "0001" is bank 1 by its number and bank 3 by its name: refused, also with blanks around.
        QCOMPARE(l.cli({u"bank-save"_s, u"0001"_s, u"1"_s}).exitCode, 0);
        for (const QString& which : {u"0001"_s, u" 0001 "_s}) {
            r = l.cli({u"bank-delete"_s, which, u"--yes"_s});
            QVERIFY2(r.exitCode == 2 &&
                         r.err.contains("\"0001\" is the number of bank 1 (lead) and the name of "
                                        "bank 3; say which with --number 1 or --name 0001"),
                     r.err.constData());
        }
        // No sign or blank makes a number: "+1" is a name, and --number takes digits only.
        r = l.cli({u"bank-delete"_s, u"+1"_s, u"--yes"_s});
        QVERIFY2(r.exitCode == 1 && r.err.contains("There is no bank +1."), r.err.constData());
        r = l.cli({u"bank-show"_s, u"--number"_s, u"1e0"_s});
        QVERIFY2(r.exitCode == 2 && r.err.contains("--number needs a bank number, not \"1e0\""),
                 r.err.constData());
        QVERIFY(l.cli({u"bank-show"_s, u"--number"_s, u" 3"_s}).out.startsWith("Bank 3  0001"));
        QCOMPARE(banks().size(), 3);

        const QString backup = l.env.path(u"ALL.PDD"_s);
        QCOMPARE(l.cli({u"backup"_s, backup}).exitCode, 0);
        QCOMPARE(l.cli({u"restore"_s, backup, u"--yes"_s}).exitCode, 0);
        QCOMPARE(banks().first(), u"1|lead|null|2|3"_s);

        runSql(l.db, {u"CREATE TRIGGER refuse BEFORE INSERT ON KORFBanks BEGIN SELECT RAISE(ABORT, 'no more "
                      "banks'); END"_s});
        r = l.cli({u"bank-save"_s, u"NEW"_s, u"1"_s});
        QCOMPARE(r.err, QByteArray("sbk-cli: Cannot store the bank NEW: no more banks\n"));
    }

    // Under a file-size limit ("ulimit -f" in the user's shell, like a full disk) each command that
    // writes a file fails with the system's reason and exit status 1, where the signal of the limit
    // would end it without a word: the file written before stays as it was, with nothing beside it.
    void writesPastAFileSizeLimit_data() {
        QTest::addColumn<QStringList>("args"); // FILE: out/<written>, FOLDER: out
        QTest::addColumn<QString>("written");
        QTest::newRow("make-sty") << QStringList{u"make-sty"_s, u"PARTY"_s, u"FILE"_s} << u"PARTY.STY"_s;
        QTest::newRow("bank-print") << QStringList{u"bank-print"_s, u"PARTY"_s, u"--pdf"_s, u"FILE"_s}
                                    << u"party.pdf"_s;
        QTest::newRow("backup") << QStringList{u"backup"_s, u"FILE"_s} << u"SBK.PDD"_s;
        // A second export names its file BOSSA_2.SSF beside the first.
        QTest::newRow("ssf-export") << QStringList{u"ssf-export"_s, u"--to"_s, u"FOLDER"_s, u"1"_s}
                                    << u"BOSSA.SSF"_s;
    }

    void writesPastAFileSizeLimit() {
        QFETCH(QStringList, args);
        QFETCH(QString, written);
        Library l;
        runSql(l.db, {u"UPDATE KORFStyles SET StyleContent1 = randomblob(6000), StyleLength1 = 6000, "
                      "StyleContent2 = randomblob(3000), StyleLength2 = 3000"_s});
        QCOMPARE(l.cli({u"bank-save"_s, u"PARTY"_s, u"1"_s, u"2"_s, u"3"_s}).exitCode, 0);
        const QString out = l.env.path(u"out"_s);
        QDir().mkpath(out);
        args.replaceInStrings(u"FILE"_s, out + u'/' + written).replaceInStrings(u"FOLDER"_s, out);
        const CliResult first = l.cli(args);
        QVERIFY2(first.exitCode == 0, (first.out + first.err).constData());
        const QByteArray good = TestEnvironment::readFile(out + u'/' + written);
        QVERIFY(good.size() > 4000);
        const CliResult cut = runCli(l.env, QStringList{u"--db"_s, l.db} + args, good.size() / 2);
        QVERIFY2(cut.exitCode == 1 && cut.err.contains(std::strerror(EFBIG)),
                 (cut.out + cut.err).constData());
        QCOMPARE(TestEnvironment::readFile(out + u'/' + written), good);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden), QStringList{written});
    }

    void newNumbersWaitForAnotherWriter() {
        // Another program (an import) holds the database for writing and stores bank 1 and style 3.
        // A bank-save and an SSF import started meanwhile wait for it, then number after it.
        Library l;
        const QString out = l.env.path(u"ssf"_s);
        QDir().mkpath(out);
        QCOMPARE(l.cli({u"ssf-export"_s, u"--to"_s, out, u"3"_s}).exitCode, 0);
        runSql(l.db, {u"DELETE FROM KORFStyles WHERE StyleProg = 3"_s});
        const auto holder = l.env.openDatabase();
        queryRows(holder->connection(), u"BEGIN IMMEDIATE"_s);
        queryRows(holder->connection(),
                  u"INSERT INTO KORFStyles (StyleProg, StyleName1) VALUES (3, 'Held')"_s);
        queryRows(holder->connection(), u"INSERT INTO KORFBanks (BankProg, BankName) VALUES (1, 'HELD')"_s);
        auto bank = std::async(std::launch::async, [&] { return l.cli({u"bank-save"_s, u"NEW"_s, u"1"_s}); });
        auto style = std::async(std::launch::async, [&] {
            return l.cli({u"ssf-import"_s, out + u"/ALPINE.SSF"_s});
        });
        QThread::msleep(1500); // both have read the numbers they would have taken, well within the wait
        queryRows(holder->connection(), u"COMMIT"_s);
        const CliResult saved = bank.get();
        QVERIFY2(saved.exitCode == 0 && saved.out.contains("as bank 2"), (saved.out + saved.err).constData());
        const CliResult imported = style.get();
        QVERIFY2(imported.exitCode == 0 && imported.out.contains("imported as style 4"),
                 (imported.out + imported.err).constData());
    }

    // Copies imported from two bank files: listed with their banks, merged kind by kind, the banks
    // pointing to the styles kept and making the same STY file as before.
    void duplicatesFoundAndMerged() {
        TestEnvironment env;
        const QString db = env.createDatabase();
        auto cli = [&](const QStringList& args) { return runCli(env, QStringList{u"--db"_s, db} + args); };
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
            return env.writeFile(name, KORFLibrary::encodeCollection(list));
        };
        // 1 Samba, 2 Waltz (bank FIRST); 3 Samba again, 4 renamed inside, 5 at another tempo (SECOND).
        QCOMPARE(
            cli({u"import"_s, file(u"FIRST.STY"_s, {{u"Samba"_s, "Samba", 120}, {u"Waltz"_s, "Waltz", 90}})})
                .exitCode,
            0);
        const QString second = file(
            u"SECOND.STY"_s,
            {{u"Samba"_s, "Samba", 120}, {u"Samba Two"_s, "Samba II", 120}, {u"Samba Slow"_s, "Samba", 96}});
        QCOMPARE(cli({u"import"_s, second, u"--policy"_s, u"all"_s}).exitCode, 0);
        QCOMPARE(cli({u"edit"_s, u"3"_s, u"--group"_s, u"LATIN"_s}).exitCode, 0);

        CliResult r = cli({u"duplicates"_s, u"--json"_s});
        QCOMPARE(r.exitCode, 0);
        const QJsonArray groups = QJsonDocument::fromJson(r.out).array();
        QStringList shape;
        for (const QJsonValue group : groups) {
            QStringList progs;
            for (const QJsonValue style : group[u"styles"_s].toArray())
                progs << QString::number(style[u"StyleProg"_s].toInt());
            shape << group[u"kind"_s].toString() + u" "_s + progs.join(' ');
        }
        QCOMPARE(shape, (QStringList{u"exact 1 3"_s, u"renamed 1 3 4"_s, u"settings 1 3 4 5"_s}));
        const QJsonObject copy = groups[0][u"styles"_s][1].toObject();
        QCOMPARE(copy[u"StyleCat"_s].toString(), u"LATIN"_s);
        QCOMPARE(copy[u"StyleTempo"_s].toInt(), 120);
        QCOMPARE(copy[u"StyleMeter"_s].toString(), u"4/4"_s);
        QCOMPARE(
            copy[u"Banks"_s].toArray(),
            (QJsonArray{QJsonObject{{u"BankProg"_s, 2}, {u"BankName"_s, u"SECON002"_s}, {u"Slot"_s, 1}}}));
        r = cli({u"duplicates"_s, u"--kind"_s, u"exact"_s});
        QVERIFY2(r.out.startsWith("exact copies:\n") && r.out.endsWith("1 group(s) of copies\n"),
                 r.out.constData());

        const QString before = env.path(u"before.sty"_s), after = env.path(u"after.sty"_s);
        QCOMPARE(cli({u"make-sty"_s, u"--number"_s, u"2"_s, before}).exitCode, 0);
        // Without --kind only exact copies are merged; the others are named, with how to merge them.
        r = cli({u"duplicates"_s, u"--merge"_s, u"--yes"_s});
        QVERIFY2(r.exitCode == 0 &&
                     r.out == "exact copies: kept 1 (Samba), deleted 3 (Samba)\n1 group(s) merged; 1 "
                              "style(s) deleted; 1 bank slot(s) now hold the styles kept\n2 group(s) of "
                              "renamed copies or of the same music with other settings were left, as their "
                              "styles differ: \"sbk-cli duplicates --kind all\" lists them, \"sbk-cli "
                              "duplicates --merge --kind all\" merges them.\n",
                 (r.out + r.err).constData());
        QCOMPARE(
            runSql(db, {u"SELECT BankStyle01, BankStyle02, BankStyle03 FROM KORFBanks WHERE BankProg = 2"_s}),
            QStringList{u"1|4|5"_s});
        QCOMPARE(runSql(db, {u"SELECT StyleCat FROM KORFStyles WHERE StyleProg = 1"_s}),
                 QStringList{u"LATIN"_s});
        QCOMPARE(cli({u"make-sty"_s, u"--number"_s, u"2"_s, after}).exitCode, 0);
        QCOMPARE(TestEnvironment::readFile(after), TestEnvironment::readFile(before));

        // All kinds: the widest group takes the narrower inside it. Imported on one day, the newest
        // is the one stored last.
        r = cli({u"duplicates"_s, u"--merge"_s, u"--kind"_s, u"all"_s, u"--keep"_s, u"newest"_s, u"--yes"_s});
        QVERIFY2(r.exitCode == 0 &&
                     r.out.startsWith("settings copies: kept 5 (Samba Slow), deleted 1 (Samba), 4 "
                                      "(Samba Two)\n1 group(s) merged; 2 style(s) deleted"),
                 (r.out + r.err).constData());
        QCOMPARE(cli({u"duplicates"_s}).out, QByteArray("No copies found\n"));
        QCOMPARE(
            runSql(db, {u"SELECT BankStyle01, BankStyle02, BankStyle03, BankStyle04 FROM KORFBanks ORDER BY "
                        "BankProg"_s}),
            (QStringList{u"5|2|0|0"_s, u"5|5|5|0"_s}));
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
