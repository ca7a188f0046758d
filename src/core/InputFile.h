#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Opens the files the program is given (STY, SSF and PDD files) for reading. Only a regular file,
// after following links, is opened: a named pipe, a device or a socket in a file's place is refused
// before it is opened, so it can neither hang a run nor fill the memory, and no read goes beyond the
// size limit plus one byte.
class InputFile {
public:
    enum class Kind { Regular, Folder, Other, Missing }; // Missing: no entry at all (a broken link is Other)
    struct Status {
        Kind kind = Kind::Other;
        // Why the entry cannot be read as a file, as the end of a sentence that begins with its name
        // ("is a named pipe, not a regular file", "cannot be read (Permission denied)"); "" for a
        // regular file that may be read.
        QString problem;
    };
    // What the entry at path is, after following links.
    static Status status(const QString& path);

    // The whole file. Throws SbkError naming the file when it is not a regular file, cannot be read
    // or holds more than limit bytes.
    static QByteArray read(const QString& path, qint64 limit);
    // Opens file for reading on path, with the same checks; throws SbkError.
    static void open(QFile& file, const QString& path);
};
