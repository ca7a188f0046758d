// Making STY files from the working bank: the fifteen destinations, readiness, the work-file
// route with its free-space test, the floppy set folder with its wipe, and the direct route.
#include "core/SBKModule.h"
#include "ScriptedPrompt.h"
#include "sty/DriveInfo.h"
#include "sty/KORFLibrary.h"
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
    QByteArray stored;

    Fixture() {
        KORFStyles styles;
        for (int i = 0; i < 3; ++i)
            addStyle(styles, QStringLiteral("Style %1").arg(i), block(50 + i, i),
                     QStringLiteral("Perf %1").arg(i),
                     i == 1 ? QByteArray() : block(60 + i, 10 + i, QByteArray("\x09\x01\x00\x30", 4)));
        stored = KORFLibrary::encodeCollection(styles);
        module.DatabasePath = env.createDatabase();
        module.ConnectDatabase();
        StyImport(module.connection())
            .run(env.writeFile(QStringLiteral("IN.STY"), stored), false, QString(), QString(), QString());
        for (int i = 1; i <= 3; ++i)
            module.WorkingBankStyles.Add(i, QStringLiteral("stale"), QString(), 0, 0, QByteArray(),
                                         QByteArray());
        module.BankTable->setBankName(QStringLiteral("MY BANK 1"));
        module.FloppyDrive = env.path(QStringLiteral("floppy"));
        module.PaHdDrive = env.path(QStringLiteral("pahd"));
        QDir().mkpath(module.FloppyDrive);
        QDir().mkpath(module.PaHdDrive);
    }

    StyMaker maker() {
        StyMaker m(module, prompt, drives);
        m.setWorkFolder(env.path(QStringLiteral("work")));
        QDir().mkpath(env.path(QStringLiteral("work")));
        return m;
    }

    // The written file holds the stored styles with the user bank byte in every record.
    void verifyWritten(const QString& path, int userBank) const {
        const QByteArray bytes = TestEnvironment::readFile(path);
        QCOMPARE(bytes.size(), stored.size());
        const int directoryEnd = 36 + 5 * 24;
        QCOMPARE(bytes.mid(directoryEnd), stored.mid(directoryEnd));
        for (int at = 36; at < directoryEnd; at += 24)
            QCOMPARE(int(quint8(bytes.at(at + 19))), userBank);
    }
};

} // namespace

class TestStyMaker : public QObject {
    Q_OBJECT

private slots:
    void destinations_data();
    void destinations();
    void notReady();
    void throughWorkFile();
    void notEnoughSpace();
    void chosenFile();
    void setFolderPresent();
    void setFolderWipe_data();
    void setFolderWipe();
    void direct();
    void volumeRootTest();
};

void TestStyMaker::destinations_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("userBank");
    QTest::newRow("0") << 0 << "Make as ..."
                       << "" << 17;
    QTest::newRow("1") << 1 << "Make as /fd/ ..."
                       << "/fd/MYBANK1.STY" << 17;
    QTest::newRow("2") << 2 << "Make as /fd/USER01.STY"
                       << "/fd/USER01.STY" << 17;
    QTest::newRow("3") << 3 << "Make for DIRECT FD - Bank 1"
                       << "/fd/SBK.SET/STYLE/USER01.STY" << 17;
    QTest::newRow("5") << 5 << "Make for DIRECT FD - Bank 3"
                       << "/fd/SBK.SET/STYLE/USER03.STY" << 19;
    QTest::newRow("6") << 6 << "Make for DIRECT HD - Bank 1"
                       << "/hd/!123.SET/STYLE/USER01.STY" << 17;
    QTest::newRow("10") << 10 << "Make for DIRECT HD - Bank 5"
                        << "/hd/!456.SET/STYLE/USER02.STY" << 18;
    QTest::newRow("14") << 14 << "Make for DIRECT HD - Bank 9"
                        << "/hd/!789.SET/STYLE/USER03.STY" << 19;
}

