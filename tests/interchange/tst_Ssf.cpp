#include "core/SbkError.h"
#include "interchange/SsfExport.h"
#include "interchange/SsfFile.h"
#include "interchange/SsfImport.h"
#include "store/KORFStyles.h"
#include "StyleFixtures.h"

#include <QDir>
#include <QtTest>

namespace {

// An SSF file put together field by field, so that single fields can be damaged.
QByteArray ssf(const QList<QByteArray>& fields) {
    QByteArray out = SsfFile::Signature;
    for (const QByteArray& field : fields)
        out += QByteArray::number(field.size()).rightJustified(5, '0') + field;
    return out;
}

QList<QByteArray> goodFields(const QByteArray& content1 = "abc") {
    return {"NAME", "",          QByteArray::number(content1.size()), "2", content1, "de", "", "POP", "", "",
            "",     "12/05/2006"};
}

} // namespace

class TestSsf : public QObject {
    Q_OBJECT

private slots:
    void layoutExampleByteForByte() {
        TestDb t;
        addStyle(t.c, {.name1 = "TEST", .content1 = "abc", .content2 = "de", .group = "POP"});
        // Blanks only mark the fields: names, lengths, blocks, author, group, family, description, file,
        // date.
        const QByteArray expected =
            QByteArray("SSF_SBK_Quimbral 00004TEST 00000 0000500003 0000500002 00003abc "
                       "00002de 00000 00003POP 00000 00000 00000 0001012/05/2006")
                .replace(' ', "");
        // A folder typed without a final separator still holds the file.
        const QString folder = t.env.path("out");
        QDir().mkpath(folder);
        QCOMPARE(SsfExport(t.c, folder).exportStyles({1}).files, QStringList{folder + "/TEST.SSF"});
        QCOMPARE(TestEnvironment::readFile(folder + "/TEST.SSF"), expected);
    }

    void fileNameAndDateRules() {
        QCOMPARE(SsfFile::fileName("Pop-Ballad 2"), "POPBALLAD2.SSF");
        QCOMPARE(SsfFile::fileName(QStringLiteral("A\u0000B\u00ff")), "AB.SSF");
        // Every form a stored date comes in; day and month in the order of the locale's short date
        // first, the other order when that is no date.
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
        for (const char* stored : {"2006/05/12", "2006-05-12", "2006.5.12", "12/05/2006", "12.05.2006",
                                   "12-5-06", "12/05/2006 00:00:00", "2006-05-12T10:00:00"})
            QCOMPARE(SsfFile::exportDate(stored), "12/05/2006");
        QCOMPARE(SsfFile::exportDate("05/13/2006"), "13/05/2006");
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(SsfFile::exportDate("05/12/2006"), "12/05/2006");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(SsfFile::exportDate("0006/05/12"), "12/05/0006");
        QCOMPARE(SsfFile::exportDate(QString()), SsfFile::UnknownDate);
        QCOMPARE(SsfFile::exportDate("2006/02/31"), SsfFile::UnknownDate);
    }

    void styleThatCannotBeWritten() {
        TestDb t;
        addStyle(t.c, {.name1 = "OLD", .content1 = QByteArray(100000, 'x')});
        // An older file of the same name survives the refusal, and no other file is left.
        const QString older = t.env.writeFile("out/OLD.SSF", "older file");
        const QString message = errorOf([&] { SsfExport(t.c, t.env.path("out")).exportStyles({1}); });
        QVERIFY2(message.contains("style 1 (OLD)") && message.contains("first length is 100000"),
                 qPrintable(message));
        QCOMPARE(TestEnvironment::readFile(older), QByteArray("older file"));
        QCOMPARE(QFileInfo(older).dir().entryList(QDir::Files | QDir::Hidden), QStringList{"OLD.SSF"});
    }

