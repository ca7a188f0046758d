#include "interchange/SsfFile.h"

#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "store/DbKORFStyle.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace {

const QString allowedInFileName = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_");

QString describe(const DbKORFStyle& style) {
    return QStringLiteral("style %1 (%2)")
        .arg(style.StyleProg())
        .arg(SingleByteText::plainText(style.StyleName1()));
}

// Appends one field: its count in five digits, then the bytes.
void appendField(QByteArray& out, const QByteArray& value, const DbKORFStyle& style, const char* what) {
    if (value.size() > SsfFile::MaxField)
        throw SbkError(
            QStringLiteral("Cannot export %1 to an SSF file: its %2 is %3 bytes long, and an SSF field "
                           "holds at most 99,999.")
                .arg(describe(style), QLatin1String(what))
                .arg(value.size()));
    out += QByteArray::number(value.size()).rightJustified(5, '0');
    out += value;
}

void appendNumber(QByteArray& out, qint32 value, const DbKORFStyle& style, const char* what) {
    if (value < 0 || value > SsfFile::MaxField)
        throw SbkError(
            QStringLiteral("Cannot export %1 to an SSF file: its %2 is %3, and an SSF file holds only "
                           "0 to 99,999.")
                .arg(describe(style), QLatin1String(what))
                .arg(value));
    out += "00005";
    out += QByteArray::number(value).rightJustified(5, '0');
}

// A text as one byte per character; a character without a one-byte form becomes "?".
QByteArray text(const QString& value, bool isName, const char* what, QStringList* changes) {
    bool changed = false;
    QByteArray bytes = SingleByteText::written(value, isName, false, changed);
    if (changed && changes)
        changes->append(QLatin1String(what));
    return bytes;
}

// A length as the reader demands it: one that does not describe its block is written as the
// block's size.
qint32 length(qint32 stored, const QByteArray& content, const char* what, QStringList* changes) {
    if (DbKORFStyle::lengthFits(stored, content))
        return stored;
    if (changes)
        changes->append(
            QStringLiteral("%1 %2 (written as %3)").arg(QLatin1String(what)).arg(stored).arg(content.size()));
    return qint32(content.size());
}

// Reads the fields of an SSF file, knowing at every step how much is left.
class FieldReader {
public:
    FieldReader(const QByteArray& bytes, const QString& fileName) : m_bytes(bytes), m_fileName(fileName) {}

    qsizetype offset() const { return m_offset; }

    [[noreturn]] void damaged(qsizetype at, const QString& what) const {
        throw SbkError(
            QStringLiteral("The SSF file %1 is damaged at byte %2: %3.").arg(m_fileName).arg(at).arg(what));
    }

    QByteArray take(qsizetype count, const QString& field) {
        const qsizetype left = m_bytes.size() - m_offset;
        if (count > left)
            damaged(m_offset, QStringLiteral("the file ends %1 bytes before the end of %2 (%3 announced)")
                                  .arg(count - left)
                                  .arg(field)
                                  .arg(count));
        QByteArray value = m_bytes.mid(m_offset, count);
        m_offset += count;
        return value;
    }

    QByteArray field(const QString& name) {
        const qsizetype at = m_offset;
        const QByteArray count = take(5, QStringLiteral("the count of ") + name);
        int n = 0;
        for (const char c : count) {
            if (c < '0' || c > '9')
                damaged(at, QStringLiteral("the count of %1 is not five digits (\"%2\")")
                                .arg(name, QString::fromLatin1(count.toPercentEncoding(" "))));
            n = n * 10 + (c - '0');
        }
        return take(n, name);
    }

    qint32 number(const QString& name) {
        const qsizetype at = m_offset;
        const QByteArray value = field(name);
        bool ok = value.size() >= 1 && value.size() <= 9;
        for (const char c : value)
            ok = ok && c >= '0' && c <= '9';
        if (!ok)
            damaged(at, QStringLiteral("%1 is not a number (\"%2\")")
                            .arg(name, QString::fromLatin1(value.left(20).toPercentEncoding(" "))));
        return value.toInt();
    }

private:
    const QByteArray& m_bytes;
    QString m_fileName;
    qsizetype m_offset = 0;
};

} // namespace

