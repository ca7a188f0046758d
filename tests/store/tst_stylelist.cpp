#include "core/SbkError.h"
#include "store/KORFStyles.h"
#include "TestEnvironment.h"

#include <QtTest>

class TestStyleList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void positionsFollowInsertion() {
        KORFStyles list;
        for (int i = 1; i <= 3; ++i)
            list.Add(i * 10, QStringLiteral("S%1").arg(i), {}, 0, 0, {}, {});
        QCOMPARE(list.Count(), 3);
        QCOMPARE(list.Item(1)->StyleProg(), 10);
        QCOMPARE(list.Item(3)->StyleProg(), 30);
        int expected = 10;
        for (const KORFStylePtr& style : list) {
            QCOMPARE(style->StyleProg(), expected);
            expected += 10;
        }
    }

    void swapExchangesValuesNotObjects() {
        KORFStyles list;
        list.Add(1, QStringLiteral("A"), QStringLiteral("a"), 1, 2, "x", "y", QStringLiteral("k1"));
        list.Add(2, QStringLiteral("B"), {}, 0, 0, {}, {});
        list.Add(3, QStringLiteral("C"), QStringLiteral("c"), 5, 6, TestEnvironment::allBytes(), "z",
                 QStringLiteral("k3"));
        const KORFStylePtr first = list.Item(1);
        list.Swap(1, 3);
        QCOMPARE(list.Item(1).get(), first.get());
        QCOMPARE(first->StyleProg(), 3);
        QCOMPARE(first->StyleContent1(), TestEnvironment::allBytes());
        QCOMPARE(list.Item(3)->StyleName1(), QStringLiteral("A"));
        // Keys stay with the objects, not the values.
        QCOMPARE(list.Item(QStringLiteral("k1")).get(), first.get());

        list.Swap(2, 2);
        QCOMPARE(list.Item(2)->StyleName1(), QStringLiteral("B"));
    }

    void badPositionsAndKeysLeaveListUnchanged() {
        KORFStyles list;
        list.Add(1, QStringLiteral("A"), {}, 0, 0, {}, {}, QStringLiteral("key"));
        list.Add(2, QStringLiteral("B"), {}, 0, 0, {}, {});
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(0));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(3));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(QStringLiteral("nokey")));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Remove(3));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Remove(QStringLiteral("nokey")));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Swap(1, 3));
        QVERIFY_THROWS_EXCEPTION(SbkError,
                                 list.Add(3, QStringLiteral("C"), {}, 0, 0, {}, {}, QStringLiteral("key")));
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.Item(1)->StyleName1(), QStringLiteral("A"));
        QCOMPARE(list.Item(2)->StyleName1(), QStringLiteral("B"));
        // Empty keys never clash.
        list.Add(4, {}, {}, 0, 0, {}, {}, QString());
        list.Add(5, {}, {}, 0, 0, {}, {}, QString());
        QCOMPARE(list.Count(), 4);
    }

    void removeClosesTheGap() {
        KORFStyles list;
        list.Add(1, QStringLiteral("A"), {}, 0, 0, {}, {}, QStringLiteral("a"));
        list.Add(2, QStringLiteral("B"), {}, 0, 0, {}, {}, QStringLiteral("b"));
        list.Add(3, QStringLiteral("C"), {}, 0, 0, {}, {});
        list.Remove(1);
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.Item(1)->StyleName1(), QStringLiteral("B"));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(QStringLiteral("a")));
        list.Remove(QStringLiteral("b"));
        QCOMPARE(list.Item(1)->StyleName1(), QStringLiteral("C"));
        // A removed key can be used again.
        list.Add(4, QStringLiteral("D"), {}, 0, 0, {}, {}, QStringLiteral("b"));
        QCOMPARE(list.Item(QStringLiteral("b"))->StyleProg(), 4);
    }

    void everyByteSurvives() {
        KORFStyles list;
        const QString name = QString::fromLatin1(TestEnvironment::allBytes().mid(1, 16));
        list.Add(1, name, {}, 256, 256, TestEnvironment::allBytes(), TestEnvironment::allBytes());
        list.Add(2, {}, {}, 0, 0, {}, {});
        list.Swap(1, 2);
        const KORFStylePtr moved = list.Item(2);
        QCOMPARE(moved->StyleContent1(), TestEnvironment::allBytes());
        QCOMPARE(moved->StyleContent2().size(), 256);
        QCOMPARE(moved->StyleName1().toLatin1(), TestEnvironment::allBytes().mid(1, 16));
    }
};

QTEST_GUILESS_MAIN(TestStyleList)
#include "tst_stylelist.moc"
