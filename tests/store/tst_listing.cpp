#include "core/SbkError.h"
#include "core/SBKModule.h"
#include "core/SBKSettings.h"
#include "metadata/FilterClauses.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"
#include "store/StyleListing.h"
#include "TestEnvironment.h"

#include <QSettings>
#include <QtTest>

namespace {

void addStyle(QSqlDatabase db, qint32 prog, const QString& name, const QString& group,
              const QString& author) {
    DbKORFStyle style(db);
    style.setStyleProg(prog);
    style.setStyleName1(name);
    style.setStyleDesc(name + QStringLiteral(" desc"));
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
        s[size_t(i)] = sorts.value(i, QStringLiteral("<NOTHING>"));
        d[size_t(i)] = desc.value(i);
    }
    return FilterClauses::build(v, s, d);
}

} // namespace

class TestListing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void clausesAreBuiltAsTheFilterDialogDoes() {
        const FilterState none = filter({});
        QCOMPARE(none.FilterWhere, QString());
        QCOMPARE(none.FilterOrder, QString());

        const FilterState example = filter(
            {QStringLiteral(" pop% "), {}, {}, {}, {}, QStringLiteral("smith")},
            {QStringLiteral("name"), QStringLiteral("GROUP"), QStringLiteral("NAME")}, {true, false, false});
        QCOMPARE(example.FilterWhere,
                 QStringLiteral("SBKFOLD(STYLENAME1) LIKE SBKFOLD(?) AND SBKFOLD(STYLEAUTHOR) = SBKFOLD(?)"));
        QCOMPARE(example.FilterValues, (QStringList{QStringLiteral("POP%"), QStringLiteral("SMITH")}));
        QCOMPARE(example.FilterOrder, QStringLiteral("STYLENAME1 DESC, STYLECAT, STYLENAME1"));
        QCOMPARE(example.FilterFields[0], QStringLiteral("POP%"));
        QCOMPARE(example.FilterFields[6], QStringLiteral("NAME"));
        QCOMPARE(example.FilterFields[12], QStringLiteral(" DESC"));
        QCOMPARE(example.FilterFields[13], QString());

        // Values are bound, never written into the clause: a quote is matched as itself.
        const FilterState quote = filter({QStringLiteral("rock'n'roll")});
        QCOMPARE(quote.FilterWhere, QStringLiteral("SBKFOLD(STYLENAME1) = SBKFOLD(?)"));
        QCOMPARE(quote.FilterValues, QStringList{QStringLiteral("ROCK'N'ROLL")});

