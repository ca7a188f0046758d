// The style import engine: duplicate policies, stored values, the picker, logs, folder scans with
// the entries they cannot read, the rollback of a failed run and a database busy with another program.
#include "core/SbkError.h"
#include "interchange/PddBackup.h"
#include "interchange/PddRestore.h"
#include "interchange/SsfExport.h"
#include "interchange/SsfImport.h"
#include "metadata/FilterClauses.h"
#include "store/DbKORFBank.h"
#include "store/SqliteConnection.h"
#include "store/StyleListing.h"
#include "sty/StyImport.h"
#include "sty/StyleFacts.h"
#include "sty/StyMaker.h"
#include "StyleBlocks.h"
#include "StyTestData.h"
#include "TestEnvironment.h"

#include <future>
#include <QDirIterator>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace StyTestData;

using Fixture = ImportFixture;

class TestStyImport : public QObject {
    Q_OBJECT

private slots:
    void policiesTwice_data() {
        QTest::addColumn<int>("policy");
        QTest::addColumn<int>("styles");
        QTest::addColumn<int>("logLines");
        QTest::newRow("content") << int(StyImport::Policy::SkipDuplicates) << 3 << 3;
        QTest::newRow("name") << int(StyImport::Policy::OverwriteByName) << 3 << 0;
        QTest::newRow("all") << int(StyImport::Policy::ImportAll) << 6 << 0;
    }
    void policiesTwice() {
        QFETCH(int, policy);
        QFETCH(int, styles);
        QFETCH(int, logLines);
        Fixture f;
        // The first style has one block only: it must be found again as a duplicate too.
        KORFStyles list;
        addStyle(list, "Single", block(30, 1));
        addStyle(list, "Double", block(31, 2), "Double b", block(32, 3));
        addStyle(list, "Third", block(33, 4), "Third b", block(34, 5));
        f.env.writeFile("POP.STY", KORFLibrary::encodeCollection(list));
        f.import.setPolicy(StyImport::Policy(policy));
        QCOMPARE(f.run("POP.STY"), QString());
        const QString log = f.run("POP.STY");
        QCOMPARE(int(log.count("\r\n")), logLines);
        QCOMPARE(f.counts(), QString::number(styles) + "|2");
        QCOMPARE(f.bankSlots(), (QStringList{"1|2|3|0", styles == 3 ? "1|2|3|0" : "4|5|6|0"}));
        if (logLines)
            QVERIFY(
                log.startsWith("Style Single           (1) from file POP.STY is the same as style Single"));
    }

    void duplicatesFoundWithOrWithoutFingerprints() {
        // Files read ahead of their turn are stored in order, and a copy of a style stored earlier
        // in the same run is found; a second run finds every style again, by the exact fingerprint
        // while every stored style has one, by the search key once one has none (a style stored
        // by another program).
        Fixture f;
        f.import.setFactsReader(&StyleFacts::read);
        for (int i = 1; i <= 3; ++i)
            f.env.writeFile(QStringLiteral("run/%1.STY").arg(i), bankFile(2, i));
        f.env.writeFile(QStringLiteral("run/4.STY"), bankFile(2, 1));
        QCOMPARE(int(f.run("run", true).count("will not be imported")), 2);
        QCOMPARE(f.rows("SELECT COUNT(*) FROM KORFStyles WHERE FingerprintExact IS NOT NULL"),
                 QStringList{"6"});
        QCOMPARE(f.rows("SELECT BankStyle01, BankStyle02 FROM KORFBanks ORDER BY BankProg"),
                 (QStringList{"1|2", "3|4", "5|6", "1|2"}));
        for (const bool withoutOne : {false, true}) {
            if (withoutOne)
                f.rows("UPDATE KORFStyles SET FingerprintExact = NULL WHERE StyleProg = 4");
            const QString log = f.run("run", true);
            QCOMPARE(int(log.count("will not be imported")), 8);
            QCOMPARE(f.rows("SELECT COUNT(*) FROM KORFStyles"), QStringList{"6"});
        }
    }

