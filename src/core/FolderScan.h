#pragma once

#include "core/InputFile.h"

#include <QList>
#include <QString>

// One entry of a folder as a scan finds it.
struct FolderEntry {
    QString name; // as shown; bytes that are not valid UTF-8 appear as \xNN
    QString path;
    InputFile::Kind kind = InputFile::Kind::Other;
    // Why the entry cannot be opened, as the end of a sentence that begins with its name; "" for a
    // regular file or a folder.
    QString problem;

    // Why the entry cannot be read as a file (a folder is not one); "" for a regular file.
    QString whyNotAFile() const {
        return problem.isEmpty() && kind == InputFile::Kind::Folder
                   ? QStringLiteral("is a folder, not a file")
                   : problem;
    }
};

// Lists a folder entry by entry, including the entries a plain Qt listing leaves out: names that
// are not valid UTF-8, links whose target is missing, pipes and devices. The folder scans of the
// imports name each of these in their logs instead of passing over them in silence.
class FolderScan {
public:
    // The entries of folder, "." and ".." left out, sorted by name with the given case rule.
    // Throws SbkError naming the folder when it cannot be read.
    static QList<FolderEntry> entries(const QString& folder, Qt::CaseSensitivity nameCase);
    // A name as bytes, shown with every byte that is not part of valid UTF-8 as \xNN.
    static QString shownName(const QByteArray& bytes);
};
