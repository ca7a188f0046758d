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

std::optional<QByteArray> KORFEntry::property(quint16 type) const {
    for (const Item& item : items())
        if (item.type == type)
            return item.data;
    return std::nullopt;
}

int KORFEntry::placeByte(int index) const {
    const std::optional<QByteArray> place = property(Place);
    if (!place || place->size() <= index)
        return -1;
    return quint8(place->at(index));
}

QString KORFEntry::timestampText() const {
    const std::optional<QByteArray> bytes = property(Timestamp);
    if (!bytes || bytes->size() != 7)
        return bytes ? QString::fromLatin1(bytes->toHex(' ')) : QString();
    auto at = [&](int i) { return int(quint8(bytes->at(i))); };
    auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(at(0) * 100 + at(1), 4, 10, QLatin1Char('0'))
        .arg(two(at(2)), two(at(3)), two(at(4)), two(at(5)), two(at(6)));
}

QString KORFEntry::systemText() const {
    // The instrument writes plain ASCII; any other byte is shown as the Latin-1 character.
    return QString::fromLatin1(property(System).value_or(QByteArray()));
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
