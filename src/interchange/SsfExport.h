#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class KORFStyles;
class Progress;
class StyleListing;

// Writes one SSF file per style into an export folder, in the three ways the styles window offers:
// the selected style numbers, every style of the current listing in listing order, or the styles
// of the working bank. A number that is not stored is passed over without a message. Two styles
// whose names give the same file name are both written, the later one under a numbered name. The export
// stops at the first style it cannot write (SbkError naming the style); the files written before
// it are complete, and no partial file is left for it.
class SsfExport {
public:
    static inline const QString SelectedDoneMessage =
        QStringLiteral("Styles export to SSF file terminated without errors!");
    static inline const QString AllDoneMessage =
        QStringLiteral("All styles successfully exported to SSF files!");
    static QString bankDoneMessage(const QString& bankName) {
        return QStringLiteral("Export of bank ") + bankName +
               QStringLiteral(" to SSF files terminated without errors!");
    }

    struct Result {
        QStringList files;   // the paths written, in order
        // "style 4 (POP) written as POP_2.SSF": a style whose file name an earlier style of the
        // same export took gets the first free name with "_2", "_3" ... before ".SSF".
        QStringList renamed;
        int skipped = 0;     // numbers that are not stored
        QStringList changed; // "style 5 (NAME): author, group": what a file could not carry as stored
        // The warning to show after the completion message; "" when nothing was changed.
        QString warning() const;
    };

    // progress (may be null) gets one step per style handled.
    SsfExport(QSqlDatabase connection, const QString& folder, Progress* progress = nullptr);

    Result exportStyles(const QList<qint32>& styleNumbers);
    Result exportListing(const StyleListing& listing);
    Result exportBank(const KORFStyles& bankStyles);
    // What the last export wrote, also when it stopped with an error.
    const Result& lastResult() const { return m_last; }

private:
    Result run(const QList<qint32>& styleNumbers, const QString& label);

    QSqlDatabase m_connection;
    QString m_folder;
    Progress* m_progress;
    Result m_last;
};
