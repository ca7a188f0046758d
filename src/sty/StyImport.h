#pragma once

#include "store/StyleFactsValues.h"
#include "sty/ImportSource.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <QDate>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <vector>

class DbKORFBank;
class DbKORFEntry;
class DbKORFStyle;
class KORFStyle;
class KORFStyles;
class PageCacheScope;
class WriteBehindScope;
class SbkError;
class Transaction;

// The style import: brings the styles of one STY file or of every STY file of a folder (and,
// optionally, its subfolders) into the database, checks each style against the stored ones by
// the chosen duplicate policy, creates one bank per file that was read, and collects a log of
// everything it skipped. A whole run is one transaction: an error anywhere leaves the database as
// it was before the run. A file of a folder that cannot be read (no read permission, or gone since
// the folder was listed) is no such error: it is named in the log and the run goes on. The engine
// asks nothing itself: the style picker is a callback.
//
// An archive (ZIP, 7z, RAR, tar), given or found in the folder, is read like a folder: each of its
// STY entries is imported as a file of that name (ImportSource). An archive that cannot be read to
// its end is passed over whole, nothing of it kept (a savepoint per archive); given on its own, it
// is the run's error.
//
// A run can be taken one file at a time (begin, importNext until it answers false, finish), so that
// a window lets its event loop run between files and may cancel the run, which rolls it back.
class StyImport {
public:
    enum class Policy {
        ImportAll = 0,       // no duplicate check
        OverwriteByName = 1, // a stored style of the same name is replaced, keeping its number
        SkipDuplicates = 2,  // a style whose data is stored already is not imported again
    };
    enum class Stage { Folder, File, Style };

    // What the picker is shown for one file: its short name (for an archive entry, its path from
    // the archive's name on, as the log names it), the names of its styles in list order and the
    // four values (family, group, author, description) it offers for editing.
    struct PickerRequest {
        QString shortName;
        QStringList styleNames;
        std::array<QString, 4> values;
    };
    // The picker's answer: a tick per row (row r = the (r + 1)-th style) and the four values.
    struct PickerAnswer {
        std::array<bool, 32> picked{};
        std::array<QString, 4> values;
    };
    // std::nullopt: the picker was closed without an answer, so the ticks and values of the
    // previous answer stay in force.
    using Picker = std::function<std::optional<PickerAnswer>(const PickerRequest&)>;
    // Called when the run enters a folder, takes up a file (with its number and the number of
    // files in the run) or stores a style.
    using ProgressCallback =
        std::function<void(Stage stage, const QString& text, int fileIndex, int fileCount)>;

    explicit StyImport(QSqlDatabase connection);
    ~StyImport();
    StyImport(const StyImport&) = delete;
    StyImport& operator=(const StyImport&) = delete;

    void setPolicy(Policy policy) { m_policy = policy; }
    // Whether each file read creates its bank (the default) or only its styles are stored.
    void setSaveBank(bool on) { m_saveBank = on; }
    void setSubfolders(bool on) { m_subfolders = on; }
    void setPicker(Picker picker) { m_picker = std::move(picker); }
    void setProgress(ProgressCallback progress) { m_progress = std::move(progress); }
    // The import date written to StyleDate; today unless set.
    void setToday(const QDate& date) { m_today = date; }
    // How the tempo and meter of each style stored are read from its blocks; StyleFacts::read
    // unless set (a benchmark measures the import without it).
    void setFactsReader(StyleFactsReader reader) { m_readFacts = std::move(reader); }

    // The ticks and values the picker hands on from file to file (the program keeps them in its
    // shared state between runs). At the start of a run the first three values are replaced by
    // the family, group and author given to run(), the fourth by one blank.
    std::array<bool, 33> PickedStyles{};
    std::array<QString, 4> ExchangeValues;

    // Imports a single file (an archive, or an STY file whatever its extension) or, when folder is
    // true, every file of the folder whose name ends in "STY" in any case and every archive.
    // Returns the log (lines end with CR LF; empty when nothing was skipped). Throws SbkError after
    // rolling back the whole run.
    QString run(const QString& path, bool folder, const QString& family, const QString& group,
                const QString& author);

    // The same run in steps. begin refuses values that cannot be stored and a missing folder,
    // lists the files and counts the entries of the archives (so fileCount is known from then on)
    // and begins the transaction; importNext takes up the next file or entry and answers false
    // once none was left; finish commits and returns the log; cancel rolls the run back (so does
    // destroying the engine). A failure in any step rolls back the whole run and throws SbkError.
    void begin(const QString& path, bool folder, const QString& family, const QString& group,
               const QString& author);
    bool importNext();
    QString finish();
    void cancel();
    bool isRunning() const { return m_transaction != nullptr; }
    // The files and archive entries of the run, those passed over included. It grows while the run
    // reads an archive whose entries were not counted at the start (ImportSource::count).
    int fileCount() const { return std::max(m_fileCount, m_next); }
    int filesDone() const { return m_next; }
    // The name a file is known by in the database, the log and its bank's name: the file's own
    // name, shortened to fit 20 characters with its extension kept.
    static QString shortNameOf(const QString& path);
    // Where a file lies from the instrument's set folder on ("chordtable1.SET/STYLE/FAVORITE01.STY")
    // when a folder of its path ends in ".SET", as the database keeps it, in at most BankDescSize
    // characters; "" for a file in no set folder. It describes the bank the file makes, so that
    // the banks of the instrument's fixed file names tell where each came from; the bank of a file
    // in no set folder is described as "Bank " and the start of its name.
    static QString setFolderPlaceOf(const QString& path);
    static constexpr int BankDescSize = 250;
    // A file or bank name as the database keeps it: every character that a typed name could not
    // hold (outside the printable ones of ISO-8859-1, SingleByteText::refusal) becomes "_".
    static QString oneByteName(const QString& name);

