#include "sty/KORFLibrary.h"

#include "core/InputFile.h"
#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "store/DbKORFStyle.h"
#include "sty/KORFBytes.h"
#include "sty/StyCursor.h"

#include <array>
#include <limits>
#include <QFile>
#include <QtEndian>

namespace {

constexpr int SlotCount = 32;
constexpr qsizetype HeaderSize = 28;
constexpr qsizetype DirectoryLengthAt = 32;
constexpr qsizetype EmptyIndexSize = 24;

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
    m_readLayout = Layout::Older;
    m_readRecords.clear();
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

    // Any directory chunk ID other than the newer one is read as the older layout.
    const QByteArray directoryChunkId = cursor.take(4, QStringLiteral("the directory chunk ID"));
    m_readLayout = directoryChunkId == KORFDirectory::chunkId(Layout::Newer) ? Layout::Newer : Layout::Older;
    m_readRecords = KORFDirectory::read(cursor, m_readLayout);
    const QList<KORFDirectory::Record>& records = m_readRecords;
    const int recordCount = int(records.size());
    // An empty bank is followed by its index alone (24 bytes). A directory without records
    // followed by more describes none of the blocks the file holds: its length was damaged, and
    // reading on would store the file as an empty bank.
    if (recordCount == 0 && cursor.remaining() > EmptyIndexSize)
        cursor.fail(DirectoryLengthAt,
                    QStringLiteral("the directory is empty, but %1 bytes of style blocks and index follow it")
                        .arg(cursor.remaining()));

