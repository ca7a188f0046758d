#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

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
    // SbkError naming the style when it cannot be written: a field longer than 99,999 bytes or a
    // length outside 0..99,999. What a file cannot carry as stored is written so that it reads
    // back, and named in changes ("author", ...): a character without a one-byte form as "?", a
    // length that does not describe its block as the block's size, a date that cannot be read as
    // UnknownDate.
    static QByteArray encode(const DbKORFStyle& style, QStringList* changes = nullptr);

    // Writes the SSF file of a style into a folder (through a temporary file renamed into place
    // when complete, so a failure leaves no partial file and keeps an older one) and returns its
    // path. The file is called name, or fileName(StyleName1) when name is empty. Throws SbkError.
    static QString write(const DbKORFStyle& style, const QString& folder, QStringList* changes = nullptr,
                         const QString& name = QString());

    // Reads an SSF file's bytes into the style's properties (all but StyleProg and StyleSeek;
    // the date becomes "yyyy/mm/dd"). Returns false, touching nothing, when the bytes do not begin
    // with the signature: such a file is passed over. Throws SbkError naming fileName, the byte
    // offset and what was wrong when the file is damaged (a count, a length that does not describe
    // its block, a date); the style is then left unchanged. In names and texts, the zero bytes
    // that pad them at their end are dropped and every other control character becomes a blank.
    static bool read(const QByteArray& bytes, const QString& fileName, DbKORFStyle& style);

    // A stored date in any form this program and its dumps hold: "yyyy/mm/dd" and the other
    // year-first forms, day and month first with any of the separators / . - (in the order of the
    // locale's short date, the other order when that is no date), two-digit years (00-29 as
    // 20xx), a time after the date, and the locale's own short and long forms. Invalid when none.
    static QDate readStoredDate(const QString& storedDate);
    // The stored date as "dd/mm/yyyy"; UnknownDate when it cannot be read.
    static QByteArray exportDate(const QString& storedDate);
};
