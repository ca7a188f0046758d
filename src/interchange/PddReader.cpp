#include "interchange/PddReader.h"

#include "core/InputFile.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "interchange/PddBackup.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/KORFEntry.h"

#include <limits>

namespace {

// No value line of a dump is longer: texts hold at most 250 characters, numbers a few digits.
constexpr qint64 MaxLine = 4096;

QString shown(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.left(40).toPercentEncoding(" #/:"));
}

} // namespace

PddReader::PddReader(const QString& path) : m_path(path) {}

void PddReader::damaged(const QString& what) const {
    throw SbkError(QStringLiteral("The PDD file %1 is damaged at line %2 (byte %3): %4.")
                       .arg(m_path)
                       .arg(m_lineNumber)
                       .arg(m_lineStart)
                       .arg(what));
}

QString PddReader::What::toString() const {
    QString text = words;
    if (pattern) {
        text = QString::fromLatin1(pattern);
        text = text.contains(QLatin1String("%2")) ? text.arg(first).arg(second) : text.arg(first);
    }
    return prefix ? QLatin1String(prefix) + text : text;
}

QByteArray PddReader::line(const What& what, qint64 maxLength) {
    m_lineStart = m_file.pos();
    ++m_lineNumber;
    if (m_file.atEnd())
        damaged(QStringLiteral("the file ends where %1 was expected").arg(what.toString()));
    // Read into the one buffer of the reader: a line is copied out at its own length.
    if (m_buffer.size() < maxLength + 2)
        m_buffer.resize(maxLength + 2);
    qint64 size = m_file.readLine(m_buffer.data(), maxLength + 2);
    if (size < 0)
        size = 0;
    if (size > 0 && m_buffer.at(size - 1) == '\n')
        --size;
    else if (!m_file.atEnd())
        damaged(QStringLiteral("%1 is longer than %2 bytes").arg(what.toString()).arg(maxLength));
    if (size > 0 && m_buffer.at(size - 1) == '\r')
        --size;
    return QByteArray(m_buffer.constData(), size);
}

void PddReader::expectLine(const QByteArray& expected) {
    const QByteArray found = line(QStringLiteral("the line \"%1\"").arg(QString::fromLatin1(expected)));
    if (found != expected)
        damaged(
            QStringLiteral("\"%1\" expected, \"%2\" found").arg(QString::fromLatin1(expected), shown(found)));
}

QByteArray PddReader::counted(qint64 count, const What& what, bool keep) {
    m_lineStart = m_file.pos();
    ++m_lineNumber;
    if (count < 0 || count > m_size - m_file.pos())
        damaged(QStringLiteral("%1 is announced as %2 bytes, but only %3 are left in the file")
                    .arg(what.toString())
                    .arg(count)
                    .arg(m_size - m_file.pos()));
    QByteArray bytes;
    if (keep)
        bytes = m_file.read(count);
    if ((keep ? bytes.size() : m_file.skip(count)) != count)
        damaged(QStringLiteral("%1 cannot be read: %2").arg(what.toString(), m_file.errorString()));
    // The rest of the line is its line end; an empty block was stored as one blank, which stays
    // on the line.
    const qint64 start = m_lineStart;
    What lineEnd = what;
    lineEnd.prefix = "the line end after ";
    const QByteArray rest = line(lineEnd);
    --m_lineNumber;
    m_lineStart = start;
    if (!rest.isEmpty() && !(count == 0 && rest == " "))
        damaged(QStringLiteral("%1 is followed by %2 unexpected bytes (\"%3\") instead of the line end")
                    .arg(what.toString())
                    .arg(rest.size())
                    .arg(shown(rest)));
    return bytes;
}

qint64 PddReader::count(const QString& table) {
    const QByteArray bytes = line(QStringLiteral("the record count of %1").arg(table));
    const QByteArray digits = bytes.mid(4);
    bool ok = bytes.startsWith("##NR") && !digits.isEmpty() && digits.size() <= 18;
    for (const char c : digits)
        ok = ok && c >= '0' && c <= '9';
    if (!ok)
        damaged(QStringLiteral("a record count \"##NR\" and a decimal number expected for %1, \"%2\" found")
                    .arg(table, shown(bytes)));
    return digits.toLongLong();
}

