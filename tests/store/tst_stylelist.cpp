#include "core/SbkError.h"
#include "store/KORFStyles.h"
#include "TestEnvironment.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestStyleList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void swapExchangesValuesNotObjects() {
        KORFStyles list;
        list.Add(1, u"A"_s, u"a"_s, 1, 2, "x", "y", u"k1"_s);
        list.Add(2, u"B"_s, {}, 0, 0, {}, {});
        list.Add(3, u"C"_s, u"c"_s, 5, 6, TestEnvironment::allBytes(), "z");
        const KORFStylePtr first = list.Item(1);
        list.Swap(1, 3);
        QCOMPARE(list.Item(1).get(), first.get());
        QCOMPARE(first->StyleProg(), 3);
        QCOMPARE(first->StyleContent1(), TestEnvironment::allBytes()); // every byte survives
        QCOMPARE(list.Item(3)->StyleName1(), u"A"_s);
        QCOMPARE(list.Item(u"k1"_s).get(), first.get()); // keys stay with the objects
        list.Swap(2, 2);
        QCOMPARE(list.Item(2)->StyleName1(), u"B"_s);
    }

    void removeClosesTheGapAndBadCallsChangeNothing() {
        KORFStyles list;
        list.Add(1, u"A"_s, {}, 0, 0, {}, {}, u"a"_s);
        list.Add(2, u"B"_s, {}, 0, 0, {}, {}, u"b"_s);
        list.Add(3, u"C"_s, {}, 0, 0, {}, {});
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(0));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Item(u"nokey"_s));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Remove(4));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Swap(1, 4));
        QVERIFY_THROWS_EXCEPTION(SbkError, list.Add(4, u"D"_s, {}, 0, 0, {}, {}, u"a"_s));
        QCOMPARE(list.Count(), 3);
        QCOMPARE(list.Item(3)->StyleName1(), u"C"_s);

        list.Remove(1);
        QCOMPARE(list.Item(1)->StyleName1(), u"B"_s);
        list.Remove(u"b"_s);
        QCOMPARE(list.Item(1)->StyleName1(), u"C"_s);
        list.Add(4, u"D"_s, {}, 0, 0, {}, {}, u"b"_s); // the key is free again
        list.Add(5, {}, {}, 0, 0, {}, {});             // empty keys never clash
        QCOMPARE(list.Item(u"b"_s)->StyleProg(), 4);
        QCOMPARE(list.Count(), 3);
    }
};

QTEST_GUILESS_MAIN(TestStyleList)
#include "tst_stylelist.moc"