    void storedValues() {
        Fixture f;
        // Styles at positions 1 and 3 of the bank; the first has no second block.
        f.env.writeFile("abcdefghij_long_name.sty",
                        rawSty({{"Alpha", 2, 0}, {"Gamma", 2, 2}, {"Gamma b", 7, 2}},
                               {block(10, 1), block(11, 2), block(12, 3)}));
        f.import.setToday(QDate(2024, 3, 9));
        QCOMPARE(f.import.run(f.env.path("abcdefghij_long_name.sty"), false, QString(), "Latin", "Me"),
                 QString());
        QCOMPARE(f.rows("SELECT StyleName2, StyleDate, StyleFamily, StyleCat, StyleAuthor, StyleFile, "
                        "StyleLength2, hex(StyleContent2) FROM KORFStyles"),
                 (QStringList{"|2024/03/09| |Latin|Me|abcdefghij_long_.sty|0|20",
                              "Gamma b         |2024/03/09| |Latin|Me|abcdefghij_long_.sty|20|" +
                                  block(12, 3).toHex().toUpper()}));
        QCOMPARE(f.rows("SELECT BankName, BankDesc, BankStyle01, BankStyle02, BankStyle03 FROM KORFBanks"),
                 QStringList{"ABCDE001|Bank ABCDE|1|2|0"});

        // What SSF and PDD files cannot carry never enters: a file name keeps only characters with a
        // one-byte form (upper-cased for the bank too), typed values are refused naming the field.
        const QString psi = f.env.writeFile(QStringLiteral("\u03a8-\u00b5 styles.sty"),
                                            rawSty({{"Psi", 2, 0}}, {block(6, 4)}));
        f.import.run(psi, false, QString(), QString(), QString());
        QCOMPARE(f.rows("SELECT StyleFile FROM KORFStyles WHERE StyleProg = 3"),
                 QStringList{QStringLiteral("_-\u00b5 styles.sty")});
        QCOMPARE(f.rows("SELECT BankName, BankDesc FROM KORFBanks WHERE BankProg = 2"),
                 QStringList{"_-_ S002|Bank _-_ S"});
        const QString refused = errorOf(
            [&] { f.import.run(psi, false, QString(), QString(), QStringLiteral("Zo\u00eb \u65e5\u672c")); });
        QVERIFY2(refused.startsWith(
                     QStringLiteral("The author \"Zo\u00eb \u65e5\u672c\" holds the character \"\u65e5\"")),
                 qPrintable(refused));
        QCOMPARE(f.counts(), "3|2");
    }

    void folderRun() {
        Fixture f;
        // Foreign files are logged and passed over, files not ending in "STY" are not taken, and
        // subfolders follow the folder's own files, depth first.
        const QStringList styFiles{"top/b.sty", "top/a/deeper/d.sty", "top/a/c.sty", "top/A.STY",
                                   "top/z/e.sty"};
        for (int i = 0; i < styFiles.size(); ++i)
            f.env.writeFile(styFiles[i], bankFile(1, i));
        f.env.writeFile("top/A_I30.STY", "KORGI-style");
        f.env.writeFile("top/C_TEXT.STY", "hello");
        f.env.writeFile("top/E_OTHER.TXT", "KORGI");
        f.env.writeFile("top/F_CUT.STY", bankFile(1, 7).chopped(5)); // its index cut short
        f.env.writeFile("top/FMYSTY", "KORG9");
        f.import.setSubfolders(true);
        QCOMPARE(f.run("top", true),
                 "A_I30.STY is probably a style for KORG i30 arranger\r\n"
                 "C_TEXT.STY is not a Pa style, is damaged, its format is unknown or you have no "
                 "rights to access it!\r\n"
                 "F_CUT.STY has a damaged index at its end; its styles were read all the same\r\n"
                 "FMYSTY is probably a style for KORG i3,i2,i1,i4s arrangers\r\n");
        QCOMPARE(f.rows("SELECT StyleFile FROM KORFStyles ORDER BY StyleProg"),
                 (QStringList{"A.STY", "b.sty", "F_CUT.STY", "c.sty", "d.sty", "e.sty"}));
        QCOMPARE(f.counts(), "6|6");
    }

