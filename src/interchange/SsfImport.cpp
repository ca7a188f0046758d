#include "interchange/SsfImport.h"

#include "core/FolderScan.h"
#include "core/InputFile.h"
#include "core/Progress.h"
#include "core/SbkError.h"
#include "interchange/SsfFile.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"
#include "music/NoteFingerprint.h"

#include <QFileInfo>

int SsfImport::Result::inserted() const {
    int count = 0;
    for (const FileResult& file : files)
        count += file.outcome == Outcome::Inserted ? 1 : 0;
    return count;
}

int SsfImport::Result::damaged() const {
    int count = 0;
    for (const FileResult& file : files)
        count += file.outcome == Outcome::Inserted && !file.styleDamage.isEmpty() ? 1 : 0;
    return count;
}

QString SsfImport::FileResult::describe() const {
    const QString name = QFileInfo(path).fileName();
    switch (outcome) {
    case Outcome::Inserted:
        if (!styleDamage.isEmpty())
            return QStringLiteral("%1: imported as style %2, which is damaged: %3. It was stored as it is")
                .arg(name, QString::number(styleProg), styleDamage);
        return QStringLiteral("%1: imported as style %2").arg(name).arg(styleProg);
    case Outcome::NotSsf:
        return QStringLiteral("%1: not an SSF file, passed over").arg(name);
    case Outcome::AlreadyPresent:
        return QStringLiteral("%1: already present as style %2").arg(name).arg(styleProg);
    case Outcome::PassedOver:
        return QStringLiteral("%1 %2; passed over").arg(name, problem);
    case Outcome::Damaged:
    case Outcome::InsertFailed:
        break;
    }
    return problem; // it names the file
}

QString SsfImport::Result::message() const {
    if (!found)
        return NotFoundMessage;
    const FileResult* last = files.isEmpty() ? nullptr : &files.last();
    const QString outcome = !last || !last->refused() ? DoneMessage
                            : last->outcome == Outcome::AlreadyPresent
                                ? PresentMessage
                                : QStringLiteral("SSF file import aborted: ") + last->problem;
    if (const int count = damaged(); count == 1)
        return outcome + QStringLiteral("\nOne style imported is damaged: its blocks do not decode. It was "
                                        "stored as it is.");
    else if (count > 1)
        return outcome + QStringLiteral("\n%1 styles imported are damaged: their blocks do not decode. They "
                                        "were stored as they are.")
                             .arg(count);
    return outcome;
}

SsfImport::SsfImport(QSqlDatabase connection, Progress* progress)
    : m_connection(connection), m_progress(progress) {}

SsfImport::FileResult SsfImport::importOne(const QString& path) {
    FileResult result;
    result.path = path;
    const QString name = QFileInfo(path).fileName();

    DbKORFStyle style(m_connection);
    try {
        // No SSF file is longer than the layout allows; a longer one is refused unread.
        const QByteArray bytes = InputFile::read(path, SsfFile::MaxFileSize);
        if (!SsfFile::read(bytes, name, style)) {
            result.outcome = Outcome::NotSsf;
            return result;
        }
    } catch (const SbkError& error) {
        result.outcome = Outcome::Damaged;
        result.problem = error.message();
        return result;
    }

    // Read before the database is held: the tempo and meter only need the blocks.
    const StyleFactsValues facts = NoteFingerprint::readFacts(style.StyleContent1(), style.StyleContent2());
    style.setFacts(facts);
    // The duplicate test, the new number and the insert run with the database held for writing, so
    // that a program storing styles meanwhile (an import) can neither take the same number nor
    // store the same style in between.
    try {
        Transaction transaction(m_connection);
        // The duplicate test compares the data as the insert will store it: an empty block is
        // stored as one blank.
        const QByteArray content1 = style.StyleContent1().isEmpty() ? QByteArray(" ") : style.StyleContent1();
        const QByteArray content2 = style.StyleContent2().isEmpty() ? QByteArray(" ") : style.StyleContent2();
        DbKORFStyle search(m_connection);
        const qint32 present =
            search.GetKORFStylesByContent(content1, content2, style.StyleLength1(), style.StyleLength2());
        if (present != -1) {
            result.outcome = Outcome::AlreadyPresent;
            result.styleProg = present;
            return result;
        }
        style.setStyleProg(style.NextKORFStyle());
        if (!style.InsKORFStyles())
            throw SbkError(Database::inWords(style.clsKORFStylesError()));
        transaction.commit();
    } catch (const SbkError& error) {
        result.outcome = Outcome::InsertFailed;
        result.problem =
            QStringLiteral("the style of %1 could not be stored (%2)").arg(name, error.message());
        return result;
    }
    result.outcome = Outcome::Inserted;
    result.styleProg = style.StyleProg();
    result.styleDamage = facts.damage;
    return result;
}

SsfImport::Result SsfImport::importFile(const QString& path) {
    Result result;
    if (InputFile::status(path).kind == InputFile::Kind::Missing) {
        result.found = false;
        return result;
    }
    if (m_progress)
        m_progress->begin(1, QStringLiteral("Importing SSF file"));
    result.files.append(importOne(path));
    if (m_progress) {
        m_progress->step(1, QFileInfo(path).fileName());
        m_progress->end();
    }
    return result;
}

SsfImport::Result SsfImport::importFolder(const QString& folder) {
    Result result;
    if (!QFileInfo(folder).isDir()) {
        result.found = false;
        return result;
    }
    QList<FolderEntry> entries = FolderScan::entries(folder, Qt::CaseSensitive);
    entries.removeIf([](const FolderEntry& entry) { return !entry.name.endsWith(QLatin1String("SSF")); });
    if (m_progress)
        m_progress->begin(entries.size(), QStringLiteral("Importing SSF files"));
    qint64 done = 0;
    for (const FolderEntry& entry : entries) {
        // Entries that are no regular files are passed over, each with its reason.
        if (const QString why = entry.whyNotAFile(); why.isEmpty()) {
            result.files.append(importOne(entry.path));
        } else {
            FileResult passed;
            passed.path = entry.path;
            passed.outcome = Outcome::PassedOver;
            passed.problem = why;
            result.files.append(passed);
        }
        if (m_progress)
            m_progress->step(++done, entry.name);
        if (result.files.last().refused())
            break;
    }
    if (m_progress)
        m_progress->end();
    return result;
}
