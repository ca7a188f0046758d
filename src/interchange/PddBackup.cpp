#include "interchange/PddBackup.h"

#include "core/Progress.h"
#include "core/SbkError.h"
#include "interchange/SingleByteText.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/Transaction.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
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
    PddWriter(QSaveFile& file, const QString& path) : m_file(file), m_path(path) {}

    void write(const QByteArray& bytes) {
        if (m_file.write(bytes) != bytes.size())
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
    void flush() {
        write(m_record);
        m_record.clear();
    }

private:
    QSaveFile& m_file;
    QString m_path;
    QByteArray m_record;
};

// A text value as one line: one byte per character, no line break (the layout has no escaping).
QByteArray textLine(const QVariant& value, bool isName, const QString& owner, const QString& column) {
    const QString text = value.toString();
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        throw SbkError(
            QStringLiteral("Cannot back up %1: its %2 holds a line break, which a PDD file cannot carry. "
                           "Edit it and back up again.")
                .arg(owner, column));
    const std::optional<QByteArray> bytes =
        isName ? SingleByteText::encodeName(text) : SingleByteText::encode(text);
    if (!bytes)
        throw SbkError(
            QStringLiteral("Cannot back up %1: its %2 \"%3\" holds a character that cannot be written in "
                           "%4. Edit it and back up again.")
                .arg(owner, column, text,
                     isName ? QStringLiteral("ISO-8859-1") : SingleByteText::encodingName()));
    return *bytes;
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
    const QString folder = at < 0 ? QString() : path.left(at + 1);
    const QString name = path.mid(at + 1);
    if (distinguishesCase(folder))
        return folder + name.toUpper();
    return path.toUpper();
}

void PddBackup::backup(QSqlDatabase db, const QString& path, Progress* progress) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw SbkError(QStringLiteral("Cannot write the PDD file %1: %2").arg(path, file.errorString()));
    PddWriter out(file, path);

    // Read both tables in one transaction, so that the counts written before the records agree
    // with them. Nothing is changed; the guard rolls back at the end.
    Transaction snapshot(db, Transaction::Mode::Read);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const qint64 banks = countRows(query, QStringLiteral("KORFBanks"));
    const qint64 styles = countRows(query, QStringLiteral("KORFStyles"));
    if (progress)
        progress->begin(banks + styles, QStringLiteral("Backing up the database"));
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
    qint64 written = 0;
    while (query.next()) {
        const QString owner =
            QStringLiteral("bank %1 (%2)").arg(query.value(0).toLongLong()).arg(query.value(1).toString());
        out.number(query.value(0));
        out.line(textLine(query.value(1), false, owner, QStringLiteral("name")));
        out.line(textLine(query.value(2), false, owner, QStringLiteral("description")));
        for (int k = 0; k < 32; ++k)
            out.number(query.value(3 + k));
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
        const QString owner = QStringLiteral("style %1 (%2)")
                                  .arg(query.value(0).toLongLong())
                                  .arg(QString(name1).remove(QChar(0)));
        const qint64 length1 = query.value(3).toLongLong();
        const qint64 length2 = query.value(4).toLongLong();
        QByteArray content1 = query.value(5).toByteArray();
        QByteArray content2 = query.value(6).toByteArray();
        // The data blocks are read back by their lengths, so a length must describe its block (an
        // empty block is stored as one blank with length 0, which the reader allows for).
        auto fits = [](const QByteArray& content, qint64 length) {
            return content.size() == length || (length == 0 && (content.isEmpty() || content == " "));
        };
        if (!fits(content1, length1) || !fits(content2, length2))
            throw SbkError(
                QStringLiteral("Cannot back up %1: its stored lengths (%2, %3) do not match its data "
                               "(%4, %5 bytes), and a PDD file reads the data back by these lengths.")
                    .arg(owner)
                    .arg(length1)
                    .arg(length2)
                    .arg(content1.size())
                    .arg(content2.size()));
        out.number(query.value(0));
        out.line(textLine(query.value(1), true, owner, QStringLiteral("name")));
        out.line(textLine(query.value(2), true, owner, QStringLiteral("second name")));
        out.number(query.value(3));
        out.number(query.value(4));
        out.line(content1);
        out.line(content2);
        out.line(length1 == 0 ? QByteArray(" ") : DbKORFStyle::seekOf(content1));
        out.line(textLine(query.value(7), false, owner, QStringLiteral("date")));
        out.line(textLine(query.value(8), false, owner, QStringLiteral("description")));
        out.line(textLine(query.value(9), false, owner, QStringLiteral("group")));
        out.line(textLine(query.value(10), false, owner, QStringLiteral("family")));
        out.line(textLine(query.value(11), false, owner, QStringLiteral("file name")));
        out.line(textLine(query.value(12), false, owner, QStringLiteral("author")));
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
    out.flush();
    if (!file.commit())
        throw SbkError(QStringLiteral("Cannot write the PDD file %1: %2").arg(path, file.errorString()));
    if (progress)
        progress->end();
}