    void unreadableFilesArePassedOver() {
        // A file gone between the scan and its turn, and one its permissions refuse (root reads
        // any), are named in the log; the run goes on and keeps the other files.
        Fixture f;
        for (const char* name : {"run/A.STY", "run/B.STY", "run/C.STY"})
            f.env.writeFile(name, bankFile(1, name[4] - 'A'));
        QFile::setPermissions(f.env.path("run/C.STY"), {});
        const bool refusesC = !QFileInfo(f.env.path("run/C.STY")).isReadable();
        f.import.begin(f.env.path("run"), true, QString(), QString(), QString());
        QVERIFY(QFile::remove(f.env.path("run/B.STY")));
        while (f.import.importNext()) {
        }
        const QString log = f.import.finish();
        QVERIFY2(log.startsWith("B.STY was passed over: " + f.env.path("run/B.STY") + " does not exist"),
                 qPrintable(log));
        QCOMPARE(log.contains("C.STY cannot be read (Permission denied); it was passed over\r\n"), refusesC);
        QCOMPARE(f.import.filesSkipped(), refusesC ? 2 : 1);
        QCOMPARE(f.counts(), refusesC ? "1|1" : "2|2");
    }

    void errorRollsBackTheWholeRun() {
        Fixture f;
        f.env.writeFile("EARLIER.STY", bankFile(2, 9));
        f.run("EARLIER.STY");
        for (int i = 1; i <= 4; ++i)
            f.env.writeFile(QStringLiteral("run/%1.STY").arg(i), bankFile(2, i).left(i == 3 ? 150 : 10000));
        const QString error = errorOf([&] { f.run("run", true); });
        QVERIFY2(error.contains("3.STY: at byte offset ") &&
                     error.contains("the database is as it was before"),
                 qPrintable(error));
        QCOMPARE(f.counts(), "2|1");

        // Refused before anything is read: a value too long for its column, a missing folder.
        QVERIFY_THROWS_EXCEPTION(SbkError, f.run("EARLIER.STY", false, QString(21, 'x')));
        QVERIFY_THROWS_EXCEPTION(SbkError, f.run("nowhere", true));
        // A failed insert (a family from the picker too long for its column) undoes the run.
        f.import.setPicker([](const StyImport::PickerRequest& request) {
            StyImport::PickerAnswer answer{{}, request.values};
            answer.picked.fill(true);
            answer.values[0] = QString(30, 'f');
            return std::optional<StyImport::PickerAnswer>(answer);
        });
        QVERIFY_THROWS_EXCEPTION(SbkError, f.run("run/1.STY"));
        QCOMPARE(f.counts(), "2|1");
    }

    void oddEntriesAreNamedNeverRead() {
#ifndef Q_OS_UNIX
        QSKIP("pipes, devices and undecodable names are made with POSIX calls");
#else
        Fixture f;
        const QString folder = f.env.path("odd");
        f.env.writeFile("odd/good.sty", bankFile(2, 1));
        const QByteArray native = QFile::encodeName(folder);
        for (const QByteArray dot : {".sty", ".SSF"}) {
            QCOMPARE(::mkfifo(native + "/p" + dot, 0644), 0);
            QCOMPARE(::symlink("/dev/zero", native + "/z" + dot), 0);
            QCOMPARE(::symlink(native + "/nowhere", native + "/broken" + dot), 0);
            QVERIFY(::close(::open(native + "/lat\xe9" + dot, O_CREAT | O_WRONLY, 0644)) == 0);
        }
        QDir().mkpath(f.env.path("odd/folder.sty"));
        // A folder whose path is longer than the system allows, made step by step from its parent.
        const QByteArray step(200, 'd');
        int fd = ::open(native, O_RDONLY | O_DIRECTORY);
        for (int i = 0; i < 21; ++i) {
            ::mkdirat(fd, step, 0755);
            const int next = ::openat(fd, step, O_RDONLY | O_DIRECTORY);
            ::close(fd);
            fd = next;
        }
        ::close(::openat(fd, "deep.sty", O_CREAT | O_WRONLY, 0644));
        ::close(fd);
        // The deep folder is beyond the reach of Qt's own clean-up.
        const auto cleanUp = qScopeGuard([&] { QProcess::execute("rm", {"-rf", folder}); });

        // Every entry ending in STY is imported or named with its reason; none stops the run.
        QCOMPARE(f.run("odd", true),
                 "broken.sty is a link whose target does not exist; it was passed over\r\n"
                 "folder.sty is a folder, not a file; it was passed over\r\n"
                 "lat\\xE9.sty has a name that is not valid UTF-8, so it cannot be opened (rename it to "
                 "read it); it was passed over\r\n"
                 "p.sty is a named pipe, not a regular file; it was passed over\r\n"
                 "z.sty is a device, not a regular file; it was passed over\r\n");
        QCOMPARE(f.import.filesSkipped(), 5);
        QCOMPARE(f.counts(), "2|1");
        // Folders that cannot be read are named too.
        f.import.setSubfolders(true);
        const QString log = f.run("odd", true);
        QVERIFY2(log.contains("cannot be read (File name too long). Its files were not imported.\r\n"),
                 qPrintable(log.right(300)));
        QCOMPARE(f.import.foldersUnread(), 1);

        // Given by name, a pipe is refused unread (the CLI's test holds a device).
        QVERIFY(errorOf([&] { f.run("odd/p.sty"); }).startsWith(f.env.path("odd/p.sty is a named pipe")));
        QVERIFY(PddRestore::validate(f.env.path("odd/p.sty")).problem.contains("is a named pipe"));
        SsfImport ssf(f.db->connection());
        QVERIFY(ssf.importFile(f.env.path("odd/z.SSF")).message().contains("is a device"));
        QCOMPARE(ssf.importFolder(folder).files.size(), 4); // broken, lat\xE9, p and z: named, went on
#endif
    }

