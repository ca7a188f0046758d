#include "sty/KORFLibrary.h"

#include "core/InputFile.h"
#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "store/DbKORFStyle.h"
#include "sty/KORFBytes.h"
#include "sty/StyCursor.h"

#include <array>
#include <limits>
#include <QFile>
#include <QtEndian>

namespace {

constexpr int SlotCount = 32;
// The reader's table of remembered directory records has room for 64.
constexpr int MaxDirectoryRecords = 64;
constexpr int RecordSize = 24;
constexpr qsizetype HeaderSize = 28;
constexpr char FirstBlockType = 2;
constexpr char SecondBlockType = 7;

const QByteArray directoryId("\x05\x00\x00\x18", 4);
const QByteArray newerDirectoryId("\x05\x01\x00\x18", 4);

// A name from a directory record: control bytes become blanks, one character per byte.
QString nameFromRecord(const QByteArray& record) {
    QByteArray name = record.left(16);
    for (char& c : name) {
        if (quint8(c) < 32)
            c = ' ';
    }
    return QString::fromLatin1(name).leftJustified(16, QLatin1Char(' '));
}

// The 16 name bytes of a directory record: the name's bytes, padded with 00 bytes and cut to 16.
QByteArray nameForRecord(const QString& name) {
    QByteArray bytes = name.toLatin1();
    bytes.append(QByteArray(16, '\0'));
    return bytes.left(16);
}

// Bytes 21 and 22 of a directory record carry the data version of its block, which the block's
// own chunk ID holds in its second and third bytes. The instrument checks them; a block too short
// to carry a chunk ID gets the usual 00 00 (first block) or 00 02 (second block).
QByteArray versionBytes(const QByteArray& block, bool first) {
    if (block.size() >= 4)
        return block.mid(1, 2);
    return first ? QByteArray("\x00\x00", 2) : QByteArray("\x00\x02", 2);
}

} // namespace

void KORFLibrary::FillCollectionFromStyle(const QString& sFileName, KORFStyles& objStyles) {
    m_RetVal = ReadFailed;
    objStyles.Clear();
    const QByteArray bytes = InputFile::read(sFileName, MaxFileSize);
    FillCollectionFromBytes(bytes, sFileName, objStyles);
}

void KORFLibrary::FillCollectionFromBytes(const QByteArray& bytes, const QString& fileName,
                                          KORFStyles& objStyles) {
    // A read that fails leaves no half-filled list behind.
    try {
        readBytes(bytes, fileName, objStyles);
    } catch (...) {
        objStyles.Clear();
        m_RetVal = ReadFailed;
        throw;
    }
}

