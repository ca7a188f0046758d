#pragma once

#include <QAbstractListModel>

class WorkingBank;

// The working bank as a list of its 32 slots, the way drag and drop reaches it: rows dragged from
// the style grid (StyleGridModel::mimeData) are dropped at a slot and go in there, a slot dragged
// onto another moves there. A drop runs the bank's own commands (WorkingBank::insertAt and
// moveSlot), so it checks, asks and changes the state exactly as the ">" button and the move
// commands do; the window redraws the slots on bankEdited.
class WorkingBankModel : public QAbstractListModel {
    Q_OBJECT
public:
    static inline const QString SlotMimeType = QStringLiteral("application/x-sbk-bank-slot");

    WorkingBankModel(WorkingBank& bank, QObject* parent = nullptr);

    // Tells views that the slots may have changed (after a command of the Banks menu).
    void refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // One filled slot, for reordering.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    Qt::DropActions supportedDragActions() const override;
    // The drop goes to `row` (the slot under the mouse), or to the row of `parent` when that is
    // valid; -1 means after the last filled slot.
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

signals:
    // A drop ran a command; `goOn` is false when the command stopped early (the bank was full).
    void bankEdited(bool goOn);

private:
    static int draggedSlot(const QMimeData* data);

    WorkingBank& m_bank;
};