    void busyDatabaseIsWaitedFor() {
        Fixture f;
        f.env.writeFile("A.STY", bankFile(2, 1));
        // Another program (a thread with a connection of its own) holds a write transaction: the run
        // waits for it; when the wait runs out, the message says why.
        for (const int timeout : {0, 100}) {
            if (timeout)
                SqliteConnection::setBusyTimeout(f.db->connection(), timeout);
            std::promise<void> locked;
            std::thread other([path = f.env.path("test.mdb"), &locked] {
                {
                    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
                    db.setDatabaseName(path);
                    db.open();
                    QSqlQuery query(db);
                    query.exec("BEGIN IMMEDIATE");
                    query.exec("INSERT INTO KORFBanks (BankProg, BankName, BankDesc) VALUES (99, 'X', 'X')");
                    locked.set_value();
                    QThread::msleep(1500);
                    query.exec("COMMIT");
                }
                QSqlDatabase::removeDatabase("other");
            });
            locked.get_future().wait();
            const QString error = errorOf([&] { f.run("A.STY"); });
            other.join();
            QVERIFY2(timeout ? error.contains("the database is in use by another program") : error.isEmpty(),
                     qPrintable(error));
        }
        QCOMPARE(f.counts(), "2|2");
    }

    void newerFileKeepsItsEntries() {
        Fixture f;
        KORFStyles list;
        addStyle(list, "A name of twenty-eight bytes", block(30, 1), "Perf", block(40, 2, hex("09020130")));
        addStyle(list, "Second", block(31, 3));
        f.env.writeFile("USER12.STY", KORFLibrary::encodeCollection(list, newerOptions(0x1C)));
        QCOMPARE(f.run("USER12.STY"), QString());
        const QString entries = "SELECT StyleProg, EntryBlock, EntryTime, EntrySystem FROM KORFEntries";
        const QString at = "|2024-05-06 07:08:09|Z112A STD v1.3.1";
        const QStringList kept{"1|1" + at, "1|2" + at, "2|1" + at};
        QCOMPARE(f.rows(entries), kept);

        // Duplicates keep the stored entries; a style overwritten by name takes the new file's.
        f.run("USER12.STY");
        QCOMPARE(f.rows(entries), kept);
        KORFStyles renewed;
        addStyle(renewed, "Second", block(32, 4));
        f.env.writeFile("USER01.STY",
                        KORFLibrary::encodeCollection(renewed, newerOptions(0x11, QDate(2025, 1, 2))));
        f.import.setPolicy(StyImport::Policy::OverwriteByName);
        f.run("USER01.STY");
        QCOMPARE(f.rows(entries + " WHERE StyleProg = 2"),
                 QStringList{"2|1|2025-01-02 07:08:09|Z112A STD v1.3.1"});
        // Deleting a style takes its entries along.
        f.rows("DELETE FROM KORFStyles WHERE StyleProg = 1");
        QCOMPARE(f.rows("SELECT COUNT(*) FROM KORFEntries"), QStringList{"1"});
    }