    // Counts of the last run, and all of them in one line ("12 styles imported, 0 overwritten, ...").
    QString summary() const;
    int filesRead() const { return m_filesRead; }
    // not imported: foreign, not regular, unreadable, odd names
    int filesSkipped() const { return m_filesSkipped; }
    int foldersUnread() const { return m_foldersUnread; }
    int stylesStored() const { return m_stylesStored; }
    int stylesOverwritten() const { return m_stylesOverwritten; }
    int stylesDuplicate() const { return m_stylesDuplicate; }
    int stylesUnpicked() const { return m_stylesUnpicked; }
    // stored (imported or overwriting) although their blocks do not decode; each is named in the log
    int stylesDamaged() const { return m_stylesDamaged; }
    int banksStored() const { return m_banksStored; }

private:
    // A file read and taken apart, with the facts of each of its styles (ReadFile in the source).
    struct ReadFile;
    // The next input of the run, with its file read and taken apart.
    struct Read;
    // The inputs of a run, read and taken apart in order on threads of their own a few files ahead
    // of the one whose styles are stored.
    struct ReadAhead;
    // Where an archive began: its savepoint and what the run had counted and logged until then.
    struct ArchiveMark;
    static ReadFile readFile(ImportSource::Input& input, const StyleFactsReader& readFacts);
    static Read fetchNext(ImportSource& source);
    // Takes the file of a read apart.
    static Read parse(Read read, const StyleFactsReader& readFacts);
    // Starts reading the run's inputs ahead, when it has more than one.
    void startReadingAhead();
    // The next input: the one read ahead, or read now.
    Read takeRead();
    // Takes up one input; true when it counts as a file done.
    bool takeInput(Read& read);
    // What comes of an archive that was counted as one input adds to the count as it is found.
    void countUncounted(const ImportSource::Input& input);
    void beginArchive();
    void endArchive();
    // An archive that cannot be read on: everything stored from it is undone.
    void failArchive(const ImportSource::Input& input);

    // path: the file's, or for an archive entry its archive's path and its path inside; shown: how
    // the log names an entry ("" for a file, named by its short name).
    void importFile(const QString& path, const QString& shown, ReadFile& file, int fileIndex, int fileCount);
    void storeStyle(KORFStyles& styles, int index, const StyleFactsValues& facts, const QString& shortName,
                    const QString& logName);
    // Stores the directory entries a style read from a newer file carries under its number; with
    // onlyWhenNone, only when the stored style has none of its own.
    void keepEntriesOf(const KORFStyle& style, qint32 number, bool onlyWhenNone);
    void report(Stage stage, const QString& text, int fileIndex, int fileCount) const;
    // Rolls the run back and throws the error, saying that the database is as it was.
    [[noreturn]] void stop(const SbkError& error);

    QSqlDatabase m_connection;
    // The run's style gateway, so its statements are prepared once, and its transaction (declared
    // after it, so that the transaction ends first).
    std::unique_ptr<DbKORFStyle> m_table;
    std::unique_ptr<DbKORFEntry> m_entries;
    std::unique_ptr<DbKORFBank> m_banks;
    std::unique_ptr<PageCacheScope> m_cache; // the run's larger page cache
    std::unique_ptr<WriteBehindScope> m_writeBehind; // the run's early disk writing
    std::unique_ptr<Transaction> m_transaction;
    std::vector<ArchiveMark> m_archives; // the archives being read, the innermost last
    std::unique_ptr<ImportSource> m_source;
    int m_fileCount = 0;
    int m_uncountedTaken = 0; // the inputs taken so far of the archive counted as one
    int m_next = 0;
    bool m_ended = false;
    bool m_folder = false;
    QString m_currentFolder;
    Policy m_policy = Policy::SkipDuplicates;
    bool m_subfolders = false;
    bool m_saveBank = true;
    bool m_keepsEntries = false; // the database has the table KORFEntries
    Picker m_picker;
    ProgressCallback m_progress;
    StyleFactsReader m_readFacts;
    std::unique_ptr<ReadAhead> m_ahead;
    std::optional<qint32> m_nextNumber;     // the number the next new style takes, once known
    bool m_everyStyleFingerprinted = false; // so duplicates are looked up by the exact fingerprint
    // Then the exact fingerprints of the styles stored before the run (in ascending order) and of
    // those it stores: a style whose fingerprint is none of them has no copy, and is not looked up.
    std::optional<std::vector<qint64>> m_storedFingerprints;
    QSet<qint64> m_runFingerprints;
    QDate m_today;
    QString m_log;
    QString m_date;
    int m_filesRead = 0;
    int m_filesSkipped = 0;
    int m_foldersUnread = 0;
    int m_stylesStored = 0;
    int m_stylesOverwritten = 0;
    int m_stylesDuplicate = 0;
    int m_stylesUnpicked = 0;
    int m_stylesDamaged = 0;
    int m_banksStored = 0;
};