        const FilterState unknown = filter({}, {QStringLiteral("COLOUR"), QStringLiteral("file name")});
        QCOMPARE(unknown.FilterOrder, QStringLiteral("STYLEFILE"));
    }

    void listingFiltersAndSortsIgnoringCase() {
        TestEnvironment env;
        env.createDatabase();
        auto db = env.openDatabase();
        addStyle(db->connection(), 1, QStringLiteral("bossa"), QStringLiteral("Latin"),
                 QStringLiteral("Ann"));
        addStyle(db->connection(), 2, QStringLiteral("Ballad"), QStringLiteral("pop"),
                 QStringLiteral("O'Brien"));
        addStyle(db->connection(), 3, QStringLiteral("ALPINE"), QStringLiteral("POP"), QStringLiteral("Ann"));
        addStyle(db->connection(), 4, QStringLiteral("cha cha"), QStringLiteral("Pop Rock"),
                 QStringLiteral("Ann"));

        auto list = [&](const FilterState& f) {
            return numbers(
                StyleListing::GetAllStyles(db->connection(), f.FilterWhere, f.FilterOrder, f.FilterValues));
        };
        QCOMPARE(list(filter({})), (QList<qint32>{1, 2, 3, 4}));
        QCOMPARE(list(filter({}, {QStringLiteral("NAME")})), (QList<qint32>{3, 2, 1, 4}));
        QCOMPARE(list(filter({}, {QStringLiteral("NAME")}, {true})), (QList<qint32>{4, 1, 2, 3}));
        QCOMPARE(list(filter({{}, {}, {}, QStringLiteral("pop")})), (QList<qint32>{2, 3}));
        QCOMPARE(list(filter({{}, {}, {}, QStringLiteral("pop%")})), (QList<qint32>{2, 3, 4}));
        QCOMPARE(list(filter({{}, {}, {}, {}, {}, QStringLiteral("o'brien")})), QList<qint32>{2});
        QCOMPARE(list(filter({QStringLiteral("x' OR '1'='1")})), QList<qint32>{});
        QCOMPARE(list(filter({QStringLiteral("nothing like it")})), QList<qint32>{});

        const StyleListing listing = StyleListing::GetAllStyles(db->connection(), {}, {});
        QCOMPARE(listing.RecordCount(), 4);
        QCOMPARE(listing.row(1).StyleCat, QStringLiteral("pop"));
        QCOMPARE(listing.row(1).StyleDesc, QStringLiteral("Ballad desc"));
        QCOMPARE(
            StyleListing::statement({}, {}),
            QStringLiteral("SELECT STYLEPROG, STYLENAME1, STYLEDESC, STYLEFAMILY, STYLECAT, STYLEAUTHOR, "
                           "STYLEDATE FROM KORFSTYLES ORDER BY STYLEPROG"));
        QVERIFY_THROWS_EXCEPTION(SbkError,
                                 StyleListing::GetAllStyles(db->connection(), QStringLiteral("NOPE ="), {}));

        // Names as the import stores them, blank-padded, and letters outside ASCII: found as shown,
        // without case, and sorted so.
        addStyle(db->connection(), 5, QStringLiteral("New Style       "), QStringLiteral("Été"), {});
        addStyle(db->connection(), 6, QStringLiteral("émile"), QStringLiteral("été"), {});
        addStyle(db->connection(), 7, QStringLiteral("Étienne"), QStringLiteral("ÉTÉ  "), {});
        QCOMPARE(list(filter({QStringLiteral("new style")})), QList<qint32>{5});
        QCOMPARE(list(filter({QStringLiteral("%STYLE")})), QList<qint32>{5});
        QCOMPARE(list(filter({{}, {}, {}, QStringLiteral("été")})), (QList<qint32>{5, 6, 7}));
        QCOMPARE(list(filter({QStringLiteral("é%")})), (QList<qint32>{6, 7}));
        QCOMPARE(list(filter({}, {QStringLiteral("NAME")})), (QList<qint32>{3, 2, 1, 4, 5, 6, 7}));
        QCOMPARE(list(filter({}, {QStringLiteral("NAME")}, {true})), (QList<qint32>{7, 6, 5, 4, 1, 2, 3}));
    }

    void settingsUseTheDesignedKeys() {
        TestEnvironment env;
        {
            SBKSettings settings;
            QCOMPARE(settings.value(SBKSettings::Path, SBKSettings::Database), QString());
            settings.setValue(SBKSettings::Path, SBKSettings::Database, QStringLiteral("/music/SBK.MDB"));
            settings.setValue(SBKSettings::Parameters, SBKSettings::FloppyDrive,
                              QStringLiteral("/media/floppy"));
            settings.setValue(SBKSettings::Ssf, SBKSettings::Export, QStringLiteral("/tmp/ssf/"));
            QVERIFY(settings.fileName().startsWith(env.configFolder()));
        }
        QSettings raw(QStringLiteral("SBK"), QStringLiteral("SBK"));
        QCOMPARE(raw.value(QStringLiteral("PATH/DATABASE")).toString(), QStringLiteral("/music/SBK.MDB"));
        QCOMPARE(raw.value(QStringLiteral("PARAMETERS/FLOPPYDRIVE")).toString(),
                 QStringLiteral("/media/floppy"));
        QCOMPARE(raw.value(QStringLiteral("SSF/EXPORT")).toString(), QStringLiteral("/tmp/ssf/"));

        SBKModule module;
        module.readParameters(SBKSettings());
        QCOMPARE(module.FloppyDrive, QStringLiteral("/media/floppy"));
        QCOMPARE(module.KorgProgramPath, QString());
    }

    void connectingClearsTheFilter() {
        TestEnvironment env;
        SBKModule module;
        module.DatabasePath = env.createDatabase();
        module.ConnectDatabase();
        addStyle(module.connection(), 1, QStringLiteral("A"), {}, {});
        module.FilterWhere = QStringLiteral("STYLENAME1 = 'B'");
        module.FilterOrder = QStringLiteral("STYLENAME1 DESC");
        module.FilterFields[0] = QStringLiteral("B");
        module.refreshListing();
        QCOMPARE(module.StyleRecordset.RecordCount(), 0);
        module.ConnectDatabase();
        QCOMPARE(module.FilterWhere, QString());
        QCOMPARE(module.FilterOrder, QString());
        QCOMPARE(module.FilterFields[0], QString());
        module.refreshListing();
        QCOMPARE(module.StyleRecordset.RecordCount(), 1);

        module.DatabasePath = env.path(QStringLiteral("gone.mdb"));
        QVERIFY_THROWS_EXCEPTION(SbkError, module.ConnectDatabase());
        QVERIFY(!module.isConnected());
    }
};

QTEST_GUILESS_MAIN(TestListing)
#include "tst_listing.moc"
