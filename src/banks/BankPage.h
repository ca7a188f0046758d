#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QFont;
class QPainter;
class QRectF;

// The printed list of a bank, one page: an empty line in the device's default font, the bank's
// name in 18 point, its description in 12 point, an empty line, and one 12-point line per stored
// style: the name, 20 blanks and the description. The font is Arial or a font of the same metrics
// (Liberation Sans, Arimo). The printer and the PDF file are laid out by the same paint().
class BankPage {
public:
    BankPage(const QString& name, const QString& desc, const QStringList& styleLines);
    // The page of a bank whose styles are given by number in slot order; a style that is no
    // longer stored leaves no line.
    static BankPage fromDatabase(QSqlDatabase db, const QString& name, const QString& desc,
                                 const QList<qint32>& styles);
    static QString styleLine(const QString& name, const QString& desc);
    static QFont font(int points);

    const QString& name() const { return m_name; }
    const QStringList& styleLines() const { return m_styleLines; }

    // Lays the page out from the top left of area, line below line; a line wider than the area is
    // cut with an ellipsis.
    void paint(QPainter& painter, const QRectF& area) const;
    // Writes the page as a one-page PDF file (A4, or Letter where the locale measures in inches),
    // through a temporary file beside it. Throws SbkError.
    void writePdf(const QString& path) const;

private:
    QString m_name;
    QString m_desc;
    QStringList m_styleLines;
};