QString SsfFile::fileName(const QString& styleName1) {
    QString name;
    for (const QChar c : styleName1) {
        const QChar upper = c.toUpper();
        if (allowedInFileName.contains(upper))
            name += upper;
    }
    return name + QStringLiteral(".SSF");
}

QDate SsfFile::readStoredDate(const QString& storedDate) {
    const QString text = storedDate.trimmed();
    // Three numbers with / . or - between them, perhaps followed by a time.
    static const QRegularExpression numeric(
        QStringLiteral("^(\\d{1,4})([./-])(\\d{1,2})\\2(\\d{1,4})(?:[ T].*)?$"));
    const QRegularExpressionMatch match = numeric.match(text);
    if (match.hasMatch()) {
        const QString first = match.captured(1);
        const QString last = match.captured(4);
        const int middle = match.captured(3).toInt();
        if (first.size() == 4 && last.size() <= 2)
            return QDate(first.toInt(), middle, last.toInt());
        if (first.size() <= 2 && (last.size() == 4 || last.size() == 2)) {
            int year = last.toInt();
            if (last.size() == 2)
                year += year < 30 ? 2000 : 1900;
            const QString localeForm = QLocale().dateFormat(QLocale::ShortFormat);
            const bool monthFirst =
                localeForm.indexOf(QLatin1Char('M')) < localeForm.indexOf(QLatin1Char('d'));
            const QDate dayFirstDate(year, middle, first.toInt());
            const QDate monthFirstDate(year, first.toInt(), middle);
            if (monthFirst)
                return monthFirstDate.isValid() ? monthFirstDate : dayFirstDate;
            return dayFirstDate.isValid() ? dayFirstDate : monthFirstDate;
        }
        return QDate();
    }
    for (const QLocale::FormatType form : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDate date = QLocale().toDate(text, form);
        if (date.isValid())
            return date;
    }
    return QDate();
}

QByteArray SsfFile::exportDate(const QString& storedDate) {
    const QDate date = readStoredDate(storedDate);
    // Any year the reader takes back (0001 to 9999) is written as it stands.
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return UnknownDate;
    return date.toString(QStringLiteral("dd/MM/yyyy")).toLatin1();
}

QByteArray SsfFile::encode(const DbKORFStyle& style, QStringList* changes) {
    QByteArray out = Signature;
    out.reserve(16 + 12 * 5 + style.StyleContent1().size() + style.StyleContent2().size() + 512);
    appendField(out, text(style.StyleName1(), true, "name", changes), style, "name");
    appendField(out, text(style.StyleName2(), true, "second name", changes), style, "second name");
    appendNumber(out, length(style.StyleLength1(), style.StyleContent1(), "first length", changes), style,
                 "first length");
    appendNumber(out, length(style.StyleLength2(), style.StyleContent2(), "second length", changes), style,
                 "second length");
    appendField(out, style.StyleContent1(), style, "first data block");
    appendField(out, style.StyleContent2(), style, "second data block");
    appendField(out, text(style.StyleAuthor(), false, "author", changes), style, "author");
    appendField(out, text(style.StyleCat(), false, "group", changes), style, "group");
    appendField(out, text(style.StyleFamily(), false, "family", changes), style, "family");
    appendField(out, text(style.StyleDesc(), false, "description", changes), style, "description");
    appendField(out, text(style.StyleFile(), false, "file name", changes), style, "file name");
    out += "00010";
    const QByteArray date = exportDate(style.StyleDate());
    if (date == UnknownDate && changes && readStoredDate(style.StyleDate()) != QDate(1900, 1, 1))
        changes->append(QStringLiteral("date \"%1\" (not a date; written as %2)")
                            .arg(style.StyleDate(), QString::fromLatin1(UnknownDate)));
    out += date;
    return out;
}

