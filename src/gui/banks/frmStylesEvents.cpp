// The styles window's events: grid rows and slots dragged onto the working bank, the tooltips of
// grid cells whose text is cut, and the find field getting ready as it gets the focus. The drops
// themselves run through WorkingBankModel, so they check and ask exactly as the ">" button and
// the move commands do.

#include "gui/banks/frmStyles.h"

#include "gui/banks/StyleGridModel.h"
#include "gui/banks/WorkingBankModel.h"

#include <algorithm>
#include <QApplication>
#include <QDrag>
#include <QGroupBox>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QTableView>
#include <QToolTip>

bool frmStyles::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_grid->viewport()) {
        if (event->type() == QEvent::ToolTip)
            return showCutCellTip(static_cast<QHelpEvent*>(event));
        if (event->type() == QEvent::MouseButtonPress) {
            // A press on the selected rows starts a drag of them; a press elsewhere selects, and
            // moving on extends the selection as before.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const QModelIndex index = m_grid->indexAt(mouse->position().toPoint());
            m_grid->setDragEnabled(index.isValid() && mouse->modifiers() == Qt::NoModifier &&
                                   m_grid->selectionModel()->isRowSelected(index.row()));
        }
        return false;
    }
    if (watched == m_frBank)
        return bankPanelEvent(event);
    if (watched == m_txtFind) {
        // The search text is made before the first key rather than by it.
        if (event->type() == QEvent::FocusIn)
            m_model->prepareSearch();
        return false;
    }
    const auto slot = std::find(m_lbNewStyle.cbegin(), m_lbNewStyle.cend(), watched);
    if (slot != m_lbNewStyle.cend())
        return slotEvent(int(slot - m_lbNewStyle.cbegin()), event);
    return QDialog::eventFilter(watched, event);
}

bool frmStyles::showCutCellTip(QHelpEvent* event) {
    const QModelIndex index = m_grid->indexAt(event->pos());
    if (!index.isValid())
        return false;
    const QString text = m_model->data(index).toString();
    const QRect cell = m_grid->visualRect(index);
    const int margins = 2 * (m_grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_grid) + 1);
    if (m_grid->fontMetrics().horizontalAdvance(text) <= cell.width() - margins)
        return false; // the grid's own tooltip
    QToolTip::showText(event->globalPos(), text, m_grid->viewport(), cell);
    return true;
}

bool frmStyles::slotEvent(int slot, QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressPos = mouse->position().toPoint();
        lbNewStyle_Click(slot);
        return true;
    }
    if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton) && slot < m_bank.count() &&
        (mouse->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        QLabel* label = m_lbNewStyle.at(size_t(slot));
        auto* drag = new QDrag(label);
        drag->setMimeData(m_bankModel->mimeData({m_bankModel->index(slot)}));
        drag->setPixmap(label->grab());
        drag->exec(Qt::MoveAction);
        return true;
    }
    return false;
}

int frmStyles::slotAt(const QPoint& pos) const {
    for (int s = 0; s < WorkingBank::SlotCount; ++s)
        if (m_lbNewStyle.at(size_t(s))->geometry().contains(pos))
            return s;
    return -1; // after the last filled slot
}

void frmStyles::markDropSlot(int slot) {
    if (m_dropSlot >= 0)
        m_lbNewStyle.at(size_t(m_dropSlot))->setLineWidth(1);
    m_dropSlot = slot;
    if (m_dropSlot >= 0)
        m_lbNewStyle.at(size_t(m_dropSlot))->setLineWidth(2);
}

bool frmStyles::bankPanelEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const int slot = slotAt(drop->position().toPoint());
        const Qt::DropAction action = drop->proposedAction();
        if (!m_bankModel->canDropMimeData(drop->mimeData(), action, slot, 0, QModelIndex())) {
            markDropSlot(-1);
            drop->ignore();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            markDropSlot(-1);
            drop->acceptProposedAction();
            // The drop's questions and messages come once the drag has ended.
            auto* data = new QMimeData;
            for (const QString& format : drop->mimeData()->formats())
                data->setData(format, drop->mimeData()->data(format));
            QMetaObject::invokeMethod(
                this,
                [this, data, action, slot] {
                    m_bankModel->dropMimeData(data, action, slot, 0, QModelIndex());
                    delete data;
                },
                Qt::QueuedConnection);
            return true;
        }
        // Mark the slot where the style will land: slots stay packed from the first.
        const int last = action == Qt::MoveAction ? m_bank.count() - 1 : m_bank.count();
        const int lands = slot < 0 ? last : std::min(slot, last);
        markDropSlot(lands < WorkingBank::SlotCount ? lands : -1);
        drop->acceptProposedAction();
        return true;
    }
    case QEvent::DragLeave:
        markDropSlot(-1);
        return true;
    default:
        return false;
    }
}
