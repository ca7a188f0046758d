#pragma once

#include <optional>
#include <QByteArray>
#include <QString>

// The one-byte text of SSF and PDD files. Descriptive texts (author, group, family, description,
// file, date, bank name and description) are written in Windows-1252 when Qt's converters offer
// it, else in Latin-1. Style names are byte strings taken from STY files (one Latin-1 character
// per byte) and are written byte for byte, so that a name that came from the instrument goes back
// to it unchanged.
class SingleByteText {
public:
    // "windows-1252", or "ISO-8859-1" when this Qt has no converter for it.
    static QString encodingName();

    // A descriptive text as bytes; std::nullopt when a character has no one-byte form.
    static std::optional<QByteArray> encode(const QString& text);
    static QString decode(const QByteArray& bytes);

    // A style name as bytes (Latin-1); std::nullopt when a character lies above U+00FF.
    static std::optional<QByteArray> encodeName(const QString& name);
    static QString decodeName(const QByteArray& bytes);

    // The text with every character that has no one-byte form (in the name's or the descriptive
    // texts' encoding) replaced by replacement; a character outside the Basic Multilingual Plane
    // counts once. With lineBreaks set, CR and LF are replaced too (a PDD line cannot hold them).
    static QString oneByteForm(const QString& text, QChar replacement, bool isName = false,
                               bool lineBreaks = false);
    // The bytes a file carries for a text: encode or encodeName, with every character that has no
    // one-byte form (and, with lineBreaks, every CR and LF) written as "?". changed tells whether
    // anything was replaced. The text is encoded once when it can be written as it stands.
    static QByteArray written(const QString& text, bool isName, bool lineBreaks, bool& changed);

    // A text decoded from a file's bytes as the database keeps it: the zero bytes that pad it at its
    // end dropped, and every other control character (U+0000 to U+001F, U+007F) a blank. Used for the
    // names and descriptive texts of STY and SSF files, and to show a stored name.
    static QString plainText(const QString& text);

    // The text with every character outside the printable ones of ISO-8859-1 (the rule of
    // refusal) replaced by replacement; a character outside the Basic Multilingual Plane counts once.
    static QString printableForm(const QString& text, QChar replacement);

    // Why a typed value cannot be stored: it holds a character outside the printable ones of
    // ISO-8859-1 (one without a one-byte form, a control character or a line break). One rule for
    // style names, the style fields and bank names and descriptions alike, as they all go into the
    // same single-byte files. The message names the field ("the author") and the character in a
    // player's words, and says what to type instead; "" when the value may be stored.
    static QString refusal(const QString& field, const QString& value);
};
