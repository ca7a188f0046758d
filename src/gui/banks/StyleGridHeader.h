#pragma once

#include <QHeaderView>

// The style grid's column header: a section whose model gives it a background colour
// (Qt::BackgroundRole) is painted in exactly that colour, flat, with its caption and sort arrow
// drawn by the style on top; the styles' own header look would shade the colour. Other sections
// look as the style draws them.
class StyleGridHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit StyleGridHeader(QWidget* parent = nullptr);

    // The width a section needs for its caption and the sort arrow beside it, as the style lays
    // them out (also for a hidden section).
    int captionWidth(int logicalIndex) const { return sectionSizeFromContents(logicalIndex).width(); }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};
