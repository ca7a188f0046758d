#include "banks/WorkingBank.h"

#include "core/Prompt.h"
#include "core/SingleByteText.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/DbKORFStyle.h"
#include "store/WorkingBankState.h"

#include <algorithm>
#include <optional>
#include <QSet>

WorkingBank::WorkingBank(WorkingBankState& shared, Prompt& prompt) : m_shared(shared), m_prompt(prompt) {}

int WorkingBank::count() const {
    return m_shared.WorkingBankStyles.Count();
}

QString WorkingBank::slotCaption(int slot) const {
    if (slot < 0 || slot >= count())
        return QString();
    return m_shared.WorkingBankStyles.Item(slot + 1)->StyleName1();
}

void WorkingBank::refuse(const QString& text) {
    m_prompt.message(text, Prompt::Title, Prompt::Icon::Exclamation);
}

void WorkingBank::markChanged() {
    if (m_shared.BankState == 0)
        m_shared.BankState = 2;
    else if (m_shared.BankState == 1)
        m_shared.BankState = 3;
}

bool WorkingBank::insert(const QList<GridRow>& rows) {
    return insertAt(rows, count());
}

bool WorkingBank::insertAt(const QList<GridRow>& rows, int slot) {
    if (count() >= SlotCount) {
        refuse(QStringLiteral("Bank already holds 32 styles. Selected style(s) cannot be added!"));
        return false;
    }
    KORFStyles& styles = m_shared.WorkingBankStyles;
    std::optional<DbKORFStyle> table;
    if (m_shared.connection().isOpen())
        table.emplace(m_shared.connection());
    int position = std::clamp(slot, 0, count());
    for (const GridRow& row : rows) {
        bool add = true;
        const int present = styles.Count();
        // Asked once per matching entry; the last answer decides.
        for (int position = 1; position <= present; ++position) {
            if (styles.Item(position)->StyleProg() == row.number)
                add = m_prompt.confirm(
                    QStringLiteral("Style ") + row.name +
                    QStringLiteral(" already present inside bank. Would you like to insert it "
                                   "anyway?"));
        }
        if (add && table) {
            table->setStyleProg(row.number);
            if (table->GetKORFStylesNoContent()) {
                const QByteArray blank(1, ' ');
                styles.Add(table->StyleProg(), table->StyleName1(), QStringLiteral(" "), 0, 0, blank, blank);
                carry(styles.Count() - 1, position);
                m_selectedSlot = position++;
            }
        }
        if (styles.Count() >= SlotCount)
            break;
    }
    markChanged();
    return true;
}

bool WorkingBank::remove() {
    if (count() == 0) {
        refuse(QStringLiteral("Bank is empty: there's nothing to remove!"));
        return false;
    }
    if (m_selectedSlot < 0 || m_selectedSlot >= count())
        return true;
    const QString name = slotCaption(m_selectedSlot).trimmed();
    if (!m_prompt.confirm(QStringLiteral("Style ") + name +
                          QStringLiteral(" will be deleted from bank. Are you sure?")))
        return true;
    m_shared.WorkingBankStyles.Remove(m_selectedSlot + 1);
    if (m_shared.BankState == 0 || m_shared.BankState == 1)
        m_shared.BankState = count() > 0 ? 1 : 0;
    if (m_selectedSlot + 1 > count())
        m_selectedSlot = count() - 1;
    return true;
}

bool WorkingBank::moveUp() {
    if (count() == 0) {
        refuse(QStringLiteral("Bank is empty: there's nothing to move up!"));
        return false;
    }
    if (m_selectedSlot > 0 && m_selectedSlot < count()) {
        m_shared.WorkingBankStyles.Swap(m_selectedSlot + 1, m_selectedSlot);
        --m_selectedSlot;
    }
    return true;
}

bool WorkingBank::moveDown() {
    if (count() == 0) {
        refuse(QStringLiteral("Bank is empty: there's nothing to move down!"));
        return false;
    }
    if (m_selectedSlot >= 0 && m_selectedSlot < count() - 1) {
        m_shared.WorkingBankStyles.Swap(m_selectedSlot + 1, m_selectedSlot + 2);
        ++m_selectedSlot;
    }
    return true;
}

bool WorkingBank::moveSlot(int from, int to) {
    if (from < 0 || from >= count())
        return false;
    to = std::clamp(to, 0, count() - 1);
    if (to == from)
        return false;
    carry(from, to);
    m_selectedSlot = to;
    return true;
}

