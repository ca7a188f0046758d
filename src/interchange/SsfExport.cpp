#include "interchange/SsfExport.h"

#include "core/Progress.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "interchange/SsfFile.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"
#include "store/KORFStyles.h"
#include "store/StyleListing.h"

#include <QFileInfo>
#include <QSet>

QString SsfExport::Result::warning() const {
    if (changed.isEmpty())
        return QString();
    return QStringLiteral("The export is complete, but these styles held what an SSF file cannot carry as "
                          "stored; each character without a one-byte form was written as \"?\":\n") +
           changed.join(QLatin1Char('\n'));
}

SsfExport::SsfExport(QSqlDatabase connection, const QString& folder, Progress* progress)
    : m_connection(connection), m_folder(folder.trimmed()), m_progress(progress) {}

SsfExport::Result SsfExport::exportStyles(const QList<qint32>& styleNumbers) {
    return run(styleNumbers, QStringLiteral("Exporting the selected styles"));
}

SsfExport::Result SsfExport::exportListing(const StyleListing& listing) {
    QList<qint32> numbers;
    numbers.reserve(listing.RecordCount());
    for (const StyleListRow& row : listing)
        numbers.append(row.StyleProg);
    return run(numbers, QStringLiteral("Exporting all styles"));
}

SsfExport::Result SsfExport::exportBank(const KORFStyles& bankStyles) {
    QList<qint32> numbers;
    for (const KORFStylePtr& style : bankStyles)
        numbers.append(style->StyleProg());
    return run(numbers, QStringLiteral("Exporting the bank"));
}

SsfExport::Result SsfExport::run(const QList<qint32>& styleNumbers, const QString& label) {
    if (m_folder.isEmpty())
        throw SbkError(QStringLiteral("No export folder given."));
    if (!QFileInfo(m_folder).isDir())
        throw SbkError(QStringLiteral("The export folder %1 does not exist.").arg(m_folder));

    m_last = Result();
    Result& result = m_last;
    const qint64 total = styleNumbers.size();
    if (m_progress)
        m_progress->begin(total, label);
    DbKORFStyle style(m_connection);
    QSet<QString> taken; // the file names of this export so far
    QSet<qint32> exported;
    qint64 done = 0;
    for (const qint32 number : styleNumbers) {
        style.setStyleProg(number);
        if (exported.contains(number)) {
            // A style that a bank holds in two slots is written once.
        } else if (style.GetKORFStyles()) {
            exported.insert(number);
            const QString owner = QStringLiteral("style %1 (%2)")
                                      .arg(number)
                                      .arg(SingleByteText::plainText(style.StyleName1()).trimmed());
            const QString wanted = SsfFile::fileName(style.StyleName1());
            QString name = wanted;
            for (int n = 2; taken.contains(name); ++n)
                name = wanted.chopped(4) + QStringLiteral("_%1.SSF").arg(n);
            taken.insert(name);
            if (name != wanted)
                result.renamed.append(owner + QStringLiteral(" written as ") + name);
            QStringList changes;
            result.files.append(SsfFile::write(style, m_folder, &changes, name));
            if (!changes.isEmpty())
                result.changed.append(owner + QStringLiteral(": ") + changes.join(QStringLiteral(", ")));
        } else {
            if (!style.clsKORFStylesError().isEmpty())
                throw SbkError(QStringLiteral("Cannot read style %1: %2")
                                   .arg(number)
                                   .arg(Database::inWords(style.clsKORFStylesError())));
            ++result.skipped;
        }
        if (m_progress)
            m_progress->step(++done, style.StyleName1());
    }
    if (m_progress)
        m_progress->end();
    return result;
}