qint32 PddReader::number(const What& what, bool required) {
    const QByteArray bytes = line(what);
    // An empty line is a value the database held as null.
    if (bytes.isEmpty() && !required)
        return 0;
    bool ok = false;
    const qint32 value = bytes.toInt(&ok);
    const QByteArray digits = bytes.startsWith('-') ? bytes.mid(1) : bytes;
    for (const char c : digits)
        ok = ok && c >= '0' && c <= '9';
    if (!ok || digits.isEmpty())
        damaged(QStringLiteral("%1 is not a number (\"%2\")").arg(what.toString(), shown(bytes)));
    return value;
}

QString PddReader::text(const What& what) {
    return SingleByteText::decode(line(what));
}

QString PddReader::name(const What& what) {
    return SingleByteText::decodeName(line(what));
}

void PddReader::readBank(DbKORFBank& bank) {
    bank.setBankProg(number(QStringLiteral("the bank number"), true));
    bank.setBankName(text(QStringLiteral("the bank name")));
    // A bank saved without a description holds none (NULL), and its backup an empty line: the
    // line has no mark for NULL, so an empty one restores as none again.
    const QString desc = text(QStringLiteral("the bank description"));
    bank.setBankDesc(desc.isEmpty() ? QString() : desc);
    for (int slot = 1; slot <= DbKORFBank::SlotCount; ++slot)
        bank.setBankStyle(slot, number(What("slot %1 of bank %2", slot, bank.BankProg()), false));
}

void PddReader::readStyle(DbKORFStyle& style) {
    const qint32 prog = number(QStringLiteral("the style number"), true);
    style.setStyleProg(prog);
    style.setStyleName1(name(What("the name of style %1", prog)));
    style.setStyleName2(name(What("the second name of style %1", prog)));
    const qint32 length1 = number(What("the first length of style %1", prog), false);
    const qint32 length2 = number(What("the second length of style %1", prog), false);
    if (length1 < 0 || length2 < 0)
        damaged(QStringLiteral("a negative length of style %1").arg(prog));
    style.setStyleLength1(length1);
    style.setStyleLength2(length2);
    style.setStyleContent1(counted(length1, What("the first data block of style %1", prog)));
    style.setStyleContent2(counted(length2, What("the second data block of style %1", prog)));
    // The search key is derived again by the insert; it is read only to pass over it.
    counted(qMin<qint64>(250, length1), What("the search key of style %1", prog), false);
    style.setStyleDate(text(What("the date of style %1", prog)));
    style.setStyleDesc(text(What("the description of style %1", prog)));
    style.setStyleCat(text(What("the group of style %1", prog)));
    style.setStyleFamily(text(What("the family of style %1", prog)));
    style.setStyleFile(text(What("the file name of style %1", prog)));
    style.setStyleAuthor(text(What("the author of style %1", prog)));
}

