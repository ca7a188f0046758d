#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

// Reads an archive (ZIP, 7z, RAR, tar, plain or compressed with gzip, bzip2 or xz) entry by entry,
// in memory: no entry is ever written to disk. An archive found inside is read in its turn, to a
// depth of MaxDepth archives. Everything is held to limits, so that a damaged or hostile archive
// ends in a clear message, never in a crash, a hang or memory beyond the read limit:
// - the entries read and the archives inside, which are held in memory while their entries are
//   read, share the read limit: an entry larger than what is left of it is passed over unread;
// - an archive whose entries, at every depth, unpack to more than MaxUnpacked bytes in all, or to
//   more than MaxRatio times the size of the archive file, is a bomb: it is read no further.
// A damaged archive or entry, an encrypted entry and a name that is not valid UTF-8, is absolute or
// climbs out with ".." are named too: every problem is the end of a sentence that begins with the
// archive's or the entry's name.
//
// The STY entries of a ZIP file are inflated ahead, on threads of their own (ArchiveReadAhead),
// while the entries before them are used, the stored and deflated ones by ZipInflater: every item,
// its order and its problem stay what they are when one thread reads everything, which it still
// does for every other archive.
class ArchiveReadAhead;
class ZipInflater;

class ArchiveReader {
public:
    static constexpr int MaxDepth = 3;
    static constexpr qint64 MaxUnpacked = qint64(2) << 30;
    static constexpr qint64 MaxRatio = 1000;
    // Below this many bytes unpacked no archive counts as a bomb, however small it is.
    static constexpr qint64 RatioFloor = 1 << 20;

    struct Item {
        enum class Kind {
            Begin,      // an archive starts: the archive file, or one inside it
            Entry,      // a wanted entry, with its bytes
            PassedOver, // a wanted entry or an archive inside that is not read, and why
            End,        // an archive was read to its end
            Failed,     // an archive cannot be read on (problem says why): its other entries are not read
        };
        Kind kind = Kind::Entry;
        // Where it is: the archive file's path, then the path inside each archive, joined by "/".
        QString path;
        // The same from the archive file's own name on: "pack.zip/Pack.SET/STYLE/USER01.STY".
        QString shown;
        QByteArray bytes;
        QString problem; // PassedOver and Failed
        int depth = 1;   // of the archive (Begin, End, Failed) or of the archive holding the entry
        int others = 0;  // End: the entries of other kinds passed over in that archive
    };
    // Whether the entry of this file name is wanted (read and handed on as an Entry).
    using Wanted = std::function<bool(const QString& fileName)>;

    // Reads the archive file at path, a regular file opened as InputFile opens one. Wanted entries
    // are read up to limit bytes; with readBytes false they are passed by unread (a first pass
    // that counts them), and the archives inside are still read.
    ArchiveReader(const QString& path, Wanted wanted, qint64 limit, bool readBytes = true);
    // The same for an archive in memory; path names it.
    ArchiveReader(const QByteArray& bytes, const QString& path, Wanted wanted, qint64 limit);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // The next item in the order of the entries, each archive between its Begin and its End (or
    // Failed); false once the archive file has ended.
    bool next(Item& item);

    // The names of the archives read here ("*.zip", "*.7z", "*.rar", "*.tar", "*.tar.gz", ...).
    static QStringList namePatterns();
    // Whether a file name says it is an archive of a kind read here, whatever its case.
    static bool isArchiveName(const QString& name);
    // Whether the first bytes of a file (512 are enough) are those of an archive read here.
    static bool looksLikeArchive(const QByteArray& head);
    // Whether the entries of an archive with these first bytes are passed by without unpacking
    // them (a ZIP file, or a tar file that is not compressed), so that counting them costs little.
    static bool passesEntriesCheaply(const QByteArray& head);

private:
    friend class ArchiveReadAhead;
    struct Level;
    // An entry's data as readData found it.
    struct EntryData {
        enum class Outcome { Read, TooLarge, Damaged, ArchiveDamaged, Bomb, Stopped };
        Outcome outcome = Outcome::Read;
        QByteArray bytes;
        QString problem; // what libarchive or the limits said
        // Read ahead: the end of the data after each block, for the limits to be checked again by
        // the reader that counts everything the archive unpacked.
        std::vector<qint64> ends;
        // Read ahead: where in the file the entry's data begin, which tells the reader that asks
        // whether they are those of its entry (libarchive may find other entries after a damaged
        // one when its data were read than when they were passed by).
        qint64 at = -1;
    };
    // What a reader that reads ahead for another one takes: every count-th STY entry of the ZIP
    // file from the index-th on; admit waits until there is room for an entry of that many bytes
    // (false: stop), deliver hands its data on.
    struct Share {
        int index = 0;
        int count = 1;
        std::function<bool(qint64 declared)> admit;
        std::function<void(int ordinal, EntryData&& data)> deliver;
        const std::atomic<bool>* stop = nullptr;
    };
    ArchiveReader(const QString& path, Wanted wanted, qint64 limit, Share share);

    void openFile();
    void openLevel(Level& level);
    // Takes the next entry of the innermost archive and queues what comes of it.
    void step();
    // Passes the entry's data by; false when the archive cannot be read on (which is queued).
    bool discard(Level& level, qint64 declared);
    // Reads a wanted entry or an archive inside, which then becomes the innermost archive.
    void take(Level& level, const QString& inner, bool archiveInside, qint64 declared);
    // Whether the entry to be read is one that is read ahead: a STY entry of a ZIP file whose size
    // is known.
    bool readsAhead(const Level& level, bool archiveInside, qint64 declared) const;
    // The entry's data, read ahead (else read here), held to the limits as if it were read here.
    EntryData takeAhead(Level& level, qint64 declared, int ordinal);
    // Reading ahead for another reader: reads the entry when it is this reader's share.
    void share(Level& level, qint64 declared, int ordinal);
    // The data of the entry whose data begin at at, as ZipInflater reads them; any other outcome
    // than Read: read them with readData.
    EntryData readDirect(Level& level, qint64 declared, qint64 at);
    QString tooLarge() const;
    // Reads the entry's data to its end, keeping at most keep bytes (none when keep is negative).
    EntryData readData(Level& level, qint64 declared, qint64 keep);
    // What is wrong when the archive has unpacked more bytes; "" when nothing is.
    QString bombProblem(qint64 unpacked) const;
    void passOver(const Level& level, const QString& inner, const QString& problem);
    // The archive at the innermost level cannot be read on: it ends there, its parent goes on.
    void fail(const QString& problem);
    // The archive file is a bomb: everything ends.
    void failAll(const QString& problem);
    void popLevel();
    void queue(Item::Kind kind, const Level& level, const QString& inner = QString());

    Wanted m_wanted;
    qint64 m_limit;
    bool m_readBytes;
    qint64 m_fileSize = 0;
    qint64 m_unpacked = 0; // at every depth, each entry counted by its declared size or what it gave
    qint64 m_held = 0;     // the bytes of the archives inside held in memory
    std::vector<std::unique_ptr<Level>> m_levels;
    std::deque<Item> m_queue;
    bool m_started = false;
    int m_ordinal = 0; // the entries read ahead, so far
    std::optional<Share> m_share;
    std::unique_ptr<ArchiveReadAhead> m_ahead;
    std::unique_ptr<ZipInflater> m_inflater; // reading ahead: of the ZIP file, once its first entry is read
    bool m_aheadTried = false;
};