void WorkingBank::carry(int from, int to) {
    KORFStyles& styles = m_shared.WorkingBankStyles;
    for (; from < to; ++from)
        styles.Swap(from + 1, from + 2);
    for (; from > to; --from)
        styles.Swap(from + 1, from);
}

bool WorkingBank::erase() {
    if (count() == 0) {
        refuse(QStringLiteral("Bank is empty: there's nothing to remove."));
        return false;
    }
    if (!m_prompt.confirm(QStringLiteral("Would you really like to clear current bank?")))
        return false;
    clear();
    return true;
}

bool WorkingBank::dropDeleted(const QList<qint32>& styles) {
    const QSet<qint32> deleted(styles.cbegin(), styles.cend());
    KORFStyles& bank = m_shared.WorkingBankStyles;
    // The selection stays on its style, or passes to the one that closes up into its place.
    int selected = m_selectedSlot;
    bool dropped = false;
    for (int position = bank.Count(); position >= 1; --position) {
        if (!deleted.contains(bank.Item(position)->StyleProg()))
            continue;
        bank.Remove(position);
        dropped = true;
        if (position - 1 < m_selectedSlot)
            --selected;
    }
    if (!dropped)
        return false;
    m_selectedSlot = std::min(selected, count() - 1);
    reloadStoredBank();
    if (count() == 0)
        clear();
    return true;
}

bool WorkingBank::repoint(const QHash<qint32, qint32>& replaced) {
    DbKORFStyle styles(m_shared.connection());
    bool changed = false;
    for (const KORFStylePtr& entry : m_shared.WorkingBankStyles) {
        const auto kept = replaced.constFind(entry->StyleProg());
        if (kept == replaced.cend())
            continue;
        entry->setStyleProg(*kept);
        styles.setStyleProg(*kept);
        if (styles.GetKORFStylesNoContent())
            entry->setStyleName1(styles.StyleName1());
        changed = true;
    }
    if (!changed)
        return false;
    reloadStoredBank();
    return true;
}

void WorkingBank::reloadStoredBank() {
    if (m_shared.BankTable && m_shared.BankTable->BankProg() != 0) {
        DbKORFBank stored(m_shared.connection());
        stored.setBankProg(m_shared.BankTable->BankProg());
        if (stored.GetKORFBanks())
            *m_shared.BankTable = stored;
    }
}

void WorkingBank::clear() {
    m_shared.WorkingBankStyles.Clear();
    m_selectedSlot = -1;
    m_shared.BankState = 0;
}

bool WorkingBank::selectSlot(int slot) {
    if (slotCaption(slot).trimmed().isEmpty())
        return false;
    m_selectedSlot = slot;
    return true;
}

void WorkingBank::LoadWorkingBank(WorkingBankState& shared) {
    DbKORFStyle styles(shared.connection());
    shared.WorkingBankStyles.Clear();
    if (!shared.BankTable)
        return;
    for (int slot = 1; slot <= SlotCount; ++slot)
        AddStyleToWorkingBank(shared, styles, shared.BankTable->BankStyle(slot));
}

void WorkingBank::AddStyleToWorkingBank(WorkingBankState& shared, DbKORFStyle& styles, qint32 number) {
    if (number == 0)
        return;
    styles.setStyleProg(number);
    // A slot naming a style that is gone would show a blank, unselectable entry; it is left out.
    if (!styles.GetKORFStylesNoContent())
        return;
    shared.WorkingBankStyles.Add(number, styles.StyleName1(), QString(), 0, 0, QByteArray(), QByteArray());
}

bool WorkingBank::loadStoredBank(WorkingBankState& shared, qint32 bankProg, QString& error) {
    DbKORFBank bank(shared.connection());
    bank.setBankProg(bankProg);
    if (!bank.GetKORFBanks()) {
        error = Database::inWords(bank.clsKORFBanksError());
        return false;
    }
    if (shared.BankTable)
        *shared.BankTable = bank;
    LoadWorkingBank(shared);
    shared.BankState = 1;
    return true;
}

QString WorkingBank::refusal(const QString& name, const QString& desc) {
    const QString problem = SingleByteText::refusal(QStringLiteral("bank name"), name);
    return problem.isEmpty() ? SingleByteText::refusal(QStringLiteral("bank description"), desc) : problem;
}
