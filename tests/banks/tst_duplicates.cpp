// Copies of styles across the library: the groups of each kind with their banks, the style a rule
// keeps, and merges that either change everything they say or nothing.
#include "banks/DuplicateStyles.h"
#include "store/Database.h"
#include "StoredStyles.h"
#include "StyleBlocks.h"
#include "TestEnvironment.h"

#include <csignal>
#include <QSqlQuery>
#include <QtTest>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Kind = DuplicateStyles::Kind;
using KeepRule = DuplicateStyles::KeepRule;

namespace {

struct Stored {
    qint32 prog;
    QByteArray name; // the name inside the style block
    int tempo;
    QString date, group, author;
    quint8 meter = 0x22;
};

// Styles 1 and 2 exact copies, 3 a copy renamed inside, 4 the same music at another tempo; 5 and
// 6 exact copies of another style; 7 alone. Banks "PARTY" [2 5 1 6 4] and "ALL" [3 3 0 2].
struct Library {
    TestEnvironment env;
    std::unique_ptr<Database> db = (env.createDatabase(), env.openDatabase());
    QSqlDatabase c = db->connection();

    Library() {
        const QList<Stored> styles{{1, "Samba", 120, u"2020/01/01"_s, u" "_s, u"Ann"_s},
                                   {2, "Samba", 120, u"2021/05/05"_s, u"LATIN"_s, u""_s},
                                   {3, "Samba 2", 120, u"2019/01/01"_s, u""_s, u" "_s},
                                   {4, "Samba", 96, u"2022/02/02"_s, u"DANCE"_s, u"Bob"_s},
                                   {5, "Waltz", 90, u""_s, u""_s, u""_s, 0x1A},
                                   {6, "Waltz", 90, u"2018/01/01"_s, u""_s, u""_s, 0x1A},
                                   {7, "Polka", 90, u"2018/01/01"_s, u""_s, u""_s, 0x12}};
        const QByteArray bulk(3000, 'x');
        for (const Stored& s : styles)
            addStyle(c, {.prog = s.prog,
                         .name1 = u"Copy %1"_s.arg(s.prog),
                         .content1 = StyleBlocks::styleBlock(s.meter, true, bulk, s.name),
                         .content2 = StyleBlocks::performanceBlock(s.tempo, true, bulk),
                         .group = s.group,
                         .author = s.author,
                         .date = s.date});
        addBank(1, u"PARTY"_s, {2, 5, 1, 6, 4});
        addBank(2, u"ALL"_s, {3, 3, 0, 2});
    }
    void addBank(qint32 prog, const QString& name, const QList<qint32>& values) {
        ::addBank(c, prog, name, QString(), values);
    }

    // Every row of both tables, for "nothing changed".
    QStringList everything() const {
        return queryRows(c, u"SELECT * FROM KORFStyles ORDER BY StyleProg"_s) +
               queryRows(c, u"SELECT * FROM KORFBanks ORDER BY BankProg"_s);
    }
};

// "kind: 1 2 3" for each group.
QStringList shape(const QList<DuplicateStyles::Group>& groups) {
    QStringList lines;
    for (const auto& group : groups) {
        QStringList progs;
        for (const auto& style : group.styles)
            progs << QString::number(style.StyleProg);
        lines << DuplicateStyles::name(group.kind) + u": "_s + progs.join(' ');
    }
    return lines;
}

struct Cancelling : Progress {
    qint64 cancelAfter = -1; // the step after which the user cancels; -1: never
    qint64 last = 0;
    void step(qint64 done, const QString&) override { last = done; }
    bool cancelled() const override { return cancelAfter >= 0 && last >= cancelAfter; }
};

} // namespace

class TestDuplicates : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findsEveryKindWithItsBanksAndTheRulesChoose() {
        Library lib;
        const auto groups = DuplicateStyles::find(lib.c, {Kind::Exact, Kind::Renamed, Kind::Settings});
        QCOMPARE(shape(groups), (QStringList{u"exact: 1 2"_s, u"exact: 5 6"_s, u"renamed: 1 2 3"_s,
                                             u"settings: 1 2 3 4"_s}));
        // A group of a wider kind only where the narrower kind does not cover it all.
        QCOMPARE(shape(DuplicateStyles::find(lib.c, {Kind::Renamed})), QStringList{u"renamed: 1 2 3"_s});

        const DuplicateStyles::Style& second = groups[0].styles[1];
        QVERIFY(second.StyleProg == 2 && second.StyleName1 == u"Copy 2"_s && second.StyleCat == u"LATIN"_s &&
                second.StyleTempo == 120 && second.StyleMeter == u"4/4"_s &&
                second.StyleDate == u"2021/05/05"_s);
        QCOMPARE(second.Banks.size(), 2);
        QVERIFY(second.Banks[0].BankName == u"ALL"_s && second.Banks[0].BankProg == 2 &&
                second.Banks[0].Slot == 4);
        QVERIFY(second.Banks[1].BankName == u"PARTY"_s && second.Banks[1].Slot == 1);