    void exportWritesWhatAFileCannotCarryAndSaysSo() {
        // A database filled by another program: texts without a one-byte form, a date no form reads,
        // a length that does not describe its block.
        TestDb t, other;
        addStyle(t.c, {.prog = 1,
                       .name1 = QStringLiteral("N\u4e2d"),
                       .desc = "two\r\nlines",
                       .author = QStringLiteral("Zo\u00eb \u65e5\U0001F3B5")});
        addStyle(t.c, {.prog = 2, .name1 = "FINE", .content1 = "fine"});
        QSqlQuery(t.c).exec(
            "UPDATE KORFStyles SET StyleDate = 'someday', StyleLength2 = 0 WHERE StyleProg = 1");
        const QString out = t.env.path("out");
        QDir().mkpath(out);
        const SsfExport::Result result = SsfExport(t.c, out).exportStyles({1, 2});
        QCOMPARE(result.files.size(), 2);
        QCOMPARE(result.changed,
                 QStringList{"style 1 (N\u4e2d): name, second length 0 (written as 8), author, "
                             "date \"someday\" (not a date; written as 01/01/1900)"});
        // What was written reads back: one "?" for each character, the blocks whole.
        QCOMPARE(SsfImport(other.c).importFile(result.files.first()).files.first().outcome,
                 SsfImport::Outcome::Inserted);
        const QVariantList copy = styles(other.c).first();
        // A text is one line in the database's dumps.
        QCOMPARE(copy.at(1).toString() + copy.at(13).toString() + copy.at(9).toString() +
                     copy.at(8).toString(),
                 "N?Zo\u00eb ??two  lines1900/01/01");
        QCOMPARE(copy.at(4).toInt(), 8);
    }

    void exportModes() {
        TestDb t;
        int prog = 0;
        for (const char* name : {"Zeta", "Alpha", "Mid"})
            addStyle(t.c, {.prog = ++prog, .name1 = name, .content1 = name});
        const QString out = t.env.path("out") + "/";
        QDir().mkpath(out);
        CountingProgress progress;
        SsfExport exporter(t.c, out, &progress);

        // Selected numbers: a number that is not stored is passed over without a word.
        const SsfExport::Result selected = exporter.exportStyles({3, 99, 1});
        QCOMPARE(selected.files, QStringList({out + "MID.SSF", out + "ZETA.SSF"}));
        QVERIFY(selected.skipped == 1 && progress.total == 3);

        // A bank: a style it holds twice is written once; one whose name gives a file name taken in
        // this run gets the next numbered name, and the result says so.
        addStyle(t.c, {.prog = 4, .name1 = "alpha", .content1 = "fourth"});
        KORFStyles bank;
        for (const qint32 number : {2, 4, 40, 2})
            bank.Add(number, QString(), QString(), 0, 0, {}, {});
        const SsfExport::Result banked = exporter.exportBank(bank);
        QCOMPARE(banked.files, QStringList({out + "ALPHA.SSF", out + "ALPHA_2.SSF"}));
        QCOMPARE(banked.renamed, QStringList{"style 4 (alpha) written as ALPHA_2.SSF"});
        QCOMPARE(banked.skipped, 1);
        QVERIFY(TestEnvironment::readFile(out + "ALPHA_2.SSF").contains("fourth"));
    }

    void roundTripIntoSameAndOtherDatabase() {
        TestDb a, b;
        addStyle(a.c, {.prog = 5,
                       .name1 = QStringLiteral("Ballad \u00c0\u00ff"),
                       .name2 = "B2",
                       .content1 = TestEnvironment::allBytes() + "\r\n" + TestEnvironment::allBytes(),
                       .content2 = "\x00\x1a\r"_qba,
                       .desc = QStringLiteral("Caf\u00e9 \u20ac \u2030 \u0152"),
                       .group = "POP",
                       .family = "Ballad",
                       .file = "BANK01.STY",
                       .author = "Me"});
        addStyle(b.c, {.prog = 41});
        const QString folder = a.env.path("out");
        QDir().mkpath(folder);
        const QStringList files = SsfExport(a.c, folder).exportStyles({5}).files;
        QCOMPARE(files, QStringList{folder + "/BALLAD.SSF"});

        const SsfImport::FileResult same = SsfImport(a.c).importOne(files.first());
        QVERIFY(same.outcome == SsfImport::Outcome::AlreadyPresent && same.styleProg == 5);
        const SsfImport::FileResult into = SsfImport(b.c).importOne(files.first());
        QVERIFY(into.outcome == SsfImport::Outcome::Inserted && into.styleProg == 42);
        // Every column but the number comes back as it was, the date in its stored form.
        QVariantList original = styles(a.c).first(), copy = styles(b.c).last();
        QCOMPARE(copy.takeFirst(), QVariant(42));
        original.removeFirst();
        QCOMPARE(copy, original);
    }

    void controlBytesInTextsBecomeBlanks() {
        // Zero bytes padding a field's end are dropped; every other control byte is a blank.
        QList<QByteArray> fields = goodFields();
        fields[0] = "AB\001C\x7f\0\0"_qba;
        fields[7] = "P\0P"_qba;
        fields[9] = "two\r\nlines";
        DbKORFStyle style;
        QVERIFY(SsfFile::read(ssf(fields), "C.SSF", style));
        QCOMPARE(QStringList({style.StyleName1(), style.StyleCat(), style.StyleDesc()}),
                 QStringList({"AB C ", "P P", "two  lines"}));
    }