    void stylesCarryTheirFactsAndTheirDamage() {
        // Styles as instruments save them in a set folder, two of them damaged: one performance
        // block does not decode where its tempo lies, one style block only behind its meter. All
        // are stored byte for byte, the damaged ones named once in the log with what is wrong and
        // counted in the summary, and the bank tells the set folder and file. A PDD restore and an
        // SSF import, which carry only the blocks, read the same facts and the same damage again;
        // the listing of damaged styles finds the two.
        Fixture f;
        f.import.setFactsReader(&StyleFacts::read);
        QByteArray damaged = StyleBlocks::performanceBlock(120);
        damaged[40] = char(0x7F);
        QByteArray tail = StyleBlocks::styleBlock(0x22, false, QByteArray(400, 't'));
        tail[tail.size() - 1] = char(tail.back() ^ 1); // the check byte
        KORFStyles styles;
        addStyle(styles, "Waltz", StyleBlocks::styleBlock(0x1A), "Waltz", StyleBlocks::performanceBlock(90));
        addStyle(styles, "Jig", StyleBlocks::styleBlock(0x33, true), "Jig",
                 StyleBlocks::performanceBlock(112, true));
        addStyle(styles, "Cut", StyleBlocks::styleBlock(0x22), "Cut", damaged);
        addStyle(styles, "Tail", tail, "Tail", StyleBlocks::performanceBlock(100));
        f.env.writeFile("chordtable1.SET/STYLE/FAVORITE01.STY", KORFLibrary::encodeCollection(styles));
        const QString log = f.run("chordtable1.SET/STYLE/FAVORITE01.STY");
        const QStringList lines = log.split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(
            lines[0].startsWith("Style Cut") &&
                lines[0].contains("(3) from file FAVORITE01.STY is damaged: the performance block does not "
                                  "decode: at byte offset 114: the check byte is") &&
                lines[0].endsWith("It was imported as it is, without its tempo"),
            qPrintable(log));
        QVERIFY2(lines[1].startsWith("Style Tail") &&
                     lines[1].contains(
                         QStringLiteral(
                             "(4) from file FAVORITE01.STY is damaged: the style block does not decode: "
                             "at byte offset %1: the check byte is")
                             .arg(tail.size() - 9)) &&
                     lines[1].endsWith("It was imported as it is"),
                 qPrintable(log));
        QVERIFY2(f.import.summary().contains("not picked, 2 damaged styles stored as they are; 1 banks"),
                 qPrintable(f.import.summary()));
        QCOMPARE(f.rows("SELECT BankName, BankDesc FROM KORFBanks"),
                 QStringList{"FAVOR001|chordtable1.SET/STYLE/FAVORITE01.STY"});
        const QString facts = "SELECT StyleName2, Tempo, Meter FROM KORFStyles ORDER BY StyleName2";
        const QStringList expected{"Cut             ||4/4", "Jig             |112|6/8",
                                   "Tail            |100|4/4", "Waltz           |90|3/4"};
        QCOMPARE(f.rows(facts), expected);
        QCOMPARE(f.rows("SELECT hex(StyleContent2) FROM KORFStyles WHERE StyleProg = 3"),
                 QStringList{QString::fromLatin1(damaged.toHex().toUpper())});
        const auto listedDamaged = [&] {
            FilterState filter;
            FilterClauses::addDamaged(filter);
            QStringList names;
            StyleListing::forEachStyle(f.db->connection(), filter.FilterWhere, QStringLiteral("STYLENAME1"),
                                       filter.FilterValues,
                                       [&](StyleListRow& row) { names << row.StyleName1.trimmed(); });
            return names;
        };
        QCOMPARE(listedDamaged(), (QStringList{"Cut", "Tail"}));

        const QString dump = f.env.path("ALL.PDD");
        PddBackup::backup(f.db->connection(), dump);
        f.rows("UPDATE KORFStyles SET Tempo = NULL, Meter = NULL, FingerprintRenamed = 1");
        QCOMPARE(
            PddRestore::restore(f.db->connection(), dump, PddRestore::validate(dump).records)
                .sentence("restored"),
            "2 restored styles are damaged: their blocks do not decode. They were kept as they are: 3 Cut, "
            "4 Tail.");
        QCOMPARE(f.rows(facts), expected);
        QCOMPARE(listedDamaged(), (QStringList{"Cut", "Tail"}));
        QDir().mkpath(f.env.path("ssf"));
        SsfExport(f.db->connection(), f.env.path("ssf")).exportStyles({1, 2, 3, 4});
        f.rows("DELETE FROM KORFStyles");
        const SsfImport::Result imported = SsfImport(f.db->connection()).importFolder(f.env.path("ssf"));
        QCOMPARE(imported.inserted(), 4);
        QCOMPARE(imported.damaged(), 2);
        QVERIFY2(
            imported.files.at(2).describe().startsWith("TAIL.SSF: imported as style 3, which is damaged: the "
                                                       "style block does not decode: at byte offset"),
            qPrintable(imported.files.at(2).describe()));
        QVERIFY(imported.message().endsWith(
            "2 styles imported are damaged: their blocks do not decode. They were "
            "stored as they are."));
        QCOMPARE(f.rows(facts), expected);
        QCOMPARE(listedDamaged(), (QStringList{"Cut", "Tail"}));
    }

