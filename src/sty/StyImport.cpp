#include "sty/StyImport.h"

#include "core/FolderScan.h"
#include "core/InputFile.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "metadata/StyleGroup.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFEntry.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "store/Transaction.h"
#include "sty/KORFLibrary.h"
#include "sty/StyleFacts.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlRecord>
#include <system_error>
#include <thread>

namespace {

const QString lineEnd = QStringLiteral("\r\n");
const QString blank = QStringLiteral(" ");

QString orBlank(const QString& value) {
    return value.isEmpty() ? blank : value;
}

bool endsWithSty(const QString& name) {
    return name.right(3).toUpper() == QLatin1String("STY");
}

void collectFiles(const QString& folder, bool subfolders, QList<StyImport::FolderItem>& items,
                  QSet<QString>& visited) {
    // A folder reached twice (through a link) is scanned once, so a link loop cannot recurse forever.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (!canonical.isEmpty() && visited.contains(canonical))
        return;
    visited.insert(canonical);
    const QList<FolderEntry> entries = FolderScan::entries(folder, Qt::CaseInsensitive);
    // Every entry whose name ends in "STY" is either taken or named in the log with the reason.
    for (const FolderEntry& entry : entries) {
        if (!endsWithSty(entry.name) || (entry.kind == InputFile::Kind::Folder && subfolders))
            continue;
        const QString why = entry.whyNotAFile();
        items.append({entry.path, why.isEmpty()
                                      ? QString()
                                      : entry.name + blank + why + QStringLiteral("; it was passed over")});
    }
    if (!subfolders)
        return;
    for (const FolderEntry& entry : entries) {
        if (entry.kind != InputFile::Kind::Folder)
            continue;
        const QString shown = QDir::toNativeSeparators(entry.path);
        if (!entry.problem.isEmpty()) {
            items.append({entry.path,
                          QStringLiteral("The folder ") + shown + blank + entry.problem +
                              QStringLiteral("; its files were not imported"),
                          true});
            continue;
        }
        try {
            collectFiles(entry.path, subfolders, items, visited);
        } catch (const SbkError& error) {
            items.append(
                {entry.path, error.message() + QStringLiteral(" Its files were not imported."), true});
        }
    }
}

} // namespace

struct StyImport::ReadFile {
    std::optional<SbkError> unreadable; // why the file could not be read
    KORFLibrary library;
    KORFStyles styles;
    QList<StyleFactsValues> facts; // of each style in list order; empty without a facts reader
    qint64 size = 0;               // the bytes read
};

struct StyImport::ReadAhead {
    // The reader stays at most this many files, or about this many bytes, ahead.
    static constexpr size_t Files = 3;
    static constexpr qint64 Bytes = 64 * 1024 * 1024;

    struct Read {
        int fileIndex = -1;
        ReadFile file;
        std::exception_ptr error; // a file that cannot be taken apart: thrown in its turn
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Read> ready;
    qint64 readyBytes = 0;
    bool stopping = false;
    std::thread thread;

    // Reads every file of the run to import, in order, until one cannot be taken apart.
    void readAll(const QList<FolderItem>& files, const StyleFactsReader& readFacts) {
        for (int i = 0; i < files.size(); ++i) {
            if (!files.at(i).passedOver.isEmpty())
                continue;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock,
                             [this] { return stopping || (ready.size() < Files && readyBytes < Bytes); });
                if (stopping)
                    return;
            }
            Read read;
            read.fileIndex = i;
            try {
                read.file = readFile(files.at(i).path, readFacts);
            } catch (...) {
                read.error = std::current_exception();
            }
            const bool failed = bool(read.error);
            {
                const std::lock_guard lock(mutex);
                readyBytes += read.file.size;
                ready.push_back(std::move(read));
            }
            changed.notify_all();
            if (failed)
                return;
        }
    }
    // The next file read, once it is.
    Read take() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !ready.empty(); });
        Read read = std::move(ready.front());
        ready.pop_front();
        readyBytes -= read.file.size;
        lock.unlock();
        changed.notify_all();
        return read;
    }
    ~ReadAhead() {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        if (thread.joinable())
            thread.join();
    }
};

StyImport::StyImport(QSqlDatabase connection) : m_connection(connection), m_readFacts(&StyleFacts::read) {}

StyImport::~StyImport() {
    cancel();
}

