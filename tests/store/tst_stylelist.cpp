#include "TestEnvironment.h"
#include "core/SbkError.h"
#include "store/KORFStyles.h"

#include <QtTest>

class TestStyleList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void swapExchangesValuesNotObjects() {
        KORFStyles list;
        list.Add(1, QStringLiteral("A"), QStringLiteral("a"), 1, 2, "x", "y", QStringLiteral("k1"));
        list.Add(2, QStringLiteral("B"), {}, 0, 0, {}, {});
        list.Add(3, QStringLiteral("C"), QStringLiteral("c"), 5, 6, TestEnvironment::allBytes(), "z");
        const KORFStylePtr first = list.Item(1);
        list.Swap(1, 3);
        QCOMPARE(list.Item(1).get(), first.get());
        QCOMPARE(first->StyleProg(), 3);
        QCOMPARE(first->StyleContent1(), TestEnvironment::allBytes()); // every byte survives
        QCOMPARE(list.Item(3)->StyleName1(), QStringLiteral("A"));
        QCOMPARE(list.Item(QStringLiteral("k1")).get(), first.get()); // keys stay with the objects
        list.Swap(2, 2);
        QCOMPARE(list.Item(2)->StyleName1(), QStringLiteral("B"));
    }

    void removeClosesTheGapAndFreesTheKey() {
        KORFStyles list;
        list.Add(1, QStringLiteral("A"), {}, 0, 0, {}, {}, QStringLiteral("a"));
        list.Add(2, QStringLiteral("B"), {}, 0, 0, {}, {}, QStringLiteral("b"));
        list.Add(3, QStringLiteral("C"), {}, 0, 0, {}, {});
        list.Remove(1);
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.Item(1)->StyleName1(), QStringLiteral("B"));
        list.Remove(QStringLiteral("b"));
        QCOMPARE(list.Item(1)->StyleName1(), QStringLiteral("C"));
        list.Add(4, QStringLiteral("D"), {}, 0, 0, {}, {}, QStringLiteral("b"));
        QCOMPARE(list.Item(QStringLiteral("b"))->StyleProg(), 4);
    }

    void badPositionsAndKeysLeaveListUnchanged() {
        KORFStyles list;
        list.Add(1, QStringLiteral("A"), {}, 0, 0, {}, {}, QStringLiteral("key"));
        list.Add(2, QStringLiteral("B"), {}, 0, 0, {}, {});
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(0));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(QStringLiteral("nokey")));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Remove(3));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Swap(1, 3));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Add(3, QStringLiteral("C"), {}, 0, 0, {}, {}, QStringLiteral("key")));
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.Item(2)->StyleName1(), QStringLiteral("B"));
        list.Add(4, {}, {}, 0, 0, {}, {}); // empty keys never clash
        list.Add(5, {}, {}, 0, 0, {}, {});
        QCOMPARE(list.Count(), 4);
    }
};

QTEST_GUILESS_MAIN(TestStyleList)
#include "tst_stylelist.moc"
