#include "sty/KORFDirectory.h"

#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "sty/KORFBytes.h"
#include "sty/StyCursor.h"

#include <array>
#include <QStringDecoder>

namespace {

constexpr int SlotCount = 32;
constexpr int RecordSize = 24;
constexpr int NewerNameSize = 28;
constexpr char FirstBlockType = 2;
constexpr char SecondBlockType = 7;

int uint16At(const QByteArray& bytes, qsizetype at) {
    return (int(quint8(bytes.at(at))) << 8) | int(quint8(bytes.at(at + 1)));
}

QByteArray uint16Bytes(qsizetype value) {
    return QByteArray(1, char((value >> 8) & 0xFF)) + char(value & 0xFF);
}

// A name from an older directory record: one character per byte, control bytes blanks, padded
// with blanks to 16.
QString nameFromRecord(const QByteArray& record) {
    return SingleByteText::plainText(QString::fromLatin1(record.left(16)))
        .leftJustified(16, QLatin1Char(' '));
}

// The 16 name bytes of an older record: the name's bytes without the blanks the reader padded it
// with, then 00 bytes as the instrument pads, cut to 16.
QByteArray nameForRecord(const QString& name) {
    QByteArray bytes = name.toLatin1();
    while (bytes.endsWith(' '))
        bytes.chop(1);
    bytes.append(QByteArray(16, '\0'));
    return bytes.left(16);
}

// Bytes 21 and 22 of an older record and the version property of a newer entry carry the data
// version of the block, which the block's own chunk ID holds in its second and third bytes. A
// block too short to carry a chunk ID gets the usual 00 00 (first block) or 00 02 (second block).
QByteArray versionBytes(const QByteArray& block, bool first) {
    if (block.size() >= 4)
        return block.mid(1, 2);
    return first ? QByteArray("\x00\x00", 2) : QByteArray("\x00\x02", 2);
}

QList<KORFDirectory::Record> readOlder(StyCursor& cursor) {
    const qint32 directoryLength = cursor.takeLength(QStringLiteral("the directory length"));
    const qsizetype directoryAt = cursor.offset();
    const QByteArray directory = cursor.take(directoryLength, QStringLiteral("the directory"));
    const int recordCount = directoryLength / RecordSize;
    if (recordCount > KORFDirectory::MaxRecords)
        cursor.fail(directoryAt, QStringLiteral("the directory holds %1 records, more than %2")
                                     .arg(recordCount)
                                     .arg(KORFDirectory::MaxRecords));
    QList<KORFDirectory::Record> records;
    for (int r = 0; r < recordCount; ++r) {
        QByteArray record = directory.mid(qsizetype(r) * RecordSize, RecordSize);
        record.replace('\'', '`');
        const int position = KORFBytes::FirstByte(record.mid(20, 1));
        if (position >= SlotCount)
            cursor.fail(
                directoryAt + qsizetype(r) * RecordSize + 20,
                QStringLiteral("directory record %1 names style position %2; positions run from 0 to 31")
                    .arg(r + 1)
                    .arg(position));
        records.append({position, record.at(18) == FirstBlockType, nameFromRecord(record), KORFEntry()});
    }
    return records;
}

QList<KORFDirectory::Record> readNewer(StyCursor& cursor) {
    const qint32 directoryLength = cursor.takeLength(QStringLiteral("the directory length"));
    const qsizetype directoryAt = cursor.offset();
    const QByteArray directory = cursor.take(directoryLength, QStringLiteral("the directory"));
    QList<KORFDirectory::Record> records;
    qsizetype at = 0; // where the current entry begins, within the directory
    while (at < directory.size()) {
        const int number = int(records.size()) + 1;
        auto fail = [&](qsizetype offset, const QString& problem) {
            cursor.fail(directoryAt + at + offset,
                        QStringLiteral("directory entry %1: %2").arg(number).arg(problem));
        };
        if (number > KORFDirectory::MaxRecords)
            fail(0,
                 QStringLiteral("the directory holds more than %1 entries").arg(KORFDirectory::MaxRecords));
        const qsizetype left = directory.size() - at;
        if (left < 2)
            fail(0, QStringLiteral("the size field is cut off"));
        const int size = uint16At(directory, at);
        if (size < 6)
            fail(0, QStringLiteral("its size %1 is too small for a property count and a checksum").arg(size));
        if (size > left - 2)
            fail(0, QStringLiteral("its size %1 runs past the directory's end (%2 bytes left)")
                        .arg(size)
                        .arg(left - 2));
        const QByteArray entry = directory.mid(at, 2 + size);
        const qsizetype checksumAt = entry.size() - 4;
        const int count = uint16At(entry, 2);
        qsizetype p = 4;
        for (int i = 1; i <= count; ++i) {
            if (checksumAt - p < 4)
                fail(p,
                     QStringLiteral("property %1 of %2 does not fit before the checksum").arg(i).arg(count));
            const int length = uint16At(entry, p + 2);
            if (length > checksumAt - p - 4)
                fail(p, QStringLiteral("property %1 claims %2 bytes, %3 are left before the checksum")
                            .arg(i)
                            .arg(length)
                            .arg(checksumAt - p - 4));
            p += 4 + length;
        }
        if (p != checksumAt)
            fail(p, QStringLiteral("%1 bytes lie between its last property and its checksum")
                        .arg(checksumAt - p));
        const quint32 stored =
            (quint32(uint16At(entry, checksumAt)) << 16) | quint32(uint16At(entry, checksumAt + 2));
        const quint32 computed = KORFDirectory::checksum(entry.left(checksumAt));
        if (stored != computed)
            fail(checksumAt, QStringLiteral("the checksum %1 does not match the entry (%2 computed)")
                                 .arg(stored, 8, 16, QLatin1Char('0'))
                                 .arg(computed, 8, 16, QLatin1Char('0')));

        const KORFEntry kept(entry.mid(4, checksumAt - 4));
        const std::optional<QByteArray> place = kept.property(KORFEntry::Place);
        if (!place || place->size() != 3)
            fail(0, QStringLiteral("it has no place property of 3 bytes (object type, bank, position)"));
        const int position = quint8(place->at(2));
        if (position >= SlotCount)
            fail(0, QStringLiteral("it names style position %1; positions run from 0 to 31").arg(position));
        records.append({position, place->at(0) == FirstBlockType,
                        KORFDirectory::nameFromNewer(kept.property(KORFEntry::Name).value_or(QByteArray())),
                        kept});
        at += 2 + size;
    }
    return records;
}

QByteArray newerEntry(const KORFDirectory::Block& block, int userBank, const KORFDirectory::Fresh& fresh) {
    auto place = [&](char objectType) {
        return QByteArray(1, objectType) + char(userBank) + char(block.position);
    };
    const char usualType = block.first ? FirstBlockType : SecondBlockType;
    QByteArray properties;
    int count = 0;
    auto add = [&](quint16 type, const QByteArray& data) {
        properties += KORFEntry::encodeProperty(type, data);
        ++count;
    };
    if (block.kept.property(KORFEntry::Place)) {
        for (const KORFEntry::Item& item : block.kept.items()) {
            if (item.type == KORFEntry::Place)
                add(item.type, place(item.data.isEmpty() ? usualType : item.data.at(0)));
            else if (item.type == KORFEntry::Name && KORFDirectory::nameFromNewer(item.data) != block.name)
                add(item.type, KORFDirectory::nameForNewer(block.name));
            else
                add(item.type, item.data);
        }
    } else {
        // The instrument's own order.
        add(KORFEntry::Name, KORFDirectory::nameForNewer(block.name));
        add(KORFEntry::Place, place(usualType));
        add(KORFEntry::Version, versionBytes(block.content, block.first));
        add(KORFEntry::Timestamp, fresh.timestamp);
        add(KORFEntry::System, fresh.system);
    }
    const qsizetype size = 2 + properties.size() + 4;
    if (size > 0xFFFF)
        throw SbkError(QStringLiteral("The directory entry of the style %1 (%2) holds %3 bytes, more than "
                                      "an entry can hold.")
                           .arg(block.position + 1)
                           .arg(block.name.trimmed())
                           .arg(size));
    const QByteArray entry = uint16Bytes(size) + uint16Bytes(count) + properties;
    return entry + KORFBytes::LongToBytes(KORFDirectory::checksum(entry));
}

} // namespace

