#include "interchange/PddBackup.h"

#include "core/Progress.h"
#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFEntry.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

const QByteArray lineEnd = QByteArrayLiteral("\r\n");

// Whether the folder lies on a file system that tells "a" from "A": the folder is looked up with
// the case of its letters turned round, and it is the same folder only where case does not count.
bool distinguishesCase(const QString& folder) {
#ifdef Q_OS_WIN
    (void)folder;
    return false;
#else
    const QString absolute = QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).absoluteFilePath();
    QString turned;
    for (const QChar c : absolute)
        turned += c.isUpper() ? c.toLower() : c.toUpper();
    if (turned == absolute)
        return true; // no letter to tell by; keeping the folders as typed is right everywhere
#ifdef Q_OS_UNIX
    struct stat a {};
    struct stat b {};
    if (::stat(QFile::encodeName(absolute).constData(), &a) != 0 ||
        ::stat(QFile::encodeName(turned).constData(), &b) != 0)
        return true;
    return !(a.st_dev == b.st_dev && a.st_ino == b.st_ino);
#else
    return true;
#endif
#endif
}

class PddWriter {
public:
    PddWriter(SaveFile& file, const QString& path) : m_file(file), m_path(path) {}

    void write(const QByteArray& bytes) {
        if (!m_file.writeAll(bytes))
            throw SbkError(
                QStringLiteral("Cannot write the PDD file %1: %2").arg(m_path, m_file.errorString()));
    }
    void line(const QByteArray& bytes) {
        m_record += bytes;
        m_record += lineEnd;
    }
    void number(const QVariant& value) {
        line(value.isNull() ? QByteArray() : QByteArray::number(value.toLongLong()));
    }
    // Records are gathered and written some 64 KiB at a time (the file itself is unbuffered);
    // finish() writes the rest.
    void flush() {
        if (m_record.size() >= 0x10000)
            finish();
    }
    void finish() {
        write(m_record);
        m_record.clear();
    }

private:
    SaveFile& m_file;
    QString m_path;
    QByteArray m_record;
};

// A text value as one line: one byte per character, no line break (the layout has no escaping).
QByteArray textLine(const QVariant& value, bool isName, const char* column, QStringList& changes) {
    bool changed = false;
    QByteArray bytes = SingleByteText::written(value.toString(), isName, true, changed);
    if (changed)
        changes.append(QLatin1String(column));
    return bytes;
}

// Notes what was changed in one record, as one line naming the record.
void noteChanges(QStringList& changed, const QString& owner, QStringList& changes) {
    if (!changes.isEmpty())
        changed.append(owner + QStringLiteral(": ") + changes.join(QStringLiteral(", ")));
    changes.clear();
}

qint64 countRows(QSqlQuery& query, const QString& table) {
    Database::exec(query, QStringLiteral("SELECT COUNT(*) FROM ") + table);
    const qint64 count = query.next() ? query.value(0).toLongLong() : 0;
    query.finish();
    return count;
}

} // namespace

QString PddBackup::targetPath(const QString& typedPath) {
    const QString path = typedPath.trimmed();
    const qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    const qsizetype cutBackslash = path.lastIndexOf(QLatin1Char('\\'));
    const qsizetype at = std::max(cut, cutBackslash);
#else
    const qsizetype at = cut;
#endif
    // Where case counts, the restore is given the path as typed, so the backup keeps it.
    if (distinguishesCase(at < 0 ? QString() : path.left(at + 1)))
        return path;
    return path.toUpper();
}

QString PddBackup::warning(const QStringList& changed) {
    if (changed.isEmpty())
        return QString();
    return QStringLiteral("The backup is complete, but these styles and banks held what a PDD file cannot "
                          "carry as stored; each character without a one-byte form and each line break was "
                          "written as \"?\":\n") +
           changed.join(QLatin1Char('\n'));
}

