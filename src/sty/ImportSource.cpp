#include "sty/ImportSource.h"

#include "core/FolderScan.h"
#include "core/InputFile.h"
#include "sty/KORFLibrary.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString blank = QStringLiteral(" ");

// The first bytes of a file, enough to tell an archive's kind; none when it cannot be read (reading
// it then names the problem).
QByteArray headOf(const QString& path) {
    QFile file;
    try {
        InputFile::open(file, path);
    } catch (const SbkError&) {
        return {};
    }
    return file.read(512);
}

// Whether the file a run was given is an archive: by its name, else by its first bytes.
bool isArchiveFile(const QString& path) {
    return ArchiveReader::isArchiveName(path) || ArchiveReader::looksLikeArchive(headOf(path));
}

} // namespace

ImportSource::ImportSource(const QString& path, bool folder, bool subfolders) {
    if (!folder) {
        m_items = {{path, QString(), false, isArchiveFile(path)}};
        return;
    }
    QSet<QString> visited;
    collect(path, subfolders, m_items, visited);
}

ImportSource::~ImportSource() = default;

bool ImportSource::isStyName(const QString& name) {
    return name.right(3).toUpper() == QLatin1String("STY");
}

void ImportSource::collect(const QString& folder, bool subfolders, QList<Item>& items,
                           QSet<QString>& visited) {
    // A folder reached twice (through a link) is scanned once, so a link loop cannot recurse forever.
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (!canonical.isEmpty() && visited.contains(canonical))
        return;
    visited.insert(canonical);
    const QList<FolderEntry> entries = FolderScan::entries(folder, Qt::CaseInsensitive);
    // Every entry whose name ends in "STY" or names an archive is either taken or named in the log
    // with the reason.
    for (const FolderEntry& entry : entries) {
        const bool archive = ArchiveReader::isArchiveName(entry.name);
        if ((!isStyName(entry.name) && !archive) || (entry.kind == InputFile::Kind::Folder && subfolders))
            continue;
        const QString why = entry.whyNotAFile();
        items.append(
            {entry.path,
             why.isEmpty() ? QString() : entry.name + blank + why + QStringLiteral("; it was passed over"),
             false, archive});
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
            collect(entry.path, subfolders, items, visited);
        } catch (const SbkError& error) {
            items.append(
                {entry.path, error.message() + QStringLiteral(" Its files were not imported."), true});
        }
    }
}

int ImportSource::count() {
    int count = 0;
    for (Item& item : m_items) {
        if (!item.archive || !item.passedOver.isEmpty()) {
            ++count;
            continue;
        }
        if (const QByteArray head = headOf(item.path);
            !head.isEmpty() && !ArchiveReader::passesEntriesCheaply(head)) {
            item.counted = false;
            ++count;
            continue;
        }
        // As the run counts them: each entry taken or passed over, and an archive that fails.
        ArchiveReader archive(item.path, &isStyName, KORFLibrary::MaxFileSize, false);
        for (ArchiveReader::Item entry; archive.next(entry);) {
            if (entry.kind != ArchiveReader::Item::Kind::Begin &&
                entry.kind != ArchiveReader::Item::Kind::End)
                ++count;
        }
    }
    return count;
}

bool ImportSource::countedAll() const {
    return std::all_of(m_items.cbegin(), m_items.cend(), [](const Item& item) { return item.counted; });
}

bool ImportSource::next(Input& input) {
    for (;;) {
        if (m_archive) {
            ArchiveReader::Item item;
            if (m_archive->next(item)) {
                input = fromArchive(std::move(item));
                input.counted = m_items.at(m_next).counted;
                return true;
            }
            m_archive.reset();
            ++m_next;
            continue;
        }
        if (m_next >= m_items.size())
            return false;
        const Item& item = m_items.at(m_next);
        if (item.passedOver.isEmpty() && item.archive) {
            m_archive = std::make_unique<ArchiveReader>(item.path, &isStyName, KORFLibrary::MaxFileSize);
            continue;
        }
        input = Input();
        input.path = item.path;
        if (!item.passedOver.isEmpty()) {
            input.kind = Input::Kind::PassedOver;
            input.line = item.passedOver;
            input.folder = item.folder;
        } else {
            try {
                input.bytes = InputFile::read(item.path, KORFLibrary::MaxFileSize);
            } catch (const SbkError& error) {
                input.unreadable = error;
            }
        }
        ++m_next;
        return true;
    }
}

ImportSource::Input ImportSource::fromArchive(ArchiveReader::Item&& item) {
    using Kind = ArchiveReader::Item::Kind;
    Input input;
    input.path = item.path;
    input.shown = item.shown;
    input.depth = item.depth;
    switch (item.kind) {
    case Kind::Begin:
        input.kind = Input::Kind::ArchiveBegin;
        break;
    case Kind::Entry:
        input.bytes = std::move(item.bytes);
        break;
    case Kind::PassedOver:
        input.kind = Input::Kind::PassedOver;
        input.line = item.shown + blank + item.problem + QStringLiteral("; it was passed over");
        break;
    case Kind::End:
        input.kind = Input::Kind::ArchiveEnd;
        if (item.others == 1)
            input.line = item.shown + QStringLiteral(": 1 entry that is neither an STY file nor an archive "
                                                     "was passed over");
        else if (item.others > 1)
            input.line = item.shown + QStringLiteral(": %1 entries that are neither STY files nor archives "
                                                     "were passed over")
                                          .arg(item.others);
        break;
    case Kind::Failed:
        input.kind = Input::Kind::ArchiveFailed;
        input.line = item.shown + blank + item.problem;
        break;
    }
    return input;
}