void KORFLibrary::readBytes(const QByteArray& bytes, const QString& fileName, KORFStyles& objStyles) {
    m_RetVal = ReadFailed;
    m_indexDamaged = false;
    objStyles.Clear();
    StyCursor cursor(bytes, fileName);

    // An empty file is the end-of-file error; any other file too short for a header is simply
    // not a KORF file.
    if (bytes.isEmpty())
        cursor.take(HeaderSize, QStringLiteral("the file header"));
    const QByteArray header =
        cursor.take(std::min(HeaderSize, cursor.remaining()), QStringLiteral("the file header"));
    if (header.mid(23, 4) != "KORF") {
        static const char* const signatures[] = {"KORG9", "KORG<", "KORGM", "KORGI"};
        m_RetVal = ReadNotKorf;
        for (int i = 0; i < 4; ++i) {
            if (header.startsWith(signatures[i])) {
                m_RetVal = i + 1;
                break;
            }
        }
        return;
    }

    const QByteArray directoryChunkId = cursor.take(4, QStringLiteral("the directory chunk ID"));
    if (directoryChunkId == newerDirectoryId) {
        // Pa700, Pa1000 and later keep a directory of another layout; it is recognised, not read.
        m_RetVal = ReadNewerModel;
        return;
    }
    const qint32 directoryLength = cursor.takeLength(QStringLiteral("the directory length"));
    const qsizetype directoryAt = cursor.offset();
    const QByteArray directory = cursor.take(directoryLength, QStringLiteral("the directory"));
    const int recordCount = directoryLength / RecordSize;
    if (recordCount > MaxDirectoryRecords)
        cursor.fail(directoryAt, QStringLiteral("the directory holds %1 records, more than %2")
                                     .arg(recordCount)
                                     .arg(MaxDirectoryRecords));

    // One placeholder per bank position; placeholder p stands for position p - 1.
    std::array<KORFStylePtr, SlotCount> placeholders;
    for (int p = 0; p < SlotCount; ++p)
        placeholders[size_t(p)] =
            objStyles.Add(p + 1, QString(), QString(), -1, 0, QByteArray(), QByteArray());

    struct Record {
        int position;
        bool first;
    };
    QList<Record> records;
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
        const bool first = record.at(18) == FirstBlockType;
        if (first)
            placeholders[size_t(position)]->setStyleName1(nameFromRecord(record));
        else
            placeholders[size_t(position)]->setStyleName2(nameFromRecord(record));
        records.append({position, first});
    }

    for (int r = 0; r < recordCount; ++r) {
        const QString what = QStringLiteral("the block of directory record %1").arg(r + 1);
        const qsizetype blockAt = cursor.offset();
        cursor.skip(4, QStringLiteral("the chunk ID of %1").arg(what));
        const qint32 length = cursor.takeLength(QStringLiteral("the length of %1").arg(what));
        cursor.skip(length, what);
        if (length > std::numeric_limits<qint32>::max() - 8)
            cursor.fail(blockAt, QStringLiteral("overflow: %1 is too long").arg(what));
        // The block is kept whole, header included, exactly as the file holds it.
        const QByteArray block = bytes.mid(blockAt, 8 + qsizetype(length));
        KORFStyle& style = *placeholders[size_t(records[r].position)];
        if (records[r].first) {
            style.setStyleContent1(block);
            style.setStyleLength1(length + 8);
        } else {
            style.setStyleContent2(block);
            style.setStyleLength2(length + 8);
        }
    }

    // The index chunk only repeats the block offsets; it is skipped. One that is cut short or
    // missing loses nothing, so the styles are read all the same and the damage is noted.
    const qint64 room = cursor.remaining() - 8; // what is left for the index body
    m_indexDamaged = room < 0 || qFromBigEndian<quint32>(bytes.constData() + cursor.offset() + 4) > room;

    // Positions that received no first block hold no style.
    for (int p = SlotCount; p >= 1; --p) {
        if (objStyles.Item(p)->StyleLength1() == -1)
            objStyles.Remove(p);
    }
    m_RetVal = ReadKorf;
}

