#include "CliRunner.h"
#include "core/SBKSettings.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

// A database made by "sbk-cli init" and filled the way another program would: plain SQL on the
// designed tables and columns.
QString independentDatabase(const TestEnvironment& env) {
    const QString path = env.path(QStringLiteral("filled.mdb"));
    if (runCli(env, {QStringLiteral("init"), path}).exitCode != 0)
        qFatal("init failed");
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("independent"));
    db.setDatabaseName(path);
    if (!db.open())
        qFatal("cannot open");
    QSqlQuery q(db);
    const QList<QStringList> styles{
        {QStringLiteral("1"), QStringLiteral("Bossa"), QStringLiteral("Latin"), QStringLiteral("Ann")},
        {QStringLiteral("2"), QStringLiteral("Ballad"), QStringLiteral("Pop"), QStringLiteral("Bob")},
        {QStringLiteral("3"), QStringLiteral("Alpine"), QStringLiteral("POP"), QStringLiteral("Ann")},
    };
    for (const QStringList& s : styles) {
        q.prepare(QStringLiteral(
            "INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc, StyleCat, StyleAuthor, "
            "StyleFamily, StyleDate, StyleContent1, StyleContent2, StyleSeek, StyleLength1, "
            "StyleLength2) VALUES (?, ?, ?, ?, ?, 'Fam', '2006/05/12', x'00ff', x'20', x'00ff', 2, 0)"));
        q.addBindValue(s[0].toInt());
        q.addBindValue(s[1]);
        q.addBindValue(s[1] + QStringLiteral(" desc"));
        q.addBindValue(s[2]);
        q.addBindValue(s[3]);
        if (!q.exec())
            qFatal("%s", qPrintable(q.lastError().text()));
    }
    q.exec(QStringLiteral(
        "INSERT INTO KORFBanks (BankProg, BankName, BankDesc, BankStyle01, BankStyle02, BankStyle03) "
        "VALUES (1, 'ZEBRA001', 'Bank Z', 2, 1, 2)"));
    q.exec(QStringLiteral("INSERT INTO KORFBanks (BankProg, BankName, BankDesc, BankStyle01) VALUES (2, "
                          "'ALPHA002', 'Bank A', 2)"));
    q.exec(QStringLiteral(
        "INSERT INTO KORFBanks (BankProg, BankName, BankDesc) VALUES (3, 'EMPTY003', 'Bank E')"));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("independent"));
    return path;
}

QJsonArray json(const CliResult& result) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(result.out, &error);
    if (error.error != QJsonParseError::NoError)
        qWarning() << result.out << result.err;
    return doc.array();
}

} // namespace

class TestCliStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exitStatusAndHelp_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << "where-is";
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0 << "SBK 1.2";
        QTest::newRow("no command") << QStringList{} << 2 << "no command";
        QTest::newRow("unknown command")
            << QStringList{QStringLiteral("frobnicate")} << 2 << "unknown command";
        QTest::newRow("bad sort") << QStringList{QStringLiteral("list"), QStringLiteral("--sort"),
                                                 QStringLiteral("size")}
                                  << 2 << "size";
        QTest::newRow("where-is without style") << QStringList{QStringLiteral("where-is")} << 2 << "STYLE";
        QTest::newRow("missing db") << QStringList{QStringLiteral("--db"),
                                                   QStringLiteral("/nonexistent/x.mdb"),
                                                   QStringLiteral("list")}
                                    << 1 << "/nonexistent/x.mdb";
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

    void initRefusesToOverwrite() {
        TestEnvironment env;
        const QString path = env.path(QStringLiteral("new.mdb"));
        QCOMPARE(runCli(env, {QStringLiteral("init"), path}).exitCode, 0);
        QVERIFY(QFile::exists(path));
        const QByteArray before = TestEnvironment::readFile(path);
        const CliResult again = runCli(env, {QStringLiteral("init"), path});
        QCOMPARE(again.exitCode, 1);
        QVERIFY(again.err.contains("exists"));
        QCOMPARE(TestEnvironment::readFile(path), before);
        const CliResult listed =
            runCli(env, {QStringLiteral("--db"), path, QStringLiteral("list"), QStringLiteral("--json")});
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(json(listed).size(), 0);
    }

    void listOnAnIndependentlyFilledDatabase() {
        TestEnvironment env;
        const QString path = independentDatabase(env);
        const CliResult all =
            runCli(env, {QStringLiteral("--db"), path, QStringLiteral("list"), QStringLiteral("--json")});
        QCOMPARE(all.exitCode, 0);
        const QJsonArray rows = json(all);
        QCOMPARE(rows.size(), 3);
        const QJsonObject first = rows.at(0).toObject();
        QCOMPARE(first.keys(), (QStringList{QStringLiteral("StyleAuthor"), QStringLiteral("StyleCat"),
                                            QStringLiteral("StyleDate"), QStringLiteral("StyleDesc"),
                                            QStringLiteral("StyleFamily"), QStringLiteral("StyleName1"),
                                            QStringLiteral("StyleProg")}));
        QCOMPARE(first.value(QStringLiteral("StyleName1")).toString(), QStringLiteral("Bossa"));
        QCOMPARE(first.value(QStringLiteral("StyleDate")).toString(), QStringLiteral("2006/05/12"));

        const CliResult pop =
            runCli(env, {QStringLiteral("--db"), path, QStringLiteral("list"), QStringLiteral("--json"),
                         QStringLiteral("--group"), QStringLiteral("pop"), QStringLiteral("--sort"),
                         QStringLiteral("name")});
        QCOMPARE(pop.exitCode, 0);
        const QJsonArray popRows = json(pop);
        QCOMPARE(popRows.size(), 2);
        QCOMPARE(popRows.at(0).toObject().value(QStringLiteral("StyleProg")).toInt(), 3);
        QCOMPARE(popRows.at(1).toObject().value(QStringLiteral("StyleProg")).toInt(), 2);

        const CliResult text =
            runCli(env, {QStringLiteral("--db"), path, QStringLiteral("list"), QStringLiteral("--author"),
                         QStringLiteral("ann"), QStringLiteral("--sort"), QStringLiteral("name:desc")});
        QCOMPARE(text.exitCode, 0);
        QVERIFY(text.out.indexOf("Bossa") < text.out.indexOf("Alpine"));
        QVERIFY(text.out.contains("2 styles available - Database filtering is active"));
    }

    void whereIsReadsQuery1() {
        TestEnvironment env;
        const QString path = independentDatabase(env);
        const CliResult found = runCli(env, {QStringLiteral("--db"), path, QStringLiteral("where-is"),
                                             QStringLiteral("2"), QStringLiteral("--json")});
        QCOMPARE(found.exitCode, 0);
        const QJsonArray banks = json(found);
        QCOMPARE(banks.size(), 2);
        QCOMPARE(banks.at(0).toObject().value(QStringLiteral("BankName")).toString(),
                 QStringLiteral("ALPHA002"));
        QCOMPARE(banks.at(1).toObject().value(QStringLiteral("Slots")).toArray(), (QJsonArray{1, 3}));

        const CliResult none =
            runCli(env, {QStringLiteral("--db"), path, QStringLiteral("where-is"), QStringLiteral("3")});
        QCOMPARE(none.exitCode, 0);
        QVERIFY(none.out.contains("Selected style cannot be found in any bank!"));
    }

    void defaultDatabaseComesFromTheSettings() {
        TestEnvironment env;
        const QString path = independentDatabase(env);
        SBKSettings().setValue(SBKSettings::Path, SBKSettings::Database, path);
        const CliResult result = runCli(env, {QStringLiteral("list"), QStringLiteral("--json")});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(json(result).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestCliStore)
#include "tst_cli_store.moc"
