// sbk-cli end to end: sty-info, import, banks, bank-show and make-sty, run as a process.
#include "CliRunner.h"
#include "sty/KORFLibrary.h"
#include "StyTestData.h"
#include "TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace StyTestData;

namespace {

QByteArray bankFile(int count, int variant) {
    KORFStyles styles;
    for (int i = 0; i < count; ++i)
        addStyle(styles, QStringLiteral("Style %1-%2").arg(variant).arg(i), block(40 + i, i + 10 * variant),
                 QStringLiteral("Perf"),
                 block(20, 100 + i + 10 * variant, QByteArray("\x09\x01\x00\x30", 4)));
    return KORFLibrary::encodeCollection(styles);
}

} // namespace

class TestStyCli : public QObject {
    Q_OBJECT

private slots:
    void styInfo();
    void importListAndWriteBack();
    void failedImportLeavesDatabase();
};

void TestStyCli::styInfo() {
    TestEnvironment env;
    const QString file = env.writeFile(QStringLiteral("A.STY"), bankFile(2, 1));
    CliResult result = runCli(env, {QStringLiteral("sty-info"), file, QStringLiteral("--json")});
    QCOMPARE(result.exitCode, 0);
    const QJsonObject info = QJsonDocument::fromJson(result.out).object();
    QCOMPARE(info.value(QStringLiteral("RetVal")).toInt(), 0);
    const QJsonArray styles = info.value(QStringLiteral("styles")).toArray();
    QCOMPARE(styles.size(), 2);
    QCOMPARE(styles[1].toObject().value(QStringLiteral("StyleName1")).toString(),
             QStringLiteral("Style 1-1       "));
    QCOMPARE(styles[1].toObject().value(QStringLiteral("StyleLength1")).toInt(), 49);

    result = runCli(env, {QStringLiteral("sty-info"), env.writeFile(QStringLiteral("B.STY"), "KORGI")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.contains("RetVal 4, a style for KORG i30 arranger"));

    result = runCli(
        env, {QStringLiteral("sty-info"), env.writeFile(QStringLiteral("C.STY"), bankFile(1, 1).left(70))});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.startsWith("sbk-cli: "));
    QVERIFY(result.err.contains("C.STY: at byte offset 36: unexpected end of file"));
}

void TestStyCli::importListAndWriteBack() {
    TestEnvironment env;
    const QString db = env.createDatabase();
    env.writeFile(QStringLiteral("in/ONE.STY"), bankFile(3, 1));
    env.writeFile(QStringLiteral("in/sub/TWO.STY"), bankFile(2, 2));
    env.writeFile(QStringLiteral("in/sub/I30.STY"), "KORGI");
    CliResult result =
        runCli(env, {QStringLiteral("--db"), db, QStringLiteral("import"), env.path(QStringLiteral("in")),
                     QStringLiteral("--subfolders"), QStringLiteral("--author"), QStringLiteral("Me")});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.startsWith("I30.STY is probably a style for KORG i30 arranger\n"));
    QVERIFY(result.out.contains("5 styles imported"));
    QVERIFY(result.err.isEmpty()); // no progress bar when stderr is not a terminal

    result = runCli(env, {QStringLiteral("--db"), db, QStringLiteral("banks"), QStringLiteral("--json")});
    const QJsonArray banks = QJsonDocument::fromJson(result.out).array();
    QCOMPARE(banks.size(), 2);
    QCOMPARE(banks[1].toObject().value(QStringLiteral("BankName")).toString(), QStringLiteral("TWO002"));
    QCOMPARE(banks[1].toObject().value(QStringLiteral("Slots")).toInt(), 2);

    result = runCli(env, {QStringLiteral("--db"), db, QStringLiteral("bank-show"), QStringLiteral("TWO002"),
                          QStringLiteral("--json")});
    const QJsonArray slotList =
        QJsonDocument::fromJson(result.out).object().value(QStringLiteral("Slots")).toArray();
    QCOMPARE(slotList.size(), 32);
    QCOMPARE(slotList[1].toObject().value(QStringLiteral("StyleProg")).toInt(), 5);
    QCOMPARE(slotList[1].toObject().value(QStringLiteral("StyleName1")).toString(),
             QStringLiteral("Style 2-1       "));
    QCOMPARE(slotList[2].toObject().value(QStringLiteral("StyleProg")).toInt(), 0);

    const QString output = env.path(QStringLiteral("OUT.STY"));
    result = runCli(env, {QStringLiteral("--db"), db, QStringLiteral("make-sty"), QStringLiteral("1"), output,
                          QStringLiteral("--user-bank"), QStringLiteral("18")});
    QCOMPARE(result.exitCode, 0);
    const QByteArray written = TestEnvironment::readFile(output);
    const QByteArray original = bankFile(3, 1);
    QCOMPARE(written.size(), original.size());
    QCOMPARE(written.mid(36 + 6 * 24), original.mid(36 + 6 * 24));
    QCOMPARE(int(written.at(36 + 19)), 18);

    // Imported again under the default policy, every style is a duplicate.
    result = runCli(
        env, {QStringLiteral("--db"), db, QStringLiteral("import"), env.path(QStringLiteral("in/ONE.STY"))});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out.count("and will not be imported!"), 3);
}

void TestStyCli::failedImportLeavesDatabase() {
    TestEnvironment env;
    const QString db = env.createDatabase();
    env.writeFile(QStringLiteral("in/1.STY"), bankFile(2, 1));
    env.writeFile(QStringLiteral("in/2.STY"), bankFile(2, 2));
    env.writeFile(QStringLiteral("in/3.STY"), bankFile(2, 3).left(100));
    const CliResult result =
        runCli(env, {QStringLiteral("--db"), db, QStringLiteral("import"), env.path(QStringLiteral("in"))});
    QCOMPARE(result.exitCode, 1);
    QVERIFY(result.err.contains("3.STY: at byte offset"));
    QVERIFY(result.out.isEmpty());
    for (const QString& command : {QStringLiteral("list"), QStringLiteral("banks")}) {
        const CliResult listing =
            runCli(env, {QStringLiteral("--db"), db, command, QStringLiteral("--json")});
        QCOMPARE(listing.exitCode, 0);
        QVERIFY(QJsonDocument::fromJson(listing.out).array().isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestStyCli)
#include "tst_stycli.moc"
