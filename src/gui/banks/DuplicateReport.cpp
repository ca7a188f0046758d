#include "gui/banks/DuplicateReport.h"

#include "banks/BankPage.h"
#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "core/SbkVersion.h"
#include "gui/banks/DuplicateTreeModel.h"

#include <QBuffer>
#include <QDate>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSet>

namespace {

using Model = DuplicateTreeModel;

// Where each column of a style's line begins, as a share of the page's width; the last entry is
// the right edge.
constexpr double ColumnStart[Model::ColumnCount + 1] = {0.0, 0.07, 0.24, 0.36, 0.54, 0.59, 0.64, 0.74, 1.0};
// The blank between two columns, in points.
constexpr double ColumnGap = 4;

void writeBytes(const QString& path, const QByteArray& bytes) {
    SaveFile file(path);
    if (!file.openForWriting() || !file.writeAll(bytes) || !file.commit())
        throw SbkError(QStringLiteral("Cannot write the file %1: %2").arg(path, file.errorString()));
}

} // namespace

DuplicateReport::DuplicateReport(QList<DuplicateStyles::Group> groups, QList<qint64> keep)
    : m_groups(std::move(groups)), m_keep(std::move(keep)) {}

DuplicateReport DuplicateReport::of(const DuplicateTreeModel& model) {
    QList<DuplicateStyles::Group> groups;
    QList<qint64> keep;
    for (int row = 0; row < model.groupCount(); ++row) {
        groups.append(model.group(row));
        keep.append(model.keep(row));
    }
    return DuplicateReport(std::move(groups), std::move(keep));
}

