#include "core/SingleByteText.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringView>

namespace {

const char* const windows1252 = "windows-1252";

// Windows-1252 and Latin-1 agree with ASCII below 0x80: such text needs no converter.
bool isAscii(QByteArrayView bytes) {
    for (const char c : bytes)
        if (quint8(c) >= 0x80)
            return false;
    return true;
}

bool isAscii(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

bool haveWindows1252() {
    static const bool available =
        QStringEncoder(windows1252).isValid() && QStringDecoder(windows1252).isValid();
    return available;
}

} // namespace

QString SingleByteText::encodingName() {
    return haveWindows1252() ? QString::fromLatin1(windows1252) : QStringLiteral("ISO-8859-1");
}

std::optional<QByteArray> SingleByteText::encode(const QString& text) {
    if (!haveWindows1252() || isAscii(text))
        return encodeName(text);
    QStringEncoder encoder(windows1252);
    QByteArray bytes = encoder.encode(text);
    // The converter substitutes what it cannot write and flags it; a text must not change on the
    // way out, so a substitution is a refusal.
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

QString SingleByteText::decode(const QByteArray& bytes) {
    if (!haveWindows1252() || isAscii(bytes))
        return decodeName(bytes);
    QStringDecoder decoder(windows1252);
    return decoder.decode(bytes);
}

std::optional<QByteArray> SingleByteText::encodeName(const QString& name) {
    for (const QChar c : name)
        if (c.unicode() > 0xFF)
            return std::nullopt;
    return name.toLatin1();
}

QString SingleByteText::decodeName(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

QString SingleByteText::oneByteForm(const QString& text, QChar replacement, bool isName, bool lineBreaks) {
    auto writable = [isName](QStringView part) {
        if (!isName)
            return encode(part.toString()).has_value();
        for (const QChar c : part)
            if (c.unicode() > 0xFF)
                return false;
        return true;
    };
    auto isBreak = [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    bool breaks = false;
    for (const QChar c : text)
        breaks = breaks || isBreak(c);
    if (!(lineBreaks && breaks) && writable(text))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        const QStringView c = QStringView(text).mid(i, width);
        out += (lineBreaks && isBreak(c.front())) || !writable(c) ? QString(replacement) : c.toString();
        i += width - 1;
    }
    return out;
}

QByteArray SingleByteText::written(const QString& text, bool isName, bool lineBreaks, bool& changed) {
    changed = lineBreaks && (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')));
    if (!changed) {
        if (std::optional<QByteArray> bytes = isName ? encodeName(text) : encode(text))
            return *std::move(bytes);
        changed = true;
    }
    const QString form = oneByteForm(text, QLatin1Char('?'), isName, lineBreaks);
    return isName ? *encodeName(form) : *encode(form);
}

QString SingleByteText::plainText(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isNull())
        --end;
    QString plain = text.left(end);
    for (QChar& c : plain) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    }
    return plain;
}

namespace {

// The printable characters of ISO-8859-1: each has the same byte in ISO-8859-1 and in
// Windows-1252, so the SSF, PDD and STY files carry it alike, whichever of the two a reader of the
// file assumes. A control character would cut a PDD line or stand in a file as a byte no reader
// shows.
bool isPrintable(char16_t c) {
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF);
}

} // namespace

QString SingleByteText::printableForm(const QString& text, QChar replacement) {
    QString out;
    out.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar c = text.at(at);
        if (isPrintable(c.unicode())) {
            out += c;
            continue;
        }
        out += replacement;
        if (c.isHighSurrogate() && at + 1 < text.size() && text.at(at + 1).isLowSurrogate())
            ++at;
    }
    return out;
}

QString SingleByteText::refusal(const QString& field, const QString& value) {
    for (qsizetype at = 0; at < value.size(); ++at) {
        const char16_t c = value.at(at).unicode();
        if (isPrintable(c))
            continue;
        // In a player's words: what the character is, and what may be typed instead.
        QString which;
        QString instead = QStringLiteral("Use the letters, digits and signs of Western European languages; "
                                         "accented letters such as \u00e9, \u00fc and \u00f1 are fine.");
        if (c == u'\r' || c == u'\n') {
            which = QStringLiteral("a line break");
            instead = QStringLiteral("Keep the text on one line.");
        } else if (c == u'\t') {
            which = QStringLiteral("a tab");
            instead = QStringLiteral("Use blanks instead.");
        } else if (c <= 0xFF) {
            which = QStringLiteral("an invisible control character (U+%1)")
                        .arg(QString::number(int(c), 16).toUpper().rightJustified(4, QLatin1Char('0')));
            instead = QStringLiteral("Type the text again without it.");
        } else {
            which = QStringLiteral("the character \"%1\"")
                        .arg(value.at(at).isHighSurrogate() ? value.mid(at, 2) : QString(value.at(at)));
        }
        return QStringLiteral("The %1 \"%2\" holds %3, which the instrument's files cannot hold. %4")
            .arg(field, value, which, instead);
    }
    return QString();
}