    void emptyBlockFoundAgainAsDuplicate() {
        // The database stores an empty block as one blank; a file carries it empty, or as the export
        // writes it, as that blank with length 0.
        TestDb t;
        QList<QByteArray> fields = goodFields();
        fields[3] = "00000";
        fields[5] = "";
        const QString path = t.env.writeFile("E.SSF", ssf(fields));
        fields[5] = " ";
        const QString exported = t.env.writeFile("X.SSF", ssf(fields));
        SsfImport importer(t.c);
        QCOMPARE(importer.importFile(path).files.first().outcome, SsfImport::Outcome::Inserted);
        QCOMPARE(importer.importFile(exported).files.first().outcome, SsfImport::Outcome::AlreadyPresent);
    }

    void damagedFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("problem");
        const QByteArray good = ssf(goodFields());
        auto withField = [](int index, const QByteArray& value) {
            QList<QByteArray> fields = goodFields();
            fields[index] = value;
            return ssf(fields);
        };
        QTest::newRow("count not five digits")
            << QByteArray(good).replace(16, 5, "0a004") << "count of the name is not five digits";
        QTest::newRow("file ends early")
            << good.left(good.size() - 4) << "ends 4 bytes before the end of the date";
        QTest::newRow("impossible date") << withField(11, "31/02/2006") << "is not a date";
        QTest::newRow("huge count") << SsfFile::Signature + "99999AB"
                                    << "99999 announced";
        // The lengths must describe the blocks as they are stored: the writer and the backup trust them.
        QTest::newRow("length larger than its block")
            << withField(2, "99999")
            << "byte 30: the first length 99999 does not match the first data block of 3";
    }

    void damagedFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, problem);
        TestDb t;
        const SsfImport::Result result = SsfImport(t.c).importFile(t.env.writeFile("BROKEN.SSF", bytes));
        QVERIFY(result.files.size() == 1 && result.files.first().outcome == SsfImport::Outcome::Damaged);
        QVERIFY2(result.message().startsWith(
                     "SSF file import aborted: The SSF file BROKEN.SSF is damaged at byte ") &&
                     result.message().contains(problem),
                 qPrintable(result.message()));
        QVERIFY(styles(t.c).isEmpty());
    }

    void folderRuns() {
        // (A run that stops at a style stored already is walked through the Styles menu's window.)
        // A damaged file is a refusal.
        TestDb t;
        SsfImport importer(t.c);
        t.env.writeFile("damaged/A.SSF", ssf(goodFields("fourth")).left(30));
        t.env.writeFile("damaged/B.SSF", ssf(goodFields("fifth")));
        const SsfImport::Result damaged = importer.importFolder(t.env.path("damaged"));
        QVERIFY(damaged.files.size() == 1 && damaged.message().contains("A.SSF is damaged"));

        // Only names ending in upper-case "SSF" are visited; a file without the signature is passed over.
        t.env.writeFile("other/a.ssf", ssf(goodFields("lower case")));
        t.env.writeFile("other/X.SSF", "plain text, no signature");
        t.env.writeFile("other/NOTSSF", "also plain text");
        const SsfImport::Result other = importer.importFolder(t.env.path("other"));
        QCOMPARE(other.files.size(), 2);
        QVERIFY(other.files[0].outcome == SsfImport::Outcome::NotSsf &&
                other.files[1].outcome == SsfImport::Outcome::NotSsf);
        QCOMPARE(other.message(), SsfImport::DoneMessage);
    }

    void fuzzFindingsAreRefusedCleanly() {
        // Inputs that once troubled the reader. Each is refused naming the file, or passed over, or read;
        // what is read must be written back to a file that reads to the same style.
        const QFileInfoList files = QDir(SBK_INTERCHANGE_DATA "/ssf").entryInfoList(QDir::Files);
        if (files.isEmpty())
            QSKIP("no SSF regression files");
        for (const QFileInfo& info : files) {
            DbKORFStyle style, again;
            const QString error = errorOf([&] {
                if (SsfFile::read(TestEnvironment::readFile(info.filePath()), info.fileName(), style)) {
                    QVERIFY(SsfFile::read(SsfFile::encode(style), info.fileName(), again));
                    QCOMPARE(SsfFile::encode(again), SsfFile::encode(style));
                }
            });
            QVERIFY2(error.isEmpty() || error.contains(info.fileName()), qPrintable(error));
        }
    }
};

QTEST_GUILESS_MAIN(TestSsf)
#include "tst_Ssf.moc"
