#include "gui/banks/frmShowBanks.h"

#include "banks/StoredBanks.h"
#include "banks/WorkingBank.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "gui/banks/BankTreeModel.h"
#include "session/SBKModule.h"

#include <QApplication>
#include <QEvent>
#include <QTreeView>
#include <QVBoxLayout>

frmShowBanks::frmShowBanks(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt),
      m_model(new BankTreeModel(BankTreeModel::Look::WhereIs, this)), m_tvBanks(new QTreeView(this)) {
    setObjectName(QStringLiteral("frmShowBanks"));
    setModal(true);
    m_tvBanks->setObjectName(QStringLiteral("tvBanks"));
    m_tvBanks->setToolTip(QStringLiteral("Press any key to exit - Double click a bank for loading it"));
    m_tvBanks->setHeaderHidden(true);
    m_tvBanks->setUniformRowHeights(true);
    m_tvBanks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tvBanks->setExpandsOnDoubleClick(false); // a double click loads a bank
    m_tvBanks->setModel(m_model);
    connect(m_tvBanks, &QTreeView::doubleClicked, this, &frmShowBanks::tvBanks_DblClick);
    // Every key reaches the window before the tree can use it.
    m_tvBanks->installEventFilter(this);
    installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tvBanks);
    resize(fontMetrics().averageCharWidth() * 80, fontMetrics().height() * 30);
}

bool frmShowBanks::Form_Activate() {
    bool isNumber = false;
    const qint32 style = m_module.WhereIsStyleNumber.trimmed().toInt(&isNumber);
    QList<StoredBank> banks;
    if (isNumber) {
        try {
            banks = StoredBanks::holding(m_module.connection(), style);
        } catch (const SbkError& error) {
            m_prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
            return false;
        }
    }
    if (banks.isEmpty()) {
        m_prompt.message(QStringLiteral("Selected style cannot be found in any bank!"), Prompt::Title,
                         Prompt::Icon::Information);
        return false;
    }
    m_model->setBanks(std::move(banks), style);
    const QModelIndex root = m_model->rootIndex();
    m_tvBanks->expand(root);
    m_tvBanks->scrollTo(m_model->bankIndex(0));
    m_tvBanks->setCurrentIndex(root);
    return true;
}

void frmShowBanks::tvBanks_DblClick(const QModelIndex& index) {
    const StoredBank* picked = m_model->bankAt(index);
    if (!picked)
        return; // the root or a style
    const qint32 number = picked->BankProg;
    if (!m_prompt.confirm(QStringLiteral("Confirm bank ") + picked->BankName.trimmed() +
                          QStringLiteral(" loading?")))
        return;
    if (m_module.WorkingBankStyles.Count() > 0 &&
        !m_prompt.confirm(
            QStringLiteral("Current bank (and all changes made) will be discarded. Are you sure?")))
        return;
    QString error;
    if (!WorkingBank::loadStoredBank(m_module, number, error)) {
        m_prompt.message(error.isEmpty() ? QStringLiteral("The bank is no longer in the database.") : error,
                         Prompt::Title, Prompt::Icon::Critical);
        reject();
        return;
    }
    accept();
}

bool frmShowBanks::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == this || watched == m_tvBanks)) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
