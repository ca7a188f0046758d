#include "interchange/SsfFile.h"

#include "core/SbkError.h"
#include "interchange/SingleByteText.h"
#include "store/DbKORFStyle.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const QString allowedInFileName = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ_");

QString describe(const DbKORFStyle& style) {
    return QStringLiteral("style %1 (%2)")
        .arg(style.StyleProg())
        .arg(QString(style.StyleName1()).remove(QChar(0)));
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

QByteArray text(const QString& value, bool isName, const DbKORFStyle& style, const char* what) {
    const std::optional<QByteArray> bytes =
        isName ? SingleByteText::encodeName(value) : SingleByteText::encode(value);
    if (!bytes)
        throw SbkError(
            QStringLiteral("Cannot export %1 to an SSF file: its %2 \"%3\" holds a character that cannot "
                           "be written in %4.")
                .arg(describe(style), QLatin1String(what), value,
                     isName ? QStringLiteral("ISO-8859-1") : SingleByteText::encodingName()));
    return *bytes;
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

QByteArray SsfFile::exportDate(const QString& storedDate) {
    const QString trimmed = storedDate.trimmed();
    QDate date = QDate::fromString(trimmed, QStringLiteral("yyyy/MM/dd"));
    if (!date.isValid())
        date = QDate::fromString(trimmed, QStringLiteral("yyyy-MM-dd"));
    // Any year the reader takes back (0001 to 9999) is written as it stands.
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return UnknownDate;
    return date.toString(QStringLiteral("dd/MM/yyyy")).toLatin1();
}

QByteArray SsfFile::encode(const DbKORFStyle& style) {
    QByteArray out = Signature;
    out.reserve(16 + 12 * 5 + style.StyleContent1().size() + style.StyleContent2().size() + 512);
    appendField(out, text(style.StyleName1(), true, style, "name"), style, "name");
    appendField(out, text(style.StyleName2(), true, style, "second name"), style, "second name");
    appendNumber(out, style.StyleLength1(), style, "first length");
    appendNumber(out, style.StyleLength2(), style, "second length");
    appendField(out, style.StyleContent1(), style, "first data block");
    appendField(out, style.StyleContent2(), style, "second data block");
    appendField(out, text(style.StyleAuthor(), false, style, "author"), style, "author");
    appendField(out, text(style.StyleCat(), false, style, "group"), style, "group");
    appendField(out, text(style.StyleFamily(), false, style, "family"), style, "family");
    appendField(out, text(style.StyleDesc(), false, style, "description"), style, "description");
    appendField(out, text(style.StyleFile(), false, style, "file name"), style, "file name");
    out += "00010";
    out += exportDate(style.StyleDate());
    return out;
}

QString SsfFile::write(const DbKORFStyle& style, const QString& folder) {
    const QByteArray bytes = encode(style);
    // The folder as typed is a folder whether or not it ends in a separator.
    const QString path = QDir(folder).filePath(fileName(style.StyleName1()));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw SbkError(QStringLiteral("Cannot write the SSF file %1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.commit()) {
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
    const qint32 length1 = in.number(QStringLiteral("the first length"));
    const qint32 length2 = in.number(QStringLiteral("the second length"));
    const QByteArray content1 = in.field(QStringLiteral("the first data block"));
    const QByteArray content2 = in.field(QStringLiteral("the second data block"));
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

    style.setStyleName1(SingleByteText::decodeName(name1));
    style.setStyleName2(SingleByteText::decodeName(name2));
    style.setStyleLength1(length1);
    style.setStyleLength2(length2);
    style.setStyleContent1(content1);
    style.setStyleContent2(content2);
    style.setStyleAuthor(SingleByteText::decode(author));
    style.setStyleCat(SingleByteText::decode(group));
    style.setStyleFamily(SingleByteText::decode(family));
    style.setStyleDesc(SingleByteText::decode(description));
    style.setStyleFile(SingleByteText::decode(file));
    // Stored in the form the STY import writes, so that every stored date has one form and sorts.
    style.setStyleDate(date.toString(QStringLiteral("yyyy/MM/dd")));
    return true;
}