void TestStyMaker::destinations() {
    QFETCH(int, index);
    QFETCH(QString, caption);
    QFETCH(QString, path);
    QFETCH(int, userBank);
    QCOMPARE(StyMaker::caption(index, QStringLiteral("/fd")), caption);
    QCOMPARE(StyMaker::targetPath(index, QStringLiteral("/fd"), QStringLiteral("/hd"),
                                  QStringLiteral("MY BANK 1")),
             path);
    QCOMPARE(StyMaker::userBankOf(index), userBank);
    QCOMPARE(StyMaker::isAvailable(index, QString()), index < 6);
    QVERIFY(StyMaker::isAvailable(index, QStringLiteral("/hd")));
    // A bank name cannot lead out of the floppy folder.
    QCOMPARE(StyMaker::targetPath(1, QStringLiteral("/fd"), QString(), QStringLiteral("../x/ y")),
             QStringLiteral("/fd/_._x_y.STY"));
}

void TestStyMaker::notReady() {
    Fixture f;
    f.module.FloppyDrive = f.env.path(QStringLiteral("no-floppy"));
    f.module.PaHdDrive = f.env.path(QStringLiteral("no-pahd"));
    QCOMPARE(f.maker().make(3), StyMaker::Result::NotReady);
    QCOMPARE(f.maker().make(7), StyMaker::Result::NotReady);
    f.module.PaHdDrive.clear();
    QCOMPARE(f.maker().make(14), StyMaker::Result::NotReady);
    QCOMPARE(f.prompt.texts(),
             (QStringList{QStringLiteral("Floppy disk ") + f.env.path(QStringLiteral("no-floppy")) +
                              QStringLiteral(": is not ready!"),
                          QStringLiteral("Pa hard disk ") + f.env.path(QStringLiteral("no-pahd")) +
                              QStringLiteral(": is not ready or not available!"),
                          QStringLiteral("Pa hard disk : is not ready or not available!")}));
    QCOMPARE(f.prompt.asked().first().icon, Prompt::Icon::Critical);
    QCOMPARE(f.prompt.asked().first().title, QStringLiteral("SBK"));
    QVERIFY(StyMaker::staysOpen(StyMaker::Result::NotReady));
}

void TestStyMaker::throughWorkFile() {
    Fixture f;
    QCOMPARE(f.maker().make(1), StyMaker::Result::Created);
    const QString target = f.env.path(QStringLiteral("floppy/MYBANK1.STY"));
    f.verifyWritten(target, 17);
    QVERIFY(!QFileInfo::exists(f.maker().workFilePath()));
    QCOMPARE(f.prompt.texts(), QStringList{target + QStringLiteral(" successfully created")});
    QCOMPARE(f.prompt.asked().first().icon, Prompt::Icon::Information);
    // The working bank now holds the stored data.
    QCOMPARE(f.module.WorkingBankStyles.Item(1)->StyleName1(), QStringLiteral("Style 0         "));
    QVERIFY(!StyMaker::staysOpen(StyMaker::Result::Created));
}

void TestStyMaker::notEnoughSpace() {
    Fixture f;
    const QString target = f.env.writeFile(QStringLiteral("floppy/USER01.STY"), "older");
    f.drives.free = f.stored.size();
    QCOMPARE(f.maker().make(2), StyMaker::Result::NotEnoughSpace);
    QCOMPARE(f.prompt.texts(),
             QStringList{QStringLiteral("An error has occured during create process of style ") + target +
                         QStringLiteral(". Not enough space available inside floppy disk!")});
    QCOMPARE(TestEnvironment::readFile(target), QByteArray("older"));
    QVERIFY(QFileInfo::exists(f.maker().workFilePath()));
    QVERIFY(!StyMaker::staysOpen(StyMaker::Result::NotEnoughSpace));
}

void TestStyMaker::chosenFile() {
    Fixture f;
    f.prompt.answerFile(QString());
    QCOMPARE(f.maker().make(0), StyMaker::Result::Cancelled);
    QCOMPARE(f.prompt.asked().first().proposed, QStringLiteral("MYBANK1.STY"));
    QCOMPARE(f.prompt.asked().first().text, QStringLiteral("Styles (*.STY)|*.STY"));
    QCOMPARE(f.prompt.asked().size(), 1);

    const QString target = f.env.path(QStringLiteral("chosen.sty"));
    f.prompt.clear();
    f.prompt.answerFile(target);
    QCOMPARE(f.maker().make(0), StyMaker::Result::Created);
    f.verifyWritten(target, 17);
}