QString DuplicateReport::csvField(const QString& text) {
    QString field = text;
    // A spreadsheet takes a text beginning with one of these for a formula; the quote before it
    // is what spreadsheets expect to keep such a text as it stands.
    if (!field.isEmpty() && QStringLiteral("=+-@\t\r").contains(field.front()))
        field.prepend(QLatin1Char('\''));
    field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

QByteArray DuplicateReport::csv() const {
    QStringList captions{QStringLiteral("Group"), QStringLiteral("Kind"), QStringLiteral("Keep")};
    for (int column = 0; column < Model::ColumnCount; ++column)
        captions << (column == Model::StyleColumn ? QStringLiteral("Style") : Model::header(column));
    for (QString& caption : captions)
        caption = csvField(caption);
    QString text = captions.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    // Numbers as numbers; every text quoted, so that a meter (4/4) or a name such as "1/4" is
    // not read as a date.
    const auto isNumber = [](int column) {
        return column == Model::StyleColumn || column == Model::TempoColumn;
    };
    for (qsizetype row = 0; row < m_groups.size(); ++row) {
        const DuplicateStyles::Group& group = m_groups.at(row);
        for (const DuplicateStyles::Style& style : group.styles) {
            QStringList fields{
                QString::number(row + 1), csvField(DuplicateStyles::name(group.kind)),
                csvField(style.StyleProg == m_keep.at(row) ? QStringLiteral("yes") : QStringLiteral("no"))};
            for (int column = 0; column < Model::ColumnCount; ++column) {
                const QString value = Model::styleText(style, column);
                fields << (isNumber(column) ? value : csvField(value));
            }
            text += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
        }
    }
    return text.toUtf8();
}

bool DuplicateReport::paint(QPainter& painter, QPagedPaintDevice& device) const {
    const QRectF area(QPointF(0, 0), device.pageLayout().paintRectPixels(device.logicalDpiX()).size());
    const QFont titleFont = BankPage::font(16);
    const QFont textFont = BankPage::font(9);
    QFont boldFont = textFont;
    boldFont.setBold(true);
    const qreal line = QFontMetricsF(textFont, &device).lineSpacing();
    const qreal gap = ColumnGap * device.logicalDpiX() / 72.0;
    const qreal foot = area.bottom() - line; // the page number's line
    qreal y = area.top();
    int page = 1;

    const auto draw = [&](const QFont& font, qreal left, qreal width, const QString& text,
                          bool right = false) {
        painter.setFont(font);
        const QFontMetricsF metrics(font, &device);
        const QString shown = metrics.elidedText(text, Qt::ElideRight, width);
        const qreal x = right ? left + width - metrics.horizontalAdvance(shown) : left;
        painter.drawText(QPointF(x, y + metrics.ascent()), shown);
    };
    const auto columns = [&](const QFont& font, const QStringList& texts) {
        for (int column = 0; column < Model::ColumnCount; ++column) {
            const qreal left = area.left() + area.width() * ColumnStart[column];
            const qreal width = area.width() * (ColumnStart[column + 1] - ColumnStart[column]) - gap;
            draw(font, left, width, texts.at(column), column == Model::TempoColumn);
        }
        y += line;
    };
    const auto pageTop = [&] {
        QStringList captions;
        for (int column = 0; column < Model::ColumnCount; ++column)
            captions << (column == Model::StyleColumn ? QStringLiteral("Style") : Model::header(column));
        columns(boldFont, captions);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        y += line / 2;
    };
    // Whether the next lines fit; else the page ends and the next one begins.
    const auto room = [&](qreal needed) {
        if (y + needed <= foot)
            return true;
        y = foot;
        draw(textFont, area.left(), area.width(), QStringLiteral("Page %1").arg(page));
        if (!device.newPage())
            return false;
        ++page;
        y = area.top();
        pageTop();
        return true;
    };

    // A style may be in groups of two kinds; it is counted once.
    QSet<qint64> styles;
    for (const DuplicateStyles::Group& group : m_groups)
        for (const DuplicateStyles::Style& style : group.styles)
            styles.insert(style.StyleProg);
    draw(titleFont, area.left(), area.width(), Title);
    y += QFontMetricsF(titleFont, &device).lineSpacing();
    draw(textFont, area.left(), area.width(),
         QStringLiteral("%1 groups of %2 styles, %3 - * marks the style kept when its group is merged")
             .arg(m_groups.size())
             .arg(styles.size())
             .arg(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat)));
    y += 2 * line;
    pageTop();
    if (m_groups.isEmpty())
        draw(textFont, area.left(), area.width(), QStringLiteral("No duplicates found."));
    for (qsizetype row = 0; row < m_groups.size(); ++row) {
        const DuplicateStyles::Group& group = m_groups.at(row);
        // A group's caption never stands alone at the foot of a page.
        if (!room(2 * line))
            return false;
        y += line / 2;
        draw(boldFont, area.left(), area.width(),
             QStringLiteral("Group %1: %2, %3 styles")
                 .arg(row + 1)
                 .arg(DuplicateStyles::kindWords(group.kind))
                 .arg(group.styles.size()));
        y += line;
        for (const DuplicateStyles::Style& style : group.styles) {
            if (!room(line))
                return false;
            QStringList texts;
            for (int column = 0; column < Model::ColumnCount; ++column)
                texts << Model::styleText(style, column);
            if (style.StyleProg == m_keep.at(row))
                texts[Model::StyleColumn].prepend(QStringLiteral("* "));
            columns(textFont, texts);
        }
    }
    y = foot;
    draw(textFont, area.left(), area.width(), QStringLiteral("Page %1").arg(page));
    return true;
}

void DuplicateReport::writePdf(const QString& path) const {
    // Laid out in memory first, as the bank's page is: only complete bytes go to the file.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(Title);
        writer.setCreator(SbkVersion::title());
        const bool inches = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
        writer.setPageLayout(QPageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4),
                                         QPageLayout::Landscape, QMarginsF(15, 15, 15, 15),
                                         QPageLayout::Millimeter));
        QPainter painter;
        const QString failed =
            QStringLiteral("Cannot lay out the list of duplicates for the file %1.").arg(path);
        if (!painter.begin(&writer))
            throw SbkError(failed);
        const bool painted = paint(painter, writer);
        if (!painter.end() || !painted || bytes.isEmpty())
            throw SbkError(failed);
    }
    writeBytes(path, bytes);
}

void DuplicateReport::writeCsv(const QString& path) const {
    writeBytes(path, csv());
}
