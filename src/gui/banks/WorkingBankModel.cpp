#include "gui/banks/WorkingBankModel.h"

#include "banks/WorkingBank.h"
#include "gui/banks/StyleGridModel.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

WorkingBankModel::WorkingBankModel(WorkingBank& bank, QObject* parent)
    : QAbstractListModel(parent), m_bank(bank) {}

void WorkingBankModel::refresh() {
    emit dataChanged(index(0), index(WorkingBank::SlotCount - 1));
}

int WorkingBankModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : WorkingBank::SlotCount;
}

QVariant WorkingBankModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_bank.slotCaption(index.row());
    return QVariant();
}

Qt::ItemFlags WorkingBankModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractListModel::flags(index) | Qt::ItemIsDropEnabled;
    if (index.isValid() && index.row() < m_bank.count())
        flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList WorkingBankModel::mimeTypes() const {
    return {StyleGridModel::RowsMimeType, SlotMimeType};
}

QMimeData* WorkingBankModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty() || !indexes.constFirst().isValid())
        return nullptr;
    QByteArray encoded;
    QDataStream out(&encoded, QIODevice::WriteOnly);
    out << qint64(QCoreApplication::applicationPid()) << qint32(indexes.constFirst().row());
    auto* data = new QMimeData;
    data->setData(SlotMimeType, encoded);
    data->setText(m_bank.slotCaption(indexes.constFirst().row()).trimmed());
    return data;
}

Qt::DropActions WorkingBankModel::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction;
}

Qt::DropActions WorkingBankModel::supportedDragActions() const {
    return Qt::MoveAction;
}

int WorkingBankModel::draggedSlot(const QMimeData* data) {
    if (!data || !data->hasFormat(SlotMimeType))
        return -1;
    QDataStream in(data->data(SlotMimeType));
    qint64 process = 0;
    qint32 slot = -1;
    in >> process >> slot;
    if (in.status() != QDataStream::Ok || process != QCoreApplication::applicationPid())
        return -1;
    return slot;
}

bool WorkingBankModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                       const QModelIndex&) const {
    if (action == Qt::MoveAction)
        return draggedSlot(data) >= 0 && draggedSlot(data) < m_bank.count();
    return action == Qt::CopyAction && StyleGridModel::draggedRows(data).has_value();
}

bool WorkingBankModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                    const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    int slot = parent.isValid() ? parent.row() : row;
    if (slot < 0)
        slot = WorkingBank::SlotCount;
    bool goOn = true;
    if (action == Qt::MoveAction) {
        if (!m_bank.moveSlot(draggedSlot(data), slot))
            return false;
    } else {
        goOn = m_bank.insertAt(*StyleGridModel::draggedRows(data), slot);
    }
    refresh();
    emit bankEdited(goOn);
    return goOn;
}