QByteArray KORFDirectory::chunkId(Layout layout) {
    return layout == Layout::Newer ? QByteArray("\x05\x01\x00\x18", 4) : QByteArray("\x05\x00\x00\x18", 4);
}

QList<KORFDirectory::Record> KORFDirectory::read(StyCursor& cursor, Layout layout) {
    return layout == Layout::Newer ? readNewer(cursor) : readOlder(cursor);
}

QByteArray KORFDirectory::encode(const QList<Block>& blocks, Layout layout, int userBank,
                                 const Fresh& fresh) {
    QByteArray out;
    for (const Block& block : blocks) {
        if (layout == Layout::Newer) {
            out += newerEntry(block, userBank, fresh);
            continue;
        }
        out += nameForRecord(block.name);
        out += QByteArray("\x00\x00", 2) + (block.first ? FirstBlockType : SecondBlockType) + char(userBank) +
               char(block.position);
        out += versionBytes(block.content, block.first) + QByteArray(1, '\0');
    }
    return out;
}

quint32 KORFDirectory::checksum(const QByteArray& bytes) {
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 0x80000000u) ? (c << 1) ^ 0xEDB88320u : c << 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 crc = 0;
    for (const char byte : bytes)
        crc = (crc << 8) ^ table[((crc >> 24) ^ quint8(byte)) & 0xFF];
    return crc;
}

QString KORFDirectory::nameFromNewer(const QByteArray& data) {
    const qsizetype end = data.indexOf('\0');
    const QByteArray bytes = end < 0 ? data : data.left(end);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    QString name;
    if (utf8.hasError()) {
        name = QString::fromLatin1(bytes);
    } else {
        for (const char32_t c : decoded.toUcs4())
            name += c <= 0xFF ? QChar(c) : QLatin1Char('?');
    }
    name = SingleByteText::plainText(name);
    // A longer property than the instrument writes still fits the name columns; its bytes stay in
    // the kept entry.
    return name.left(NewerNameSize);
}

QByteArray KORFDirectory::nameForNewer(const QString& name) {
    QString text = name;
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    QByteArray bytes;
    for (const char32_t c : text.toUcs4()) {
        const QByteArray one = QString::fromUcs4(&c, 1).toUtf8();
        if (bytes.size() + one.size() > NewerNameSize)
            break;
        bytes += one;
    }
    return bytes + QByteArray(NewerNameSize - bytes.size(), '\0');
}

QString KORFDirectory::writtenName(const QString& name, Layout layout) {
    QString written = layout == Layout::Newer
                          ? nameFromNewer(nameForNewer(name))
                          : SingleByteText::plainText(QString::fromLatin1(nameForRecord(name)));
    while (written.endsWith(QLatin1Char(' ')))
        written.chop(1);
    return written;
}
