#pragma once

#include "sty/KORFLibrary.h"

#include <optional>
#include <QString>

class DriveInfo;
class KORFStyles;
class Prompt;
class WorkingBankState;
class QSqlDatabase;

// Makes an STY file from the working bank, for one of fifteen destinations: a chosen file (0),
// the floppy's root folder under the bank's name (1) or as USER01.STY (2), the floppy's set folder
// for direct loading (3..5), or a user style file of the instrument's disk (6..14). Every message
// goes through the Prompt, so the program's window and the command line show the same texts.
class StyMaker {
public:
    static constexpr int DestinationCount = 15;

    enum class Result {
        Created,        // the file was written and the success message shown
        Cancelled,      // no path chosen, or No to the wipe question: nothing changed
        NotReady,       // the target disk is absent or cannot be written
        NotEnoughSpace, // the work file does not fit the target disk
        Refused,        // the floppy folder is not a volume that may be wiped
        Failed,         // a read, write or folder creation failed; its message was shown
    };

    // bank: the working bank to write, with the stored bank whose name a file may take.
    // floppyDrive and paHdDrive: the folders of the floppy and of the instrument's disk.
    StyMaker(WorkingBankState& bank, const QString& floppyDrive, const QString& paHdDrive, Prompt& prompt,
             DriveInfo& drives);

    // The directory layout to write; std::nullopt (the default) chooses it from the bank's styles.
    void setLayout(std::optional<KORFLibrary::Layout> layout) { m_layout = layout; }

    // Where the work file "WRK.STY" is written; the user's temporary folder unless set. A bank made
    // through the work file (destinations 0..2) writes it in a folder of its own there and removes
    // both after use, also when the copy fails.
    void setWorkFolder(const QString& folder) { m_workFolder = folder; }

    // Refreshes the working bank's styles from the database and writes them to the destination.
    Result make(int index);
    // Whether the dialog stays open after a result (the user may try again).
    static bool staysOpen(Result result) {
        return result == Result::Cancelled || result == Result::NotReady || result == Result::Refused ||
               result == Result::Failed;
    }

    // The option caption of a destination ("Make for DIRECT HD - Bank 9" ...).
    static QString caption(int index, const QString& floppyDrive);
    // Destinations 6..14 need the instrument's disk to be configured.
    static bool isAvailable(int index, const QString& paHdDrive) { return index < 6 || !paHdDrive.isEmpty(); }
    // The user bank byte written into every directory record: 17, 18 or 19.
    static int userBankOf(int index);
    // The file a destination writes (destination 0 is chosen by the user: "").
    static QString targetPath(int index, const QString& floppyDrive, const QString& paHdDrive,
                              const QString& bankName);
    // The bank's name as a file name: blanks removed, characters no file name may hold replaced.
    static QString fileNameOf(const QString& bankName);

    // Copies blocks, lengths, names and kept directory entries of every stored style of the list
    // from the database (a style no longer stored keeps what it holds). Throws SbkError on a
    // database failure.
    static void refreshFromDatabase(KORFStyles& styles, QSqlDatabase connection);

    // The layout a bank file of these styles is written in, by where the styles came from: the
    // newer one when any style's blocks came from a newer file (it carries their entries) or has a
    // performance block of a newer data version (09 02 01 30); the older one otherwise, whatever
    // the names' lengths (a longer name is shortened, and make() warns of it).
    static KORFLibrary::Layout layoutFor(const KORFStyles& styles);
    // How to write these styles: the chosen layout (or the one layoutFor gives), the user bank byte,
    // the write time and, for blocks without a kept entry, the system string most common in the
    // library's newer styles.
    static KORFLibrary::WriteOptions writeOptions(const KORFStyles& styles,
                                                  std::optional<KORFLibrary::Layout> layout, int userBank,
                                                  QSqlDatabase connection);

private:
    Result makeThroughWorkFile(const QString& target);
    Result makeInSetFolder(const QString& target, int userBank);
    Result fail(const QString& text);
    // Empties the floppy's root; "" or one line per entry left, naming it and the reason.
    QString wipeFloppy();

    WorkingBankState& m_bank;
    QString m_floppyDrive;
    QString m_paHdDrive;
    KORFLibrary m_library;
    Prompt& m_prompt;
    DriveInfo& m_drives;
    QString m_workFolder;
    std::optional<KORFLibrary::Layout> m_layout;
};
