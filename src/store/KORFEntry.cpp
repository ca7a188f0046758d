#include "store/KORFEntry.h"

namespace {

int uint16At(const QByteArray& bytes, qsizetype at) {
    return (int(quint8(bytes.at(at))) << 8) | int(quint8(bytes.at(at + 1)));
}

QByteArray uint16Bytes(int value) {
    return QByteArray(1, char((value >> 8) & 0xFF)) + char(value & 0xFF);
}

} // namespace

QList<KORFEntry::Item> KORFEntry::items() const {
    QList<Item> list;
    qsizetype at = 0;
    while (m_properties.size() - at >= 4) {
        const int length = uint16At(m_properties, at + 2);
        if (length > m_properties.size() - at - 4)
            break;
        list.append({quint16(uint16At(m_properties, at)), m_properties.mid(at + 4, length)});
        at += 4 + length;
    }
    return list;
}

std::optional<QByteArrayView> KORFEntry::find(quint16 type) const {
    qsizetype at = 0;
    while (m_properties.size() - at >= 4) {
        const int length = uint16At(m_properties, at + 2);
        if (length > m_properties.size() - at - 4)
            break;
        if (uint16At(m_properties, at) == type)
            return QByteArrayView(m_properties.constData() + at + 4, length);
        at += 4 + length;
    }
    return std::nullopt;
}

std::optional<QByteArray> KORFEntry::property(quint16 type) const {
    const std::optional<QByteArrayView> data = find(type);
    if (!data)
        return std::nullopt;
    return m_properties.mid(data->data() - m_properties.constData(), data->size());
}

int KORFEntry::placeByte(int index) const {
    const std::optional<QByteArrayView> place = find(Place);
    if (!place || place->size() <= index)
        return -1;
    return quint8(place->at(index));
}

namespace {

// The value in decimal digits, padded with zeros to width at least.
void appendNumber(QString& text, int value, int width) {
    char digits[12];
    int count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int k = count; k < width; ++k)
        text += QLatin1Char('0');
    while (count > 0)
        text += QLatin1Char(digits[--count]);
}

} // namespace

QString KORFEntry::timestampText() const {
    const std::optional<QByteArrayView> bytes = find(Timestamp);
    if (!bytes)
        return QString();
    if (bytes->size() != 7)
        return QString::fromLatin1(property(Timestamp)->toHex(' '));
    // Listings and every stored entry show it, so it is put together digit by digit.
    auto at = [&](int i) { return int(quint8(bytes->at(i))); };
    QString text;
    text.reserve(24);
    appendNumber(text, at(0) * 100 + at(1), 4);
    const char separators[] = "-- ::";
    for (int i = 2; i < 7; ++i) {
        text += QLatin1Char(separators[i - 2]);
        appendNumber(text, at(i), 2);
    }
    return text;
}

QString KORFEntry::systemText() const {
    // The instrument writes plain ASCII; any other byte is shown as the Latin-1 character.
    const std::optional<QByteArrayView> system = find(System);
    if (!system || system->isEmpty())
        return QString::fromLatin1(property(System).value_or(QByteArray()));
    return QString::fromLatin1(*system);
}

QByteArray KORFEntry::timestampBytes(int year, int month, int day, int hour, int minute, int second) {
    const int values[] = {year / 100, year % 100, month, day, hour, minute, second};
    QByteArray bytes;
    for (const int v : values)
        bytes.append(char(v & 0xFF));
    return bytes;
}

QByteArray KORFEntry::encodeProperty(quint16 type, const QByteArray& data) {
    return uint16Bytes(type) + uint16Bytes(int(data.size())) + data;
}
