#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "TestEnvironment.h"

#include <QSqlQuery>
#include <QtTest>

namespace {

bool insert(QSqlDatabase db, qint32 prog, const QByteArray& c1, const QByteArray& c2,
            const QString& name = QStringLiteral("STYLE")) {
    DbKORFStyle style(db);
    style.setStyleProg(prog);
    style.setStyleName1(name);
    style.setStyleLength1(qint32(c1.size()));
    style.setStyleLength2(qint32(c2.size()));
    style.setStyleContent1(c1);
    style.setStyleContent2(c2);
    return style.InsKORFStyles();
}

std::array<qint32, 32> slotsOf(std::initializer_list<qint32> first) {
    std::array<qint32, 32> values{};
    std::copy(first.begin(), first.end(), values.begin());
    return values;
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

    void contentsSurviveByteForByte() {
        QVERIFY(insert(db->connection(), 1, TestEnvironment::allBytes(),
                       TestEnvironment::allBytes() + TestEnvironment::allBytes()));
        DbKORFStyle style(db->connection());
        style.setStyleProg(1);
        QVERIFY(style.GetKORFStyles());
        QCOMPARE(style.StyleContent1(), TestEnvironment::allBytes());
        QCOMPARE(style.StyleContent2(), TestEnvironment::allBytes() + TestEnvironment::allBytes());
        QCOMPARE(style.StyleSeek(), TestEnvironment::allBytes().left(250));
    }

    void emptyContentIsStoredAsBlank() {
        DbKORFStyle style(db->connection());
        style.setStyleProg(1);
        style.setStyleContent1(QByteArray());
        style.setStyleContent2(QByteArray());
        QVERIFY(style.InsKORFStyles());
        QCOMPARE(style.StyleContent1(), QByteArray(" "));
        QCOMPARE(style.StyleContent2(), QByteArray(" "));
        QCOMPARE(style.StyleSeek(), QByteArray(" "));
        QSqlQuery query(db->connection());
        QVERIFY(query.exec(QStringLiteral("SELECT StyleContent1, StyleSeek FROM KORFStyles")));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toByteArray(), QByteArray(" "));
        QCOMPARE(query.value(1).toByteArray(), QByteArray(" "));
    }

    void seekIsCutAt250WhateverItHeld() {
        DbKORFStyle style(db->connection());
        style.setStyleProg(1);
        style.setStyleContent1(QByteArray(300, 'a') + "tail");
        style.setStyleSeek("caller's value");
        QVERIFY(style.InsKORFStyles());
        QCOMPARE(style.StyleSeek(), QByteArray(250, 'a'));
    }

    void numberingAfterDeletes() {
        DbKORFStyle style(db->connection());
        QCOMPARE(style.NextKORFStyle(), 1);
        QVERIFY(insert(db->connection(), 57, "x", "y"));
        QCOMPARE(style.NextKORFStyle(), 58);
        QVERIFY(insert(db->connection(), 3, "a", "b"));
        style.setStyleProg(57);
        QVERIFY(style.DelKORFStyles());
        QCOMPARE(style.NextKORFStyle(), 4);
        style.setStyleProg(1000);
        QVERIFY(style.DelKORFStyles()); // not stored: still true
        QCOMPARE(style.clsKORFStylesError(), QString());

        DbKORFBank bank(db->connection());
        QCOMPARE(bank.NextKORFBank(), 1);
        bank.setBankProg(41);
        QVERIFY(bank.InsKORFBanks());
        QCOMPARE(bank.NextKORFBank(), 42);
    }

    void duplicateInsertReportsDatabaseError() {
        QVERIFY(insert(db->connection(), 5, "a", "b"));
        DbKORFStyle style(db->connection());
        style.setStyleProg(5);
        QVERIFY(!style.InsKORFStyles());
        QVERIFY(style.clsKORFStylesError().contains(QStringLiteral("UNIQUE")));
        QVERIFY(style.clsKORFStylesError().at(0).isDigit());
        style.setStyleProg(6);
        QVERIFY(style.InsKORFStyles());
        QCOMPARE(style.clsKORFStylesError(), QString());
    }

