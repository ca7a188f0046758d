#pragma once

#include "banks/StoredBanks.h"

#include <QAbstractItemModel>

// The tree of stored banks shown by the bank dialog and the where-is window: one root node "SBK",
// a bold node per bank ("NAME [DESCRIPTION]") and beneath it a node per stored style of the bank,
// in slot order. Each node keeps its bank's number and texts, so nothing is ever read back from a
// node's text.
//
// Keys (KeyRole): "ROOT"; "B" + the bank number in at least five digits; the bank key + "S" + the
// style number in at least five digits + the slot in two digits. Numbers of any size fit.
class BankTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { KeyRole = Qt::UserRole, BankProgRole, StyleProgRole };
    // BankDialog: every style node bold and blue, "NAME [DESCRIPTION]". WhereIs: only the searched
    // style bold and blue; the description is shown ("NAME [DESCRIPTION] ") when it is not blank.
    enum class Look { BankDialog, WhereIs };

    explicit BankTreeModel(Look look, QObject* parent = nullptr);

    // Replaces the tree. searchedStyle is the style the WhereIs look highlights.
    void setBanks(QList<StoredBank> banks, qint32 searchedStyle = 0);
    void clear();
    int bankCount() const { return int(m_banks.size()); }
    QModelIndex rootIndex() const;
    QModelIndex bankIndex(int row) const;
    // The bank of a bank node; nullptr for the root and style nodes.
    const StoredBank* bankAt(const QModelIndex& index) const;
    // The row of the bank with that number, -1 when it is not in the tree.
    int rowOfBank(qint32 bankProg) const;

    static QString bankKey(qint32 bankProg);
    static QString styleKey(qint32 bankProg, qint32 styleProg, int slot);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // Node levels are told apart by the index's internal id: 0 the root, 1 a bank, 2 + n a style
    // of bank row n.
    static constexpr quintptr RootId = 0;
    static constexpr quintptr BankId = 1;
    static constexpr quintptr FirstStyleId = 2;

    QVariant bankData(const StoredBank& bank, int role) const;
    QVariant styleData(const StoredBank& bank, const StoredBankStyle& style, int role) const;

    Look m_look;
    QList<StoredBank> m_banks;
    qint32 m_searchedStyle = 0;
};
