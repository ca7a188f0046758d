#pragma once

#include <QByteArray>
#include <QString>

class DbKORFStyle;

// The SSF file: one style with its content and all its descriptive fields. After the signature
// "SSF_SBK_Quimbral" come twelve fields, each a count of five decimal digits followed by that many
// bytes: StyleName1, StyleName2, StyleLength1 and StyleLength2 (each "00005" and the number in five
// digits), StyleContent1, StyleContent2, StyleAuthor, StyleCat, StyleFamily, StyleDesc, StyleFile
// and StyleDate ("00010" and "dd/mm/yyyy"). Nothing separates the fields and nothing follows them.
// The style number and the search key do not travel: the importing database assigns both.
class SsfFile {
public:
    static inline const QByteArray Signature = QByteArrayLiteral("SSF_SBK_Quimbral");
    static constexpr qint32 MaxField = 99999;
    // The largest file the layout can describe: signature, twelve counts, twelve full fields.
    static constexpr qint64 MaxFileSize = 16 + 12 * (5 + qint64(MaxField));
    // Written for a style whose stored date cannot be read as a date, so that the field keeps its
    // ten characters and the file stays readable.
    static inline const QByteArray UnknownDate = QByteArrayLiteral("01/01/1900");

    // The file name for a style name: upper-cased, only 0-9, A-Z and "_" kept, then ".SSF".
    static QString fileName(const QString& styleName1);

    // The bytes of the SSF file of a style (its properties as GetKORFStyles leaves them). Throws
    // SbkError naming the style when it cannot be written: a field longer than 99,999 bytes, a
    // length outside 0..99,999, or a text character without a one-byte form.
    static QByteArray encode(const DbKORFStyle& style);

    // Writes the SSF file of a style into a folder (through a temporary file renamed into place
    // when complete, so a failure leaves no partial file and keeps an older one) and returns its
    // path. Throws SbkError.
    static QString write(const DbKORFStyle& style, const QString& folder);

    // Reads an SSF file's bytes into the style's properties (all but StyleProg and StyleSeek;
    // the date becomes "yyyy/mm/dd"). Returns false, touching nothing, when the bytes do not begin
    // with the signature: such a file is passed over. Throws SbkError naming fileName, the byte
    // offset and what was wrong when the file is damaged; the style is then left unchanged.
    static bool read(const QByteArray& bytes, const QString& fileName, DbKORFStyle& style);

    // "yyyy/mm/dd" (or "yyyy-mm-dd") as "dd/mm/yyyy"; UnknownDate when it is not a date.
    static QByteArray exportDate(const QString& storedDate);
};