    void duplicateSearchByContent() {
        QByteArray block1 = TestEnvironment::allBytes().repeated(3);
        QByteArray block2 = "second block";
        QVERIFY(insert(db->connection(), 10, block1, block2));
        QVERIFY(insert(db->connection(), 11, block1, block2)); // a second equal style
        DbKORFStyle finder(db->connection());
        QCOMPARE(finder.GetKORFStylesByContent(block1, block2, qint32(block1.size()), qint32(block2.size())),
                 10);

        QByteArray other2 = block2;
        other2[5] = 'X'; // one byte different in the second block
        QCOMPARE(finder.GetKORFStylesByContent(block1, other2, qint32(block1.size()), qint32(other2.size())),
                 -1);
        QByteArray other1 = block1;
        other1[700] = char(0x41); // beyond the search key
        QCOMPARE(finder.GetKORFStylesByContent(other1, block2, qint32(other1.size()), qint32(block2.size())),
                 -1);
        QCOMPARE(finder.GetKORFStylesByContent(block1, block2, 1, qint32(block2.size())), -1);

        // A style with one block is found again, although its empty block is stored as a blank.
        QVERIFY(insert(db->connection(), 12, "only one", QByteArray()));
        QCOMPARE(finder.GetKORFStylesByContent("only one", QByteArray(), 8, 0), 12);
    }

    void updateWritesDescriptiveColumnsOnly() {
        QVERIFY(insert(db->connection(), 1, TestEnvironment::allBytes(), "b"));
        DbKORFStyle style(db->connection());
        style.setStyleProg(1);
        QVERIFY(style.GetKORFStylesNoContent());
        QCOMPARE(style.StyleContent1(), QByteArray(" "));
        style.setStyleName1(QStringLiteral("New"));
        style.setStyleDesc(QStringLiteral("it's new"));
        QVERIFY(style.UpdKORFStyles());

        DbKORFStyle check(db->connection());
        check.setStyleProg(1);
        QVERIFY(check.GetKORFStyles());
        QCOMPARE(check.StyleName1(), QStringLiteral("New"));
        QCOMPARE(check.StyleDesc(), QStringLiteral("it's new"));
        QCOMPARE(check.StyleContent1(), TestEnvironment::allBytes());

        // A failing column changes nothing, not even the columns before it.
        style.setStyleName1(QStringLiteral("Newer"));
        style.setStyleAuthor(QString(51, QLatin1Char('A')));
        QVERIFY(!style.UpdKORFStyles());
        QVERIFY(!style.clsKORFStylesError().isEmpty());
        QVERIFY(check.GetKORFStylesNoContent());
        QCOMPARE(check.StyleName1(), QStringLiteral("New"));

        style.setStyleProg(99);
        style.setStyleAuthor(QString());
        QVERIFY(!style.UpdKORFStyles());
        QCOMPARE(style.clsKORFStylesError(), QString());
    }

    void namesWithQuotesAreFound() {
        QVERIFY(insert(db->connection(), 1, "a", "b", QStringLiteral("Rock'n'Roll")));
        QVERIFY(insert(db->connection(), 2, "c", "d", QStringLiteral("ROCK'N'ROLL")));
        DbKORFStyle style(db->connection());
        style.setStyleName1(QStringLiteral("rock'n'roll"));
        const auto rows = style.GetKORFStylesByName();
        QVERIFY(rows.has_value());
        QCOMPARE(rows->size(), 2);
        QCOMPARE(rows->first().value(QStringLiteral("STYLEPROG")).toInt(), 1);
        QCOMPARE(style.clsKORFStylesError(), QString());

        DbKORFBank bank(db->connection());
        bank.setBankProg(3);
        bank.setBankName(QStringLiteral("Tom's bank"));
        QVERIFY(bank.InsKORFBanks());
        DbKORFBank byName(db->connection());
        byName.setBankName(QStringLiteral("Tom's bank"));
        QVERIFY(byName.GetKORFBanksByName());
        QCOMPARE(byName.BankProg(), 3);
        byName.setBankName(QStringLiteral("nobody's"));
        QVERIFY(!byName.GetKORFBanksByName());
        QCOMPARE(byName.clsKORFBanksError(), QString());
    }

