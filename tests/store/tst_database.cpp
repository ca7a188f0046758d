#include "core/Progress.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/PageCacheScope.h"
#include "store/SchemaMigration.h"
#include "store/StyleListing.h"
#include "store/Transaction.h"
#include "store/WriteBehindScope.h"
#include "sty/KORFLibrary.h"
#include "sty/StyImport.h"
#include "sty/StyleFacts.h"
#include "StyleBlocks.h"
#include "TestEnvironment.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// What a file holds: its version, its schema and every row of both tables.
QStringList snapshot(QSqlDatabase db) {
    QStringList values;
    QSqlQuery query(db);
    for (const char* sql : {"PRAGMA user_version", "SELECT sql FROM sqlite_master ORDER BY name",
                            "SELECT s.*, b.* FROM KORFStyles s, KORFBanks b ORDER BY s.StyleProg"}) {
        if (query.exec(QLatin1String(sql)))
            while (query.next())
                for (int i = 0; i < query.record().count(); ++i) {
                    const QVariant v = query.value(i);
                    values << (v.typeId() == QMetaType::QByteArray ? v.toByteArray().toHex() : v.toString());
                }
    }
    return values;
}

// The same, read through a connection of its own, as another program would.
QStringList snapshot(const QString& path) {
    QStringList values;
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"raw"_s);
        raw.setDatabaseName(path);
        if (!raw.open())
            qFatal("cannot open %s", qPrintable(path));
        values = snapshot(raw);
    }
    QSqlDatabase::removeDatabase(u"raw"_s);
    return values;
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void textSizesAreEnforced() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        QSqlQuery query(db->connection());
        auto insert = [&](int key, int length) {
            query.prepare(u"INSERT INTO KORFStyles (StyleProg, StyleName1) VALUES (?, ?)"_s);
            query.addBindValue(key);
            query.addBindValue(QString(length, QChar(0xE9)));
            return query.exec();
        };
        QVERIFY(insert(1, 28)); // counted in characters, not bytes
        QVERIFY(!insert(2, 29));
        const QString error = Database::errorText(query.lastError());
        QVERIFY2(error.endsWith(u" holds more than 28 characters"_s), qPrintable(error));
    }

    void refusesFilesItCannotReadAndLeavesThemAlone_data() {
        QTest::addColumn<QStringList>("change"); // statements that spoil a new database; empty: a text file
        QTest::addColumn<QString>("why");
        QTest::newRow("text file") << QStringList{} << "not an SBK database";
        QTest::newRow("other program")
            << QStringList{"PRAGMA application_id = 0", "DROP VIEW QUERY1", "DROP TABLE KORFBanks"}
            << "not an SBK database";
        QTest::newRow("newer version")
            << QStringList{u"PRAGMA user_version = %1"_s.arg(Database::SchemaVersion + 1)} << "newer version";
    }
    void refusesFilesItCannotReadAndLeavesThemAlone() {
        QFETCH(QStringList, change);
        QFETCH(QString, why);
        TestEnvironment env;
        const QString path = env.path(u"file.mdb"_s);
        if (change.isEmpty()) {
            env.writeFile(u"file.mdb"_s, QByteArray("just some text\n").repeated(100));
        } else {
            Database::createEmpty(path);
            runSql(path, change);
        }
        const QByteArray before = TestEnvironment::readFile(path);
        const QString error = errorOf([&] { Database db(path); });
        QVERIFY2(error.contains(path) && error.contains(why), qPrintable(error));
        QCOMPARE(TestEnvironment::readFile(path), before);
    }

    void acceptsTablesMadeByAnotherProgramWithoutAlteringThem() {
        TestEnvironment env;
        const QString path = env.createForeignDatabase();
        const QByteArray before = TestEnvironment::readFile(path);
        {
            Database db(path);
            QSqlQuery q(db.connection());
            QVERIFY2(q.exec(u"SELECT * FROM QUERY1"_s), qPrintable(q.lastError().text()));
            // Without the facts columns, the listing knows no tempo or meter, and filters on them find none.
            QVERIFY(StyleListing::GetAllStyles(db.connection(), u"METER = ?"_s, u"METER, TEMPO"_s, {u"4/4"_s})
                        .isEmpty());
            QVERIFY(StyleListing::metersPresent(db.connection()).isEmpty());
            // Without a table for their directory, newer bank files are refused, not imported half.
            KORFStyles styles;
            styles.Add(1, "Newer", "", 10, 0, QByteArray::fromHex("06000030000000020102"), QByteArray());
            KORFLibrary::WriteOptions options;
            options.layout = KORFLibrary::Layout::Newer;
            const QString newer = env.writeFile(u"NEW.STY"_s, KORFLibrary::encodeCollection(styles, options));
            StyImport import(db.connection());
            QVERIFY(import.run(newer, false, {}, {}, {}).contains("cannot keep its directory"_L1));
            QCOMPARE(import.filesSkipped(), 1);
        }
        QCOMPARE(TestEnvironment::readFile(path), before);
        QVERIFY_THROWS_EXCEPTION(SbkError, Database{env.path(u"missing.mdb"_s)});
        QVERIFY(!QFile::exists(env.path(u"missing.mdb"_s)));
    }

    void bringsOlderVersionsUpToDateInPlace_data() {
        QTest::addColumn<int>("version");
        QTest::newRow("first version") << 1;
        QTest::newRow("second version") << 2;
        QTest::newRow("third version") << 3;
    }
    void bringsOlderVersionsUpToDateInPlace() {
        QFETCH(int, version);
        TestEnvironment env;
        // A database as that version made it: no fingerprints; before the third, no style facts; in
        // the first, names of 16 characters and no entries table.
        const QStringList added = version < 3 ? Database::factsColumns() + Database::fingerprintColumns()
                                              : Database::fingerprintColumns();
        QStringList older;
        for (QString statement : Database::schemaStatements()) {
            if ((version == 1 && statement.contains("KORFEntries"_L1)) ||
                Database::fingerprintIndexes().contains(statement))
                continue;
            statement
                .replace(u"user_version = %1"_s.arg(Database::SchemaVersion),
                         u"user_version = %1"_s.arg(version))
                .replace(", " + added.join(", "_L1), QString());
            older << (version == 1 ? statement.replace(") <= 28)"_L1, ") <= 16)"_L1) : statement);
        }
        const QByteArray style = StyleBlocks::styleBlock(0x1B);
        const QByteArray performance = StyleBlocks::performanceBlock(96, true);
        const QString path = env.path(u"old.mdb"_s);
        const QString columns = u"StyleProg, StyleName1, StyleName2, StyleLength1, StyleLength2, "
                                "StyleContent1, StyleContent2, StyleSeek, StyleDate, StyleDesc, "
                                "StyleCat, StyleFamily, StyleFile, StyleAuthor"_s;
        runSql(path,
               older + QStringList{
                           u"INSERT INTO KORFStyles (%1) VALUES (1, 'Sixteen letters.', "
                           "'Second', 3, 1, x'00ff0a', x'0d', x'00ff0a', '2024/01/02', "
                           "'Desc', 'Grp', 'Fam', 'F.STY', 'Me')"_s.arg(columns),
                           u"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleContent1, "
                           "StyleContent2) VALUES (2, 'Facts', x'%1', x'%2')"_s.arg(
                               QString::fromLatin1(style.toHex()), QString::fromLatin1(performance.toHex())),
                           u"INSERT INTO KORFStyles (StyleProg, StyleName1) VALUES (7, 'Seven')"_s,
                           u"INSERT INTO KORFBanks (BankProg, BankName, BankStyle01, BankStyle02) "
                           "VALUES (1, 'B', 7, 1)"_s});
        // The third version keeps the facts it read: they stay as they are.
        if (version == 3)
            runSql(path, {u"UPDATE KORFStyles SET Tempo = 77 WHERE StyleProg = 1"_s,
                          u"UPDATE KORFStyles SET Tempo = 96, Meter = '3/8' WHERE StyleProg = 2"_s});
        const QStringList kept{u"SELECT %1, b.* FROM KORFStyles, KORFBanks b ORDER BY StyleProg"_s.arg(
            QString(columns)
                .replace("StyleContent1"_L1, "hex(StyleContent1)"_L1)
                .replace("StyleContent2"_L1, "hex(StyleContent2)"_L1)
                .replace("StyleSeek"_L1, "hex(StyleSeek)"_L1))};
        const QStringList rowsBefore = runSql(path, kept);

        // Without a reader of the blocks the step fails, and the file is left as it was; so it is
        // when the user cancels the upgrade.
        const QStringList original = snapshot(path);
        QVERIFY(errorOf([&] { Database db(path); }).contains("cannot be read here. It was not changed."_L1));
        QCOMPARE(snapshot(path), original);

        struct Recorder : Progress {
            QStringList calls;
            bool cancelling = false;
            void begin(qint64 total, const QString& label) override {
                calls << u"%1 %2"_s.arg(label).arg(total);
            }
            void step(qint64 done, const QString&) override { calls << QString::number(done); }
            void end() override { calls << u"end"_s; }
            bool cancelled() const override { return cancelling; }
        } progress;
        progress.cancelling = true;
        QVERIFY_THROWS_EXCEPTION(Database::UpgradeCancelled, Database(path, {&StyleFacts::read, &progress}));
        QCOMPARE(snapshot(path), original);
        progress = {};
        {
            Database db(path, {&StyleFacts::read, &progress});
            QCOMPARE(db.stylesWithoutFacts(), version < 3 ? 2 : 0);
            // The styles whose blocks do not decode are named, whichever version stored them.
            QCOMPARE(db.stylesDamaged().sentence(u"stored"_s),
                     u"2 stored styles are damaged: their blocks do not decode. They were kept as they "
                     "are: 1 Sixteen letters., 7 Seven."_s);
            QCOMPARE(queryRows(db.connection(), u"SELECT StyleProg, Tempo, Meter FROM KORFStyles"_s),
                     (QStringList{version < 3 ? u"1||"_s : u"1|77|"_s, u"2|96|3/8"_s, u"7||"_s}));
            // The fingerprints an import of the same blocks stores; blocks that do not decode have
            // the exact one alone.
            const StyleFactsValues read = StyleFacts::read(style, performance);
            QCOMPARE(queryRows(db.connection(), u"SELECT StyleProg, FingerprintExact IS NOT NULL, "
                                                "FingerprintRenamed, FingerprintSettings FROM KORFStyles "
                                                "WHERE StyleProg <> 2"_s),
                     (QStringList{u"1|1||"_s, u"7|1||"_s}));
            QCOMPARE(queryRows(db.connection(), u"SELECT FingerprintExact, FingerprintRenamed, "
                                                "FingerprintSettings FROM KORFStyles WHERE StyleProg = 2"_s),
                     QStringList{u"%1|%2|%3"_s.arg(*read.FingerprintExact)
                                     .arg(*read.FingerprintRenamed)
                                     .arg(*read.FingerprintSettings)});
            QCOMPARE(queryRows(db.connection(), kept.first()), rowsBefore);
            QCOMPARE(queryRows(db.connection(), u"SELECT COUNT(*) FROM QUERY1"_s), QStringList{u"1"_s});
        }
        QCOMPARE(progress.calls,
                 (QStringList{version < 3 ? u"Reading tempo and meter of the stored styles 3"_s
                                          : u"Reading the stored styles to find their copies 3"_s,
                              u"3"_s, u"end"_s}));
        // Of the new version now, with the new version's schema (names of 28 characters, the index
        // of the duplicate search, the facts and fingerprint columns and their indexes included).
        Database::createEmpty(env.path(u"new.mdb"_s));
        const QStringList fresh = snapshot(env.path(u"new.mdb"_s));
        QCOMPARE(snapshot(path).mid(0, fresh.size()), fresh);
    }

    void transactionsRollBackUnlessCommitted() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        const auto insert = [&](int prog) {
            queryRows(db->connection(), u"INSERT INTO KORFStyles (StyleProg) VALUES (%1)"_s.arg(prog));
        };
        const QStringList cacheBefore = queryRows(db->connection(), u"PRAGMA cache_size"_s);
        {
            // The scopes of a long run: the larger cache, and the file written out while it lasts.
            const PageCacheScope cache(db->connection());
            const WriteBehindScope writeBehind(db->connection());
#ifdef __linux__
            QVERIFY(writeBehind.active());
#endif
            Transaction outer(db->connection());
            insert(1);
            {
                Transaction inner(db->connection());
                insert(2);
            }
            queryRows(db->connection(), u"UPDATE KORFStyles SET StyleContent1 = zeroblob(4000000)"_s);
            QTest::qWait(3 * WriteBehindScope::IntervalMs);
            outer.commit();
        }
        QCOMPARE(queryRows(db->connection(), u"PRAGMA cache_size"_s), cacheBefore);
        {
            QSqlDatabase memory = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"memory"_s);
            memory.setDatabaseName(u":memory:"_s);
            QVERIFY(memory.open());
            QVERIFY(!WriteBehindScope(memory).active()); // no file to write
        }
        QSqlDatabase::removeDatabase(u"memory"_s);
        {
            Transaction abandoned(db->connection());
            insert(3);
        }
        QCOMPARE(queryRows(db->connection(), u"SELECT StyleProg FROM KORFStyles"_s), QStringList{u"1"_s});
    }
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "tst_database.moc"