QByteArray KORFLibrary::encodeCollection(const KORFStyles& objStyles, int UserBank) {
    if (UserBank < 0 || UserBank > 255)
        throw SbkError(QStringLiteral("The user bank %1 cannot be written as one byte.").arg(UserBank));
    if (objStyles.Count() > 256)
        throw SbkError(
            QStringLiteral("A style bank file holds at most 256 styles, not %1.").arg(objStyles.Count()));

    // Every block that takes part must be exactly as long as its length says: the offsets and
    // chunk lengths of the file are computed from the lengths, the bytes come from the contents.
    qint64 blockCount = 0;
    qint64 totalLength = 0;
    for (const KORFStylePtr& style : objStyles) {
        const struct {
            qint32 length;
            const QByteArray& content;
            const char* which;
        } blocks[] = {{style->StyleLength1(), style->StyleContent1(), "first"},
                      {style->StyleLength2(), style->StyleContent2(), "second"}};
        int styleBlocks = 0;
        for (const auto& block : blocks) {
            // A length of 0 leaves the block out, so it must not hide data.
            if (block.length < 0 || !DbKORFStyle::lengthFits(block.length, block.content))
                throw SbkError(
                    QStringLiteral("The style %1 (%2) cannot be written: its %3 block holds %4 bytes "
                                   "but its length says %5.")
                        .arg(style->StyleProg())
                        .arg(style->StyleName1().trimmed(), QLatin1String(block.which))
                        .arg(block.content.size())
                        .arg(block.length));
            if (block.length == 0)
                continue;
            ++styleBlocks;
            ++blockCount;
            totalLength += block.length;
        }
        // A style without a block would silently be missing from the file.
        if (styleBlocks == 0)
            throw SbkError(
                QStringLiteral("The style %1 (%2) cannot be written: it holds no data (is it still "
                               "stored?).")
                    .arg(style->StyleProg())
                    .arg(style->StyleName1().trimmed()));
    }
    const qint64 fileSize = 60 + 28 * blockCount + totalLength;
    if (fileSize > MaxFileSize)
        throw SbkError(
            QStringLiteral("The styles need %1 bytes, too many for one style bank file.").arg(fileSize));

    QByteArray out;
    out.reserve(qsizetype(fileSize));
    out += QByteArray("\x01\x00\x01\x14", 4) + KORFBytes::LongToBytes(fileSize - 8);
    out += QByteArray("\x02\x00\x00\x18\x00\x00\x00\x0c", 8);
    out += QByteArray("\x0b\x00\x00\x00\x00\x00\x00", 7) + QByteArray("KORF") + QByteArray(1, '\0');
    out += directoryId + KORFBytes::LongToBytes(24 * blockCount);

    const char bank = char(UserBank);
    int index = 0;
    for (const KORFStylePtr& style : objStyles) {
        const char position = char(index++);
        if (style->StyleLength1() != 0) {
            out += nameForRecord(style->StyleName1());
            out += QByteArray("\x00\x00", 2) + FirstBlockType + bank + position;
            out += versionBytes(style->StyleContent1(), true) + QByteArray(1, '\0');
        }
        if (style->StyleLength2() != 0) {
            out += nameForRecord(style->StyleName2());
            out += QByteArray("\x00\x00", 2) + SecondBlockType + bank + position;
            out += versionBytes(style->StyleContent2(), false) + QByteArray(1, '\0');
        }
    }
    for (const KORFStylePtr& style : objStyles) {
        if (style->StyleLength1() != 0)
            out += style->StyleContent1();
        if (style->StyleLength2() != 0)
            out += style->StyleContent2();
    }
    out += QByteArray("\xfe\x00\x00\x18", 4) + KORFBytes::LongToBytes(16 + 4 * blockCount);
    out += QByteArray("KBEG") + KORFBytes::LongToBytes(28);
    qint64 offset = 36 + 24 * blockCount;
    for (const KORFStylePtr& style : objStyles) {
        if (style->StyleLength1() != 0) {
            out += KORFBytes::LongToBytes(offset);
            offset += style->StyleLength1();
        }
        if (style->StyleLength2() != 0) {
            out += KORFBytes::LongToBytes(offset);
            offset += style->StyleLength2();
        }
    }
    out += QByteArray("KEND") + KORFBytes::LongToBytes(blockCount + 1);
    Q_ASSERT(out.size() == fileSize);
    return out;
}

void KORFLibrary::WriteStyleFromCollection(const QString& sFileName, const KORFStyles& objStyles,
                                           int UserBank) {
    m_RetVal = -1;
    const QByteArray bytes = encodeCollection(objStyles, UserBank);
    SaveFile file(sFileName);
    if (!file.openForWriting())
        throw SbkError(QStringLiteral("Cannot create the file %1: %2").arg(sFileName, file.errorString()));
    if (!file.writeAll(bytes) || !file.commit())
        throw SbkError(QStringLiteral("Cannot write the file %1: %2").arg(sFileName, file.errorString()));
    m_RetVal = 0;
}

QString KORFLibrary::readResultText(qint32 retVal) {
    switch (retVal) {
    case ReadFailed:
        return QStringLiteral("the file could not be read");
    case ReadKorf:
        return QStringLiteral("a KORF style bank");
    case ReadKorgI3:
        return QStringLiteral("a style for KORG i3,i2,i1,i4s arrangers");
    case ReadKorgI5:
        return QStringLiteral("a style for KORG i5 arranger");
    case ReadKorgIS40:
        return QStringLiteral("a style for KORG iS40,iS50 arrangers");
    case ReadKorgI30:
        return QStringLiteral("a style for KORG i30 arranger");
    case ReadNotKorf:
        return QStringLiteral("not a Pa style");
    case ReadNewerModel:
        return QStringLiteral("a style bank of a newer Pa model");
    }
    return QStringLiteral("unknown");
}
