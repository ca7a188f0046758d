#pragma once

#include <QString>
#include <QStringList>

class Prompt;
class QWidget;
class SBKModule;

// The files SBK was started with, from the file manager or as "sbk FILE...", each opened in the
// window that reads it, one after the other over the main window: an STY file or an archive of
// them (ZIP, 7z, RAR, tar) in the import window for one file, an SSF file in the SSF import window,
// a PDD file in the backup / restore window chosen for the restore. Each window waits for its own
// button, so nothing is imported or restored unasked, and the restore asks its questions as it
// always does.
class FileOpener {
public:
    enum class Kind { Unknown, Sty, Ssf, Pdd, Archive };

    // What the file is by its first bytes ("KORF" at offset 23, the SSF signature, the PDD header,
    // an archive's signature), else by its extension, whatever its case, so that a damaged file
    // reaches the window that can say what is wrong with it. Throws SbkError for what is not a
    // readable regular file.
    static Kind kindOf(const QString& path);

    // The absolute path of a file as given on a command line (a "file:" URL counts as its local
    // path), against the current folder.
    static QString absolutePath(const QString& given);

    // Opens the windows for paths in order (a "file:" URL counts as its local path). A path that
    // cannot be opened is named in a message and passed over.
    static void open(SBKModule& module, Prompt& prompt, const QStringList& paths, QWidget* parent);
};
