#pragma once

#include "banks/DuplicateStyles.h"

#include <QByteArray>
#include <QList>
#include <QString>

class DuplicateTreeModel;
class QPagedPaintDevice;
class QPainter;

// The report of the duplicates window: every group listed with the styles it holds, the style to
// keep marked, printed or saved as PDF pages (the column captions at the top of each page, the page
// number at its foot), or exported as CSV with one row per style.
class DuplicateReport {
public:
    static inline const QString Title = QStringLiteral("Duplicate styles");

    DuplicateReport(QList<DuplicateStyles::Group> groups, QList<qint64> keep);
    // The groups as the tree shows them, with the styles kept there.
    static DuplicateReport of(const DuplicateTreeModel& model);

    // The CSV text: a caption row, then one row per style: the group's number and kind ("exact",
    // "renamed", "settings"), "yes" for the style kept, and the style's columns. UTF-8, rows ended
    // by CR LF; numbers as they are, every text a field of csvField.
    QByteArray csv() const;
    // A text as a CSV field a spreadsheet keeps as text: quoted, its quotes doubled, and a quote
    // (') before a leading =, +, -, @, tab or CR, which would make it a formula.
    static QString csvField(const QString& text);

    // Lays the report out on the device's pages, a new page wherever the last one is full; false
    // when the device refused a page.
    bool paint(QPainter& painter, QPagedPaintDevice& device) const;
    // Write the report through a temporary file beside path. Throw SbkError naming the file.
    void writePdf(const QString& path) const;
    void writeCsv(const QString& path) const;

private:
    QList<DuplicateStyles::Group> m_groups;
    QList<qint64> m_keep;
};
