#pragma once

#include <array>
#include <memory>
#include <QList>
#include <QSqlDatabase>
#include <QString>

class QSqlQuery;

// Gateway to the table KORFBanks: a bank is a name, a description and 32 slots holding style
// numbers (0 = empty). Ins/Upd/Del/Get never throw: they return false and leave
// "<number> <description>" in clsKORFBanksError ("" after success). NextKORFBank throws SbkError.
class DbKORFBank {
public:
    static constexpr int SlotCount = 32;

    DbKORFBank() = default;
    explicit DbKORFBank(QSqlDatabase connection) : m_connection(connection) {}

    qint32 BankProg() const { return m_BankProg; }
    void setBankProg(qint32 v) { m_BankProg = v; }
    const QString& BankName() const { return m_BankName; }
    void setBankName(const QString& v) { m_BankName = v; }
    const QString& BankDesc() const { return m_BankDesc; }
    void setBankDesc(const QString& v) { m_BankDesc = v; }

    // BankStyle01..BankStyle32, addressed by slot number 1..32.
    qint32 BankStyle(int slot) const { return m_slots.at(size_t(slot - 1)); }
    void setBankStyle(int slot, qint32 v) { m_slots.at(size_t(slot - 1)) = v; }
    const std::array<qint32, SlotCount>& slotValues() const { return m_slots; }
    void setSlotValues(const std::array<qint32, SlotCount>& values) { m_slots = values; }
#define SBK_BANK_SLOT(NN)                                                                                    \
    qint32 BankStyle##NN() const {                                                                           \
        return BankStyle(1##NN - 100);                                                                       \
    }                                                                                                        \
    void setBankStyle##NN(qint32 v) {                                                                        \
        setBankStyle(1##NN - 100, v);                                                                        \
    }
    SBK_BANK_SLOT(01)
    SBK_BANK_SLOT(02)
    SBK_BANK_SLOT(03) SBK_BANK_SLOT(04) SBK_BANK_SLOT(05) SBK_BANK_SLOT(06) SBK_BANK_SLOT(07)
        SBK_BANK_SLOT(08) SBK_BANK_SLOT(09) SBK_BANK_SLOT(10) SBK_BANK_SLOT(11) SBK_BANK_SLOT(12)
            SBK_BANK_SLOT(13) SBK_BANK_SLOT(14) SBK_BANK_SLOT(15) SBK_BANK_SLOT(16) SBK_BANK_SLOT(17)
                SBK_BANK_SLOT(18) SBK_BANK_SLOT(19) SBK_BANK_SLOT(20) SBK_BANK_SLOT(21) SBK_BANK_SLOT(22)
                    SBK_BANK_SLOT(23) SBK_BANK_SLOT(24) SBK_BANK_SLOT(25) SBK_BANK_SLOT(26) SBK_BANK_SLOT(27)
                        SBK_BANK_SLOT(28) SBK_BANK_SLOT(29) SBK_BANK_SLOT(30) SBK_BANK_SLOT(31)
                            SBK_BANK_SLOT(32)
#undef SBK_BANK_SLOT

                                QSqlDatabase ActiveConnection() const {
        return m_connection;
    }
    void setActiveConnection(QSqlDatabase connection) {
        if (connection.connectionName() != m_connection.connectionName())
            m_insert.reset();
        m_connection = connection;
    }
    const QString& clsKORFBanksError() const {
        return m_error;
    }

    bool InsKORFBanks();
    bool UpdKORFBanks();
    bool DelKORFBanks();
    bool GetKORFBanks();
    // The first bank (by number) whose name is BankName, both without the blanks around them.
    bool GetKORFBanksByName();
    // The numbers of every bank named BankName (compared as GetKORFBanksByName does), ascending.
    // Throws SbkError on a database failure.
    QList<qint32> NumbersByName();
    qint32 NextKORFBank();

    // "BankStyle01" .. "BankStyle32".
    static QString slotColumn(int slot);

    // A bank's slots without a deleted style: every slot equal to style is removed, the others keep
    // their order, and zeros fill the end.
    static std::array<qint32, SlotCount> withoutStyle(const std::array<qint32, SlotCount>& values,
                                                      qint32 style);

private:
    bool fail(const QString& text);
    bool readRow(const QString& where, const QVariant& value);

    qint32 m_BankProg = 0;
    QString m_BankName;
    QString m_BankDesc;
    std::array<qint32, SlotCount> m_slots{};
    QSqlDatabase m_connection;
    QString m_error;
    // The insert and the query for the highest number, prepared at their first use: an import or
    // a restore stores its banks through one instance. Copies share them, on the same connection.
    std::shared_ptr<QSqlQuery> m_insert;
    std::shared_ptr<QSqlQuery> m_highest;
};
