#include "gui/banks/StyleGridHeader.h"

#include <QPainter>
#include <QStyleOptionHeader>

StyleGridHeader::StyleGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

void StyleGridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    const QVariant background =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::BackgroundRole) : QVariant();
    if (!rect.isValid() || !background.canConvert<QColor>()) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    QStyleOptionHeaderV2 option;
    initStyleOption(&option);
    initStyleOptionForIndex(&option, logicalIndex);
    option.rect = rect;

    painter->save();
    painter->fillRect(rect, background.value<QColor>());
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());

    QStyleOptionHeaderV2 label = option;
    label.rect = style()->subElementRect(QStyle::SE_HeaderLabel, &option, this);
    style()->drawControl(QStyle::CE_HeaderLabel, &label, painter, this);
    if (option.sortIndicator != QStyleOptionHeader::None) {
        QStyleOptionHeaderV2 arrow = option;
        arrow.rect = style()->subElementRect(QStyle::SE_HeaderArrow, &option, this);
        style()->drawPrimitive(QStyle::PE_IndicatorHeaderArrow, &arrow, painter, this);
    }
    painter->restore();
}
