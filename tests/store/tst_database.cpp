#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "TestEnvironment.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

// Runs statements on a file through a connection of its own, as another program would.
void rawExec(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(path);
        QVERIFY(raw.open());
        QSqlQuery q(raw);
        for (const QString& statement : statements)
            QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
}

QList<int> ints(QSqlDatabase db, const QString& sql) {
    QSqlQuery query(db);
    QList<int> values;
    if (query.exec(sql))
        while (query.next())
            values << query.value(0).toInt();
    return values;
}

void insertStyle(QSqlDatabase db, qint32 prog, const QString& name, const QString& desc = {}) {
    DbKORFStyle style(db);
    style.setStyleProg(prog);
    style.setStyleName1(name);
    style.setStyleDesc(desc);
    QVERIFY2(style.InsKORFStyles(), qPrintable(style.clsKORFStylesError()));
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textSizesAreEnforced_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("size");
        QTest::newRow("name1") << "KORFStyles"
                               << "StyleName1" << 28;
        QTest::newRow("date") << "KORFStyles" << "StyleDate" << 10;
        QTest::newRow("desc") << "KORFStyles" << "StyleDesc" << 250;
        QTest::newRow("group") << "KORFStyles" << "StyleCat" << 20;
        QTest::newRow("author") << "KORFStyles" << "StyleAuthor" << 50;
        QTest::newRow("bank name") << "KORFBanks" << "BankName" << 50;
    }
    void textSizesAreEnforced() {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(int, size);
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        QSqlQuery query(db->connection());
        auto insert = [&](int key, int length) {
            query.prepare(QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)")
                              .arg(table, table == QLatin1String("KORFBanks") ? "BankProg" : "StyleProg", column));
            query.addBindValue(key);
            query.addBindValue(QString(length, QChar(0xE9)));
            return query.exec();
        };
        QVERIFY(insert(1, size)); // counted in characters, not bytes
        QVERIFY(!insert(2, size + 1));
        QVERIFY2(Database::errorText(query.lastError())
                     .endsWith(QStringLiteral(" holds more than %1 characters").arg(size)),
                 qPrintable(Database::errorText(query.lastError())));
    }

    void textIgnoresCase() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        insertStyle(db->connection(), 1, QStringLiteral("beta"));
        insertStyle(db->connection(), 2, QStringLiteral("Alpha"));
        insertStyle(db->connection(), 3, QStringLiteral("GAMMA"));
        QCOMPARE(ints(db->connection(), QStringLiteral("SELECT STYLEPROG FROM korfstyles WHERE STYLENAME1 = 'ALPHA'")),
                 QList<int>{2});
        QCOMPARE(ints(db->connection(), QStringLiteral("SELECT StyleProg FROM KORFStyles WHERE StyleName1 LIKE 'g%'")),
                 QList<int>{3});
        QCOMPARE(ints(db->connection(), QStringLiteral("SELECT StyleProg FROM KORFStyles ORDER BY STYLENAME1")),
                 (QList<int>{2, 1, 3}));
    }

    void query1HasEveryBank() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        insertStyle(db->connection(), 7, QStringLiteral("Seven"), QStringLiteral("Desc 7"));
        DbKORFBank bank(db->connection());
        bank.setBankProg(1);
        bank.setSlotValues({7, 99, 7}); // 99 is not stored
        QVERIFY(bank.InsKORFBanks());
        bank.setBankProg(2);
        bank.setSlotValues({});
        QVERIFY(bank.InsKORFBanks());

        QSqlQuery query(db->connection());
        QVERIFY(query.exec(QStringLiteral("SELECT * FROM QUERY1 ORDER BY BANKPROG")));
        QVERIFY(query.next());
        QCOMPARE(query.value(QStringLiteral("01Name")).toString(), QStringLiteral("Seven"));
        QCOMPARE(query.value(QStringLiteral("03Desc")).toString(), QStringLiteral("Desc 7"));
        QCOMPARE(query.value(QStringLiteral("02Prog")).toInt(), 99);
        QVERIFY(query.value(QStringLiteral("02Name")).isNull());
        QCOMPARE(query.value(QStringLiteral("32Prog")).toInt(), 0);
        QVERIFY(query.next()); // the empty bank has its row too
        QVERIFY(!query.next());
    }

    void duplicateSearchUsesTheIndex() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        QSqlQuery query(db->connection());
        QVERIFY(query.exec(QStringLiteral("EXPLAIN QUERY PLAN SELECT StyleProg FROM KORFStyles WHERE StyleSeek = x'00' "
                                          "AND StyleLength1 = 1 AND StyleLength2 = 2")));
        QVERIFY(query.next());
        QVERIFY2(query.value(3).toString().contains(QStringLiteral("KORFStyles_Seek")), qPrintable(query.value(3).toString()));
    }

    void refusesFilesItCannotReadAndLeavesThemAlone_data() {
        QTest::addColumn<QStringList>("change"); // statements that spoil a new database; empty: a text file
        QTest::addColumn<QString>("why");
        QTest::newRow("text file") << QStringList{} << "not an SBK database";
        QTest::newRow("other program")
            << QStringList{"PRAGMA application_id = 0", "DROP VIEW QUERY1", "DROP TABLE KORFBanks"}
            << "not an SBK database";
        QTest::newRow("newer version") << QStringList{QStringLiteral("PRAGMA user_version = %1").arg(Database::SchemaVersion + 1)}
                                       << "newer version";
    }
    void refusesFilesItCannotReadAndLeavesThemAlone() {
        QFETCH(QStringList, change);
        QFETCH(QString, why);
        TestEnvironment env;
        const QString path = env.path(QStringLiteral("file.mdb"));
        if (change.isEmpty()) {
            env.writeFile(QStringLiteral("file.mdb"), QByteArray("just some text\n").repeated(100));
        } else {
            Database::createEmpty(path);
            rawExec(path, change);
        }
        const QByteArray before = TestEnvironment::readFile(path);
        try {
            Database db(path);
            QFAIL("the file was opened");
        } catch (const SbkError& error) {
            QVERIFY2(error.message().contains(path) && error.message().contains(why), qPrintable(error.message()));
        }
        QCOMPARE(TestEnvironment::readFile(path), before);
    }

    void acceptsTablesMadeByAnotherProgramWithoutAlteringThem() {
        TestEnvironment env;
        const QString path = env.path(QStringLiteral("foreign.mdb"));
        QString banks = QStringLiteral("CREATE TABLE KORFBANKS (BANKPROG int, BANKNAME text, BANKDESC text");
        for (int k = 1; k <= 32; ++k)
            banks += QStringLiteral(", BANKSTYLE%1 int").arg(k, 2, 10, QLatin1Char('0'));
        rawExec(path, {QStringLiteral("CREATE TABLE korfstyles (STYLEPROG int, STYLENAME1 text, STYLENAME2 text, "
                                      "STYLELENGTH1 int, STYLELENGTH2 int, STYLECONTENT1 blob, STYLECONTENT2 blob, "
                                      "STYLESEEK blob, STYLEDATE text, STYLEDESC text, STYLECAT text, "
                                      "STYLEFAMILY text, STYLEFILE text, STYLEAUTHOR text)"),
                       banks + QLatin1Char(')')});
        const QByteArray before = TestEnvironment::readFile(path);
        {
            Database db(path);
            QSqlQuery q(db.connection());
            QVERIFY2(q.exec(QStringLiteral("SELECT * FROM QUERY1")), qPrintable(q.lastError().text()));
            // Without a table for their directory, newer bank files are refused, not imported half.
            KORFStyles styles;
            styles.Add(1, "Newer", "", 10, 0, QByteArray::fromHex("06000030000000020102"), QByteArray());
            KORFLibrary::WriteOptions options;
            options.layout = KORFLibrary::Layout::Newer;
            const QString newer =
                env.writeFile(QStringLiteral("NEW.STY"), KORFLibrary::encodeCollection(styles, options));
            StyImport import(db.connection());
            QVERIFY(
                import.run(newer, false, {}, {}, {}).contains(QStringLiteral("cannot keep its directory")));
            QCOMPARE(import.filesSkipped(), 1);
        }
        QCOMPARE(TestEnvironment::readFile(path), before);
        QVERIFY_THROWS_EXCEPTION(SbkError, Database{env.path(QStringLiteral("missing.mdb"))});
        QVERIFY(!QFile::exists(env.path(QStringLiteral("missing.mdb"))));
    }

    void migratesTheFirstVersionInPlace() {
        TestEnvironment env;
        // A database as the first version made it: names of 16 characters, no entries table.
        QStringList firstVersion;
        for (QString statement : Database::schemaStatements()) {
            if (statement.contains(QStringLiteral("KORFEntries")))
                continue;
            firstVersion << statement
                                .replace(QStringLiteral("user_version = 2"),
                                         QStringLiteral("user_version = 1"))
                                .replace(QStringLiteral(") <= 28)"), QStringLiteral(") <= 16)"));
        }
        const QString path = env.path(QStringLiteral("v1.mdb"));
        QStringList rows = firstVersion;
        rows << QStringLiteral(
                    "INSERT INTO KORFStyles VALUES (1, 'Sixteen letters.', 'Second', 3, 1, x'00ff0a', "
                    "x'0d', x'00ff0a', '2024/01/02', 'Desc', 'Grp', 'Fam', 'F.STY', 'Me')")
             << QStringLiteral("INSERT INTO KORFStyles (StyleProg, StyleName1) VALUES (7, 'Seven')")
             << QStringLiteral("INSERT INTO KORFBanks (BankProg, BankName, BankStyle01, BankStyle02) VALUES "
                               "(1, 'B', 7, 1)");
        rawExec(path, rows);
        // What a file holds: its version, its schema and every row of both tables.
        auto snapshot = [&](QSqlDatabase db) {
            QStringList values;
            QSqlQuery query(db);
            for (const char* sql : {"PRAGMA user_version", "SELECT sql FROM sqlite_master ORDER BY name",
                                    "SELECT s.*, b.* FROM KORFStyles s, KORFBanks b ORDER BY s.StyleProg"}) {
                if (query.exec(QLatin1String(sql)))
                    while (query.next())
                        for (int i = 0; i < query.record().count(); ++i) {
                            const QVariant v = query.value(i);
                            values << (v.typeId() == QMetaType::QByteArray ? v.toByteArray().toHex()
                                                                           : v.toString());
                        }
            }
            return values;
        };
        auto rawSnapshot = [&] {
            QStringList values;
            {
                QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
                raw.setDatabaseName(path);
                if (raw.open())
                    values = snapshot(raw);
            }
            QSqlDatabase::removeDatabase(QStringLiteral("v1"));
            return values;
        };

        // A step that fails (a table in the way) leaves the file as it was.
        rawExec(path, {QStringLiteral("CREATE TABLE KORFStyles_v1 (x)")});
        const QStringList blocked = rawSnapshot();
        QVERIFY_THROWS_EXCEPTION(SbkError, Database{path});
        QCOMPARE(rawSnapshot(), blocked);
        rawExec(path, {QStringLiteral("DROP TABLE KORFStyles_v1")});

        const QStringList original = rawSnapshot();
        const QStringList rowsBefore = original.mid(original.size() - 2 * (14 + 35));
        QCOMPARE(rowsBefore.first(), QStringLiteral("1"));
        {
            Database db(path);
            const QStringList migrated = snapshot(db.connection());
            QCOMPARE(migrated.first(), QStringLiteral("2"));
            QCOMPARE(migrated.mid(migrated.size() - rowsBefore.size()), rowsBefore);
            QCOMPARE(ints(db.connection(), QStringLiteral("SELECT COUNT(*) FROM QUERY1")), QList<int>{1});
        }
        // Of the new version now, with the new version's schema (names of 28 characters included).
        QStringList fresh;
        {
            Database::createEmpty(env.path(QStringLiteral("v2.mdb")));
            Database db(env.path(QStringLiteral("v2.mdb")));
            fresh = snapshot(db.connection());
        }
        const QStringList now = rawSnapshot();
        QCOMPARE(now.mid(0, fresh.size()), fresh);
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
            }
            outer.commit();
        }
        {
            Transaction abandoned(db->connection());
            insertStyle(db->connection(), 3, QStringLiteral("dropped"));
        }
        QCOMPARE(ints(db->connection(), QStringLiteral("SELECT StyleProg FROM KORFStyles")), QList<int>{1});
    }

    void createEmptyNeverOverwrites() {
        TestEnvironment env;
        const QString path = env.writeFile(QStringLiteral("keep.mdb"), "precious");
        QVERIFY_THROWS_EXCEPTION(SbkError, Database::createEmpty(path));
        QCOMPARE(TestEnvironment::readFile(path), QByteArray("precious"));
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
