#include "sty/StyImport.h"

#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "metadata/StyleGroup.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFEntry.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "store/PageCacheScope.h"
#include "store/WriteBehindScope.h"
#include "store/Transaction.h"
#include "sty/KORFLibrary.h"
#include "sty/StyleFacts.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlRecord>
#include <system_error>
#include <thread>
#include <tuple>

namespace {

const QString lineEnd = QStringLiteral("\r\n");
const QString blank = QStringLiteral(" ");

QString orBlank(const QString& value) {
    return value.isEmpty() ? blank : value;
}

} // namespace

struct StyImport::ReadFile {
    std::optional<SbkError> unreadable; // why the file could not be read
    KORFLibrary library;
    KORFStyles styles;
    QList<StyleFactsValues> facts; // of each style in list order; empty without a facts reader
    qint64 size = 0;               // the bytes read
};

struct StyImport::Read {
    ImportSource::Input input; // without its bytes once they were taken apart
    ReadFile file;
    std::exception_ptr error; // a file that cannot be taken apart: thrown in its turn
    bool end = false;         // the run has no input left
};

struct StyImport::ArchiveMark {
    std::unique_ptr<Transaction> savepoint;
    qsizetype logSize = 0;
    std::tuple<int, int, int, int, int, int, int> counts;
    bool everyStyleFingerprinted = false;
};

