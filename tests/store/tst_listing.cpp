#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "metadata/FilterClauses.h"
#include "session/SBKModule.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"
#include "store/SqliteConnection.h"
#include "store/StyleListing.h"
#include "TestEnvironment.h"

#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

void addStyle(QSqlDatabase db, qint32 prog, const QString& name, const QString& group,
              const QString& author) {
    DbKORFStyle style(db);
    style.setStyleProg(prog);
    style.setStyleName1(name);
    style.setStyleDesc(name + u" desc"_s);
    style.setStyleCat(group);
    style.setStyleAuthor(author);
    style.setStyleContent1(QByteArray::number(prog));
    QVERIFY2(style.InsKORFStyles(), qPrintable(style.clsKORFStylesError()));
}

QList<qint32> numbers(const StyleListing& listing) {
    QList<qint32> list;
    for (const StyleListRow& row : listing)
        list << row.StyleProg;
    return list;
}

FilterState filter(const QStringList& values, const QStringList& sorts = {}, const QList<bool>& desc = {}) {
    std::array<QString, 6> v, s;
    std::array<bool, 6> d{};
    for (int i = 0; i < 6; ++i) {
        v[size_t(i)] = values.value(i);
        s[size_t(i)] = sorts.value(i, u"<NOTHING>"_s);
        d[size_t(i)] = desc.value(i);
    }
    return FilterClauses::build(v, s, d);
}

} // namespace

