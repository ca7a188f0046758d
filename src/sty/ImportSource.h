#pragma once

#include "core/ArchiveReader.h"
#include "core/SbkError.h"

#include <memory>
#include <optional>
#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

// What an import run reads, in the order it takes it: the file it was given, or the files of a
// folder (and, optionally, of its subfolders, depth first) whose names end in "STY", and the
// archives among them (ZIP, 7z, RAR, tar), whose STY entries are read in memory, archives inside
// archives too, and handed on as if they were files. What the run passes over (a pipe or a device
// in a file's place, an encrypted entry, ...) comes in its place as the log line that says why.
class ImportSource {
public:
    struct Input {
        enum class Kind {
            File,          // a file or an archive entry to import: its bytes, or why it cannot be read
            PassedOver,    // a file, folder or entry that is not imported; line says why
            ArchiveBegin,  // the inputs of an archive follow (depth 1: an archive file)
            ArchiveEnd,    // the archive was read to its end; line counts its entries of other kinds
            ArchiveFailed, // the archive cannot be read on; line says why, as a sentence without its end
        };
        Kind kind = Kind::File;
        QString path;  // a file's path; an entry's: its archive's path, then its path inside
        QString shown; // how the log names an entry ("pack.zip/Pack.SET/STYLE/USER01.STY"); "" for a file
        QByteArray bytes;
        std::optional<SbkError> unreadable; // a file that cannot be read
        QString line;
        bool folder = false; // PassedOver: a folder whose files were not imported
        int depth = 0;       // ArchiveBegin, ArchiveEnd, ArchiveFailed: 1 for an archive file
        bool counted = true; // false for what comes of an archive that count() took for one input
    };

    // What a run over path takes: the file (an archive when its name or its first bytes say so)
    // or, with folder set, the files and archives of the folder. Throws SbkError when the folder
    // cannot be read.
    ImportSource(const QString& path, bool folder, bool subfolders);
    ~ImportSource();
    ImportSource(const ImportSource&) = delete;
    ImportSource& operator=(const ImportSource&) = delete;

    // The files and entries the run takes, those passed over included, counted before it starts
    // (the archives are read for it without their styles), so that its progress can be shown. An
    // archive whose entries cannot be passed by without unpacking them (a compressed tar file, 7z,
    // RAR) is not read twice: it counts as one, and what comes of it has counted set to false.
    int count();
    // Whether count() counted the entries of every archive.
    bool countedAll() const;
    // The next input; false once there is none.
    bool next(Input& input);

    // Whether a file or entry of this name is imported: its name ends in "STY" in any case.
    static bool isStyName(const QString& name);

private:
    struct Item {
        QString path;
        QString passedOver; // the log line; "" for a file or archive to read
        bool folder = false;
        bool archive = false;
        bool counted = true; // an archive: its entries were counted
    };
    static void collect(const QString& folder, bool subfolders, QList<Item>& items, QSet<QString>& visited);
    static Input fromArchive(ArchiveReader::Item&& item);

    QList<Item> m_items;
    int m_next = 0;
    std::unique_ptr<ArchiveReader> m_archive; // of the item at m_next, while its entries are read
};
