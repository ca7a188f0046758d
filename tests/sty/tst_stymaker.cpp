// Making STY files from the working bank: the fifteen destinations, the work-file
// route with its free-space test, the floppy set folder with its wipe, and the direct route.
#include "ScriptedPrompt.h"
#include "session/SBKModule.h"
#include "sty/DriveInfo.h"
#include "sty/StyImport.h"
#include "sty/StyMaker.h"
#include "StyTestData.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QtTest>

using namespace StyTestData;

namespace {

// Disks as the tests want them: everything that exists is ready; free space and whether the
// floppy folder is a disk of its own are set by the test.
class FakeDrives : public DriveInfo {
public:
    qint64 free = 1 << 30;
    bool removableRoot = true;
    qint64 freeSpace(const QString&) const override { return free; }
    bool isRemovableVolumeRoot(const QString&) const override { return removableRoot; }
};

// A database holding one imported bank file of three styles and a working bank that refers to
// them with stale contents, as the working bank holds them.
struct Fixture {
    TestEnvironment env;
    SBKModule module;
    ScriptedPrompt prompt;
    FakeDrives drives;
    const QByteArray stored = bankFile(3);

    Fixture() {
        module.DatabasePath = env.createDatabase();
        module.ConnectDatabase();
        StyImport(module.connection())
            .run(env.writeFile("IN.STY", stored), false, QString(), QString(), QString());
        for (int i = 1; i <= 3; ++i)
            module.WorkingBankStyles.Add(i, "stale", QString(), 0, 0, QByteArray(), QByteArray());
        module.BankTable->setBankName("MY BANK 1");
        module.FloppyDrive = env.path("floppy");
        module.PaHdDrive = env.path("pahd");
        for (const char* folder : {"floppy", "pahd", "work"})
            QDir().mkpath(env.path(folder));
    }

    StyMaker::Result make(int index, std::optional<KORFLibrary::Layout> layout = {}) {
        StyMaker maker(module, module.FloppyDrive, module.PaHdDrive, prompt, drives);
        maker.setWorkFolder(env.path("work"));
        maker.setLayout(layout);
        return maker.make(index);
    }

    // The last message starts with the text given (printed when it does not).
    bool said(const QString& start) const {
        const QString last = prompt.texts().last();
        if (!last.startsWith(start))
            qWarning("%s", qPrintable(last));
        return last.startsWith(start);
    }

    bool workFolderEmpty() const {
        return QDir(env.path("work")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty();
    }

    // The written file holds the stored styles with the user bank byte in every record.
    void verifyWritten(const QString& path, int userBank) const {
        const QByteArray bytes = TestEnvironment::readFile(path);
        const int directoryEnd = 36 + 6 * 24;
        QCOMPARE(bytes.mid(directoryEnd), stored.mid(directoryEnd));
        for (int at = 36; at < directoryEnd; at += 24)
            QCOMPARE(int(quint8(bytes.at(at + 19))), userBank);
    }
};

} // namespace

class TestStyMaker : public QObject {
    Q_OBJECT

private slots:
    void layoutWithoutDirectoryEntries_data() {
        // Styles back from a backup or an SSF file carry no directory entries: their performance
        // block tells the newer models' styles; a long name does not (it is shortened).
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("performance");
        QTest::addColumn<bool>("newer");
        QTest::newRow("older block") << "Sixteen bytes ok    "
                                     << "\x09\x01\x00\x30rest"_qba << false;
        QTest::newRow("newer block") << "Short"
                                     << "\x09\x02\x01\x30rest"_qba << true;
        QTest::newRow("name of 17 bytes") << "Seventeen bytes!!"
                                          << "\x09\x01\x00\x30"_qba << false;
    }
    void layoutWithoutDirectoryEntries() {
        QFETCH(QString, name);
        QFETCH(QByteArray, performance);
        QFETCH(bool, newer);
        KORFStyles styles;
        styles.Add(1, "Other", "Other b", 4, 4, "\x06\x00\x00\x30"_qba, "\x09\x01\x00\x30"_qba);
        styles.Add(2, name, "Second", 4, int(performance.size()), "\x06\x00\x00\x30"_qba, performance);
        QCOMPARE(StyMaker::layoutFor(styles),
                 newer ? KORFLibrary::Layout::Newer : KORFLibrary::Layout::Older);
    }