    void realFilesRoundTripThroughTheDatabase() {
        const QString folder = qEnvironmentVariable("SBK_REAL_STY");
        if (folder.isEmpty() || !QDir(folder).exists())
            QSKIP("the folder of instrument-saved STY files is not available");
        // Every file imported, its bank written back with the file's own user bank byte in the
        // layout chosen from its styles: the same bytes.
        Fixture f;
        f.import.setPolicy(StyImport::Policy::ImportAll);
        QStringList files;
        QDirIterator it(folder, {"*.STY"}, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
        // With their tempo and meter: a style without them would be named in the log.
        f.import.setFactsReader(&StyleFacts::read);
        for (const QString& file : files)
            QCOMPARE(f.import.run(file, false, QString(), QString(), QString()), QString());
        QCOMPARE(f.rows("SELECT COUNT(*) FROM KORFStyles WHERE Tempo IS NULL OR Meter IS NULL"),
                 QStringList{"0"});
        int same[2] = {0, 0};
        for (int i = 0; i < files.size(); ++i) {
            const QByteArray original = TestEnvironment::readFile(files[i]);
            KORFLibrary library;
            KORFStyles read;
            library.FillCollectionFromStyle(files[i], read);
            const bool newer = library.ReadLayout() == KORFLibrary::Layout::Newer;
            const int userBank =
                newer ? library.ReadRecords().first().entry.bankByte() : quint8(original.at(55));

            DbKORFBank bank(f.db->connection());
            bank.setBankProg(i + 1);
            QVERIFY(bank.GetKORFBanks());
            KORFStyles styles;
            for (int k = 1; k <= DbKORFBank::SlotCount && bank.BankStyle(k) > 0; ++k)
                styles.Add(bank.BankStyle(k), QString(), QString(), 0, 0, QByteArray(), QByteArray());
            StyMaker::refreshFromDatabase(styles, f.db->connection());
            const QByteArray written = KORFLibrary::encodeCollection(
                styles, StyMaker::writeOptions(styles, std::nullopt, userBank, f.db->connection()));
            QVERIFY2(written == original, qPrintable(files[i]));
            ++same[newer];
        }
        qInfo("byte for byte: %d older and %d newer files", same[0], same[1]);
        QVERIFY(same[0] == 16 && same[1] == 16);
    }

    void shortNames() {
        for (const QString name : {"averyveryverylongnam|averyveryverylongnamewithoutdotSTY",
                                   "a.averyveryverylonge|a.averyveryverylongextension"})
            QCOMPARE(StyImport::shortNameOf("/x/" + name.section('|', -1)), name.section('|', 0, 0));
    }
};

QTEST_GUILESS_MAIN(TestStyImport)
#include "tst_styimport.moc"
