#include "CliRunner.h"
#include "core/SBKSettings.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A database made by "sbk-cli init" and filled the way another program would: plain SQL on the
// program's tables and columns.
QString independentDatabase(const TestEnvironment& env) {
    const QString path = env.path(u"filled.mdb"_s);
    if (runCli(env, {u"init"_s, path}).exitCode != 0)
        qFatal("init failed");
    runSql(
        path,
        {u"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc, StyleCat, StyleAuthor, StyleDate, "
         "StyleContent1, StyleContent2, StyleSeek, StyleLength1, StyleLength2, Tempo, Meter) VALUES "
         "(1, 'Bossa', 'B desc', 'Latin', 'Ann', '2006/05/12', x'00ff', x'20', x'00ff', 2, 0, 120, '4/4'), "
         "(2, 'Ballad', 'B desc', 'Pop', 'Bob', '2006/05/12', x'01ff', x'20', x'01ff', 2, 0, 70, '6/8'), "
         "(3, 'Alpine', 'A desc', 'POP', 'Ann', '2006/05/12', x'02ff', x'20', x'02ff', 2, 0, NULL, NULL)"_s,
         u"INSERT INTO KORFBanks (BankProg, BankName, BankDesc, BankStyle01, BankStyle02, BankStyle03) "
         "VALUES (1, 'ZEBRA001', 'Bank Z', 2, 1, 2), (2, 'ALPHA002', 'Bank A', 2, 0, 0), "
         "(3, 'EMPTY003', 'E', 0, 0, 0)"_s});
    return path;
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
        const CliResult result = runCli(env, args);
        QCOMPARE(result.exitCode, status);
        QVERIFY2((status == 0 ? result.out : result.err).contains(text.toUtf8()), result.out + result.err);
    }

    void initRefusals() {
        TestEnvironment env;
        const QString path = env.path(u"new.mdb"_s);
        QCOMPARE(runCli(env, {u"init"_s, path}).exitCode, 0);
        const QByteArray before = TestEnvironment::readFile(path);
        const CliResult again = runCli(env, {u"init"_s, path});
        QVERIFY2(again.exitCode == 1 && again.err.contains("exists"), (again.out + again.err).constData());
        QCOMPARE(TestEnvironment::readFile(path), before);
        // A folder that cannot be written is named, not the temporary file the database is built in.
        const CliResult locked = runCli(env, {u"init"_s, u"/proc/new.mdb"_s});
        QVERIFY2(locked.exitCode == 1 && locked.err.contains("the folder /proc") &&
                     !locked.err.contains(".part"),
                 locked.err.constData());
    }

    // list, where-is and the settings' database path on a database another program filled.
    void commandsOnAnIndependentlyFilledDatabase() {
        TestEnvironment env;
        const QString path = independentDatabase(env);
        SBKSettings().setValue(SBKSettings::Path, SBKSettings::Database, path);

        const CliResult pop =
            runCli(env, {u"list"_s, u"--json"_s, u"--group"_s, u"pop"_s, u"--sort"_s, u"name"_s});
        QCOMPARE(numbers(json(pop), u"StyleProg"_s), (QList<int>{3, 2}));
        const CliResult text = runCli(env, {u"list"_s, u"--author"_s, u"ann"_s, u"--sort"_s, u"name:desc"_s});
        QVERIFY(text.out.indexOf("Bossa") < text.out.indexOf("Alpine"));
        QVERIFY(text.out.contains("2 styles available - Database filtering is active"));
        // The style facts: shown, "-" or null when unknown, and filtered by meter and tempo range.
        QVERIFY(text.out.contains("2006/05/12    120  4/4\n") && text.out.contains("2006/05/12      -  -\n"));
        const QJsonArray all = json(runCli(env, {u"list"_s, u"--json"_s}));
        QCOMPARE(all.at(1).toObject().value(u"StyleMeter"_s), QJsonValue(u"6/8"_s));
        QVERIFY(all.at(2).toObject().value(u"StyleTempo"_s).isNull() &&
                all.at(2).toObject().value(u"StyleMeter"_s).isNull());
        QCOMPARE(numbers(json(runCli(env, {u"list"_s, u"--json"_s, u"--meter"_s, u"6/8"_s, u"--tempo"_s,
                                           u"60-80"_s})),
                         u"StyleTempo"_s),
                 QList<int>{70});
        QCOMPARE(numbers(json(runCli(env, {u"list"_s, u"--json"_s, u"--tempo"_s, u"100-"_s, u"--group"_s,
                                           u"latin"_s})),
                         u"StyleProg"_s),
                 QList<int>{1});
        QCOMPARE(numbers(json(runCli(env, {u"list"_s, u"--json"_s, u"--sort"_s, u"meter:desc"_s})),
                         u"StyleProg"_s),
                 (QList<int>{2, 1, 3}));

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

        // A damaged database file is named with the database's own words.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() / 2));
        file.write(QByteArray(int(file.size() / 2), '\xa5'));
        file.close();
        const CliResult damaged = runCli(env, {u"list"_s});
        QVERIFY2(damaged.exitCode == 1 && damaged.err.contains("malformed"),
                 (damaged.out + damaged.err).constData());
        QVERIFY(damaged.err.endsWith("\nThe database file " + path.toUtf8() +
                                     " is damaged; restore it from a backup.\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliStore)
#include "tst_cli_store.moc"