// One stage of reading ahead: a thread that makes the run's reads one after the other, until one
// ends the run or fails, and stays at most this many files, or about this many bytes, ahead of
// the one who takes them.
template <typename Read> class ReadStage {
public:
    static constexpr size_t Files = 3;
    static constexpr qint64 Bytes = 64 * 1024 * 1024;

    void start(std::function<Read()> make) {
        m_thread = std::thread([this, make = std::move(make)] { run(make); });
    }
    // The next read, once it is made; std::nullopt once the stage was stopped.
    std::optional<Read> take() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_stopping; });
        if (m_ready.empty())
            return std::nullopt;
        Read read = std::move(m_ready.front());
        m_ready.pop_front();
        m_readyBytes -= held(read);
        lock.unlock();
        m_changed.notify_all();
        return read;
    }
    void stop() {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
    }
    ~ReadStage() {
        stop();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    static qint64 held(const Read& read) { return read.file.size + read.input.bytes.size(); }
    void run(const std::function<Read()>& make) {
        for (;;) {
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(
                    lock, [this] { return m_stopping || (m_ready.size() < Files && m_readyBytes < Bytes); });
                if (m_stopping)
                    return;
            }
            Read read = make();
            const bool last = read.end || read.error;
            {
                const std::lock_guard lock(m_mutex);
                m_readyBytes += held(read);
                m_ready.push_back(std::move(read));
            }
            m_changed.notify_all();
            if (last)
                return;
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Read> m_ready;
    qint64 m_readyBytes = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

// Two stages, so that unpacking an archive's entries and taking the files apart run beside each
// other: one reads the inputs (a file's bytes, an archive's entries), the other takes them apart.
struct StyImport::ReadAhead {
    ReadStage<Read> fetch;
    ReadStage<Read> parse;
    // The parser may wait for the reader: the reader stops first, which ends that wait.
    ~ReadAhead() {
        fetch.stop();
        parse.stop();
    }
};

StyImport::StyImport(QSqlDatabase connection) : m_connection(connection), m_readFacts(&StyleFacts::read) {}

StyImport::~StyImport() {
    cancel();
}

QString StyImport::oneByteName(const QString& name) {
    return SingleByteText::printableForm(name, QLatin1Char('_'));
}

QString StyImport::shortNameOf(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (name.size() <= 20)
        return name;
    const int dot = int(name.lastIndexOf(QLatin1Char('.')));
    if (dot <= 0 || name.size() - dot >= 20)
        return name.left(20);
    const QString extension = name.mid(dot);
    return name.left(20 - extension.size()) + extension;
}

QString StyImport::setFolderPlaceOf(const QString& path) {
    const QStringList parts = QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath())
                                  .split(QLatin1Char('/'), Qt::SkipEmptyParts);
    qsizetype set = parts.size() - 2;
    while (set >= 0 && !parts.at(set).endsWith(QLatin1String(".SET"), Qt::CaseInsensitive))
        --set;
    if (set < 0)
        return QString();
    const QString where = oneByteName(parts.mid(set).join(QLatin1Char('/')));
    // The file's end of it is what tells the banks of one set folder apart.
    return where.size() <= BankDescSize ? where : QStringLiteral("...") + where.right(BankDescSize - 3);
}

void StyImport::report(Stage stage, const QString& text, int fileIndex, int fileCount) const {
    if (m_progress)
        m_progress(stage, text, fileIndex, fileCount);
}

QString StyImport::run(const QString& path, bool folder, const QString& family, const QString& group,
                       const QString& author) {
    begin(path, folder, family, group, author);
    while (importNext()) {
    }
    return finish();
}

void StyImport::begin(const QString& path, bool folder, const QString& family, const QString& group,
                      const QString& author) {
    cancel();
    m_log.clear();
    m_source.reset();
    m_fileCount = 0;
    m_next = 0;
    m_ended = false;
    m_currentFolder.clear();
    m_folder = folder;
    m_filesRead = m_filesSkipped = m_foldersUnread = m_stylesStored = m_stylesOverwritten =
        m_stylesDuplicate = m_stylesUnpicked = m_stylesDamaged = m_banksStored = 0;

    // Values that cannot be stored are refused before anything is read.
    if (const QString problem = StyleGroup::refusal({.family = family, .group = group, .author = author});
        !problem.isEmpty())
        throw SbkError(problem);
    ExchangeValues = {orBlank(family), orBlank(group), orBlank(author), blank};
    m_date = (m_today.isValid() ? m_today : QDate::currentDate()).toString(QStringLiteral("yyyy/MM/dd"));

    if (folder && !QFileInfo(path).isDir())
        throw SbkError(QStringLiteral("The folder %1 does not exist.").arg(path));
    m_source = std::make_unique<ImportSource>(path, folder, m_subfolders);
    m_fileCount = m_source->count();

    m_keepsEntries = DbKORFEntry::isAvailable(m_connection);
    m_table = std::make_unique<DbKORFStyle>(m_connection);
    m_table->setDirectInsert(true); // the run's gateway ends with the run
    m_entries = std::make_unique<DbKORFEntry>(m_connection);
    m_entries->setDirectInsert(true);
    m_banks = std::make_unique<DbKORFBank>(m_connection);
    try {
        m_cache = std::make_unique<PageCacheScope>(m_connection);
        m_writeBehind = std::make_unique<WriteBehindScope>(m_connection);
        m_transaction = std::make_unique<Transaction>(m_connection);
        m_everyStyleFingerprinted = DbKORFStyle::everyStyleFingerprinted(m_connection);
        m_storedFingerprints.reset();
        m_runFingerprints.clear();
        if (m_everyStyleFingerprinted && m_policy == Policy::SkipDuplicates)
            m_storedFingerprints = DbKORFStyle::exactFingerprints(m_connection);
    } catch (const SbkError& error) {
        stop(error);
    }
}

bool StyImport::importNext() {
    if (!m_transaction || m_ended)
        return false;
    // Nothing is read before the run's first step, so a file that goes after begin is passed over.
    if (m_next == 0 && !m_ahead)
        startReadingAhead();
    try {
        for (;;) {
            Read read = takeRead();
            if (read.error)
                std::rethrow_exception(read.error);
            if (read.end) {
                m_ended = true;
                return false;
            }
            if (takeInput(read))
                return true;
        }
    } catch (const SbkError& error) {
        stop(error);
    }
}

void StyImport::countUncounted(const ImportSource::Input& input) {
    using Kind = ImportSource::Input::Kind;
    if (input.counted)
        return;
    if (input.kind == Kind::ArchiveBegin) {
        if (input.depth == 1)
            m_uncountedTaken = 0;
    } else if (input.kind == Kind::ArchiveEnd) {
        if (input.depth == 1 && m_uncountedTaken == 0)
            --m_fileCount; // an archive of nothing to take
    } else if (m_uncountedTaken++ > 0) {
        ++m_fileCount;
    }
}

bool StyImport::takeInput(Read& read) {
    using Kind = ImportSource::Input::Kind;
    const ImportSource::Input& input = read.input;
    countUncounted(input);
    switch (input.kind) {
    case Kind::ArchiveBegin:
        beginArchive();
        return false;
    case Kind::ArchiveEnd:
        if (!input.line.isEmpty())
            m_log += input.line + lineEnd;
        endArchive();
        return false;
    case Kind::ArchiveFailed:
        failArchive(input);
        ++m_next;
        return true;
    case Kind::File:
    case Kind::PassedOver:
        break;
    }
    const QString fileFolder = QFileInfo(input.path).path();
    if (m_folder && fileFolder != m_currentFolder) {
        m_currentFolder = fileFolder;
        report(Stage::Folder, QDir::toNativeSeparators(fileFolder), m_next, fileCount());
    }
    if (input.kind == Kind::File) {
        importFile(input.path, input.shown, read.file, m_next, fileCount());
    } else {
        m_log += input.line + lineEnd;
        if (input.folder)
            ++m_foldersUnread;
        else
            ++m_filesSkipped;
    }
    ++m_next;
    return true;
}

void StyImport::beginArchive() {
    ArchiveMark mark;
    mark.savepoint = std::make_unique<Transaction>(m_connection);
    mark.logSize = m_log.size();
    mark.counts = std::tie(m_filesRead, m_filesSkipped, m_stylesStored, m_stylesOverwritten,
                           m_stylesDuplicate, m_stylesUnpicked, m_banksStored);
    mark.everyStyleFingerprinted = m_everyStyleFingerprinted;
    m_archives.push_back(std::move(mark));
}

void StyImport::endArchive() {
    if (m_archives.empty())
        return;
    m_archives.back().savepoint->commit();
    m_archives.pop_back();
}

void StyImport::failArchive(const ImportSource::Input& input) {
    // An archive given on its own that cannot be read is the run's error, as such a file is.
    if (!m_folder && input.depth == 1)
        throw SbkError(input.line + QLatin1Char('.'));
    const size_t depth = size_t(std::max(input.depth, 1));
    if (m_archives.size() >= depth) {
        const ArchiveMark& mark = m_archives.at(depth - 1);
        m_log.truncate(mark.logSize);
        std::tie(m_filesRead, m_filesSkipped, m_stylesStored, m_stylesOverwritten, m_stylesDuplicate,
                 m_stylesUnpicked, m_banksStored) = mark.counts;
        m_everyStyleFingerprinted = mark.everyStyleFingerprinted;
        while (m_archives.size() >= depth)
            m_archives.pop_back(); // each savepoint rolls back, the innermost first
    }
    m_log += input.line + QStringLiteral("; nothing of it was imported") + lineEnd;
    ++m_filesSkipped;
}

QString StyImport::finish() {
    if (!m_transaction)
        return m_log;
    try {
        while (!m_archives.empty())
            endArchive();
        m_transaction->commit();
    } catch (const SbkError& error) {
        stop(error);
    }
    m_ahead.reset();
    m_source.reset();
    m_transaction.reset();
    m_writeBehind.reset();
    m_cache.reset();
    m_table.reset();
    m_entries.reset();
    m_banks.reset();
    return m_log;
}

void StyImport::cancel() {
    m_ahead.reset(); // stops the reader
    m_source.reset();
    m_archives.clear();    // each savepoint rolls back, the innermost first
    m_transaction.reset(); // rolls back unless committed
    m_writeBehind.reset();
    m_cache.reset();
    m_table.reset();
    m_entries.reset();
    m_banks.reset();
}

void StyImport::stop(const SbkError& error) {
    cancel();
    m_log.clear();
    throw SbkError(error.message() +
                   QStringLiteral("\nThe import was stopped; the database is as it was before."));
}

QString StyImport::summary() const {
    return QStringLiteral("%1 styles imported, %2 overwritten, %3 duplicates not imported, %4 not picked%9; "
                          "%5 banks created from %6 files read, %7 files not imported%8")
        .arg(m_stylesStored)
        .arg(m_stylesOverwritten)
        .arg(m_stylesDuplicate)
        .arg(m_stylesUnpicked)
        .arg(m_banksStored)
        .arg(m_filesRead)
        .arg(m_filesSkipped)
        .arg(m_foldersUnread > 0 ? QStringLiteral(", %1 folders not read").arg(m_foldersUnread) : QString())
        .arg(m_stylesDamaged > 0
                 ? QStringLiteral(", %1 damaged styles stored as they are").arg(m_stylesDamaged)
                 : QString());
}

StyImport::ReadFile StyImport::readFile(ImportSource::Input& input, const StyleFactsReader& readFacts) {
    ReadFile file;
    if (input.unreadable) {
        file.unreadable = input.unreadable;
        return file;
    }
    const QByteArray bytes = std::exchange(input.bytes, QByteArray());
    file.size = bytes.size();
    file.library.FillCollectionFromBytes(bytes, input.path, file.styles);
    if (file.library.RetVal() == KORFLibrary::ReadKorf && readFacts) {
        file.facts.reserve(file.styles.Count());
        for (const KORFStylePtr& style : file.styles)
            file.facts.append(readFacts(style->StyleContent1(), style->StyleContent2()));
    }
    return file;
}

StyImport::Read StyImport::fetchNext(ImportSource& source) {
    Read read;
    try {
        read.end = !source.next(read.input);
    } catch (...) {
        read.error = std::current_exception();
    }
    return read;
}

StyImport::Read StyImport::parse(Read read, const StyleFactsReader& readFacts) {
    if (read.end || read.error || read.input.kind != ImportSource::Input::Kind::File)
        return read;
    try {
        read.file = readFile(read.input, readFacts);
    } catch (...) {
        read.error = std::current_exception();
    }
    return read;
}

void StyImport::startReadingAhead() {
    m_ahead.reset();
    if (m_fileCount < 2 && m_source->countedAll())
        return;
    auto ahead = std::make_unique<ReadAhead>();
    try {
        ahead->fetch.start([source = m_source.get()] { return fetchNext(*source); });
        ahead->parse.start([fetch = &ahead->fetch, readFacts = m_readFacts] {
            std::optional<Read> read = fetch->take();
            return read ? parse(std::move(*read), readFacts) : Read{{}, {}, nullptr, true};
        });
    } catch (const std::system_error&) {
        return; // no thread to be had: each input is read in its turn
    }
    m_ahead = std::move(ahead);
}

StyImport::Read StyImport::takeRead() {
    if (!m_ahead)
        return parse(fetchNext(*m_source), m_readFacts);
    std::optional<Read> read = m_ahead->parse.take();
    return read ? std::move(*read) : Read{{}, {}, nullptr, true};
}

void StyImport::importFile(const QString& path, const QString& shown, ReadFile& file, int fileIndex,
                           int fileCount) {
    const QString shortName = oneByteName(shortNameOf(path));
    // The log names a file by its short name, an archive entry by its path from the archive on.
    const QString& logName = shown.isEmpty() ? shortName : shown;
    report(Stage::File, shortName, fileIndex, fileCount);

    m_nextNumber.reset();
    if (file.unreadable) {
        // A file of a folder that cannot be read (its permissions, or it vanished or changed
        // after the scan) is named in the log; the others are imported all the same. A single
        // file that cannot be read is the run's error.
        if (!m_folder)
            throw *file.unreadable;
        m_log += logName + QStringLiteral(" was passed over: ") + file.unreadable->message() + lineEnd;
        ++m_filesSkipped;
        return;
    }
    const KORFLibrary& library = file.library;
    KORFStyles& styles = file.styles;
    switch (library.RetVal()) {
    case KORFLibrary::ReadKorf:
        break;
    case KORFLibrary::ReadNotKorf:
        m_log += logName + blank +
                 QStringLiteral(
                     "is not a Pa style, is damaged, its format is unknown or you have no rights to access "
                     "it!") +
                 lineEnd;
        ++m_filesSkipped;
        return;
    default: {
        static const QString models[] = {QStringLiteral("i3,i2,i1,i4s arrangers"),
                                         QStringLiteral("i5 arranger"), QStringLiteral("iS40,iS50 arrangers"),
                                         QStringLiteral("i30 arranger")};
        m_log += logName + QStringLiteral(" is probably a style for KORG ") + models[library.RetVal() - 1] +
                 lineEnd;
        ++m_filesSkipped;
        return;
    }
    }
    if (library.ReadLayout() == KORFLibrary::Layout::Newer && !m_keepsEntries) {
        m_log += logName +
                 QStringLiteral(" is a style bank of a newer Pa model; this database of another program "
                                "cannot keep its directory, so it was not imported") +
                 lineEnd;
        ++m_filesSkipped;
        return;
    }
    ++m_filesRead;
    if (library.IndexDamaged())
        m_log += logName +
                 QStringLiteral(" has a damaged index at its end; its styles were read all the same") +
                 lineEnd;

    // From here on a style's StyleProg is its number within the file's list; -1 marks a style the
    // user did not pick.
    for (int i = 1; i <= styles.Count(); ++i)
        styles.Item(i)->setStyleProg(i);
    if (m_picker) {
        PickerRequest request{logName, {}, ExchangeValues};
        for (const KORFStylePtr& style : styles)
            request.styleNames.append(style->StyleName1());
        if (const std::optional<PickerAnswer> answer = m_picker(request)) {
            for (int r = 0; r < 32; ++r)
                PickedStyles[size_t(r)] = answer->picked[size_t(r)];
            ExchangeValues = answer->values;
        }
        for (int i = 1; i <= styles.Count(); ++i) {
            if (i > 32 || !PickedStyles[size_t(i - 1)])
                styles.Item(i)->setStyleProg(-1);
        }
    }

    for (int i = 1; i <= styles.Count(); ++i) {
        if (styles.Item(i)->StyleProg() == -1) {
            ++m_stylesUnpicked;
            continue;
        }
        report(Stage::Style, styles.Item(i)->StyleName1(), fileIndex, fileCount);
        storeStyle(styles, i, file.facts.value(i - 1), shortName, logName);
    }

    if (!m_saveBank)
        return;
    DbKORFBank& bank = *m_banks;
    const QString u = oneByteName(shortName.left(shortName.size() - 4).toUpper().left(5));
    bank.setBankProg(bank.NextKORFBank());
    bank.setBankName(u + QStringLiteral("%1").arg(bank.BankProg(), 3, 10, QLatin1Char('0')));
    const QString place = setFolderPlaceOf(path);
    bank.setBankDesc(place.isEmpty() ? QStringLiteral("Bank ") + u : place);
    for (int slot = 1; slot <= DbKORFBank::SlotCount; ++slot)
        bank.setBankStyle(slot, slot <= styles.Count() ? styles.Item(slot)->StyleProg() : 0);
    if (!bank.InsKORFBanks())
        throw SbkError(QStringLiteral("Cannot store the bank of the file %1: %2")
                           .arg(path, Database::inWords(bank.clsKORFBanksError())));
    ++m_banksStored;
}

void StyImport::storeStyle(KORFStyles& styles, int index, const StyleFactsValues& facts,
                           const QString& shortName, const QString& logName) {
    KORFStyle& style = *styles.Item(index);
    DbKORFStyle& table = *m_table;

    qint32 existing = -1;
    const std::optional<qint64> fingerprint =
        m_everyStyleFingerprinted ? facts.FingerprintExact : std::nullopt;
    const auto mayBeStored = [this](qint64 value) {
        return !m_storedFingerprints || m_runFingerprints.contains(value) ||
               std::binary_search(m_storedFingerprints->cbegin(), m_storedFingerprints->cend(), value);
    };
    if (m_policy == Policy::SkipDuplicates && (!fingerprint || mayBeStored(*fingerprint))) {
        existing = table.GetKORFStylesByContent(style.StyleContent1(), style.StyleContent2(),
                                                style.StyleLength1(), style.StyleLength2(), fingerprint);
        if (existing != -1) {
            DbKORFStyle stored(m_connection);
            stored.setStyleProg(existing);
            if (!stored.GetKORFStyles() && !stored.clsKORFStylesError().isEmpty())
                throw SbkError(QStringLiteral("Cannot read the stored style %1: %2")
                                   .arg(existing)
                                   .arg(Database::inWords(stored.clsKORFStylesError())));
            m_log += QStringLiteral("Style ") + style.StyleName1() + QStringLiteral(" (") +
                     QString::number(style.StyleProg()) + QStringLiteral(") ") +
                     QStringLiteral("from file ") + logName + QStringLiteral(" is the same as style ") +
                     stored.StyleName1() + QStringLiteral(" (") + QString::number(existing) +
                     QStringLiteral(") ") + QStringLiteral("from file ") + stored.StyleFile() +
                     QStringLiteral(", and will not be imported!") + lineEnd;
            keepEntriesOf(style, existing, true);
            style.setStyleProg(existing);
            ++m_stylesDuplicate;
            return;
        }
    } else if (m_policy == Policy::OverwriteByName) {
        table.setStyleName1(style.StyleName1());
        const std::optional<QList<QSqlRecord>> rows = table.GetKORFStylesByName();
        if (!rows)
            throw SbkError(
                QStringLiteral("Cannot look up the style %1: %2")
                    .arg(style.StyleName1().trimmed(), Database::inWords(table.clsKORFStylesError())));
        if (!rows->isEmpty()) {
            existing = rows->first().value(QStringLiteral("StyleProg")).toInt();
            table.setStyleProg(existing);
            // The update leaves the data untouched, so the row is replaced under the same number.
            if (!table.DelKORFStyles())
                throw SbkError(QStringLiteral("Cannot replace the stored style %1: %2")
                                   .arg(existing)
                                   .arg(Database::inWords(table.clsKORFStylesError())));
        }
    }

    // The run's transaction holds the write lock and nothing else runs while a file is stored, so
    // the highest number is asked for once a file and counted on from there.
    if (existing == -1 && !m_nextNumber)
        m_nextNumber = table.NextKORFStyle();
    const qint32 number = existing != -1 ? existing : (*m_nextNumber)++;
    table.setStyleProg(number);
    table.setStyleName1(style.StyleName1());
    table.setStyleName2(style.StyleName2());
    table.setStyleLength1(style.StyleLength1());
    table.setStyleLength2(style.StyleLength2());
    table.setStyleContent1(style.StyleContent1());
    table.setStyleContent2(style.StyleContent2());
    table.setStyleSeek(QByteArray(" "));
    table.setStyleDate(m_date);
    table.setStyleDesc(style.StyleName1());
    // A value emptied in the picker is stored as one blank, as an empty one given to the run is.
    table.setStyleCat(orBlank(ExchangeValues[1]));
    table.setStyleFamily(orBlank(ExchangeValues[0]));
    table.setStyleFile(shortName);
    table.setStyleAuthor(orBlank(ExchangeValues[2]));
    table.setFacts(facts);
    // A style stored without its fingerprint would not be found by one.
    m_everyStyleFingerprinted = m_everyStyleFingerprinted && facts.FingerprintExact.has_value();
    if (!table.InsKORFStyles())
        throw SbkError(
            QStringLiteral("Cannot store the style %1 of the file %2: %3")
                .arg(style.StyleName1().trimmed(), logName, Database::inWords(table.clsKORFStylesError())));
    if (m_storedFingerprints && facts.FingerprintExact)
        m_runFingerprints.insert(*facts.FingerprintExact);
    keepEntriesOf(style, number, false);
    // A style whose blocks do not decode, or do not give both facts, is stored all the same, byte
    // for byte, and named once.
    if (m_readFacts && (!facts.complete() || !facts.damage.isEmpty())) {
        const QString missing = facts.complete()        ? QString()
                                : facts.Tempo           ? QStringLiteral("meter")
                                : facts.Meter.isEmpty() ? QStringLiteral("tempo and meter")
                                                        : QStringLiteral("tempo");
        // One arg call: a "%2" in a style's name stays as it is.
        if (facts.damage.isEmpty()) {
            m_log += QStringLiteral("Style %1 (%2) from file %3 was imported without its %4: %5")
                         .arg(style.StyleName1(), QString::number(number), logName, missing, facts.problem);
        } else {
            m_log += QStringLiteral("Style %1 (%2) from file %3 is damaged: %4. It was imported as it is%5")
                         .arg(style.StyleName1(), QString::number(number), logName, facts.damage,
                              missing.isEmpty() ? QString() : QStringLiteral(", without its ") + missing);
            ++m_stylesDamaged;
        }
        m_log += lineEnd;
    }
    style.setStyleProg(number);
    if (existing != -1)
        ++m_stylesOverwritten;
    else
        ++m_stylesStored;
}

void StyImport::keepEntriesOf(const KORFStyle& style, qint32 number, bool onlyWhenNone) {
    if (style.StyleEntry1().isEmpty() && style.StyleEntry2().isEmpty())
        return;
    DbKORFEntry& entries = *m_entries;
    if (onlyWhenNone) {
        // A stored style with the same blocks keeps its own entries; one that has none (restored
        // from a PDD or SSF file) takes those of the file, so it is written as the instrument saved it.
        KORFEntry entry1, entry2;
        if (!entries.GetKORFEntries(number, entry1, entry2))
            throw SbkError(QStringLiteral("Cannot read the directory entries of the style %1: %2")
                               .arg(number)
                               .arg(entries.clsKORFEntriesError()));
        if (!entry1.isEmpty() || !entry2.isEmpty())
            return;
    }
    if (!entries.InsKORFEntries(number, style.StyleEntry1(), style.StyleEntry2()))
        throw SbkError(QStringLiteral("Cannot store the directory entries of the style %1: %2")
                           .arg(style.StyleName1().trimmed(), entries.clsKORFEntriesError()));
}
