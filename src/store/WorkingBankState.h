#pragma once

#include "store/DbKORFBank.h"
#include "store/KORFStyles.h"

#include <memory>
#include <QSqlDatabase>

// The working bank as the whole run shares it: its styles, its state and the stored bank it was
// loaded from or saved as. The program's shared state holds it beside the connection both are read
// through; the bank commands (WorkingBank, StyMaker) work on it.
class WorkingBankState {
public:
    WorkingBankState() = default;
    WorkingBankState(const WorkingBankState&) = delete;
    WorkingBankState& operator=(const WorkingBankState&) = delete;

    // The open connection, or an invalid one while no database is open.
    virtual QSqlDatabase connection() const = 0;

    KORFStyles WorkingBankStyles;
    qint32 BankState = 0; // 0 new, 1 stored, 2 new with changes, 3 stored with changes
    // The stored bank's record (number 0 until the bank is stored); bound while a database is open.
    std::unique_ptr<DbKORFBank> BankTable;

protected:
    ~WorkingBankState() = default;
};