QString SsfFile::write(const DbKORFStyle& style, const QString& folder, QStringList* changes,
                       const QString& name) {
    const QByteArray bytes = encode(style, changes);
    // The folder as typed is a folder whether or not it ends in a separator.
    const QString path = QDir(folder).filePath(name.isEmpty() ? fileName(style.StyleName1()) : name);
    SaveFile file(path);
    if (!file.openForWriting())
        throw SbkError(QStringLiteral("Cannot write the SSF file %1: %2").arg(path, file.errorString()));
    if (!file.writeAll(bytes) || !file.commit()) {
        const QString why = file.errorString();
        file.cancelWriting();
        throw SbkError(QStringLiteral("Cannot write the SSF file %1: %2").arg(path, why));
    }
    return path;
}

bool SsfFile::read(const QByteArray& bytes, const QString& fileName, DbKORFStyle& style) {
    if (!bytes.startsWith(Signature))
        return false;
    FieldReader in(bytes, fileName);
    in.take(Signature.size(), QStringLiteral("the signature"));
    const QByteArray name1 = in.field(QStringLiteral("the name"));
    const QByteArray name2 = in.field(QStringLiteral("the second name"));
    const qsizetype lengthsAt = in.offset();
    const qint32 length1 = in.number(QStringLiteral("the first length"));
    const qint32 length2 = in.number(QStringLiteral("the second length"));
    const QByteArray content1 = in.field(QStringLiteral("the first data block"));
    const QByteArray content2 = in.field(QStringLiteral("the second data block"));
    // The lengths go into the database beside the blocks, and the STY writer and the PDD backup
    // trust them: they must describe the blocks as the export writes them.
    const struct {
        qint32 length;
        const QByteArray& content;
        const char* which;
    } blocks[] = {{length1, content1, "first"}, {length2, content2, "second"}};
    for (const auto& block : blocks)
        if (!DbKORFStyle::lengthFits(block.length, block.content))
            in.damaged(lengthsAt,
                       QStringLiteral("the %1 length %2 does not match the %1 data block of %3 bytes")
                           .arg(QLatin1String(block.which))
                           .arg(block.length)
                           .arg(block.content.size()));
    const QByteArray author = in.field(QStringLiteral("the author"));
    const QByteArray group = in.field(QStringLiteral("the group"));
    const QByteArray family = in.field(QStringLiteral("the family"));
    const QByteArray description = in.field(QStringLiteral("the description"));
    const QByteArray file = in.field(QStringLiteral("the file name"));
    const qsizetype dateAt = in.offset();
    const QByteArray dateText = in.field(QStringLiteral("the date"));
    const QDate date = QDate::fromString(QString::fromLatin1(dateText), QStringLiteral("dd/MM/yyyy"));
    if (dateText.size() != 10 || !date.isValid())
        in.damaged(dateAt, QStringLiteral("the date \"%1\" is not a date in the form dd/mm/yyyy")
                               .arg(QString::fromLatin1(dateText.left(20).toPercentEncoding(" /"))));

    style.setStyleName1(SingleByteText::plainText(SingleByteText::decodeName(name1)));
    style.setStyleName2(SingleByteText::plainText(SingleByteText::decodeName(name2)));
    style.setStyleLength1(length1);
    style.setStyleLength2(length2);
    style.setStyleContent1(content1);
    style.setStyleContent2(content2);
    // A descriptive text is one line in the database's dumps: a line break or any other control
    // character in it becomes a blank.
    auto line = [](const QByteArray& bytes) {
        return SingleByteText::plainText(SingleByteText::decode(bytes));
    };
    style.setStyleAuthor(line(author));
    style.setStyleCat(line(group));
    style.setStyleFamily(line(family));
    style.setStyleDesc(line(description));
    style.setStyleFile(line(file));
    // Stored in the form the STY import writes, so that every stored date has one form and sorts.
    style.setStyleDate(date.toString(QStringLiteral("yyyy/MM/dd")));
    return true;
}
