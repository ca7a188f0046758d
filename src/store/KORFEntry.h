#pragma once

#include <optional>
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// One block's entry in the directory of a newer bank file (Pa700, Pa1000 and later): its typed
// properties exactly as the file held them, each a big-endian uint16 type, a uint16 length and
// the data. A style keeps the entries of its two blocks so that writing it in that layout again
// gives back the same timestamp, system string, name bytes and any property this program does not
// interpret. An empty entry means the block did not come from such a file.
class KORFEntry {
public:
    // Property types the program interprets.
    enum Property : quint16 {
        Place = 0,     // three bytes: object type (2 style, 7 performance), bank byte, position
        Version = 1,   // two bytes: the data version the block's chunk ID carries
        Name = 2,      // 28 bytes, UTF-8, padded with 00 bytes
        Timestamp = 5, // 7 bytes: century, year of century, month, day, hour, minute, second
        System = 6,    // the system that saved the block, no terminator
    };

    KORFEntry() = default;
    explicit KORFEntry(const QByteArray& properties) : m_properties(properties) {}

    const QByteArray& properties() const { return m_properties; }
    bool isEmpty() const { return m_properties.isEmpty(); }
    bool operator==(const KORFEntry& other) const = default;

    struct Item {
        quint16 type;
        QByteArray data;
    };
    // The properties in their order. The walk stops at the first property that claims more bytes
    // than are left (the reader never keeps such an entry; the database might hold one).
    QList<Item> items() const;
    // The data of the first property of the type; std::nullopt when the entry has none.
    std::optional<QByteArray> property(quint16 type) const;

    // What a listing shows: the place's bytes (-1 when absent), the timestamp as
    // "yyyy-mm-dd hh:mm:ss" and the system string.
    int objectType() const { return placeByte(0); }
    int bankByte() const { return placeByte(1); }
    int position() const { return placeByte(2); }
    QString timestampText() const;
    QString systemText() const;

    // The 7 timestamp bytes of a moment, as the instrument writes them.
    static QByteArray timestampBytes(int year, int month, int day, int hour, int minute, int second);
    // One property: type, length and data.
    static QByteArray encodeProperty(quint16 type, const QByteArray& data);

private:
    int placeByte(int index) const;
    // Where the data of the first property of the type lies in the properties, walked in place.
    std::optional<QByteArrayView> find(quint16 type) const;

    QByteArray m_properties;
};
