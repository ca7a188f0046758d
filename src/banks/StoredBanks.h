#pragma once

#include <functional>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// A stored style as a bank tree shows it: its number, the slot (1..32) it fills and its texts.
struct StoredBankStyle {
    qint32 StyleProg = 0;
    int slot = 0;
    QString StyleName1;
    QString StyleDesc;
};

// A stored bank with the styles of its non-empty slots, in slot order.
struct StoredBank {
    qint32 BankProg = 0;
    QString BankName;
    QString BankDesc;
    QList<StoredBankStyle> styles;
};

// Reads the stored banks for the two bank trees: all banks (the bank dialog) or the banks that hold
// one style (the where-is window). Each reads the banks and their styles in a fixed number of
// statements, however many banks there are. Database failures throw SbkError.
class StoredBanks {
public:
    // The orders of the bank dialog's tree.
    enum Sort { NameAscending = 0, NameDescending = 1, NumberAscending = 2, NumberDescending = 3 };

    // Every bank in the given order. Slots naming a style that is no longer stored are left out.
    static QList<StoredBank> all(QSqlDatabase db, int sort);
    // The banks holding the style, by name, read through QUERY1 (so a database whose QUERY1 was
    // written by another program is read the same way). Slots naming a style that is no longer
    // stored are left out.
    static QList<StoredBank> holding(QSqlDatabase db, qint32 style);
    // The same banks handed to the caller one at a time, as they are read; returns their number.
    static qint64 holding(QSqlDatabase db, qint32 style, const std::function<void(const StoredBank&)>& take);
    // For every style that a bank names, the names of the banks that hold it, by name and joined by
    // ", " ("FAVOR002, LIVE"); a bank that holds a style twice is named once. One statement over
    // the banks, so the style grid can show the banks of 100,000 styles at once.
    static QHash<qint32, QString> namesByStyle(QSqlDatabase db);
};
