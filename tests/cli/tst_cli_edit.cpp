// sbk-cli edit and delete: what is refused (nothing changes), then a group edit, a one-style edit
// and a delete that empties the banks, with the exit codes of each step.

#include "CliRunner.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Styles 1 "Bossa", 2 "Ballad", 3 "Alpine" of group "OLD", and bank 1 holding 3, 1, 2.
QString fill(const TestEnvironment& env) {
    const QString path = env.createDatabase();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"fill"_s);
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (!db.open() ||
            !query.exec(
                u"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc, StyleCat) VALUES "
                "(1, 'Bossa', 'B1', 'OLD'), (2, 'Ballad', 'B2', 'OLD'), (3, 'Alpine', 'A3', 'OLD')"_s) ||
            !query.exec(u"INSERT INTO KORFBanks (BankProg, BankName, BankStyle01, BankStyle02, BankStyle03) "
                        "VALUES (1, 'PARTY', 3, 1, 2)"_s))
            qFatal("cannot fill the database");
    }
    QSqlDatabase::removeDatabase(u"fill"_s);
    return path;
}

// "number name desc group author" of every style, as list --json tells them.
QStringList styles(const TestEnvironment& env, const QString& db) {
    const CliResult result = runCli(env, {u"--db"_s, db, u"list"_s, u"--json"_s});
    QStringList rows;
    for (const QJsonValue& value : QJsonDocument::fromJson(result.out).array()) {
        const QJsonObject row = value.toObject();
        rows << u"%1 %2 %3 %4 [%5]"_s.arg(row.value(u"StyleProg"_s).toInt())
                    .arg(row.value(u"StyleName1"_s).toString(), row.value(u"StyleDesc"_s).toString(),
                         row.value(u"StyleCat"_s).toString(), row.value(u"StyleAuthor"_s).toString());
    }
    return rows;
}

} // namespace

class TestCliEdit : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing to change") << QStringList{u"edit"_s, u"1"_s} << 2 << "at least one of";
        QTest::newRow("name of two") << QStringList{u"edit"_s, u"1"_s, u"2"_s, u"--name"_s, u"X"_s} << 2
                                     << "exactly one STYLE";
        QTest::newRow("no number") << QStringList{u"edit"_s, u"one"_s, u"--group"_s, u"G"_s} << 2
                                   << "must be a style number";
        QTest::newRow("too long") << QStringList{u"edit"_s, u"1"_s, u"--family"_s, QString(21, u'F')} << 2
                                  << "at most 20 characters";
        QTest::newRow("no one-byte form")
            << QStringList{u"edit"_s, u"1"_s, u"--author"_s, u"名"_s} << 2 << "cannot carry";
        QTest::newRow("one not stored") << QStringList{u"edit"_s, u"1"_s, u"99"_s, u"--group"_s, u"NEW"_s}
                                        << 1 << "There is no style 99.";
        QTest::newRow("no terminal") << QStringList{u"delete"_s, u"1"_s} << 1 << "give --yes";
        QTest::newRow("delete not stored")
            << QStringList{u"delete"_s, u"1"_s, u"99"_s, u"--yes"_s} << 1 << "There is no style 99.";
    }

    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, text);
        TestEnvironment env;
        const QString db = fill(env);
        const QStringList before = styles(env, db);
        const CliResult result = runCli(env, QStringList{u"--db"_s, db} + args);
        QCOMPARE(result.exitCode, status);
        QVERIFY2(QString::fromUtf8(result.err).contains(text), result.err.constData());
        QCOMPARE(styles(env, db), before);
    }

    void editAndDelete() {
        TestEnvironment env;
        const QString db = fill(env);
        CliResult r = runCli(env, {u"--db"_s, db, u"edit"_s, u"1"_s, u"2"_s, u"--group"_s, u"LATIN"_s,
                                   u"--author"_s, QString()});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("2 style(s) updated\n"));
        r = runCli(env,
                   {u"--db"_s, db, u"edit"_s, u"3"_s, u"--name"_s, u"Alps"_s, u"--desc"_s, u"Mountain"_s});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(styles(env, db), (QStringList{u"1 Bossa B1 LATIN [ ]"_s, u"2 Ballad B2 LATIN [ ]"_s,
                                               u"3 Alps Mountain OLD []"_s}));

        r = runCli(env, {u"--db"_s, db, u"delete"_s, u"3"_s, u"1"_s, u"--yes"_s});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("2 style(s) deleted; 1 stored bank(s) held them and were changed\n"));
        QCOMPARE(styles(env, db), QStringList{u"2 Ballad B2 LATIN [ ]"_s});
        r = runCli(env, {u"--db"_s, db, u"bank-show"_s, u"PARTY"_s, u"--json"_s});
        QList<int> kept;
        for (const QJsonValue& slot : QJsonDocument::fromJson(r.out).object().value(u"Slots"_s).toArray())
            kept << slot.toObject().value(u"StyleProg"_s).toInt();
        QCOMPARE(kept.first(), 2);
        QCOMPARE(kept.count(0), 31);
    }
};

QTEST_GUILESS_MAIN(TestCliEdit)
#include "tst_cli_edit.moc"
