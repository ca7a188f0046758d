#include "sty/StyMaker.h"

#include "core/Prompt.h"
#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "store/Database.h"
#include "store/DbKORFEntry.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "store/WorkingBankState.h"
#include "sty/DriveInfo.h"
#include "sty/KORFLibrary.h"

#include <filesystem>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

// Destinations 3..14 by index: the set folder and the user style file.
struct SetFile {
    const char* set;
    const char* file;
};
const SetFile setFiles[] = {
    {"SBK.SET", "USER01.STY"},  {"SBK.SET", "USER02.STY"},  {"SBK.SET", "USER03.STY"},  // 3..5
    {"!123.SET", "USER01.STY"}, {"!123.SET", "USER02.STY"}, {"!123.SET", "USER03.STY"}, // 6..8
    {"!456.SET", "USER01.STY"}, {"!456.SET", "USER02.STY"}, {"!456.SET", "USER03.STY"}, // 9..11
    {"!789.SET", "USER01.STY"}, {"!789.SET", "USER02.STY"}, {"!789.SET", "USER03.STY"}, // 12..14
};

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString join(const QString& folder, const QString& rest) {
    return native(QDir::cleanPath(folder + QLatin1Char('/') + rest));
}

bool isInside(const QString& path, const QString& folder) {
    if (folder.isEmpty())
        return false;
    const QString p = QDir::cleanPath(QDir::fromNativeSeparators(path));
    const QString f = QDir::cleanPath(QDir::fromNativeSeparators(folder));
    return p == f || p.startsWith(f.endsWith(QLatin1Char('/')) ? f : f + QLatin1Char('/'));
}

// Creates a folder and those above it; "" or the system's reason ("Read-only file system" ...).
QString createFolder(const QString& path) {
    std::error_code error;
    std::filesystem::create_directories(QFileInfo(path).filesystemAbsoluteFilePath(), error);
    return error ? QString::fromStdString(error.message()) : QString();
}

// Removes a file (a read-only one too) or a folder with everything in it; "" or the reason.
QString removeEntry(const QFileInfo& entry) {
    if (entry.isDir() && !entry.isSymLink()) {
        if (QDir(entry.filePath()).removeRecursively())
            return QString();
        // Qt gives no reason; the standard library, trying again, names it.
        std::error_code error;
        std::filesystem::remove_all(entry.filesystemAbsoluteFilePath(), error);
        return error ? QString::fromStdString(error.message()) : QString();
    }
    QFile::setPermissions(entry.filePath(), entry.permissions() | QFile::WriteUser);
    QFile file(entry.filePath());
    return file.remove() ? QString() : file.errorString();
}

// Whether a performance block carries the data version of the newer models (chunk ID 09 02 01 30
// and later versions), which the older models cannot read.
bool hasNewerPerformance(const QByteArray& block) {
    return block.size() >= 4 && quint8(block.at(0)) == 0x09 &&
           (quint8(block.at(1)) << 8 | quint8(block.at(2))) >= 0x0201;
}

} // namespace

StyMaker::StyMaker(WorkingBankState& bank, const QString& floppyDrive, const QString& paHdDrive,
                   Prompt& prompt, DriveInfo& drives)
    : m_bank(bank), m_floppyDrive(floppyDrive), m_paHdDrive(paHdDrive), m_prompt(prompt), m_drives(drives),
      m_workFolder(QDir::tempPath()) {}

QString StyMaker::caption(int index, const QString& floppyDrive) {
    if (index == 0)
        return QStringLiteral("Make as ...");
    if (index == 1)
        return QStringLiteral("Make as ") + native(floppyDrive) + QDir::separator() + QStringLiteral(" ...");
    if (index == 2)
        return QStringLiteral("Make as ") + native(floppyDrive) + QDir::separator() +
               QStringLiteral("USER01.STY");
    if (index <= 5)
        return QStringLiteral("Make for DIRECT FD - Bank %1").arg(index - 2);
    return QStringLiteral("Make for DIRECT HD - Bank %1").arg(index - 5);
}

int StyMaker::userBankOf(int index) {
    if (index < 3)
        return 17;
    return 17 + (index - 3) % 3;
}