    void destinations() {
        // Three user banks in each set folder: the floppy's, then the instrument disk's three.
        QStringList paths{"", "/fd/MYBANK1.STY", "/fd/USER01.STY"};
        for (const QString set : {"/fd/SBK.SET", "/hd/!123.SET", "/hd/!456.SET", "/hd/!789.SET"})
            for (const QString bank : {"1", "2", "3"})
                paths << set + "/STYLE/USER0" + bank + ".STY";
        const QList<int> userBanks{17, 17, 17, 17, 18, 19, 17, 18, 19, 17, 18, 19, 17, 18, 19};
        for (int index = 0; index < StyMaker::DestinationCount; ++index) {
            QCOMPARE(StyMaker::targetPath(index, "/fd", "/hd", "MY BANK 1"), paths[index]);
            QCOMPARE(StyMaker::userBankOf(index), userBanks[index]);
        }
        // A bank name cannot lead out of the floppy folder.
        QCOMPARE(StyMaker::targetPath(1, "/fd", QString(), "../x/ y"), "/fd/_._x_y.STY");
    }

    // Through the work file (the windows' test makes every destination): the stored styles with the
    // user bank byte, nothing else in the folder touched, the working bank refreshed.
    void created() {
        Fixture f;
        const QString other = f.env.writeFile("floppy/KEEP.TXT", "keep");
        const QString target = f.env.path("floppy/MYBANK1.STY");
        QCOMPARE(f.make(1), StyMaker::Result::Created);
        f.verifyWritten(target, 17);
        QVERIFY(f.said(target + " successfully created"));
        QVERIFY(QFileInfo::exists(other) && f.workFolderEmpty());
        QCOMPARE(f.module.WorkingBankStyles.Item(1)->StyleName1(), "Style 1         ");

        // A name the layout cannot hold whole is shortened with a warning that names the style; the
        // styles' own layout is kept (an older model cannot load the newer one).
        queryRows(f.module.connection(), "UPDATE KORFStyles SET StyleName1 = 'Twenty characters!!!' WHERE "
                                         "StyleProg = 2");
        QCOMPARE(f.make(1), StyMaker::Result::Created);
        QVERIFY(
            f.said("The older directory layout holds names of at most 16 characters") &&
            f.prompt.texts().last().endsWith("\nstyle 2 \"Twenty characters!!!\" as \"Twenty character\""));
        QCOMPARE(TestEnvironment::readFile(target).mid(36 + 2 * 24, 17), "Twenty character\0"_qba);
        // The newer layout holds 28 bytes of UTF-8: 14 letters beyond ASCII.
        queryRows(f.module.connection(), "UPDATE KORFStyles SET StyleName1 = '" + QString(28, QChar(0xE9)) +
                                             "' WHERE StyleProg = 2");
        QCOMPARE(f.make(1, KORFLibrary::Layout::Newer), StyMaker::Result::Created);
        QVERIFY(f.said("The newer directory layout") &&
                f.prompt.texts().last().endsWith(" as \"" + QString(14, QChar(0xE9)) + "\""));
    }