QList<StyImport::FolderItem> StyImport::filesOfFolder(const QString& folder, bool subfolders) {
    QList<FolderItem> items;
    QSet<QString> visited;
    collectFiles(folder, subfolders, items, visited);
    return items;
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
    m_files.clear();
    m_next = 0;
    m_currentFolder.clear();
    m_folder = folder;
    m_filesRead = m_filesSkipped = m_foldersUnread = m_stylesStored = m_stylesOverwritten =
        m_stylesDuplicate = m_stylesUnpicked = m_banksStored = 0;

    // Values that cannot be stored are refused before anything is read.
    if (const QString problem = StyleGroup::refusal({.family = family, .group = group, .author = author});
        !problem.isEmpty())
        throw SbkError(problem);
    ExchangeValues = {orBlank(family), orBlank(group), orBlank(author), blank};
    m_date = (m_today.isValid() ? m_today : QDate::currentDate()).toString(QStringLiteral("yyyy/MM/dd"));

    if (folder) {
        if (!QFileInfo(path).isDir())
            throw SbkError(QStringLiteral("The folder %1 does not exist.").arg(path));
        m_files = filesOfFolder(path, m_subfolders);
    } else {
        m_files = {{path, QString()}};
    }

    m_keepsEntries = DbKORFEntry::isAvailable(m_connection);
    m_table = std::make_unique<DbKORFStyle>(m_connection);
    m_entries = std::make_unique<DbKORFEntry>(m_connection);
    m_banks = std::make_unique<DbKORFBank>(m_connection);
    try {
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
    if (!m_transaction || m_next >= m_files.size())
        return false;
    const FolderItem& item = m_files.at(m_next);
    // Nothing is read before the run's first step, so a file that goes after begin is passed over.
    if (m_next == 0)
        startReadingAhead();
    try {
        const QString fileFolder = QFileInfo(item.path).path();
        if (m_folder && fileFolder != m_currentFolder) {
            m_currentFolder = fileFolder;
            report(Stage::Folder, QDir::toNativeSeparators(fileFolder), m_next, fileCount());
        }
        if (item.passedOver.isEmpty()) {
            importFile(item.path, m_next, fileCount());
        } else {
            m_log += item.passedOver + lineEnd;
            if (item.folder)
                ++m_foldersUnread;
            else
                ++m_filesSkipped;
        }
    } catch (const SbkError& error) {
        stop(error);
    }
    ++m_next;
    return m_next < m_files.size();
}

QString StyImport::finish() {
    if (!m_transaction)
        return m_log;
    try {
        m_transaction->commit();
    } catch (const SbkError& error) {
        stop(error);
    }
    m_ahead.reset();
    m_transaction.reset();
    m_table.reset();
    m_entries.reset();
    m_banks.reset();
    return m_log;
}

void StyImport::cancel() {
    m_ahead.reset();       // stops the reader
    m_transaction.reset(); // rolls back unless committed
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
    return QStringLiteral("%1 styles imported, %2 overwritten, %3 duplicates not imported, %4 not picked; "
                          "%5 banks created from %6 files read, %7 files not imported%8")
        .arg(m_stylesStored)
        .arg(m_stylesOverwritten)
        .arg(m_stylesDuplicate)
        .arg(m_stylesUnpicked)
        .arg(m_banksStored)
        .arg(m_filesRead)
        .arg(m_filesSkipped)
        .arg(m_foldersUnread > 0 ? QStringLiteral(", %1 folders not read").arg(m_foldersUnread) : QString());
}

StyImport::ReadFile StyImport::readFile(const QString& path, const StyleFactsReader& readFacts) {
    ReadFile file;
    QByteArray bytes;
    try {
        bytes = InputFile::read(path, KORFLibrary::MaxFileSize);
    } catch (const SbkError& error) {
        file.unreadable = error;
        return file;
    }
    file.size = bytes.size();
    file.library.FillCollectionFromBytes(bytes, path, file.styles);
    if (file.library.RetVal() == KORFLibrary::ReadKorf && readFacts) {
        file.facts.reserve(file.styles.Count());
        for (const KORFStylePtr& style : file.styles)
            file.facts.append(readFacts(style->StyleContent1(), style->StyleContent2()));
    }
    return file;
}

void StyImport::startReadingAhead() {
    m_ahead.reset();
    if (std::count_if(m_files.cbegin(), m_files.cend(),
                      [](const FolderItem& item) { return item.passedOver.isEmpty(); }) < 2)
        return;
    auto ahead = std::make_unique<ReadAhead>();
    try {
        ahead->thread = std::thread(&ReadAhead::readAll, ahead.get(), m_files, m_readFacts);
    } catch (const std::system_error&) {
        return; // no thread to be had: each file is read in its turn
    }
    m_ahead = std::move(ahead);
}

StyImport::ReadFile StyImport::takeFile(int fileIndex) {
    if (m_ahead) {
        ReadAhead::Read read = m_ahead->take();
        if (read.fileIndex == fileIndex) {
            if (read.error)
                std::rethrow_exception(read.error);
            return std::move(read.file);
        }
        m_ahead.reset(); // out of step: the rest is read in its turn
    }
    return readFile(m_files.at(fileIndex).path, m_readFacts);
}

void StyImport::importFile(const QString& path, int fileIndex, int fileCount) {
    const QString shortName = oneByteName(shortNameOf(path));
    report(Stage::File, shortName, fileIndex, fileCount);

    m_nextNumber.reset();
    ReadFile file = takeFile(fileIndex);
    if (file.unreadable) {
        // A file of a folder that cannot be read (its permissions, or it vanished or changed
        // after the scan) is named in the log; the others are imported all the same. A single
        // file that cannot be read is the run's error.
        if (!m_folder)
            throw *file.unreadable;
        m_log += shortName + QStringLiteral(" was passed over: ") + file.unreadable->message() + lineEnd;
        ++m_filesSkipped;
        return;
    }
    const KORFLibrary& library = file.library;
    KORFStyles& styles = file.styles;
    switch (library.RetVal()) {
    case KORFLibrary::ReadKorf:
        break;
    case KORFLibrary::ReadNotKorf:
        m_log += shortName + blank +
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
        m_log += shortName + QStringLiteral(" is probably a style for KORG ") + models[library.RetVal() - 1] +
                 lineEnd;
        ++m_filesSkipped;
        return;
    }
    }
    if (library.ReadLayout() == KORFLibrary::Layout::Newer && !m_keepsEntries) {
        m_log += shortName +
                 QStringLiteral(" is a style bank of a newer Pa model; this database of another program "
                                "cannot keep its directory, so it was not imported") +
                 lineEnd;
        ++m_filesSkipped;
        return;
    }
    ++m_filesRead;
    if (library.IndexDamaged())
        m_log += shortName +
                 QStringLiteral(" has a damaged index at its end; its styles were read all the same") +
                 lineEnd;

    // From here on a style's StyleProg is its number within the file's list; -1 marks a style the
    // user did not pick.
    for (int i = 1; i <= styles.Count(); ++i)
        styles.Item(i)->setStyleProg(i);
    if (m_picker) {
        PickerRequest request{shortName, {}, ExchangeValues};
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
        storeStyle(styles, i, file.facts.value(i - 1), shortName);
    }

    if (!m_saveBank)
        return;
    DbKORFBank& bank = *m_banks;
    const QString u = oneByteName(shortName.left(shortName.size() - 4).toUpper().left(5));
    bank.setBankProg(bank.NextKORFBank());
    bank.setBankName(u + QStringLiteral("%1").arg(bank.BankProg(), 3, 10, QLatin1Char('0')));
    bank.setBankDesc(QStringLiteral("Bank ") + u);
    for (int slot = 1; slot <= DbKORFBank::SlotCount; ++slot)
        bank.setBankStyle(slot, slot <= styles.Count() ? styles.Item(slot)->StyleProg() : 0);
    if (!bank.InsKORFBanks())
        throw SbkError(QStringLiteral("Cannot store the bank of the file %1: %2")
                           .arg(path, Database::inWords(bank.clsKORFBanksError())));
    ++m_banksStored;
}

void StyImport::storeStyle(KORFStyles& styles, int index, const StyleFactsValues& facts,
                           const QString& shortName) {
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
                     QStringLiteral("from file ") + shortName + QStringLiteral(" is the same as style ") +
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
                .arg(style.StyleName1().trimmed(), shortName, Database::inWords(table.clsKORFStylesError())));
    if (m_storedFingerprints && facts.FingerprintExact)
        m_runFingerprints.insert(*facts.FingerprintExact);
    keepEntriesOf(style, number, false);
    // A style whose blocks do not give both facts is stored all the same, and named once.
    if (m_readFacts && !facts.complete()) {
        const QString missing = facts.Tempo             ? QStringLiteral("meter")
                                : facts.Meter.isEmpty() ? QStringLiteral("tempo and meter")
                                                        : QStringLiteral("tempo");
        // One arg call: a "%2" in a style's name stays as it is.
        m_log += QStringLiteral("Style %1 (%2) from file %3 was imported without its %4: %5")
                     .arg(style.StyleName1(), QString::number(number), shortName, missing, facts.problem) +
                 lineEnd;
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
