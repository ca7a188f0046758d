#pragma once

#include <deque>
#include <functional>
#include <memory>
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

private:
    struct Level;
    struct EntryData;

    void openFile();
    void openLevel(Level& level);
    // Takes the next entry of the innermost archive and queues what comes of it.
    void step();
    // Passes the entry's data by; false when the archive cannot be read on (which is queued).
    bool discard(Level& level, qint64 declared);
    // Reads a wanted entry or an archive inside, which then becomes the innermost archive.
    void take(Level& level, const QString& inner, bool archiveInside, qint64 declared);
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
};
