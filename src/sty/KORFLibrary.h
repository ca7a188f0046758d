#pragma once

#include "store/KORFStyles.h"
#include "store/StyleListing.h"
#include "sty/KORFDirectory.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// The STY library: reads and writes KORF containers (STY bank files of up to 32 styles), keeps the
// status value RetVal of the last read or write, and offers the style listing.
class KORFLibrary {
public:
    // RetVal after a read.
    enum ReadResult : qint32 {
        ReadFailed = -1,  // set on entry; stays when the read stops with an error
        ReadKorf = 0,     // a KORF file was read; the list holds its styles
        ReadKorgI3 = 1,   // begins with "KORG9"
        ReadKorgI5 = 2,   // begins with "KORG<"
        ReadKorgIS40 = 3, // begins with "KORGM"
        ReadKorgI30 = 4,  // begins with "KORGI"
        ReadNotKorf = 5,  // none of the known signatures
    };
    // The directory layouts: older (Pa600 and earlier) and newer (Pa700, Pa1000 and later).
    using Layout = KORFDirectory::Layout;

    // How a bank file is written.
    struct WriteOptions {
        Layout layout = Layout::Older;
        int userBank = 0; // the bank byte of every record or entry: 0x10 + the USER bank number
        // For newer entries the file did not give: their timestamp (now when not valid) and the
        // system string (KORFDirectory::DefaultSystem when empty).
        QDateTime writeTime;
        QByteArray system;
    };

    // Files larger than this are refused before they are read into memory.
    static constexpr qint64 MaxFileSize = 256 * 1024 * 1024;

    qint32 RetVal() const { return m_RetVal; }
    void setRetVal(qint32 v) { m_RetVal = v; }
    // True after a read whose trailing index chunk was cut short or missing. The index only
    // repeats the block offsets, so the styles were read whole all the same.
    bool IndexDamaged() const { return m_indexDamaged; }

    // Empties objStyles and fills it with the styles of the STY file: compacted, in position
    // order, StyleProg = the style's 1-based position in the bank. Only a regular file of at most
    // MaxFileSize bytes is read. Reads both directory layouts; styles of a newer file carry their
    // blocks' entries. Throws SbkError naming the file, the byte offset and the fault (a newer entry
    // whose checksum does not match included); RetVal then stays -1.
    void FillCollectionFromStyle(const QString& sFileName, KORFStyles& objStyles);
    // The same for a file already in memory; fileName only names it in errors.
    void FillCollectionFromBytes(const QByteArray& bytes, const QString& fileName, KORFStyles& objStyles);

    // Writes the list as one STY file. The file is written beside the target under a temporary
    // name and renamed into place when complete, so a failure leaves an older file intact and no
    // partial one. Throws SbkError; RetVal is -1 after a failure, 0 after success.
    void WriteStyleFromCollection(const QString& sFileName, const KORFStyles& objStyles, int UserBank = 0);
    void WriteStyleFromCollection(const QString& sFileName, const KORFStyles& objStyles,
                                  const WriteOptions& options);
    // The bytes of the STY file for the list (what WriteStyleFromCollection writes).
    static QByteArray encodeCollection(const KORFStyles& objStyles, int UserBank = 0);
    static QByteArray encodeCollection(const KORFStyles& objStyles, const WriteOptions& options);

    // The warning for the names the layout cannot hold whole ("" when every name fits), naming
    // each style with its name and the shortened one the file holds.
    static QString ShortenedNamesWarning(const KORFStyles& objStyles, Layout layout);

    // The directory layout of the last file read, and its records or entries in file order.
    Layout ReadLayout() const { return m_readLayout; }
    const QList<KORFDirectory::Record>& ReadRecords() const { return m_readRecords; }

    // A short text for a RetVal after a read, for listings and logs.
    static QString readResultText(qint32 retVal);

    // The style listing with the filter and sort clauses in use; throws SbkError when the
    // database rejects a clause. Does not change RetVal.
    StyleListing GetAllStyles(QSqlDatabase connection, const QString& filterWhere, const QString& filterOrder,
                              const QStringList& filterValues = {}) const {
        return StyleListing::GetAllStyles(connection, filterWhere, filterOrder, filterValues);
    }

private:
    void readBytes(const QByteArray& bytes, const QString& fileName, KORFStyles& objStyles);

    qint32 m_RetVal = 0;
    bool m_indexDamaged = false;
    Layout m_readLayout = Layout::Older;
    QList<KORFDirectory::Record> m_readRecords;
};