QStringList PddBackup::backup(QSqlDatabase db, const QString& path, Progress* progress) {
    SaveFile file(path);
    if (!file.openForWriting())
        throw SbkError(QStringLiteral("Cannot write the PDD file %1: %2").arg(path, file.errorString()));
    PddWriter out(file, path);

    // Read both tables in one transaction, so that the counts written before the records agree
    // with them. Nothing is changed; the guard rolls back at the end.
    Transaction snapshot(db, Transaction::Mode::Read);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const qint64 banks = countRows(query, QStringLiteral("KORFBanks"));
    const qint64 styles = countRows(query, QStringLiteral("KORFStyles"));
    const qint64 entries = DbKORFEntry::isAvailable(db) ? countRows(query, QStringLiteral("KORFEntries")) : 0;
    if (progress)
        progress->begin(banks + styles + entries, QStringLiteral("Backing up the database"));
    qint64 done = 0;

    out.line(Header);
    out.line("TABLE KORFBANKS");
    out.line("##NR" + QByteArray::number(banks));
    QStringList slotColumns;
    for (int k = 1; k <= 32; ++k)
        slotColumns << DbKORFBank::slotColumn(k);
    Database::exec(query, QStringLiteral("SELECT BankProg, BankName, BankDesc, ") +
                              slotColumns.join(QStringLiteral(", ")) +
                              QStringLiteral(" FROM KORFBanks ORDER BY BankProg, BankName"));
    QStringList changed;
    QStringList changes;
    qint64 written = 0;
    while (query.next()) {
        out.number(query.value(0));
        out.line(textLine(query.value(1), false, "name", changes));
        out.line(textLine(query.value(2), false, "description", changes));
        for (int k = 0; k < 32; ++k)
            out.number(query.value(3 + k));
        noteChanges(
            changed,
            QStringLiteral("bank %1 (%2)").arg(query.value(0).toLongLong()).arg(query.value(1).toString()),
            changes);
        out.flush();
        ++written;
        if (progress)
            progress->step(++done, query.value(1).toString());
    }
    query.finish();
    if (written != banks)
        throw SbkError(
            QStringLiteral("The bank table changed during the backup; %1 was not written.").arg(path));

    out.line("TABLE KORFSTYLES");
    out.line("##NR" + QByteArray::number(styles));
    Database::exec(
        query, QStringLiteral("SELECT StyleProg, StyleName1, StyleName2, StyleLength1, StyleLength2, "
                              "StyleContent1, StyleContent2, StyleDate, StyleDesc, StyleCat, StyleFamily, "
                              "StyleFile, StyleAuthor FROM KORFStyles ORDER BY StyleProg"));
    written = 0;
    while (query.next()) {
        const QString name1 = query.value(1).toString();
        qint64 length1 = query.value(3).toLongLong();
        qint64 length2 = query.value(4).toLongLong();
        const QByteArray content1 = query.value(5).toByteArray();
        const QByteArray content2 = query.value(6).toByteArray();
        out.number(query.value(0));
        out.line(textLine(query.value(1), true, "name", changes));
        out.line(textLine(query.value(2), true, "second name", changes));
        // The data blocks are read back by their lengths, so a length must describe its block (an
        // empty block is stored as one blank with length 0, which the reader allows for).
        for (auto [length, content, what] : {std::tuple{&length1, &content1, "first length"},
                                             std::tuple{&length2, &content2, "second length"}}) {
            if (!DbKORFStyle::lengthFits(*length, *content)) {
                changes.append(QStringLiteral("%1 %2 (written as %3)")
                                   .arg(QLatin1String(what))
                                   .arg(*length)
                                   .arg(content->size()));
                *length = content->size();
            }
            out.number(*length);
        }
        out.line(content1);
        out.line(content2);
        out.line(length1 == 0 ? QByteArray(" ") : DbKORFStyle::seekOf(content1));
        out.line(textLine(query.value(7), false, "date", changes));
        out.line(textLine(query.value(8), false, "description", changes));
        out.line(textLine(query.value(9), false, "group", changes));
        out.line(textLine(query.value(10), false, "family", changes));
        out.line(textLine(query.value(11), false, "file name", changes));
        out.line(textLine(query.value(12), false, "author", changes));
        noteChanges(changed,
                    QStringLiteral("style %1 (%2)")
                        .arg(query.value(0).toLongLong())
                        .arg(SingleByteText::plainText(name1).trimmed()),
                    changes);
        out.flush();
        ++written;
        if (progress)
            progress->step(++done, name1);
    }
    query.finish();
    if (written != styles)
        throw SbkError(
            QStringLiteral("The style table changed during the backup; %1 was not written.").arg(path));

    out.line(Header);
    if (entries > 0) {
        out.line(PddBackup::EntriesTable);
        out.line("##NR" + QByteArray::number(entries));
        Database::exec(query, QStringLiteral("SELECT StyleProg, EntryBlock, EntryProperties FROM KORFEntries "
                                             "ORDER BY StyleProg, EntryBlock"));
        written = 0;
        while (query.next()) {
            // The readable columns are written as the properties give them, which the restore checks.
            const KORFEntry entry(query.value(2).toByteArray());
            out.number(query.value(0));
            out.number(query.value(1));
            out.line(textLine(entry.timestampText(), false, "entry timestamp", changes));
            out.line(textLine(entry.systemText(), false, "entry system", changes));
            out.line(entry.properties().toHex().toUpper());
            changes.clear(); // the properties keep the bytes themselves
            out.flush();
            ++written;
            if (progress)
                progress->step(++done, QString());
        }
        query.finish();
        if (written != entries)
            throw SbkError(
                QStringLiteral("The directory entries changed during the backup; %1 was not written.")
                    .arg(path));
        out.line(Header);
    }
    out.finish();
    if (!file.commit())
        throw SbkError(QStringLiteral("Cannot write the PDD file %1: %2").arg(path, file.errorString()));
    if (progress)
        progress->end();
    return changed;
}
