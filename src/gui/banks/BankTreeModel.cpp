#include "gui/banks/BankTreeModel.h"

#include "core/SingleByteText.h"

#include <QColor>
#include <QFont>

namespace {

QFont boldFont() {
    QFont font;
    font.setBold(true);
    return font;
}

// Names taken from STY files may be padded with zero bytes.
QString shownName(const QString& name) {
    return SingleByteText::plainText(name).trimmed();
}

} // namespace

BankTreeModel::BankTreeModel(Look look, QObject* parent) : QAbstractItemModel(parent), m_look(look) {}

void BankTreeModel::setBanks(QList<StoredBank> banks, qint32 searchedStyle) {
    beginResetModel();
    m_banks = std::move(banks);
    m_searchedStyle = searchedStyle;
    endResetModel();
}

void BankTreeModel::clear() {
    setBanks({});
}

QString BankTreeModel::bankKey(qint32 bankProg) {
    return QStringLiteral("B%1").arg(bankProg, 5, 10, QLatin1Char('0'));
}

QString BankTreeModel::styleKey(qint32 bankProg, qint32 styleProg, int slot) {
    return bankKey(bankProg) +
           QStringLiteral("S%1%2").arg(styleProg, 5, 10, QLatin1Char('0')).arg(slot, 2, 10, QLatin1Char('0'));
}

QModelIndex BankTreeModel::rootIndex() const {
    return index(0, 0);
}

QModelIndex BankTreeModel::bankIndex(int row) const {
    return index(row, 0, rootIndex());
}

const StoredBank* BankTreeModel::bankAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() != BankId)
        return nullptr;
    return &m_banks.at(index.row());
}

int BankTreeModel::rowOfBank(qint32 bankProg) const {
    for (qsizetype row = 0; row < m_banks.size(); ++row)
        if (m_banks.at(row).BankProg == bankProg)
            return int(row);
    return -1;
}

QModelIndex BankTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0)
        return {};
    if (!parent.isValid())
        return row == 0 && !m_banks.isEmpty() ? createIndex(0, 0, RootId) : QModelIndex();
    if (parent.internalId() == RootId)
        return row < m_banks.size() ? createIndex(row, 0, BankId) : QModelIndex();
    if (parent.internalId() == BankId && row < m_banks.at(parent.row()).styles.size())
        return createIndex(row, 0, FirstStyleId + quintptr(parent.row()));
    return {};
}

QModelIndex BankTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == RootId)
        return {};
    if (child.internalId() == BankId)
        return createIndex(0, 0, RootId);
    return createIndex(int(child.internalId() - FirstStyleId), 0, BankId);
}

int BankTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return m_banks.isEmpty() ? 0 : 1;
    if (parent.internalId() == RootId)
        return int(m_banks.size());
    if (parent.internalId() == BankId)
        return int(m_banks.at(parent.row()).styles.size());
    return 0;
}

int BankTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant BankTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (index.internalId() == RootId) {
        if (role == Qt::DisplayRole)
            return QStringLiteral("SBK");
        if (role == KeyRole)
            return QStringLiteral("ROOT");
        return {};
    }
    if (index.internalId() == BankId)
        return bankData(m_banks.at(index.row()), role);
    const StoredBank& bank = m_banks.at(qsizetype(index.internalId() - FirstStyleId));
    return styleData(bank, bank.styles.at(index.row()), role);
}

QVariant BankTreeModel::bankData(const StoredBank& bank, int role) const {
    switch (role) {
    case Qt::DisplayRole:
        return bank.BankName + QStringLiteral(" [") + bank.BankDesc + QLatin1Char(']');
    case Qt::FontRole:
        return boldFont();
    case KeyRole:
        return bankKey(bank.BankProg);
    case BankProgRole:
        return bank.BankProg;
    default:
        return {};
    }
}

QVariant BankTreeModel::styleData(const StoredBank& bank, const StoredBankStyle& style, int role) const {
    const bool highlighted = m_look == Look::BankDialog || style.StyleProg == m_searchedStyle;
    switch (role) {
    case Qt::DisplayRole: {
        const QString name = shownName(style.StyleName1);
        if (m_look == Look::BankDialog)
            return name + QStringLiteral(" [") + style.StyleDesc.trimmed() + QLatin1Char(']');
        return style.StyleDesc.trimmed().isEmpty()
                   ? name
                   : name + QStringLiteral(" [") + style.StyleDesc + QStringLiteral("] ");
    }
    case Qt::FontRole:
        return highlighted ? QVariant(boldFont()) : QVariant();
    case Qt::ForegroundRole:
        // Other styles keep the palette's text colour, so a dark theme shows them too.
        return highlighted ? QVariant(QColor(0, 0, 255)) : QVariant();
    case KeyRole:
        return styleKey(bank.BankProg, style.StyleProg, style.slot);
    case BankProgRole:
        return bank.BankProg;
    case StyleProgRole:
        return style.StyleProg;
    default:
        return {};
    }
}
