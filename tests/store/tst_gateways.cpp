#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFEntry.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "TestEnvironment.h"

#include <limits>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

bool insert(QSqlDatabase db, qint32 prog, const QByteArray& c1, const QByteArray& c2) {
    DbKORFStyle style(db);
    style.setStyleProg(prog);
    style.setStyleName1(u"STYLE"_s);
    style.setStyleLength1(qint32(c1.size()));
    style.setStyleLength2(qint32(c2.size()));
    style.setStyleContent1(c1);
    style.setStyleContent2(c2);
    return style.InsKORFStyles();
}

} // namespace

class TestGateways : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnvironment> env;
    std::unique_ptr<Database> db;

private Q_SLOTS:
    void init() {
        env = std::make_unique<TestEnvironment>();
        env->createDatabase();
        db = env->openDatabase();
    }
    void cleanup() {
        db.reset();
        env.reset();
    }

    void contentsAndSearchKey() {
        const QByteArray bytes = TestEnvironment::allBytes();
        QVERIFY(insert(db->connection(), 1, bytes, bytes + bytes));
        DbKORFStyle style(db->connection());
        style.setStyleProg(1);
        QVERIFY(style.GetKORFStyles());
        QCOMPARE(style.StyleContent1() + style.StyleContent2() + style.StyleSeek(),
                 bytes + bytes + bytes + bytes.left(250));

        // An empty block is stored as one blank; the key is cut at 250 whatever the caller put there.
        style.setStyleProg(2);
        style.setStyleContent1(QByteArray(300, 'a'));
        style.setStyleContent2(QByteArray());
        style.setStyleSeek("caller's value");
        QVERIFY(style.InsKORFStyles());
        QCOMPARE(style.StyleContent2() + style.StyleSeek(), " " + QByteArray(250, 'a'));
    }

    void numberingAndKeys() {
        DbKORFStyle style(db->connection());
        QCOMPARE(style.NextKORFStyle(), 1);
        QVERIFY(insert(db->connection(), 57, "x", "y"));
        QCOMPARE(style.NextKORFStyle(), 58);
        style.setStyleProg(57);
        QVERIFY(!style.InsKORFStyles() && style.clsKORFStylesError().contains(u"UNIQUE"_s));
        // The gateway keeps the database's number before its words; a sentence takes the words.
        QVERIFY2(QRegularExpression(u"^\\d+ UNIQUE constraint failed"_s)
                     .match(style.clsKORFStylesError())
                     .hasMatch(),
                 qPrintable(style.clsKORFStylesError()));
        QVERIFY(Database::inWords(style.clsKORFStylesError()).startsWith(u"UNIQUE constraint failed"_s));
        QVERIFY(style.DelKORFStyles());
        QCOMPARE(style.clsKORFStylesError(), QString()); // the next call forgets the last error
        QCOMPARE(style.NextKORFStyle(), 1);

        // Banks likewise, found by a name with a quote in any case, without the blanks around it
        // (a name stored with them by an earlier version too).
        DbKORFBank bank(db->connection());
        bank.setBankProg(41);
        bank.setBankName(u"Tom's bank"_s);
        QVERIFY(bank.InsKORFBanks());
        QCOMPARE(bank.NextKORFBank(), 42);
        DbKORFBank byName(db->connection());
        byName.setBankName(u"tom's BANK"_s);
        QVERIFY(byName.GetKORFBanksByName() && byName.BankProg() == 41);
        bank.setBankProg(42);
        bank.setBankName(u" Tom's bank "_s);
        QVERIFY(bank.InsKORFBanks());
        byName.setBankName(u"Tom's bank "_s);
        QCOMPARE(byName.NumbersByName(), (QList<qint32>{41, 42}));
        byName.setBankName(u"nobody's"_s);
        QVERIFY(!byName.GetKORFBanksByName() && byName.clsKORFBanksError().isEmpty());
    }

    // The import's and the restore's inserts of styles and of their directory entries through
    // SQLite's own statement store each column as the inserts through the driver do (NULL and empty
    // text told apart, blobs byte for byte) and fail with the same words.
    void directInsertStoresWhatTheDriverDoes() {
        const auto row = [&](qint32 prog, bool direct, bool full) {
            DbKORFStyle style(db->connection());
            style.setDirectInsert(direct);
            style.setStyleProg(prog);
            style.setStyleName1(full ? u"Été"_s : u""_s);
            style.setStyleName2(full ? u"second"_s : QString());
            style.setStyleContent1(full ? TestEnvironment::allBytes() : QByteArray());
            style.setStyleContent2(full ? QByteArray(3, '\0') : QByteArray(""));
            style.setStyleLength1(full ? 256 : 0);
            style.setStyleDesc(full ? QString() : u""_s);
            style.setStyleAuthor(u" "_s);
            StyleFactsValues facts;
            if (full)
                facts = {120, u"12/8"_s,
                         {},  {},
                         -1,  std::numeric_limits<qint64>::min(),
                         7,   QByteArray("\x01\x00\x02", 3)};
            style.setFacts(facts);
            return style.InsKORFStyles() ? QString() : style.clsKORFStylesError();
        };
        // A full style's entries: a timestamp and a system string, then an odd timestamp (shown in
        // hexadecimal) and an empty system string; the other style's one entry has neither.
        const auto entries = [&](qint32 prog, bool direct, bool full) {
            const auto entry = [](const QByteArray& timestamp, const QByteArray& system) {
                return KORFEntry(KORFEntry::encodeProperty(KORFEntry::Timestamp, timestamp) +
                                 KORFEntry::encodeProperty(KORFEntry::System, system));
            };
            DbKORFEntry gateway(db->connection());
            gateway.setDirectInsert(direct);
            const bool done =
                full ? gateway.InsKORFEntries(
                           prog, entry(KORFEntry::timestampBytes(2024, 2, 29, 23, 5, 9), "Pa1000"),
                           entry("\x14\x18\x01", ""))
                     : gateway.InsKORFEntries(
                           prog, KORFEntry(KORFEntry::encodeProperty(KORFEntry::Place, "\x02")), KORFEntry());
            return done ? QString() : gateway.clsKORFEntriesError();
        };
        const auto stored = [&](bool ofEntries, qint32 prog) {
            QStringList quoted;
            for (const QString& column :
                 (ofEntries
                      ? u"EntryBlock,EntryTime,EntrySystem,EntryProperties"_s
                      : u"StyleName1,StyleName2,StyleLength1,StyleLength2,StyleContent1,StyleContent2,"
                        "StyleSeek,StyleDate,StyleDesc,StyleCat,StyleFamily,StyleFile,StyleAuthor,Tempo,"
                        "Meter,FingerprintExact,FingerprintRenamed,FingerprintSettings,NoteFingerprint"_s)
                     .split(u','))
                quoted << u"typeof(%1) || quote(%1)"_s.arg(column);
            QSqlQuery query(db->connection());
            if (!query.prepare(u"SELECT group_concat("_s + quoted.join(u" || ',' || "_s) + u", ';') FROM "_s +
                               (ofEntries ? u"KORFEntries"_s : u"KORFStyles"_s) + u" WHERE StyleProg = ?"_s))
                return query.lastError().text();
            query.addBindValue(prog);
            return query.exec() && query.next() ? query.value(0).toString() : query.lastError().text();
        };
        for (const bool full : {true, false}) {
            const qint32 driver = full ? 1 : 3;
            for (const bool direct : {false, true})
                QVERIFY(row(driver + direct, direct, full).isEmpty() &&
                        entries(driver + direct, direct, full).isEmpty());
            QVERIFY2(stored(false, driver).startsWith(u"text"_s), qPrintable(stored(false, driver)));
            QCOMPARE(stored(false, driver + 1), stored(false, driver));
            QCOMPARE(stored(true, driver + 1), stored(true, driver));
        }
        QVERIFY2(stored(true, 1).contains(u"text'2024-02-29 23:05:09',text'Pa1000'"_s) &&
                     stored(true, 1).contains(u"text'14 18 01',text''"_s) &&
                     stored(true, 3).contains(u"nullNULL,nullNULL"_s),
                 qPrintable(stored(true, 1) + u" / "_s + stored(true, 3)));
        QCOMPARE(row(2, true, true), row(2, false, true));
        QVERIFY(!entries(2, true, true).isEmpty());
        QCOMPARE(entries(2, true, true), entries(2, false, true));
    }

    void duplicateSearchByContent() {
        const QByteArray block1 = TestEnvironment::allBytes().repeated(3);
        const QByteArray block2 = "second block";
        QVERIFY(insert(db->connection(), 10, block1, block2));
        QVERIFY(insert(db->connection(), 11, block1, block2));
        DbKORFStyle finder(db->connection());
        auto find = [&](const QByteArray& c1, const QByteArray& c2) {
            return finder.GetKORFStylesByContent(c1, c2, qint32(c1.size()), qint32(c2.size()));
        };
        QCOMPARE(find(block1, block2), 10); // the first of two equal styles
        QCOMPARE(find(block1, "second blocX"), -1);
        QByteArray other1 = block1;
        other1[700] = 'A'; // beyond the search key
        QCOMPARE(find(other1, block2), -1);
        QCOMPARE(finder.GetKORFStylesByContent(block1, block2, 1, qint32(block2.size())), -1);
        // A style with one block is found again, although its empty block is stored as a blank.
        QVERIFY(insert(db->connection(), 12, "only one", QByteArray()));
        QCOMPARE(find("only one", QByteArray()), 12);
    }

    void updatesWriteAllOrNothing() {
        QVERIFY(insert(db->connection(), 1, TestEnvironment::allBytes(), "b"));
        DbKORFStyle style(db->connection());
        style.setStyleProg(1);
        QVERIFY(style.GetKORFStylesNoContent());
        QCOMPARE(style.StyleContent1(), QByteArray(" "));
        style.setStyleName1(u"New"_s);
        QVERIFY(style.UpdKORFStyles());
        style.setStyleName1(u"Newer"_s);
        style.setStyleAuthor(QString(51, QLatin1Char('A'))); // the last column fails
        QVERIFY(!style.UpdKORFStyles() && !style.clsKORFStylesError().isEmpty());
        DbKORFStyle check(db->connection());
        check.setStyleProg(1);
        QVERIFY(check.GetKORFStyles() && check.StyleName1() == u"New"_s);
        QCOMPARE(check.StyleContent1(), TestEnvironment::allBytes()); // an update never writes the data
        style.setStyleProg(99);
        style.setStyleAuthor(QString());
        QVERIFY(!style.UpdKORFStyles() && style.clsKORFStylesError().isEmpty());
    }

    // The list of styles a bank or a file holds: Swap exchanges the values (the records stay where
    // they are, shared with their holders), Remove closes the gap, a position outside the list
    // throws and changes nothing.
    void styleListSwapsRemovesAndRefusesBadPositions() {
        KORFStyles list;
        list.Add(1, u"A"_s, u"a"_s, 1, 2, "x", "y");
        list.Add(2, u"B"_s, {}, 0, 0, {}, {});
        list.Add(3, u"C"_s, u"c"_s, 5, 6, TestEnvironment::allBytes(), "z");
        const KORFStylePtr first = list.Item(1);
        list.Swap(1, 3);
        QVERIFY(list.Item(1) == first && first->StyleProg() == 3 && list.Item(3)->StyleName1() == u"A"_s);
        QCOMPARE(first->StyleContent1(), TestEnvironment::allBytes()); // every byte survives
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(0));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Remove(4));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Swap(1, 4));
        list.Remove(1);
        QCOMPARE(list.Item(1)->StyleName1() + list.Item(2)->StyleName1(), u"BA"_s);
    }

    void removingAStyleCompactsABank_data() {
        QTest::addColumn<QList<qint32>>("before");
        QTest::addColumn<QList<qint32>>("after");
        QTest::newRow("repeated style") << QList<qint32>{5, 9, 5, 0, 7} << QList<qint32>{9, 0, 7};
        QTest::newRow("slots 3 and 4") << QList<qint32>{1, 2, 5, 5, 3} << QList<qint32>{1, 2, 3};
        QTest::newRow("full of it") << QList<qint32>(32, 5) << QList<qint32>{};
    }
    void removingAStyleCompactsABank() {
        QFETCH(QList<qint32>, before);
        QFETCH(QList<qint32>, after);
        std::array<qint32, 32> slotsBefore{}, slotsAfter{};
        std::copy(before.begin(), before.end(), slotsBefore.begin());
        std::copy(after.begin(), after.end(), slotsAfter.begin());
        QCOMPARE(DbKORFBank::withoutStyle(slotsBefore, 5), slotsAfter);
    }
};

QTEST_GUILESS_MAIN(TestGateways)
#include "tst_gateways.moc"