    // One placeholder per bank position; placeholder p stands for position p - 1.
    std::array<KORFStylePtr, SlotCount> placeholders;
    for (int p = 0; p < SlotCount; ++p)
        placeholders[size_t(p)] =
            objStyles.Add(p + 1, QString(), QString(), -1, 0, QByteArray(), QByteArray());
    for (const KORFDirectory::Record& record : records) {
        KORFStyle& style = *placeholders[size_t(record.position)];
        if (record.first) {
            style.setStyleName1(record.name);
            style.setStyleEntry1(record.entry);
        } else {
            style.setStyleName2(record.name);
            style.setStyleEntry2(record.entry);
        }
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
    WriteOptions options;
    options.userBank = UserBank;
    return encodeCollection(objStyles, options);
}

QByteArray KORFLibrary::encodeCollection(const KORFStyles& objStyles, const WriteOptions& options) {
    const int UserBank = options.userBank;
    if (UserBank < 0 || UserBank > 255)
        throw SbkError(QStringLiteral("The user bank %1 cannot be written as one byte.").arg(UserBank));
    if (objStyles.Count() > 256)
        throw SbkError(
            QStringLiteral("A style bank file holds at most 256 styles, not %1.").arg(objStyles.Count()));

    // Every block that takes part must be exactly as long as its length says: the offsets and
    // chunk lengths of the file are computed from the lengths, the bytes come from the contents.
    QList<KORFDirectory::Block> blocks;
    qint64 totalLength = 0;
    int index = 0;
    for (const KORFStylePtr& style : objStyles) {
        const struct {
            qint32 length;
            const QByteArray& content;
            const QString& name;
            const KORFEntry& entry;
            const char* which;
        } parts[] = {{style->StyleLength1(), style->StyleContent1(), style->StyleName1(),
                      style->StyleEntry1(), "first"},
                     {style->StyleLength2(), style->StyleContent2(), style->StyleName2(),
                      style->StyleEntry2(), "second"}};
        int styleBlocks = 0;
        for (const auto& part : parts) {
            // A length of 0 leaves the block out, so it must not hide data.
            if (part.length < 0 || !DbKORFStyle::lengthFits(part.length, part.content))
                throw SbkError(
                    QStringLiteral("The style %1 (%2) cannot be written: its %3 block holds %4 bytes "
                                   "but its length says %5.")
                        .arg(style->StyleProg())
                        .arg(style->StyleName1().trimmed(), QLatin1String(part.which))
                        .arg(part.content.size())
                        .arg(part.length));
            if (part.length == 0)
                continue;
            ++styleBlocks;
            blocks.append({&part == &parts[0], index, part.name, part.content, part.entry});
            totalLength += part.length;
        }
        // A style without a block would silently be missing from the file.
        if (styleBlocks == 0)
            throw SbkError(
                QStringLiteral("The style %1 (%2) cannot be written: it holds no data (is it still "
                               "stored?).")
                    .arg(style->StyleProg())
                    .arg(style->StyleName1().trimmed()));
        ++index;
    }
    const qint64 blockCount = blocks.size();
    const QDateTime when = options.writeTime.isValid() ? options.writeTime : QDateTime::currentDateTime();
    const KORFDirectory::Fresh fresh{
        KORFEntry::timestampBytes(when.date().year(), when.date().month(), when.date().day(),
                                  when.time().hour(), when.time().minute(), when.time().second()),
        options.system.isEmpty() ? QByteArray(KORFDirectory::DefaultSystem) : options.system};
    const QByteArray directory = KORFDirectory::encode(blocks, options.layout, UserBank, fresh);
    const qint64 fileSize = 60 + 4 * blockCount + directory.size() + totalLength;
    if (fileSize > MaxFileSize)
        throw SbkError(
            QStringLiteral("The styles need %1 bytes, too many for one style bank file.").arg(fileSize));

    QByteArray out;
    out.reserve(qsizetype(fileSize));
    out += QByteArray("\x01\x00\x01\x14", 4) + KORFBytes::LongToBytes(fileSize - 8);
    out += QByteArray("\x02\x00\x00\x18\x00\x00\x00\x0c", 8);
    out += QByteArray("\x0b\x00\x00\x00\x00\x00\x00", 7) + QByteArray("KORF") + QByteArray(1, '\0');
    out += KORFDirectory::chunkId(options.layout) + KORFBytes::LongToBytes(directory.size()) + directory;
    for (const KORFDirectory::Block& block : blocks)
        out += block.content;
    out += QByteArray("\xfe\x00\x00\x18", 4) + KORFBytes::LongToBytes(16 + 4 * blockCount);
    out += QByteArray("KBEG") + KORFBytes::LongToBytes(28);
    qint64 offset = 36 + directory.size();
    for (const KORFDirectory::Block& block : blocks) {
        out += KORFBytes::LongToBytes(offset);
        offset += block.content.size();
    }
    out += QByteArray("KEND") + KORFBytes::LongToBytes(blockCount + 1);
    Q_ASSERT(out.size() == fileSize);
    return out;
}

void KORFLibrary::WriteStyleFromCollection(const QString& sFileName, const KORFStyles& objStyles,
                                           int UserBank) {
    WriteOptions options;
    options.userBank = UserBank;
    WriteStyleFromCollection(sFileName, objStyles, options);
}

void KORFLibrary::WriteStyleFromCollection(const QString& sFileName, const KORFStyles& objStyles,
                                           const WriteOptions& options) {
    m_RetVal = -1;
    const QByteArray bytes = encodeCollection(objStyles, options);
    SaveFile file(sFileName);
    if (!file.openForWriting())
        throw SbkError(QStringLiteral("Cannot create the file %1: %2").arg(sFileName, file.errorString()));
    if (!file.writeAll(bytes) || !file.commit())
        throw SbkError(QStringLiteral("Cannot write the file %1: %2").arg(sFileName, file.errorString()));
    m_RetVal = 0;
}

QString KORFLibrary::ShortenedNamesWarning(const KORFStyles& objStyles, Layout layout) {
    QStringList lines;
    for (const KORFStylePtr& style : objStyles) {
        for (const QString* name : {&style->StyleName1(), &style->StyleName2()}) {
            QString whole = SingleByteText::plainText(*name);
            while (whole.endsWith(QLatin1Char(' ')))
                whole.chop(1);
            const QString written = KORFDirectory::writtenName(*name, layout);
            if (written != whole)
                lines << QStringLiteral("style %1 \"%2\" as \"%3\"")
                             .arg(style->StyleProg())
                             .arg(whole, written);
        }
    }
    if (lines.isEmpty())
        return QString();
    return QStringLiteral("The %1 directory layout holds names of at most %2, so these names were shortened "
                          "in the file:\n")
               .arg(layout == Layout::Newer ? QStringLiteral("newer") : QStringLiteral("older"),
                    layout == Layout::Newer ? QStringLiteral("28 bytes (14 letters beyond ASCII)")
                                            : QStringLiteral("16 characters")) +
           lines.join(QLatin1Char('\n'));
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
    }
    return QStringLiteral("unknown");
}
