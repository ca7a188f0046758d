#include "banks/BankPage.h"

#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "core/SbkVersion.h"
#include "core/SingleByteText.h"
#include "store/DbKORFStyle.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

BankPage::BankPage(const QString& name, const QString& desc, const QStringList& styleLines)
    : m_name(name), m_desc(desc), m_styleLines(styleLines) {}

BankPage BankPage::fromDatabase(QSqlDatabase db, const QString& name, const QString& desc,
                                const QList<qint32>& styles) {
    DbKORFStyle table(db);
    QStringList lines;
    for (qint32 style : styles) {
        table.setStyleProg(style);
        if (table.GetKORFStylesNoContent())
            lines << styleLine(table.StyleName1(), table.StyleDesc());
    }
    return BankPage(name, desc, lines);
}

QString BankPage::styleLine(const QString& name, const QString& desc) {
    // Zero bytes that pad a name from an STY file print as blanks.
    return SingleByteText::plainText(name).leftJustified(name.size()) + QString(20, QLatin1Char(' ')) + desc;
}

QFont BankPage::font(int points) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(points);
    return font;
}

void BankPage::paint(QPainter& painter, const QRectF& area) const {
    struct Line {
        QFont font;
        QString text;
    };
    QList<Line> lines{{QFont(), QString()}, {font(18), m_name}, {font(12), m_desc}, {font(12), QString()}};
    for (const QString& style : m_styleLines)
        lines.append({font(12), style});
    qreal y = area.top();
    for (const Line& line : lines) {
        painter.setFont(line.font);
        const QFontMetricsF metrics(painter.font(), painter.device());
        if (!line.text.isEmpty())
            painter.drawText(QPointF(area.left(), y + metrics.ascent()),
                             metrics.elidedText(line.text, Qt::ElideRight, area.width()));
        y += metrics.lineSpacing();
    }
}

void BankPage::writePdf(const QString& path) const {
    // The page is laid out in memory first: the PDF writer does not check what its device takes,
    // so only complete bytes go to the file, and the file replaces an older one only when every
    // byte was written.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setTitle(m_name);
        writer.setCreator(SbkVersion::title());
        const bool inches = QLocale().measurementSystem() == QLocale::ImperialUSSystem;
        writer.setPageLayout(QPageLayout(QPageSize(inches ? QPageSize::Letter : QPageSize::A4),
                                         QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                         QPageLayout::Millimeter));
        QPainter painter;
        if (!painter.begin(&writer))
            throw SbkError(
                QStringLiteral("Cannot lay out the page of bank %1 for the file %2.").arg(m_name, path));
        paint(painter,
              QRectF(QPointF(0, 0), writer.pageLayout().paintRectPixels(writer.resolution()).size()));
        if (!painter.end() || bytes.isEmpty())
            throw SbkError(
                QStringLiteral("Cannot lay out the page of bank %1 for the file %2.").arg(m_name, path));
    }
    SaveFile file(path);
    if (!file.openForWriting())
        throw SbkError(QStringLiteral("Cannot write the file %1: %2").arg(path, file.errorString()));
    if (!file.writeAll(bytes) || !file.commit())
        throw SbkError(QStringLiteral("Cannot write the file %1: %2").arg(path, file.errorString()));
}
