#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class Progress;

// Reads SSF files into the style database: one file, or every file of a folder whose name ends in
// "SSF" (exactly, in upper case), in the order of their names. Each file gives at most one new
// style under the next free style number. A file without the SSF signature is passed over; a file
// whose content is stored already, a damaged file or a failed insert is refused, and a folder run
// stops at the first refusal (styles inserted before it stay).
class SsfImport {
public:
    static inline const QString DoneMessage = QStringLiteral("SSF file import ended without errors");
    static inline const QString PresentMessage =
        QStringLiteral("SSF file import aborted: style already present");
    static inline const QString NotFoundMessage = QStringLiteral("SSF file not found");

    // PassedOver: an entry of a folder that is no regular file (a pipe, a device, a broken link, a
    // name that is not valid UTF-8) or that cannot be read; problem says why, after the entry's name.
    enum class Outcome { Inserted, NotSsf, AlreadyPresent, Damaged, InsertFailed, PassedOver };

    struct FileResult {
        QString path;
        Outcome outcome = Outcome::NotSsf;
        qint32 styleProg = 0; // the new number (Inserted) or the number holding the content (AlreadyPresent)
        QString problem;      // what was wrong (Damaged, InsertFailed)
        // Inserted: why the style's blocks do not decode (StyleFactsValues::damage), "" when they do;
        // such a style is stored byte for byte all the same.
        QString styleDamage;
        bool refused() const {
            return outcome == Outcome::AlreadyPresent || outcome == Outcome::Damaged ||
                   outcome == Outcome::InsertFailed;
        }
        // One line on what became of the file, naming it ("STYLE1.SSF: imported as style 12").
        QString describe() const;
    };

    struct Result {
        bool found = true; // false when the file (or folder) does not exist
        QList<FileResult> files;
        bool succeeded() const { return found && (files.isEmpty() || !files.last().refused()); }
        int inserted() const;
        // The styles inserted whose blocks do not decode.
        int damaged() const;
        // The text to show at the end: DoneMessage, PresentMessage, NotFoundMessage, or the reason
        // a damaged file or a failed insert stopped the import; then the number of damaged styles
        // inserted, when there are any.
        QString message() const;
    };

    explicit SsfImport(QSqlDatabase connection, Progress* progress = nullptr);

    Result importFile(const QString& path);
    // A folder that does not exist gives a result with found = false and nothing read; one that
    // cannot be read throws SbkError.
    Result importFolder(const QString& folder);
    FileResult importOne(const QString& path);

private:
    QSqlDatabase m_connection;
    Progress* m_progress;
};
