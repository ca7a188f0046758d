#pragma once

#include <QHash>
#include <QList>
#include <QString>

class DbKORFStyle;
class Prompt;
class WorkingBankState;

// The working bank: up to 32 styles gathered in the styles window before they are saved as a
// bank, written as an STY file, exported or printed. The styles live in the shared
// WorkingBankStyles and the state in the shared BankState (WorkingBankState); this class adds the
// selected slot and the editing commands with their messages. It shows nothing itself except
// through the Prompt.
class WorkingBank {
public:
    static constexpr int SlotCount = 32;

    // One grid row handed to Insert: the style number (column 0) and the name (column 1).
    struct GridRow {
        qint32 number = 0;
        QString name;
    };

    WorkingBank(WorkingBankState& shared, Prompt& prompt);

    int SelectedSlot() const { return m_selectedSlot; }
    void setSelectedSlot(int slot) { m_selectedSlot = slot; }
    int count() const;
    // The name shown in a slot, "" for an empty slot.
    QString slotCaption(int slot) const;

    // The commands of the Banks menu. Each returns false when it stopped early (a refusal or a
    // declined erase), true when the menu's enabled states are to be brought up to date.
    bool insert(const QList<GridRow>& rows);
    // Insert with the rows going in at the given slot (0-based) and the styles from there on
    // moving down; a slot past the last filled one appends. Same checks, questions and state
    // change as insert.
    bool insertAt(const QList<GridRow>& rows, int slot);
    bool remove();
    bool moveUp();
    bool moveDown();
    bool erase();
    // Moves the style of slot `from` to slot `to` (a slot past the last filled one means the last),
    // the styles between closing up; the moved slot becomes the selected one. Like the move
    // commands it leaves the state alone. False when nothing moved.
    bool moveSlot(int from, int to);

    // After styles were deleted from the database, and in the same run from every stored bank:
    // takes them out of the working bank too, the slots after them closing up, and reads its stored
    // bank (BankTable) afresh. The state stays, as the stored bank lost the same styles; an emptied
    // bank becomes new (0). False when the bank held none of them.
    bool dropDeleted(const QList<qint32>& styles);
    // After copies of styles were merged, and in the same run every stored bank re-pointed: each
    // slot that held a deleted copy (a key of replaced) holds the style kept instead (its value),
    // under that style's name, and its stored bank (BankTable) is read afresh. The slots and the
    // state stay. False when the bank held none of the copies.
    bool repoint(const QHash<qint32, qint32>& replaced);
    // Empties the bank: no styles, no selection, state 0 (new). The stored bank's identity in
    // BankTable is kept.
    void clear();
    // Selects a filled slot; a click on an empty slot keeps the selection (false).
    bool selectSlot(int slot);

    // Refills WorkingBankStyles from the 32 slot fields of BankTable, skipping empty slots (so
    // slots 1, 2 and 5 load as three entries) and slots whose style is no longer stored.
    static void LoadWorkingBank(WorkingBankState& shared);
    static void AddStyleToWorkingBank(WorkingBankState& shared, DbKORFStyle& styles, qint32 number);
    // Makes the stored bank with that number the working bank: BankTable := the bank,
    // WorkingBankStyles := its styles, BankState := 1. The bank is read through a record of its
    // own, so when it cannot be read (false, with the database's message in error, or "" when the
    // bank is gone) BankTable still names the working bank's stored bank.
    static bool loadStoredBank(WorkingBankState& shared, qint32 bankProg, QString& error);
    // Why a bank name and description cannot be stored: a character that SSF and PDD files cannot
    // carry or a line break, naming the field; "" when both may be stored.
    static QString refusal(const QString& name, const QString& desc);

private:
    // A stored bank whose slots changed is "stored with changes", a new one "new with changes".
    void markChanged();
    void refuse(const QString& text);
    // BankTable := its stored bank as the database holds it now (after a change of every bank).
    void reloadStoredBank();
    // Carries the entry at 0-based index `from` to index `to`, one exchange at a time.
    void carry(int from, int to);

    WorkingBankState& m_shared;
    Prompt& m_prompt;
    int m_selectedSlot = -1;
};