void PddReader::readEntries(const Handlers& handlers) {
    m_entries = 0;
    if (m_file.atEnd())
        return;
    const qint64 start = m_file.pos();
    const qint64 lineNumber = m_lineNumber;
    if (line(QStringLiteral("the end of the file")) != PddBackup::EntriesTable) {
        // Not the entries: the caller reads the line again and tells what is wrong with it.
        m_file.seek(start);
        m_lineNumber = lineNumber;
        return;
    }
    const qint64 records = count(QStringLiteral("KORFENTRIES"));
    if (handlers.table)
        handlers.table(QStringLiteral("KORFENTRIES"), records);
    QSet<qint64> seen;
    for (qint64 i = 0; i < records; ++i) {
        const qint32 style = number(QStringLiteral("the style number of a directory entry"), true);
        const QString of = QStringLiteral(" of style %1").arg(style);
        const qint32 block = number(QStringLiteral("the block of a directory entry") + of, true);
        if (block != 1 && block != 2)
            damaged(QStringLiteral("the directory entry%1 is for block %2; a style has blocks 1 and 2")
                        .arg(of)
                        .arg(block));
        if (!m_styles.contains(style))
            damaged(
                QStringLiteral("the file holds a directory entry of style %1 but no such style").arg(style));
        const qint64 key = qint64(style) * 2 + block - 1;
        if (seen.contains(key))
            damaged(QStringLiteral("block %1%2 has a second directory entry").arg(block).arg(of));
        seen.insert(key);
        const QString what = QStringLiteral("the directory entry of block %1%2").arg(block).arg(of);
        const QByteArray timestamp = line(QStringLiteral("the timestamp of ") + what);
        const QByteArray system = line(QStringLiteral("the system string of ") + what);
        // An entry holds at most 65,535 bytes, two digits each.
        const QByteArray digits = line(QStringLiteral("the properties of ") + what, 2 * 0xFFFF);
        bool hex = !digits.isEmpty() && digits.size() % 2 == 0;
        for (const char c : digits)
            hex = hex && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'));
        if (!hex)
            damaged(QStringLiteral("the properties of %1 are not pairs of hexadecimal digits").arg(what));
        const KORFEntry entry(QByteArray::fromHex(digits));
        qsizetype walked = 0;
        for (const KORFEntry::Item& item : entry.items())
            walked += 4 + item.data.size();
        bool changed = false;
        if (walked != entry.properties().size() || !entry.property(KORFEntry::Place) ||
            SingleByteText::written(entry.timestampText(), false, true, changed) != timestamp ||
            SingleByteText::written(entry.systemText(), false, true, changed) != system)
            damaged(QStringLiteral("the properties of %1 do not agree with its lines").arg(what));
        if (handlers.entry)
            handlers.entry(style, block, entry);
    }
    m_entries = records;
    expectLine(PddBackup::Header);
}

qint64 PddReader::read(const Handlers& handlers) {
    InputFile::open(m_file, m_path);
    m_size = m_file.size();
    m_lineNumber = 0;
    m_styles.clear();
    qint64 total = 0;

    expectLine(PddBackup::Header);
    const QStringList tables{QStringLiteral("KORFBANKS"), QStringLiteral("KORFSONGS"),
                             QStringLiteral("KORFSONSTY"), QStringLiteral("KORFSTYLES")};
    qsizetype next = 0; // the first table that may still come
    for (;;) {
        const QByteArray header = line(QStringLiteral("a table block or the closing line"));
        if (header == PddBackup::Header && next == tables.size())
            break;
        qsizetype found = -1;
        for (qsizetype i = next; i < tables.size() && found < 0; ++i)
            if (header == "TABLE " + tables[i].toLatin1())
                found = i;
        // KORFBANKS and KORFSTYLES are demanded; the song blocks may be left out.
        if (found < 0 || (found > 0 && next == 0)) {
            const QString expected = next == 0 ? QStringLiteral("\"TABLE KORFBANKS\"")
                                     : next == tables.size()
                                         ? QStringLiteral("the closing line \"SBK BACKUP\"")
                                         : QStringLiteral("\"TABLE %1\"")
                                               .arg(tables.mid(next).join(QStringLiteral("\", \"TABLE ")));
            damaged(QStringLiteral("%1 expected, \"%2\" found").arg(expected, shown(header)));
        }
        const QString table = tables[found];
        next = found + 1;
        const qint64 records = count(table);
        if (records > std::numeric_limits<qint64>::max() - total)
            damaged(QStringLiteral("the record counts add up to more than can be counted"));
        total += records;
        const bool songs = found == 1 || found == 2;
        if (songs && records > 0)
            damaged(QStringLiteral(
                        "the block \"TABLE %1\" holds %2 records; this program keeps no song tables, so "
                        "they cannot be restored")
                        .arg(table)
                        .arg(records));
        if (handlers.table)
            handlers.table(table, records);
        DbKORFBank bank;
        DbKORFStyle style;
        for (qint64 i = 0; i < records; ++i) {
            if (found == 0) {
                readBank(bank);
                if (handlers.bank)
                    handlers.bank(bank);
            } else {
                readStyle(style);
                m_styles.insert(style.StyleProg());
                if (handlers.style)
                    handlers.style(style);
            }
        }
    }
    readEntries(handlers);
    // Nothing but empty lines may follow the closing line.
    while (!m_file.atEnd())
        if (!line(QStringLiteral("the end of the file")).isEmpty())
            damaged(QStringLiteral("text follows the closing line \"SBK BACKUP\""));
    return total + m_entries;
}