        const auto& settings = groups[3];
        QCOMPARE(DuplicateStyles::keepByRule(settings, KeepRule::Oldest), 3);
        QCOMPARE(DuplicateStyles::keepByRule(settings, KeepRule::Newest), 4);
        // Styles 2 and 3 are in two slots each: the older of them.
        QCOMPARE(DuplicateStyles::keepByRule(settings, KeepRule::MostUsed), 3);
        // A style without a date is neither the oldest nor the newest.
        QCOMPARE(DuplicateStyles::keepByRule(groups[1], KeepRule::Oldest), 6);
        QCOMPARE(DuplicateStyles::keepByRule(groups[1], KeepRule::Newest), 6);

        // The widest group takes the narrower ones inside it; the question before the merge says
        // what the styles of the group that are not exact copies differ in.
        const auto plan = DuplicateStyles::plan(groups, KeepRule::Oldest);
        QCOMPARE(plan.size(), 2);
        QVERIFY(plan[0].group.kind == Kind::Settings && plan[0].keep == 3);
        QVERIFY(plan[1].group.kind == Kind::Exact && plan[1].keep == 6);
        QCOMPARE(DuplicateStyles::differenceNote(plan),
                 u"1 of the groups holds styles that differ, and only one of them is kept:\n"
                 "Styles 1, 2, 3 and 4 (same music, other settings) differ in name (Copy 1, Copy 2, Copy 3, "
                 "Copy 4) and tempo (96, 120)."_s);
        QCOMPARE(DuplicateStyles::differenceNote({plan[1]}), QString());
    }

    // Built by hand: what the facts tell of copies, and the tie of copies stored on one day.
    void whatCopiesDifferInAndWhichIsNewest() {
        const auto style = [](qint64 prog, const QString& name, std::optional<int> tempo,
                              std::optional<qint64> settings) {
            DuplicateStyles::Style s;
            s.StyleProg = prog;
            s.StyleName1 = name;
            s.StyleTempo = tempo;
            s.StyleMeter = u"4/4"_s;
            s.StyleDate = u"2024/03/03"_s;
            s.FingerprintRenamed = settings;
            return s;
        };
        // Of one tempo, other performance settings: the sounds or the mixer.
        const DuplicateStyles::Group sounds{
            Kind::Settings,
            {style(8, u"Rock"_s, 120, 1), style(3, u"Rock"_s, 120, 2), style(5, u"Rock"_s, std::nullopt, 3)}};
        QCOMPARE(DuplicateStyles::differences(sounds),
                 (QStringList{u"tempo (120, unknown)"_s, u"sounds or mixer settings"_s}));
        // Renamed inside only: the names the library gives them are the same.
        const DuplicateStyles::Group renamed{Kind::Renamed,
                                             {style(1, u"Pop"_s, 90, 7), style(2, u"Pop"_s, 90, 7)}};
        QCOMPARE(DuplicateStyles::differences(renamed), QStringList{u"the name stored inside them"_s});
        QVERIFY(DuplicateStyles::differences({Kind::Exact, sounds.styles}).isEmpty());

        // Dates are days: of copies imported on one day the newest is the highest number.
        QCOMPARE(DuplicateStyles::keepByRule(sounds, KeepRule::Oldest), 3);
        QCOMPARE(DuplicateStyles::keepByRule(sounds, KeepRule::Newest), 8);

        QList<DuplicateStyles::Merge> merges;
        for (int g = 0; g < 7; ++g)
            merges.append({sounds, 3});
        const QString note = DuplicateStyles::differenceNote(merges);
        QVERIFY2(
            note.startsWith(u"7 of the groups hold styles that differ, and only one of each group is kept:\n"
                            "Styles 8, 3 and 5 (same music, other settings) differ in tempo (120, unknown) "
                            "and sounds or mixer settings.\n"_s) &&
                note.endsWith(u"\n... and 2 more such groups."_s),
            qPrintable(note));
    }

    void mergesAllOrNothing() {
        Library lib;
        const auto groups = DuplicateStyles::find(lib.c, {Kind::Exact, Kind::Renamed, Kind::Settings});
        QStringList before = lib.everything();
        auto refused = [&](const QList<DuplicateStyles::Merge>& merges, const QString& words) {
            const QString error = errorOf([&] { DuplicateStyles::merge(lib.c, merges); });
            if (!error.contains(words) || !error.endsWith(u"Nothing was merged."_s))
                qWarning("%s", qPrintable(error));
            return error.contains(words) && error.endsWith(u"Nothing was merged."_s) &&
                   lib.everything() == before;
        };
        QVERIFY(refused({{groups[0], 5}}, u"The style 5 to keep is not one of its group"_s));
        QVERIFY(refused({{groups[0], 1}, {groups[2], 1}},
                        u"is in two of the groups to merge and is chosen to be "
                        "kept twice"_s));
        QVERIFY(refused({{groups[0], 1}, {groups[3], 4}}, u"The style 1 (Copy 1) is in two of the groups"_s));

        // Another program deletes a style of a group, or stores other blocks under its number.
        runSql(lib.env.path(u"test.mdb"_s),
               {u"UPDATE KORFStyles SET FingerprintExact = 1 WHERE StyleProg = 6"_s});
        before = lib.everything();
        QVERIFY(refused({{groups[1], 5}}, u"The style 6 (Copy 6) was changed by another program"_s));
        runSql(lib.env.path(u"test.mdb"_s), {u"DELETE FROM KORFStyles WHERE StyleProg = 6"_s});
        before = lib.everything();
        QVERIFY(refused({{groups[3], 3}, {groups[1], 5}},
                        u"The style 6 (Copy 6) is no longer in the database"_s));

        // The database refuses to be written.
        QSqlQuery query(lib.c);
        QVERIFY(query.exec(u"PRAGMA query_only = ON"_s));
        // Said in words: the database's number of the failure means nothing to a player.
        QVERIFY(refused({{groups[3], 3}},
                        u"The copies could not be merged: attempt to write a readonly database: the database "
                        "file cannot be written"_s));
        QVERIFY(query.exec(u"PRAGMA query_only = OFF"_s));
    }

    void mergeKeepsOneFillsItAndRepointsTheBanks() {
        Library lib;
        const auto groups = DuplicateStyles::find(lib.c, {Kind::Exact, Kind::Renamed, Kind::Settings});
        const auto plan = DuplicateStyles::plan(groups, KeepRule::Oldest);
        const QStringList before = lib.everything();

        // Cancelled at its last step: undone.
        Cancelling cancel;
        cancel.cancelAfter = plan.size() + 1;
        const auto undone = DuplicateStyles::merge(lib.c, plan, &cancel);
        QVERIFY(undone.cancelled && undone.deleted == 0);
        QCOMPARE(lib.everything(), before);

        const auto result = DuplicateStyles::merge(lib.c, plan);
        QVERIFY(!result.cancelled);
        QCOMPARE(result.groups, 2);
        QCOMPARE(result.deleted, 4);
        QCOMPARE(result.slotsMoved, 5);
        // The kept style's empty fields (blanks count as empty) from the others, in their order;
        // its blocks and date its own.
        QCOMPARE(
            queryRows(lib.c,
                      u"SELECT StyleProg, StyleName1, StyleDate, StyleCat, StyleAuthor FROM KORFStyles"_s),
            (QStringList{u"3|Copy 3|2019/01/01|LATIN|Ann"_s, u"6|Copy 6|2018/01/01||"_s,
                         u"7|Copy 7|2018/01/01||"_s}));
        // Every bank keeps its slots in their order; a bank may now hold a style twice.
        QCOMPARE(queryRows(lib.c, u"SELECT BankName, BankStyle01, BankStyle02, BankStyle03, BankStyle04, "
                                  "BankStyle05, BankStyle06 FROM KORFBanks ORDER BY BankProg"_s),
                 (QStringList{u"PARTY|3|6|3|6|3|0"_s, u"ALL|3|3|0|3|0|0"_s}));
        QVERIFY(DuplicateStyles::find(lib.c, {Kind::Exact, Kind::Renamed, Kind::Settings}).isEmpty());
    }

    // A merge killed part way (a process of its own, killed at its first step, the first group
    // deleted in its transaction): the library is as it was, once the next program opens it.
    void killedMergeLeavesTheLibraryAsItWas() {
        Library lib;
        const auto plan = DuplicateStyles::plan(DuplicateStyles::find(lib.c, {Kind::Exact, Kind::Settings}),
                                                KeepRule::Oldest);
        const QStringList before = lib.everything();
        const pid_t child = fork();
        if (child == 0) {
            struct Killed : Progress {
                void step(qint64 done, const QString&) override {
                    if (done >= 1)
                        raise(SIGKILL);
                }
            } killed;
            Database db(lib.env.path(u"test.mdb"_s));
            DuplicateStyles::merge(db.connection(), plan, &killed);
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QCOMPARE(lib.everything(), before);
        QCOMPARE(DuplicateStyles::find(lib.c, {Kind::Exact}).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestDuplicates)
#include "tst_duplicates.moc"