void TestStyMaker::setFolderPresent() {
    Fixture f;
    QDir().mkpath(f.env.path(QStringLiteral("floppy/SBK.SET")));
    const QString other = f.env.writeFile(QStringLiteral("floppy/KEEP.TXT"), "keep");
    QCOMPARE(f.maker().make(4), StyMaker::Result::Created);
    const QString target = f.env.path(QStringLiteral("floppy/SBK.SET/STYLE/USER02.STY"));
    f.verifyWritten(target, 18);
    QVERIFY(QFileInfo::exists(other));
    QCOMPARE(f.prompt.texts(), QStringList{target + QStringLiteral(" successfully created!")});
}

void TestStyMaker::setFolderWipe_data() {
    QTest::addColumn<bool>("removable");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("result");
    QTest::newRow("not a disk of its own") << false << -1 << int(StyMaker::Result::Refused);
    QTest::newRow("No") << true << int(Prompt::Answer::No) << int(StyMaker::Result::Cancelled);
    QTest::newRow("Yes") << true << int(Prompt::Answer::Yes) << int(StyMaker::Result::Created);
}

void TestStyMaker::setFolderWipe() {
    QFETCH(bool, removable);
    QFETCH(int, answer);
    QFETCH(int, result);
    Fixture f;
    f.drives.removableRoot = removable;
    const QString file = f.env.writeFile(QStringLiteral("floppy/OLD.STY"), "old");
    const QString nested = f.env.writeFile(QStringLiteral("floppy/folder/inner/x.txt"), "x");
    QFile::setPermissions(file, QFile::ReadOwner);
    if (answer >= 0)
        f.prompt.answer(Prompt::Answer(answer));
    QCOMPARE(int(f.maker().make(5)), result);
    QCOMPARE(f.prompt.unexpected(), 0);
    const bool wiped = result == int(StyMaker::Result::Created);
    QCOMPARE(QFileInfo::exists(file), !wiped);
    QCOMPARE(QFileInfo::exists(nested), !wiped);
    if (!removable) {
        QVERIFY(f.prompt.texts().first().startsWith(QStringLiteral("The floppy folder ")));
        QCOMPARE(f.prompt.asked().first().icon, Prompt::Icon::Critical);
        return;
    }
    const ScriptedPrompt::Asked& question = f.prompt.asked().first();
    QCOMPARE(question.text, QStringLiteral("Floppy is about to be completely deleted. Are you sure?"));
    QCOMPARE(question.buttons, Prompt::Buttons::YesNo);
    QCOMPARE(question.defaultButton, Prompt::Answer::No);
    QCOMPARE(question.icon, Prompt::Icon::Question);
    if (wiped) {
        f.verifyWritten(f.env.path(QStringLiteral("floppy/SBK.SET/STYLE/USER03.STY")), 19);
        QCOMPARE(QDir(f.module.FloppyDrive).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("SBK.SET")});
    }
}

void TestStyMaker::direct() {
    Fixture f;
    // The set folders of the instrument's disk are never created.
    QCOMPARE(f.maker().make(9), StyMaker::Result::Failed);
    QVERIFY(f.prompt.texts().first().contains(QStringLiteral("USER01.STY")));
    QVERIFY(!QFileInfo::exists(f.env.path(QStringLiteral("pahd/!456.SET"))));

    QDir().mkpath(f.env.path(QStringLiteral("pahd/!456.SET/STYLE")));
    f.prompt.clear();
    QCOMPARE(f.maker().make(9), StyMaker::Result::Created);
    f.verifyWritten(f.env.path(QStringLiteral("pahd/!456.SET/STYLE/USER01.STY")), 17);
    QCOMPARE(f.prompt.texts().first(), f.env.path(QStringLiteral("pahd/!456.SET/STYLE/USER01.STY")) +
                                           QStringLiteral(" successfully created!"));
}

void TestStyMaker::volumeRootTest() {
    // The system's root and the home folder are never disks that may be wiped, nor is a plain folder.
    const DriveInfo drives;
    QVERIFY(!drives.isRemovableVolumeRoot(QStringLiteral("/")));
    QVERIFY(!drives.isRemovableVolumeRoot(QDir::homePath()));
    QVERIFY(!drives.isRemovableVolumeRoot(QString()));
    QVERIFY(!drives.isRemovableVolumeRoot(QStringLiteral("/dev/shm")));
    TestEnvironment env;
    QVERIFY(!drives.isRemovableVolumeRoot(env.path(QString())));
    QVERIFY(drives.isReady(env.path(QString())));
    QVERIFY(!drives.isReady(env.path(QStringLiteral("missing"))));
}

QTEST_GUILESS_MAIN(TestStyMaker)
#include "tst_stymaker.moc"