class TestListing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listingFiltersAndSortsIgnoringCase() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        addStyle(db->connection(), 1, u"bossa"_s, u"Latin"_s, u"Ann"_s);
        addStyle(db->connection(), 2, u"Ballad"_s, u"pop"_s, u"O'Brien"_s);
        addStyle(db->connection(), 3, u"ALPINE"_s, u"POP"_s, u"Ann"_s);
        addStyle(db->connection(), 4, u"cha cha"_s, u"Pop Rock"_s, u"Ann"_s);

        auto list = [&](const FilterState& f) {
            return numbers(
                StyleListing::GetAllStyles(db->connection(), f.FilterWhere, f.FilterOrder, f.FilterValues));
        };
        QCOMPARE(list(filter({{}, {}, {}, u"pop"_s})), (QList<qint32>{2, 3}));
        QCOMPARE(list(filter({u"b%"_s, {}, {}, {}, {}, u"ann"_s})), QList<qint32>{1});
        // Values are bound, never written in: an apostrophe is matched as itself.
        QCOMPARE(list(filter({{}, {}, {}, {}, {}, u"o'brien"_s})), QList<qint32>{2});
        QCOMPARE(list(filter({u"x' OR '1'='1"_s})), QList<qint32>{});
        QVERIFY_THROWS_EXCEPTION(SbkError, StyleListing::GetAllStyles(db->connection(), u"NOPE ="_s, {}));

        // Names as the import stores them, blank-padded, and letters outside ASCII: found as shown,
        // without case, and sorted so (in number order when no order is given).
        addStyle(db->connection(), 5, u"New Style       "_s, u"Été"_s, {});
        addStyle(db->connection(), 6, u"émile"_s, u"été"_s, {});
        addStyle(db->connection(), 7, u"Étienne"_s, u"ÉTÉ  "_s, {});
        QCOMPARE(list(filter({u"%STYLE"_s})), QList<qint32>{5});
        QCOMPARE(list(filter({{}, {}, {}, u"été"_s})), (QList<qint32>{5, 6, 7}));
        QCOMPARE(list(filter({}, {u"NAME"_s})), (QList<qint32>{3, 2, 1, 4, 5, 6, 7}));
        QCOMPARE(list(filter({}, {u"NAME"_s}, {true})), (QList<qint32>{7, 6, 5, 4, 1, 2, 3}));

        // By the number of banks that hold a style, a bank that holds it twice counted once; with a
        // condition beside it.
        QSqlQuery banks(db->connection());
        QVERIFY(
            banks.exec(u"INSERT INTO KORFBanks (BankProg, BankName, BankStyle01, BankStyle02, BankStyle03) "
                       "VALUES (1, 'A', 4, 4, 2), (2, 'B', 4, 0, 0)"_s));
        FilterState byBanks = filter({{}, {}, {}, u"pop%"_s});
        byBanks.FilterOrder = u"BANKS DESC, STYLEPROG"_s;
        QCOMPARE(list(byBanks), (QList<qint32>{4, 2, 3}));
    }

    void valuesAreReadAsTheDriverReadsThem() {
        // A database of another program may hold blobs, numbers or NULL where the listing expects
        // texts. The listing reads SQLite's values itself: each must come out as QSqlQuery gives it,
        // in the listing, in a row edited in place and in the rows handed out one by one.
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        QSqlQuery insert(db->connection());
        QVERIFY2(insert.exec(
                     u"INSERT INTO KORFStyles (StyleProg, StyleName1, StyleDesc, StyleFamily, StyleCat, "
                     "StyleAuthor, StyleDate, Tempo, Meter, StyleFile) VALUES "
                     "(1, 'Été' || char(0) || 'x', x'C3A9', x'FF41', NULL, '', 'd', 95.6, '3/4', 'A.STY'), "
                     "(2, 'plain', 'desc', 'f', 'g', 'Ann', '2024/01/01', 'fast', x'41', x'42'), "
                     "(3, 'third', NULL, NULL, NULL, NULL, NULL, 120, NULL, NULL)"_s),
                 qPrintable(insert.lastError().text()));
        QList<QStringList> expected;
        QSqlQuery plain(db->connection());
        QVERIFY(plain.exec(StyleListing::statement({}, {})));
        while (plain.next()) {
            QStringList row;
            for (int c = 0; c <= StyleListing::File; ++c)
                row << (c == StyleListing::Prog || c == StyleListing::Tempo
                            ? QString::number(plain.value(c).toInt()) + (plain.isNull(c) ? u"?"_s : u""_s)
                            : plain.value(c).toString());
            expected << row;
        }
        const auto shown = [](const StyleListRow& r) {
            const QString tempo = r.Tempo ? QString::number(*r.Tempo) : u"0?"_s;
            return QStringList{QString::number(r.StyleProg), r.StyleName1, r.StyleDesc, r.StyleFamily} +
                   QStringList{r.StyleCat, r.StyleAuthor, r.StyleDate, tempo, r.Meter, r.StyleFile};
        };
        QList<QStringList> streamed;
        StyleListing::forEachStyle(db->connection(), {}, {}, {},
                                   [&](StyleListRow& row) { streamed << shown(row); });
        QCOMPARE(streamed, expected);
        StyleListing listing = StyleListing::GetAllStyles(db->connection(), {}, {});
        QCOMPARE(listing.text(0, StyleListing::Name1), u"Été\0x"_s);
        StyleListRow edited = listing.row(1);
        edited.StyleName1 = u"renamed"_s;
        listing.replace(1, edited);
        expected[1][1] = u"renamed"_s;
        QList<QStringList> listed;
        for (const StyleListRow& row : listing)
            listed << shown(row);
        QCOMPARE(listed, expected);

        // SBKFOLD takes a text all in ASCII by a path of its own: it must fold as the full fold does.
        QSqlQuery fold(db->connection());
        QVERIFY(fold.prepare(u"SELECT SBKFOLD(?)"_s));
        for (const QString& text : {u"Bossa Nova  "_s, u"ABC\0\0 "_s, u"A\0b  "_s, u""_s, u"   "_s,
                                    u"MiXeD 12/8 [x]~"_s, u"ÉTÉ  "_s, u"Straße"_s, QString(300, u'Q')}) {
            fold.addBindValue(text);
            QVERIFY(fold.exec() && fold.next());
            QCOMPARE(fold.value(0).toString(), SqliteConnection::fold(text));
        }
    }

    void styleFactsFilterAndSortByTheirNumbers() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        const QList<std::pair<int, QString>> facts{{120, u"4/4"_s}, {96, u"12/8"_s}, {70, u"6/8"_s},
                                                   {0, QString()},  {100, u"3/4"_s}, {110, u"3/4"_s}};
        for (int i = 0; i < facts.size(); ++i) {
            DbKORFStyle style(db->connection());
            style.setStyleProg(i + 1);
            style.setStyleName1(i % 2 ? u"Odd"_s : u"Even"_s);
            style.setStyleContent1(QByteArray::number(i));
            style.setTempo(facts[i].first ? std::optional<int>(facts[i].first) : std::nullopt);
            style.setMeter(facts[i].second);
            QVERIFY2(style.InsKORFStyles(), qPrintable(style.clsKORFStylesError()));
        }
        auto list = [&](const QString& name, const QString& meter, int from, int to, const QString& order) {
            FilterState f = filter({name}, {order});
            FilterClauses::addFacts(f, meter, from, to);
            return numbers(
                StyleListing::GetAllStyles(db->connection(), f.FilterWhere, f.FilterOrder, f.FilterValues));
        };
        QCOMPARE(list({}, u"3/4"_s, 90, 110, {}), (QList<qint32>{5, 6}));
        QCOMPARE(list(u"odd"_s, {}, 0, 100, {}), QList<qint32>{2}); // and the name; 110 is above the range
        QCOMPARE(list({}, {}, 0, 0, u"TEMPO"_s), (QList<qint32>{4, 3, 2, 5, 6, 1}));
        // By numerator, then denominator, not as text ("12/8" last); unknown first.
        QCOMPARE(list({}, {}, 0, 0, u"METER"_s), (QList<qint32>{4, 5, 6, 1, 3, 2}));
        QCOMPARE(StyleListing::metersPresent(db->connection()),
                 (QStringList{u"3/4"_s, u"4/4"_s, u"6/8"_s, u"12/8"_s}));
        const StyleListing all = StyleListing::GetAllStyles(db->connection(), {}, {});
        QVERIFY(all.row(1).Tempo == 96 && all.row(1).Meter == u"12/8"_s && !all.row(3).Tempo &&
                all.row(3).Meter.isEmpty());
    }

    void settingsUseTheProgramsKeys() {
        TestEnvironment env;
        {
            SBKSettings settings;
            settings.setValue(SBKSettings::Path, SBKSettings::Database, u"/music/SBK.MDB"_s);
            settings.setValue(SBKSettings::Ssf, SBKSettings::Export, u"/tmp/ssf/"_s);
            QVERIFY(settings.fileName().startsWith(env.configFolder()));
        }
        // The keys other copies of the program write and read.
        QSettings raw(u"SBK"_s, u"SBK"_s);
        QCOMPARE(raw.value(u"PATH/DATABASE"_s).toString(), u"/music/SBK.MDB"_s);
        QCOMPARE(raw.value(u"SSF/EXPORT"_s).toString(), u"/tmp/ssf/"_s);
        raw.setValue(u"PARAMETERS/FLOPPYDRIVE"_s, u"/media/floppy"_s);
        raw.sync();
        SBKModule module;
        module.readParameters(SBKSettings());
        QVERIFY(module.FloppyDrive == u"/media/floppy"_s && module.KorgProgramPath.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
