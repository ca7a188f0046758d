#include "CliRunner.h"
#include "core/SBKSettings.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A database made by "sbk-cli init" and filled the way another program would: plain SQL on the
// program's tables and columns.
QString initialisedDatabase(const TestEnvironment& env, const QString& name, const QStringList& statements) {
    const QString path = env.path(name);
    if (runCli(env, {u"init"_s, path}).exitCode != 0)
        qFatal("init failed");
    runSql(path, statements);
    return path;
}

QString independentDatabase(const TestEnvironment& env) {
    return initialisedDatabase(
        env, u"filled.mdb"_s,
        {u"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc, StyleCat, StyleAuthor, StyleDate, "
         "StyleContent1, StyleContent2, StyleSeek, StyleLength1, StyleLength2, Tempo, Meter) VALUES "
         "(1, 'Bossa', 'B desc', 'Latin', 'Ann', '2006/05/12', x'00ff', x'20', x'00ff', 2, 0, 120, '4/4'), "
         "(2, 'Ballad', 'B desc', 'Pop', 'Bob', '2006/05/12', x'01ff', x'20', x'01ff', 2, 0, 70, '6/8'), "
         "(3, 'Alpine', 'A desc', 'POP', 'Ann', '2006/05/12', x'02ff', x'20', x'02ff', 2, 0, NULL, NULL)"_s,
         u"INSERT INTO KORFBanks (BankProg, BankName, BankDesc, BankStyle01, BankStyle02, BankStyle03) "
         "VALUES (1, 'ZEBRA001', 'Bank Z', 2, 1, 2), (2, 'ALPHA002', 'Bank A', 2, 0, 0), "
         "(3, 'EMPTY003', 'E', 0, 0, 0)"_s});
}

// A library with the values a listing must write exactly: quotes, backslashes, one-byte letters
// beyond ASCII, a control character, empty and NULL fields, facts present and absent, a slot
// naming a style that is gone.
QString awkwardDatabase(const TestEnvironment& env) {
    return initialisedDatabase(
        env, u"awkward.mdb"_s,
        {u"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleName2, StyleDesc, StyleFamily, StyleCat, "
         "StyleAuthor, StyleDate, StyleContent1, StyleContent2, StyleSeek, StyleLength1, StyleLength2, "
         "Tempo, Meter) VALUES "
         "(1, 'Say \"Hi\" \\o/', 'x', 'C:\\Pa\\ \"desc\"', '', 'Pop', 'Ann ''A'' é', '2006/05/12', x'00', "
         "x'20', x'00', 1, 0, 120, '4/4'), "
         "(2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, x'01', x'20', x'01', 1, 0, NULL, NULL), "
         "(7, 'Ünïcödé ÿß' || char(1) || 'x', '', 'tab' || char(9) || 'end', 'Fam/ily', '°Group', '', '', "
         "x'02', x'20', x'02', 1, 0, 300, '12/8'), "
         "(8, 'Trailing   ', 'y', 'A long description that runs past its column', 'FAMILYNAMEISLONG', 'G', "
         "'Bob', '2024/01/31', x'03', x'20', x'03', 1, 0, 20, NULL), "
         "(9, '', '', ' ', ' ', ' ', ' ', '2024/01/31', x'04', x'20', x'04', 1, 0, NULL, '3/4')"_s,
         u"INSERT INTO KORFBanks (BankProg, BankName, BankDesc, BankStyle01, BankStyle02, BankStyle03, "
         "BankStyle32) VALUES (1, 'Q\"UOTE\\1', 'Bank \"with\" \\ é', 1, 7, 1, 999), "
         "(2, NULL, NULL, 0, 0, 0, 1), (5, 'ÉCOLE', '', 2, 8, 9, 0)"_s});
}

QJsonArray json(const CliResult& result) {
    return QJsonDocument::fromJson(result.out).array();
}

QList<int> numbers(const QJsonArray& rows, const QString& key) {
    QList<int> list;
    for (const QJsonValue& row : rows)
        list << row.toObject().value(key).toInt();
    return list;
}

} // namespace

class TestCliStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exitStatusAndHelp_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << "where-is";
        QTest::newRow("unknown command") << QStringList{u"frobnicate"_s} << 2 << "unknown command";
        QTest::newRow("missing db") << QStringList{u"--db"_s, u"/nonexistent/x.mdb"_s, u"list"_s} << 1
                                    << "/nonexistent/x.mdb";
        // Values the command line cannot take are usage errors, refused before anything is opened.
        QTest::newRow("backup without a path") << QStringList{u"backup"_s, u" "_s} << 2 << "PDD file path";
        QTest::newRow("no meter") << QStringList{u"list"_s, u"--meter"_s, u"3/5"_s} << 2
                                  << "--meter needs a meter";
        QTest::newRow("reversed tempo range")
            << QStringList{u"list"_s, u"--tempo"_s, u"110-90"_s} << 2 << "--tempo needs a tempo or a range";
        QTest::newRow("restore asked on a pipe") << QStringList{u"restore"_s, u"x.pdd"_s} << 2 << "--yes";
    }
    void exitStatusAndHelp() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, text);
        TestEnvironment env;
        QVERIFY(cliSays(runCli(env, args), status, text.toUtf8()));
    }

    void initRefusals() {
        TestEnvironment env;
        const QString path = env.path(u"new.mdb"_s);
        QCOMPARE(runCli(env, {u"init"_s, path}).exitCode, 0);
        const QByteArray before = TestEnvironment::readFile(path);
        QVERIFY(cliSays(runCli(env, {u"init"_s, path}), 1, "exists"));
        QCOMPARE(TestEnvironment::readFile(path), before);
        // A folder that cannot be written is named, not the temporary file the database is built in.
        const CliResult locked = runCli(env, {u"init"_s, u"/proc/new.mdb"_s});
        QVERIFY(cliSays(locked, 1, "the folder /proc") && !locked.err.contains(".part"));
    }

    // Every listing writes its rows as it reads them; what it writes is what the listing wrote when
    // it gathered every row first (the JSON listings as QJsonDocument writes a whole array).
    void listingsWrittenAsBefore() {
        TestEnvironment env;
        const QString awkward = awkwardDatabase(env);
        const QString empty = env.path(u"empty.mdb"_s);
        QCOMPARE(runCli(env, {u"init"_s, empty}).exitCode, 0);
        auto run = [&](const QString& path, const QStringList& args) {
            const CliResult result = runCli(env, QStringList{u"--db"_s, path} + args);
            if (result.exitCode != 0 || !result.err.isEmpty())
                qWarning() << args << result.err;
            return result.out;
        };
        const QByteArray list = run(awkward, {u"list"_s});
        QCOMPARE(
            list,
            " Style  Name              Description               Family        Group         Author        "
            "Date        Tempo  Meter\n"
            "     1  Say \"Hi\" \\o/      C:\\Pa\\ \"desc\"                           Pop           Ann 'A' "
            "é     "
            "2006/05/12    120  4/4\n"
            "     2                                                                                        "
            "                -  -\n"
            "     7  Ünïcödé ÿß x      tab\tend                   Fam/ily       °Group                       "
            "             300  12/8\n"
            "     8  Trailing          A long description that runs past its column  FAMILYNAMEISLONG  G   "
            "          Bob           2024/01/31     20  -\n"
            "     9                                                                                        "
            "2024/01/31      -  3/4\n"
            "5 styles available\n");
        QCOMPARE(run(awkward, {u"list"_s, u"--group"_s, u"pop"_s}),
                 list.left(list.indexOf("\n     2 ") + 1) +
                     "1 styles available - Database filtering is active\n");
        QCOMPARE(run(awkward, {u"banks"_s}), "  Bank  Name                  Slots  Description\n"
                                             "     1  Q\"UOTE\\1                  4  Bank \"with\" \\ é\n"
                                             "     2                            1  \n"
                                             "     5  ÉCOLE                     3  \n"
                                             "3 banks\n");
        QCOMPARE(run(awkward, {u"where-is"_s, u"1"_s}),
                 "     2   []  slot 32\n     1  Q\"UOTE\\1 [Bank \"with\" \\ é]  slots 1, 3\n");

        // The rows' values, and each JSON listing byte for byte as the whole document is written.
        const QByteArray styles = run(awkward, {u"list"_s, u"--json"_s});
        const QJsonArray rows = QJsonDocument::fromJson(styles).array();
        QCOMPARE(QJsonDocument(QJsonArray{rows[0], rows[1], rows[2]}).toJson(QJsonDocument::Compact),
                 "[{\"StyleAuthor\":\"Ann 'A' é\",\"StyleCat\":\"Pop\",\"StyleDate\":\"2006/05/12\","
                 "\"StyleDesc\":\"C:\\\\Pa\\\\ \\\"desc\\\"\",\"StyleFamily\":\"\",\"StyleMeter\":\"4/4\","
                 "\"StyleName1\":\"Say \\\"Hi\\\" \\\\o/\",\"StyleProg\":1,\"StyleTempo\":120},"
                 "{\"StyleAuthor\":\"\",\"StyleCat\":\"\",\"StyleDate\":\"\",\"StyleDesc\":\"\","
                 "\"StyleFamily\":\"\",\"StyleMeter\":null,\"StyleName1\":\"\",\"StyleProg\":2,\"StyleTempo\":null},"
                 "{\"StyleAuthor\":\"\",\"StyleCat\":\"°Group\",\"StyleDate\":\"\",\"StyleDesc\":\"tab\\tend\","
                 "\"StyleFamily\":\"Fam/ily\",\"StyleMeter\":\"12/8\",\"StyleName1\":\"Ünïcödé ÿß\\u0001x\","
                 "\"StyleProg\":7,\"StyleTempo\":300}]");
        const QList<QByteArray> jsonListings{
            styles,
            run(awkward, {u"list"_s, u"--json"_s, u"--sort"_s, u"name:desc"_s}),
            run(awkward, {u"banks"_s, u"--json"_s}),
            run(awkward, {u"where-is"_s, u"1"_s, u"--json"_s}),
            run(empty, {u"list"_s, u"--json"_s}),
            run(empty, {u"banks"_s, u"--json"_s}),
            run(empty, {u"where-is"_s, u"1"_s, u"--json"_s})};
        for (const QByteArray& listing : jsonListings)
            QCOMPARE(listing, QJsonDocument::fromJson(listing).toJson(QJsonDocument::Indented));
        QCOMPARE(jsonListings.last(), "[\n]\n");
        QCOMPARE(numbers(json(CliResult{0, jsonListings[1], {}}), u"StyleProg"_s),
                 (QList<int>{7, 8, 1, 9, 2}));
        QCOMPARE(run(empty, {u"list"_s}), "No style available\n");
        QCOMPARE(run(empty, {u"banks"_s}), "No bank stored\n");
        QCOMPARE(run(empty, {u"where-is"_s, u"1"_s}), "Selected style cannot be found in any bank!\n");
    }

    // Where the program keeps its default database and its settings follows where it runs from:
    // installed (no build-tree marker beside it), in the user's data folder even where its own
    // folder can be written, with the user's settings; run from its build tree, both beside it, so
    // that neither reads what the other stored.
    void installedAndBuildTreeRunsKeepTheirOwn() {
        TestEnvironment env;
        const QString installed = env.path(u"usr/bin/sbk-cli"_s);
        const QString built = env.path(u"build/bin/sbk-cli"_s);
        for (const QString& copy : {installed, built})
            QVERIFY(QDir().mkpath(QFileInfo(copy).path()) &&
                    QFile::copy(qEnvironmentVariable("SBK_CLI"), copy));
        env.writeFile(u"build/bin/SBK-BUILD-TREE"_s, "built here");
        const auto list = [&](const QString& program) {
            const CliResult result = runCliCopy(env, program, {u"list"_s});
            if (result.exitCode != 0)
                qWarning() << result.err;
            return result.out;
        };
        QCOMPARE(list(installed), "No style available\n");
        QVERIFY(QFileInfo::exists(env.path(u"data/SBK/SBK/SBK.MDB"_s)));
        QCOMPARE(list(built), "No style available\n");
        QVERIFY(QFileInfo::exists(env.path(u"build/bin/SBK.MDB"_s)));
        QCOMPARE(QDir(env.path(u"usr/bin"_s)).entryList(QDir::Files), QStringList{u"sbk-cli"_s});

        // The user's settings (XDG_CONFIG_HOME/SBK/SBK.conf) name a library for the installed
        // program; the build tree's own file names another.
        const QString users = independentDatabase(env);
        SBKSettings().setValue(SBKSettings::Path, SBKSettings::Database, users);
        QCOMPARE(env.settingsFile(), env.path(u"config/SBK/SBK.conf"_s));
        QVERIFY(list(installed).endsWith("3 styles available\n"));
        QCOMPARE(list(built), "No style available\n");
        QSettings(env.path(u"build/bin/SBK.conf"_s), QSettings::IniFormat)
            .setValue(u"PATH/DATABASE"_s, awkwardDatabase(env));
        QVERIFY(list(built).endsWith("5 styles available\n"));
        QVERIFY(list(installed).endsWith("3 styles available\n"));
    }

    // The completion script offers the sort keys after list --sort, and where a command takes a
    // bank, the names of the banks stored in the database of --db (quoted for the shell, a name
    // two banks share once); after the bank, make-sty completes its file.
    void completionOffersSortKeysAndBankNames() {
        TestEnvironment env;
        const QString db = independentDatabase(env); // banks ZEBRA001, ALPHA002 and EMPTY003
        runSql(db,
               {u"INSERT INTO KORFBanks (BankProg, BankName) VALUES (4, 'ZEBRA NIGHT'), (5, 'ZEBRA001')"_s});
        const QString script = env.writeFile(u"completion"_s, runCli(env, {u"completion"_s, u"bash"_s}).out);
        const QString cli = qEnvironmentVariable("SBK_CLI");
        const auto complete = [&](const QStringList& words) {
            QProcess bash;
            bash.start(u"bash"_s,
                       QStringList{u"-c"_s,
                                   u"source \"$1\"; shift; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                                   "_sbk_cli; printf '%s\\n' \"${COMPREPLY[@]}\""_s,
                                   u"sh"_s, script, cli} +
                           words);
            bash.waitForFinished();
            return QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        };
        QCOMPARE(complete({u"list"_s, u"--sort"_s, u"te"_s}), (QStringList{u"tempo"_s, u"tempo:desc"_s}));
        QCOMPARE(complete({u"--db"_s, db, u"bank-show"_s, u"ZE"_s}),
                 (QStringList{u"ZEBRA\\ NIGHT"_s, u"ZEBRA001"_s}));
        QCOMPARE(complete({u"--db"_s, db, u"make-sty"_s, u"ALPHA002"_s, env.path(u"fil"_s)}),
                 QStringList{db});
    }

    // list, where-is and the settings' database path on a database another program filled.
    void commandsOnAnIndependentlyFilledDatabase() {
        TestEnvironment env;
        const QString path = independentDatabase(env);
        SBKSettings().setValue(SBKSettings::Path, SBKSettings::Database, path);

        // The numbers of the styles a JSON listing with these options lists.
        const auto listed = [&](const QStringList& options, const QString& key = u"StyleProg"_s) {
            return numbers(json(runCli(env, QStringList{u"list"_s, u"--json"_s} + options)), key);
        };
        QCOMPARE(listed({u"--group"_s, u"pop"_s, u"--sort"_s, u"name"_s}), (QList<int>{3, 2}));
        const CliResult text = runCli(env, {u"list"_s, u"--author"_s, u"ann"_s, u"--sort"_s, u"name:desc"_s});
        QVERIFY(text.out.indexOf("Bossa") < text.out.indexOf("Alpine"));
        QVERIFY(text.out.contains("2 styles available - Database filtering is active"));
        // The style facts filtered by meter and tempo range, and sorted by meter.
        QCOMPARE(listed({u"--meter"_s, u"6/8"_s, u"--tempo"_s, u"60-80"_s}, u"StyleTempo"_s), QList<int>{70});
        QCOMPARE(listed({u"--tempo"_s, u"100-"_s, u"--group"_s, u"latin"_s}), QList<int>{1});
        QCOMPARE(listed({u"--sort"_s, u"meter:desc"_s}), (QList<int>{2, 1, 3}));

        // Damaged styles are those read without the fingerprint of their decoded blocks; styles that
        // another program stored and never read are not judged.
        QCOMPARE(runCli(env, {u"list"_s, u"--damaged"_s}).out, "No damaged style\n");
        runSql(path, {u"UPDATE KORFStyles SET FingerprintExact = StyleProg, FingerprintRenamed = 7 WHERE "
                      "StyleProg <> 2"_s,
                      u"UPDATE KORFStyles SET FingerprintExact = 2 WHERE StyleProg = 2"_s});
        const CliResult damagedBob = runCli(env, {u"list"_s, u"--damaged"_s, u"--author"_s, u"bob"_s});
        QVERIFY(cliSays(damagedBob, 0, " Ballad ") &&
                damagedBob.out.endsWith("1 styles available - Database filtering is active\n"));
        QCOMPARE(listed({u"--damaged"_s}), QList<int>{2});

        const QJsonArray banks = json(runCli(env, {u"where-is"_s, u"2"_s, u"--json"_s}));
        QCOMPARE(numbers(banks, u"BankProg"_s), (QList<int>{2, 1})); // by bank name
        QCOMPARE(banks.at(1).toObject().value(u"Slots"_s).toArray(), (QJsonArray{1, 3}));

        // Output that does not reach standard output is a failure with the reason.
        QProcess full;
        full.setStandardOutputFile(u"/dev/full"_s);
        full.start(qEnvironmentVariable("SBK_CLI"), {u"--db"_s, path, u"list"_s, u"--json"_s});
        QVERIFY(full.waitForFinished());
        QCOMPARE(full.exitCode(), 1);
        QCOMPARE(full.readAllStandardError(),
                 "sbk-cli: cannot write to standard output: No space left on device\n");

        // A database of another program records no damage: said, not guessed.
        QVERIFY(cliSays(runCli(env, {u"--db"_s, env.createForeignDatabase(), u"list"_s, u"--damaged"_s}), 1,
                        "was made by another program and does not record which styles are damaged, so "
                        "--damaged cannot list them.\n"));

        // A damaged database file is named with the database's own words.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() / 2));
        file.write(QByteArray(int(file.size() / 2), '\xa5'));
        file.close();
        const CliResult damaged = runCli(env, {u"list"_s});
        QVERIFY(cliSays(damaged, 1, "malformed") &&
                damaged.err.endsWith("\nThe database file " + path.toUtf8() +
                                     " is damaged; restore it from a backup.\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliStore)
#include "tst_cli_store.moc"
