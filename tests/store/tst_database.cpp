#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"
#include "TestEnvironment.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

QByteArray fileHash(const QString& path) {
    return QCryptographicHash::hash(TestEnvironment::readFile(path), QCryptographicHash::Sha256);
}

void insertStyle(QSqlDatabase db, qint32 prog, const QString& name, const QString& desc = {}) {
    DbKORFStyle style(db);
    style.setStyleProg(prog);
    style.setStyleName1(name);
    style.setStyleDesc(desc);
    style.setStyleContent1(QByteArray::number(prog));
    QVERIFY2(style.InsKORFStyles(), qPrintable(style.clsKORFStylesError()));
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textSizesAreEnforced_data() {
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("size");
        QTest::newRow("name1") << "StyleName1" << 16;
        QTest::newRow("name2") << "StyleName2" << 16;
        QTest::newRow("date") << "StyleDate" << 10;
        QTest::newRow("desc") << "StyleDesc" << 250;
        QTest::newRow("group") << "StyleCat" << 20;
        QTest::newRow("family") << "StyleFamily" << 20;
        QTest::newRow("file") << "StyleFile" << 20;
        QTest::newRow("author") << "StyleAuthor" << 50;
    }
    void textSizesAreEnforced() {
        QFETCH(QString, column);
        QFETCH(int, size);
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        QSqlQuery query(db->connection());
        auto insert = [&](int prog, int length) {
            query.prepare(QStringLiteral("INSERT INTO KORFStyles (StyleProg, %1) VALUES (?, ?)").arg(column));
            query.addBindValue(prog);
            query.addBindValue(QString(length, QChar(0xE9)));
            return query.exec();
        };
        QVERIFY(insert(1, size)); // counted in characters, not bytes
        QVERIFY(!insert(2, size + 1));
        QVERIFY(query.lastError().databaseText().contains(QStringLiteral("CHECK constraint failed")));
    }

    void bankSizesAndKeys() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        DbKORFBank bank(db->connection());
        bank.setBankProg(1);
        bank.setBankName(QString(51, QLatin1Char('N')));
        QVERIFY(!bank.InsKORFBanks());
        QVERIFY(bank.clsKORFBanksError().at(0).isDigit());
        QVERIFY(bank.clsKORFBanksError().contains(QStringLiteral(" CHECK constraint failed")));
        bank.setBankName(QString(50, QLatin1Char('N')));
        bank.setBankDesc(QString(251, QLatin1Char('D')));
        QVERIFY(!bank.InsKORFBanks());
        bank.setBankDesc(QString(250, QLatin1Char('D')));
        QVERIFY(bank.InsKORFBanks());
        QCOMPARE(bank.clsKORFBanksError(), QString());
        QVERIFY(!bank.InsKORFBanks()); // the same BankProg again
        QVERIFY(bank.clsKORFBanksError().contains(QStringLiteral("UNIQUE")));
    }

    void textIgnoresCaseNamesIgnoreCase() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        insertStyle(db->connection(), 1, QStringLiteral("beta"));
        insertStyle(db->connection(), 2, QStringLiteral("Alpha"));
        insertStyle(db->connection(), 3, QStringLiteral("GAMMA"));
        QSqlQuery query(db->connection());
        QVERIFY(query.exec(QStringLiteral("SELECT STYLEPROG FROM KORFSTYLES WHERE STYLENAME1 = 'ALPHA'")));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toInt(), 2);
        QVERIFY(query.exec(QStringLiteral("SELECT stylename1 FROM korfstyles WHERE StyleName1 LIKE 'g%'")));
        QVERIFY(query.next());
        QCOMPARE(query.value(QStringLiteral("StyleName1")).toString(), QStringLiteral("GAMMA"));
        QVERIFY(query.exec(QStringLiteral("SELECT StyleProg FROM KORFStyles ORDER BY STYLENAME1")));
        QList<int> order;
        while (query.next())
            order << query.value(0).toInt();
        QCOMPARE(order, (QList<int>{2, 1, 3}));
    }

    void query1HasEveryBank() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        insertStyle(db->connection(), 7, QStringLiteral("Seven"), QStringLiteral("Desc 7"));
        DbKORFBank bank(db->connection());
        bank.setBankProg(1);
        bank.setBankName(QStringLiteral("B1"));
        bank.setBankStyle01(7);
        bank.setBankStyle02(99); // a style that is not stored
        bank.setBankStyle03(7);
        QVERIFY(bank.InsKORFBanks());
        bank.setBankProg(2);
        bank.setSlotValues({});
        QVERIFY(bank.InsKORFBanks());

        QSqlQuery query(db->connection());
        QVERIFY(query.exec(QStringLiteral("SELECT * FROM QUERY1 ORDER BY BANKPROG")));
        QVERIFY(query.next());
        QCOMPARE(query.value(QStringLiteral("01Prog")).toInt(), 7);
        QCOMPARE(query.value(QStringLiteral("01Name")).toString(), QStringLiteral("Seven"));
        QCOMPARE(query.value(QStringLiteral("01Desc")).toString(), QStringLiteral("Desc 7"));
        QCOMPARE(query.value(QStringLiteral("02Prog")).toInt(), 99);
        QVERIFY(query.value(QStringLiteral("02Name")).isNull());
        QCOMPARE(query.value(QStringLiteral("04Prog")).toInt(), 0);
        QCOMPARE(query.value(QStringLiteral("32Prog")).toInt(), 0);
        QVERIFY(query.next()); // the empty bank has its row too
        QCOMPARE(query.value(QStringLiteral("BankProg")).toInt(), 2);
        QVERIFY(!query.next());
    }

    void duplicateSearchUsesTheIndex() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        QSqlQuery query(db->connection());
        QVERIFY(query.exec(
            QStringLiteral("EXPLAIN QUERY PLAN SELECT StyleProg FROM KORFStyles WHERE StyleSeek = x'00' "
                           "AND StyleLength1 = 1 AND StyleLength2 = 2")));
        QString plan;
        while (query.next())
            plan += query.value(3).toString();
        QVERIFY2(plan.contains(QStringLiteral("KORFStyles_Seek")), qPrintable(plan));
    }

    void refusesFilesItCannotRead() {
        TestEnvironment env;
        // Not a database at all.
        const QString text =
            env.writeFile(QStringLiteral("notes.mdb"), QByteArray("just some text\n").repeated(100));
        const QByteArray before = fileHash(text);
        try {
            Database db(text);
            QFAIL("a text file was opened as a database");
        } catch (const SbkError& error) {
            QVERIFY(error.message().contains(text));
        }
        QCOMPARE(fileHash(text), before);

        // A database of some other program.
        const QString other = env.path(QStringLiteral("other.db"));
        {
            Database::createEmpty(other); // then make it foreign
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            raw.setDatabaseName(other);
            QVERIFY(raw.open());
            QSqlQuery q(raw);
            QVERIFY(q.exec(QStringLiteral("PRAGMA application_id = 0")));
            QVERIFY(q.exec(QStringLiteral("DROP VIEW QUERY1")));
            QVERIFY(q.exec(QStringLiteral("DROP TABLE KORFBanks")));
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
        const QByteArray otherBefore = fileHash(other);
        QVERIFY_THROWS_EXCEPTION(SbkError, Database{other});
        QCOMPARE(fileHash(other), otherBefore);

        // A file of a newer version.
        const QString newer = env.path(QStringLiteral("newer.mdb"));
        Database::createEmpty(newer);
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw2"));
            raw.setDatabaseName(newer);
            QVERIFY(raw.open());
            QSqlQuery q(raw);
            QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = %1").arg(Database::SchemaVersion + 1)));
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw2"));
        const QByteArray newerBefore = fileHash(newer);
        try {
            Database db(newer);
            QFAIL("a newer database was opened");
        } catch (const SbkError& error) {
            QVERIFY(error.message().contains(QStringLiteral("newer version")));
            QVERIFY(error.message().contains(newer));
        }
        QCOMPARE(fileHash(newer), newerBefore);

        QVERIFY_THROWS_EXCEPTION(SbkError, Database{env.path(QStringLiteral("missing.mdb"))});
        QVERIFY(!QFile::exists(env.path(QStringLiteral("missing.mdb"))));
    }

    void acceptsTablesFilledByAnotherProgram() {
        // Another program made the two tables with the designed columns, without our mark or QUERY1.
        TestEnvironment env;
        const QString path = env.path(QStringLiteral("foreign.mdb"));
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw3"));
            raw.setDatabaseName(path);
            QVERIFY(raw.open());
            QSqlQuery q(raw);
            QVERIFY(q.exec(
                QStringLiteral("CREATE TABLE korfstyles (STYLEPROG int, STYLENAME1 text, STYLENAME2 text, "
                               "STYLELENGTH1 int, STYLELENGTH2 int, STYLECONTENT1 blob, STYLECONTENT2 blob, "
                               "STYLESEEK blob, STYLEDATE text, STYLEDESC text, STYLECAT text, "
                               "STYLEFAMILY text, STYLEFILE text, STYLEAUTHOR text)")));
            QString banks =
                QStringLiteral("CREATE TABLE KORFBANKS (BANKPROG int, BANKNAME text, BANKDESC text");
            for (int k = 1; k <= 32; ++k)
                banks += QStringLiteral(", BANKSTYLE%1 int").arg(k, 2, 10, QLatin1Char('0'));
            QVERIFY(q.exec(banks + QLatin1Char(')')));
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw3"));
        const QByteArray before = fileHash(path);
        {
            Database db(path);
            QSqlQuery q(db.connection());
            QVERIFY2(q.exec(QStringLiteral("SELECT * FROM QUERY1")), qPrintable(q.lastError().text()));
        }
        QCOMPARE(fileHash(path), before);
    }

    void transactionsRollBackUnlessCommitted() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        {
            Transaction outer(db->connection());
            insertStyle(db->connection(), 1, QStringLiteral("kept"));
            {
                Transaction inner(db->connection());
                insertStyle(db->connection(), 2, QStringLiteral("dropped"));
            } // inner rolls back
            outer.commit();
        }
        {
            Transaction abandoned(db->connection());
            insertStyle(db->connection(), 3, QStringLiteral("dropped"));
        }
        QSqlQuery query(db->connection());
        QVERIFY(query.exec(QStringLiteral("SELECT StyleProg FROM KORFStyles")));
        QList<int> rows;
        while (query.next())
            rows << query.value(0).toInt();
        QCOMPARE(rows, QList<int>{1});
    }

    void createEmptyNeverOverwrites() {
        TestEnvironment env;
        const QString path = env.writeFile(QStringLiteral("keep.mdb"), "precious");
        QVERIFY_THROWS_EXCEPTION(SbkError, Database::createEmpty(path));
        QCOMPARE(TestEnvironment::readFile(path), QByteArray("precious"));
        QVERIFY_THROWS_EXCEPTION(SbkError,
                                 Database::createEmpty(env.path(QStringLiteral("no/such/folder/x.mdb"))));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