QString StyMaker::fileNameOf(const QString& bankName) {
    // The name becomes part of a path: a separator or ".." in it must not lead out of the folder.
    QString name = bankName;
    name.remove(QLatin1Char(' '));
    static const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (QChar& c : name) {
        if (forbidden.contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    }
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    return name;
}

QString StyMaker::targetPath(int index, const QString& floppyDrive, const QString& paHdDrive,
                             const QString& bankName) {
    if (index == 1)
        return join(floppyDrive, fileNameOf(bankName) + QStringLiteral(".STY"));
    if (index == 2)
        return join(floppyDrive, QStringLiteral("USER01.STY"));
    if (index >= 3 && index <= 14) {
        const SetFile& entry = setFiles[index - 3];
        const QString drive = index <= 5 ? floppyDrive : paHdDrive;
        return join(drive, QLatin1String(entry.set) + QStringLiteral("/STYLE/") + QLatin1String(entry.file));
    }
    return QString();
}

void StyMaker::refreshFromDatabase(KORFStyles& styles, QSqlDatabase connection) {
    DbKORFStyle table(connection);
    DbKORFEntry entries(connection);
    const bool keepsEntries = DbKORFEntry::isAvailable(connection);
    for (const KORFStylePtr& style : styles) {
        table.setStyleProg(style->StyleProg());
        if (!table.GetKORFStyles()) {
            if (!table.clsKORFStylesError().isEmpty())
                throw SbkError(QStringLiteral("Cannot read the style %1 from the database: %2")
                                   .arg(style->StyleProg())
                                   .arg(Database::inWords(table.clsKORFStylesError())));
            continue;
        }
        style->setStyleContent1(table.StyleContent1());
        style->setStyleContent2(table.StyleContent2());
        style->setStyleLength1(table.StyleLength1());
        style->setStyleLength2(table.StyleLength2());
        style->setStyleName1(table.StyleName1());
        style->setStyleName2(table.StyleName2());
        KORFEntry entry1, entry2;
        if (keepsEntries && !entries.GetKORFEntries(style->StyleProg(), entry1, entry2))
            throw SbkError(QStringLiteral("Cannot read the directory entries of the style %1: %2")
                               .arg(style->StyleProg())
                               .arg(entries.clsKORFEntriesError()));
        style->setStyleEntry1(entry1);
        style->setStyleEntry2(entry2);
    }
}

KORFLibrary::Layout StyMaker::layoutFor(const KORFStyles& styles) {
    // Where the styles came from decides, never a name: a long name on an older model's style
    // would make a file that model cannot load (the name is shortened instead, with a warning).
    // Backups and SSF files of older programs do not carry the directory entries, so a style that
    // came back through them is known as a newer one by its performance block.
    for (const KORFStylePtr& style : styles) {
        if (!style->StyleEntry1().isEmpty() || !style->StyleEntry2().isEmpty() ||
            hasNewerPerformance(style->StyleContent2()))
            return KORFLibrary::Layout::Newer;
    }
    return KORFLibrary::Layout::Older;
}

KORFLibrary::WriteOptions StyMaker::writeOptions(const KORFStyles& styles,
                                                 std::optional<KORFLibrary::Layout> layout, int userBank,
                                                 QSqlDatabase connection) {
    KORFLibrary::WriteOptions options;
    options.layout = layout.value_or(layoutFor(styles));
    options.userBank = userBank;
    options.writeTime = QDateTime::currentDateTime();
    if (options.layout == KORFLibrary::Layout::Newer && DbKORFEntry::isAvailable(connection))
        options.system = DbKORFEntry(connection).MostCommonSystem();
    return options;
}

StyMaker::Result StyMaker::fail(const QString& text) {
    m_prompt.message(text, Prompt::Title, Prompt::Icon::Critical);
    return Result::Failed;
}

StyMaker::Result StyMaker::make(int index) {
    if (index < 0 || index >= DestinationCount)
        return fail(QStringLiteral("There is no destination %1 for a style file.").arg(index));
    const QString floppy = m_floppyDrive;
    const QString paHd = m_paHdDrive;
    const QString bankName = m_bank.BankTable ? m_bank.BankTable->BankName() : QString();

    QString target;
    QString drive;
    if (index == 0) {
        target = m_prompt.saveFile(QStringLiteral("Styles (*.STY)|*.STY"),
                                   fileNameOf(bankName) + QStringLiteral(".STY"));
        if (target.isEmpty())
            return Result::Cancelled;
        target = native(target);
        drive = QFileInfo(target).absolutePath();
    } else {
        target = targetPath(index, floppy, paHd, bankName);
        drive = index <= 5 ? floppy : paHd;
    }

    if (!isAvailable(index, paHd) || !m_drives.isReady(drive)) {
        if ((index >= 1 && index <= 5) || isInside(drive, floppy))
            m_prompt.message(QStringLiteral("Floppy disk ") + native(drive) +
                                 QStringLiteral(": is not ready!"),
                             Prompt::Title, Prompt::Icon::Critical);
        else
            m_prompt.message(QStringLiteral("Pa hard disk ") + native(drive) +
                                 QStringLiteral(": is not ready or not available!"),
                             Prompt::Title, Prompt::Icon::Critical);
        return Result::NotReady;
    }

    Result result = Result::Created;
    QString shortened;
    try {
        KORFStyles& styles = m_bank.WorkingBankStyles;
        refreshFromDatabase(styles, m_bank.connection());
        shortened = KORFLibrary::ShortenedNamesWarning(styles, m_layout.value_or(layoutFor(styles)));
        if (index <= 2) {
            result = makeThroughWorkFile(target);
        } else if (index <= 5) {
            result = makeInSetFolder(target, userBankOf(index));
        } else {
            // The set folders of the instrument's disk are the instrument's to make.
            if (const QString folder = QFileInfo(target).absolutePath(); !QFileInfo(folder).isDir())
                throw SbkError(QStringLiteral("Cannot write the file %1: the folder %2 does not exist on the "
                                              "instrument's disk. SBK does not create set folders there; "
                                              "save a set of that name on the instrument first.")
                                   .arg(target, native(folder)));
            m_library.WriteStyleFromCollection(
                target, styles, writeOptions(styles, m_layout, userBankOf(index), m_bank.connection()));
            m_prompt.message(target + QStringLiteral(" successfully created!"), Prompt::Title,
                             Prompt::Icon::Information);
        }
    } catch (const SbkError& error) {
        return fail(error.message());
    }
    if (result == Result::Created && !shortened.isEmpty())
        m_prompt.message(shortened, Prompt::Title, Prompt::Icon::Exclamation);
    return result;
}

StyMaker::Result StyMaker::makeThroughWorkFile(const QString& target) {
    // The work file lives in a folder of its own in the user's temporary folder, removed with it
    // whatever happens, so no other program's file of that name is ever touched or left behind.
    QTemporaryDir workFolder(QDir(m_workFolder).filePath(QStringLiteral("SBK-XXXXXX")));
    if (!workFolder.isValid())
        throw SbkError(QStringLiteral("Cannot create a work folder in %1: %2")
                           .arg(native(m_workFolder), workFolder.errorString()));
    const QString workFile = native(workFolder.filePath(QStringLiteral("WRK.STY")));
    m_library.WriteStyleFromCollection(
        workFile, m_bank.WorkingBankStyles,
        writeOptions(m_bank.WorkingBankStyles, m_layout, 17, m_bank.connection()));
    const qint64 size = QFileInfo(workFile).size();
    const qint64 free = m_drives.freeSpace(QFileInfo(target).absolutePath());
    if (free >= 0 && size >= free) {
        workFolder.remove();
        m_prompt.message(QStringLiteral("An error has occured during create process of style ") + target +
                             QStringLiteral(". Not enough space available inside floppy disk!"),
                         Prompt::Title, Prompt::Icon::Critical);
        return Result::NotEnoughSpace;
    }

    // The copy goes to a temporary file beside the target and replaces it only when complete.
    QFile source(workFile);
    if (!source.open(QIODevice::ReadOnly))
        throw SbkError(
            QStringLiteral("Cannot read the work file %1: %2").arg(workFile, source.errorString()));
    const QByteArray bytes = source.readAll();
    source.close();
    SaveFile copy(target);
    if (!copy.openForWriting() || !copy.writeAll(bytes) || !copy.commit())
        throw SbkError(QStringLiteral("Cannot write the file %1: %2").arg(target, copy.errorString()));
    m_prompt.message(target + QStringLiteral(" successfully created"), Prompt::Title,
                     Prompt::Icon::Information);
    return Result::Created;
}

QString StyMaker::wipeFloppy() {
    QDir root(m_floppyDrive);
    const QFileInfoList entries =
        root.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    QStringList failures;
    for (const QFileInfo& entry : entries) {
        if (const QString reason = removeEntry(entry); !reason.isEmpty())
            failures << native(entry.filePath()) + QStringLiteral(": ") + reason;
    }
    return failures.join(QLatin1Char('\n'));
}
StyMaker::Result StyMaker::makeInSetFolder(const QString& target, int userBank) {
    const QString floppy = m_floppyDrive;
    const QString setFolder = join(floppy, QStringLiteral("SBK.SET"));
    if (!QFileInfo(setFolder).isDir()) {
        // Emptying a folder that is not a disk of its own would destroy the user's files.
        if (!m_drives.isRemovableVolumeRoot(floppy)) {
            m_prompt.message(
                QStringLiteral("The floppy folder ") + native(floppy) +
                    QStringLiteral(" is not the root of a removable disk, so it is not emptied. Choose the "
                                   "mount point of the floppy disk or USB stick in the parameters, or "
                                   "create the folder SBK.SET on it yourself."),
                Prompt::Title, Prompt::Icon::Critical);
            return Result::Refused;
        }
        if (!m_prompt.confirm(QStringLiteral("Floppy is about to be completely deleted. Are you sure?")))
            return Result::Cancelled;
        if (const QString failures = wipeFloppy(); !failures.isEmpty())
            throw SbkError(QStringLiteral("The floppy disk %1 could not be emptied completely:\n%2")
                               .arg(native(floppy), failures));
        if (const QString reason = createFolder(setFolder); !reason.isEmpty())
            throw SbkError(QStringLiteral("Cannot create the folder %1: %2").arg(setFolder, reason));
    }
    const QString styleFolder = join(setFolder, QStringLiteral("STYLE"));
    if (!QFileInfo(styleFolder).isDir()) {
        if (const QString reason = createFolder(styleFolder); !reason.isEmpty())
            throw SbkError(QStringLiteral("Cannot create the folder %1: %2").arg(styleFolder, reason));
    }
    m_library.WriteStyleFromCollection(
        target, m_bank.WorkingBankStyles,
        writeOptions(m_bank.WorkingBankStyles, m_layout, userBank, m_bank.connection()));
    m_prompt.message(target + QStringLiteral(" successfully created!"), Prompt::Title,
                     Prompt::Icon::Information);
    return Result::Created;
}
