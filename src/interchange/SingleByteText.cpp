#include "interchange/SingleByteText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

const char* const windows1252 = "windows-1252";

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
    if (!haveWindows1252())
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
    if (!haveWindows1252())
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
