// sbk-cli bank-save, bank-delete and bank-print: a bank kept, refused, overwritten, printed and
// deleted, with the exit codes of each step.

#include "CliRunner.h"
#include "PdfText.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A database with the styles 1 "Bossa", 2 "Ballad", 3 "Alpine" (descriptions "B1", "B2", "A3").
QString databaseWithStyles(const TestEnvironment& env) {
    const QString path = env.createDatabase();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fill"_s);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (!db.open() || !query.exec(u"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc) VALUES "
                                      "(1, 'Bossa', 'B1'), (2, 'Ballad', 'B2'), (3, 'Alpine', 'A3')"_s))
            qFatal("cannot fill the database");
    }
    QSqlDatabase::removeDatabase(u"fill"_s);
    return path;
}

// "NUMBER NAME DESC: style,style,..." of a bank, as bank-show --json tells it.
QString shown(const TestEnvironment& env, const QString& db, const QString& bank) {
    const CliResult result = runCli(env, {u"--db"_s, db, u"bank-show"_s, bank, u"--json"_s});
    const QJsonObject object = QJsonDocument::fromJson(result.out).object();
    QStringList styles;
    for (const QJsonValue& slot : object.value(u"Slots"_s).toArray())
        if (const int style = slot.toObject().value(u"StyleProg"_s).toInt())
            styles << QString::number(style);
    return u"%1 %2 %3: %4"_s.arg(object.value(u"BankProg"_s).toInt())
        .arg(object.value(u"BankName"_s).toString(), object.value(u"BankDesc"_s).toString(),
             styles.join(u','));
}

} // namespace

class TestCliBanks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QStringList many{u"bank-save"_s, u"BIG"_s};
        for (int i = 0; i < 33; ++i)
            many << u"1"_s;
        QTest::newRow("33 styles") << many << 2 << "at most 32 styles";
        QTest::newRow("not a number") << QStringList{u"bank-save"_s, u"X"_s, u"two"_s} << 2 << "two";
        QTest::newRow("style not stored")
            << QStringList{u"bank-save"_s, u"X"_s, u"1"_s, u"9"_s} << 1 << "There is no style 9.";
        QTest::newRow("no one-byte form")
            << QStringList{u"bank-save"_s, u"X"_s, u"--desc"_s, u"\u4e00"_s, u"1"_s} << 1
            << "Western European";
        QTest::newRow("print without --pdf") << QStringList{u"bank-print"_s, u"1"_s} << 2 << "--pdf";
        QTest::newRow("print an unknown bank")
            << QStringList{u"bank-print"_s, u"NOPE"_s, u"--pdf"_s, u"x.pdf"_s} << 1
            << "There is no bank NOPE.";
    }
    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, text);
        TestEnvironment env;
        const QString db = databaseWithStyles(env);
        const CliResult result = runCli(env, QStringList{u"--db"_s, db} + args);
        QCOMPARE(result.exitCode, status);
        QVERIFY2(result.err.contains(text.toUtf8()), result.err);
        QCOMPARE(runCli(env, {u"--db"_s, db, u"banks"_s}).out, QByteArray("No bank stored\n"));
    }

    void saveOverwritePrintDelete() {
        TestEnvironment env;
        const QString db = databaseWithStyles(env);
        const auto cli = [&](const QStringList& args) {
            return runCli(env, QStringList{u"--db"_s, db} + args);
        };

        QCOMPARE(
            cli({u"bank-save"_s, u"PARTY"_s, u"--desc"_s, u"Saturday"_s, u"3"_s, u"1"_s, u"3"_s}).exitCode,
            0);
        QCOMPARE(cli({u"bank-save"_s, u"OTHER"_s, u"2"_s}).exitCode, 0);
        QCOMPARE(shown(env, db, u"PARTY"_s), u"1 PARTY Saturday: 3,1,3"_s);
        // A name in use is refused, and overwritten only with --replace: same number, the
        // description kept when none is given.
        const CliResult refused = cli({u"bank-save"_s, u"PARTY"_s, u"2"_s});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY(refused.err.contains("--replace"));
        QCOMPARE(cli({u"bank-save"_s, u"PARTY"_s, u"2"_s, u"1"_s, u"--replace"_s}).exitCode, 0);
        QCOMPARE(shown(env, db, u"1"_s), u"1 PARTY Saturday: 2,1"_s);

        // The printed page: name, description and a line per stored style; a deleted style leaves
        // no line.
        QSqlDatabase check = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
        check.setDatabaseName(db);
        QVERIFY(check.open());
        QVERIFY(QSqlQuery(check).exec(u"DELETE FROM KORFStyles WHERE StyleProg = 2"_s));
        const QString pdf = env.path(u"party.pdf"_s);
        const CliResult printed = cli({u"bank-print"_s, u"PARTY"_s, u"--pdf"_s, pdf});
        QCOMPARE(printed.exitCode, 0);
        QVERIFY(printed.out.contains("1 styles"));
        const std::optional<QStringList> lines = pdfLines(pdf);
        if (lines)
            QCOMPARE(*lines, (QStringList{u"PARTY"_s, u"Saturday"_s, u"Bossa B1"_s}));

        // Deleting asks on the terminal; without one only --yes confirms.
        const CliResult unconfirmed = cli({u"bank-delete"_s, u"PARTY"_s});
        QCOMPARE(unconfirmed.exitCode, 1);
        QVERIFY(unconfirmed.err.contains("--yes"));
        const CliResult deleted = cli({u"bank-delete"_s, u"PARTY"_s, u"--yes"_s});
        QCOMPARE(deleted.exitCode, 0);
        QSqlQuery left(check);
        QVERIFY(left.exec(u"SELECT BankName FROM KORFBanks"_s) && left.next());
        QCOMPARE(left.value(0).toString(), u"OTHER"_s);
        QVERIFY(!left.next());
        if (!lines)
            QSKIP("pdftotext (poppler-utils) is not installed");
    }
};

QTEST_GUILESS_MAIN(TestCliBanks)
#include "tst_cli_banks.moc"