    void nothingWritten() {
        Fixture f;
        f.prompt.answerFile(QString());
        QCOMPARE(f.make(0), StyMaker::Result::Cancelled);
        QCOMPARE(f.prompt.asked().first().proposed, "MYBANK1.STY");
        // The set folders of the instrument's disk are never created; the message says why.
        QCOMPARE(f.make(9), StyMaker::Result::Failed);
        QVERIFY(f.said("Cannot write the file " + f.env.path("pahd/!456.SET/STYLE/USER01.STY") +
                       ": the folder " + f.env.path("pahd/!456.SET/STYLE") + " does not exist"));
        QVERIFY(!QFileInfo::exists(f.env.path("pahd/!456.SET")));
        // A copy that fails names the path and the system's reason, and the work file goes.
        QDir().mkpath(f.env.path("floppy/USER01.STY"));
        QCOMPARE(f.make(2), StyMaker::Result::Failed);
        QVERIFY(f.said("Cannot write the file " + f.env.path("floppy/USER01.STY") + ": ") &&
                !f.prompt.texts().last().endsWith(": ") && f.workFolderEmpty());
        QDir(f.env.path("floppy/USER01.STY")).removeRecursively();
        // A style no longer stored (the working bank holds no data for it) refuses the bank, named.
        f.module.WorkingBankStyles.Add(99, "Gone", QString(), 0, 0, QByteArray(), QByteArray());
        QCOMPARE(f.make(1), StyMaker::Result::Failed);
        QVERIFY(f.said("The style 99 (Gone) cannot be written: it holds no data"));
        QVERIFY(!QFileInfo::exists(f.env.path("floppy/MYBANK1.STY")));
        f.module.WorkingBankStyles.Remove(4);
        // Not enough space: the older file is kept, the work file is removed all the same.
        const QString target = f.env.writeFile("floppy/USER01.STY", "older");
        f.drives.free = f.stored.size();
        QCOMPARE(f.make(2), StyMaker::Result::NotEnoughSpace);
        QVERIFY(
            f.said("An error has occured during create process of style " + target + ". Not enough space"));
        QVERIFY(TestEnvironment::readFile(target) == "older" && f.workFolderEmpty());
    }

    void setFolderWipe_data() {
        QTest::addColumn<bool>("removable");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("result");
        QTest::newRow("not a disk of its own") << false << -1 << int(StyMaker::Result::Refused);
        QTest::newRow("No") << true << int(Prompt::Answer::No) << int(StyMaker::Result::Cancelled);
        QTest::newRow("Yes") << true << int(Prompt::Answer::Yes) << int(StyMaker::Result::Created);
    }
    void setFolderWipe() {
        QFETCH(bool, removable);
        QFETCH(int, answer);
        QFETCH(int, result);
        Fixture f;
        f.drives.removableRoot = removable;
        const QString file = f.env.writeFile("floppy/OLD.STY", "old");
        const QString nested = f.env.writeFile("floppy/folder/inner/x.txt", "x");
        QFile::setPermissions(file, QFile::ReadOwner);
        if (answer >= 0)
            f.prompt.answer(Prompt::Answer(answer));
        QCOMPARE(int(f.make(5)), result);
        QCOMPARE(f.prompt.unexpected(), 0);
        const bool wiped = result == int(StyMaker::Result::Created);
        QCOMPARE(QFileInfo::exists(file) && QFileInfo::exists(nested), !wiped);
        const ScriptedPrompt::Asked& question = f.prompt.asked().first();
        if (!removable) {
            QVERIFY2(question.text.startsWith("The floppy folder "), qPrintable(question.text));
            return;
        }
        QVERIFY(question.text.startsWith("Floppy is about to be completely deleted.") &&
                question.defaultButton == Prompt::Answer::No);
        if (wiped) {
            f.verifyWritten(f.env.path("floppy/SBK.SET/STYLE/USER03.STY"), 19);
            QCOMPARE(QDir(f.module.FloppyDrive).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                     QStringList{"SBK.SET"});
        }
    }

    void volumeRootTest() {
        // The system's root and the home folder are never disks that may be wiped, nor is a plain
        // folder or a memory file system.
        const DriveInfo drives;
        TestEnvironment env;
        for (const QString& folder :
             {QString("/"), QDir::homePath(), QString(), QString("/dev/shm"), env.path("")})
            QVERIFY2(!drives.isRemovableVolumeRoot(folder), qPrintable(folder));
    }
};

QTEST_GUILESS_MAIN(TestStyMaker)
#include "tst_stymaker.moc"