    void bankRoundTripAndUpdate() {
        DbKORFBank bank(db->connection());
        bank.setBankProg(1);
        bank.setBankName(QStringLiteral("Bank"));
        bank.setSlotValues(slotsOf({4, 5, 6}));
        QVERIFY(bank.InsKORFBanks());
        DbKORFBank read(db->connection());
        read.setBankProg(1);
        QVERIFY(read.GetKORFBanks());
        QCOMPARE(read.slotValues(), slotsOf({4, 5, 6}));
        QCOMPARE(read.BankStyle04(), 0);
        read.setBankStyle32(77);
        read.setBankDesc(QStringLiteral("changed"));
        QVERIFY(read.UpdKORFBanks());
        QVERIFY(bank.GetKORFBanks());
        QCOMPARE(bank.BankStyle(32), 77);
        QCOMPARE(bank.BankDesc(), QStringLiteral("changed"));
        bank.setBankName(QString(51, QLatin1Char('x')));
        QVERIFY(!bank.UpdKORFBanks());
        QVERIFY(read.GetKORFBanks());
        QCOMPARE(read.BankName(), QStringLiteral("Bank"));
        QVERIFY(bank.DelKORFBanks());
        QVERIFY(!read.GetKORFBanks());
    }

    void removingAStyleCompactsEveryBank_data() {
        QTest::addColumn<QList<qint32>>("before");
        QTest::addColumn<QList<qint32>>("after");
        QTest::newRow("designed example") << QList<qint32>{5, 9, 5, 0, 7} << QList<qint32>{9, 0, 7};
        QTest::newRow("slots 3 and 4") << QList<qint32>{1, 2, 5, 5, 3} << QList<qint32>{1, 2, 3};
        QTest::newRow("not held") << QList<qint32>{1, 2, 3} << QList<qint32>{1, 2, 3};
        QList<qint32> full(32, 5);
        QTest::newRow("full of it") << full << QList<qint32>{};
    }
    void removingAStyleCompactsEveryBank() {
        QFETCH(QList<qint32>, before);
        QFETCH(QList<qint32>, after);
        std::array<qint32, 32> slotsBefore{};
        std::copy(before.begin(), before.end(), slotsBefore.begin());
        std::array<qint32, 32> slotsAfter{};
        std::copy(after.begin(), after.end(), slotsAfter.begin());

        DbKORFBank bank(db->connection());
        for (int prog = 1; prog <= 2; ++prog) {
            bank.setBankProg(prog);
            bank.setSlotValues(slotsBefore);
            QVERIFY(bank.InsKORFBanks());
        }
        // The working bank's identity in this record must survive the removal.
        DbKORFBank working(db->connection());
        working.setBankProg(2);
        QVERIFY(working.GetKORFBanks());
        working.setBankStyle01(5);
        QVERIFY(working.DelKORFBanksStyle());
        QCOMPARE(working.BankProg(), 2);
        QCOMPARE(working.BankStyle01(), 5);
        for (int prog = 1; prog <= 2; ++prog) {
            bank.setBankProg(prog);
            QVERIFY(bank.GetKORFBanks());
            QCOMPARE(bank.slotValues(), slotsAfter);
        }
    }
};

QTEST_GUILESS_MAIN(TestGateways)
#include "tst_gateways.moc"
