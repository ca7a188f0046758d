#include "gui/banks/frmBankSave.h"

#include "banks/StoredBanks.h"
#include "banks/WorkingBank.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "gui/banks/BankTreeModel.h"
#include "gui/main/FieldLimitValidator.h"
#include "session/SBKModule.h"
#include "store/Database.h"
#include "store/DbKORFBank.h"
#include "store/Transaction.h"

#include <optional>
#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

frmBankSave::frmBankSave(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt), m_mode(module.BankState == 2   ? Mode::Save
                                                                  : module.BankState == 3 ? Mode::Update
                                                                                          : Mode::Load),
      m_model(new BankTreeModel(BankTreeModel::Look::BankDialog, this)), m_tvBanks(new QTreeView(this)),
      m_cmdCollapse(new QPushButton(QStringLiteral("Collapse"), this)),
      m_cmdDelete(new QPushButton(QStringLiteral("Delete bank from database"), this)),
      m_cmdOk(new QPushButton(this)), m_cmdCancel(new QPushButton(QStringLiteral("Exit"), this)) {
    setObjectName(QStringLiteral("frmBankSave"));
    setModal(true);

    // Name and description.
    auto* fields = new QGridLayout;
    const QStringList captions{QStringLiteral("Name "), QStringLiteral("Description ")};
    const int limits[2] = {11, 250};
    for (int i = 0; i < 2; ++i) {
        auto* label = new QLabel(captions.at(i), this);
        label->setObjectName(QStringLiteral("lbDesc_%1").arg(i));
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("txtField_%1").arg(i));
        FieldLimitValidator::apply(field, limits[i]); // typing only: a stored name is never cut
        fields->addWidget(label, i, 0);
        fields->addWidget(field, i, 1);
        m_txtField.at(size_t(i)) = field;
    }
    fields->setColumnMinimumWidth(1, fontMetrics().averageCharWidth() * 50);

    // The order options and the tree (load mode only).
    auto* sortRow = new QHBoxLayout;
    auto* orderLabel = new QLabel(QStringLiteral("Order by: "), this);
    orderLabel->setObjectName(QStringLiteral("lbDesc_2"));
    sortRow->addWidget(orderLabel);
    const QStringList orders{QStringLiteral("Name, asc"), QStringLiteral("Name, desc"),
                             QStringLiteral("Code, asc"), QStringLiteral("Code, desc")};
    for (int i = 0; i < 4; ++i) {
        auto* option = new QRadioButton(orders.at(i), this);
        option->setObjectName(QStringLiteral("opSort_%1").arg(i));
        connect(option, &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                opSort_Click(i);
        });
        sortRow->addWidget(option);
        m_opSort.at(size_t(i)) = option;
    }
    sortRow->addStretch();
    m_cmdCollapse->setObjectName(QStringLiteral("cmdCollapse"));
    m_cmdCollapse->setToolTip(QStringLiteral("Collapse all levels"));
    sortRow->addWidget(m_cmdCollapse);

    m_tvBanks->setObjectName(QStringLiteral("tvBanks"));
    m_tvBanks->setHeaderHidden(true);
    m_tvBanks->setUniformRowHeights(true);
    m_tvBanks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tvBanks->setModel(m_model);
    connect(m_tvBanks->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { tvBanks_Click(current); });

    for (QPushButton* button : {m_cmdCollapse, m_cmdDelete, m_cmdOk, m_cmdCancel})
        button->setAutoDefault(false);
    m_cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(m_cmdCollapse, &QPushButton::clicked, this, &frmBankSave::cmdCollapse_Click);
    connect(m_cmdDelete, &QPushButton::clicked, this, &frmBankSave::cmdDelete_Click);
    connect(m_cmdOk, &QPushButton::clicked, this, &frmBankSave::cmdOk_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    m_opSort[0]->setChecked(true);
    m_cmdDelete->hide();
    switch (m_mode) {
    case Mode::Load: {
        setWindowTitle(QStringLiteral("Load style bank"));
        m_cmdOk->setText(QStringLiteral("Load selected style bank"));
        for (QLineEdit* field : m_txtField)
            field->setEnabled(false);
        auto* buttons = new QHBoxLayout;
        buttons->addWidget(m_cmdDelete);
        buttons->addStretch();
        buttons->addWidget(m_cmdOk);
        buttons->addWidget(m_cmdCancel);
        layout->addLayout(sortRow);
        layout->addWidget(m_tvBanks, 1);
        layout->addLayout(buttons);
        resize(fontMetrics().averageCharWidth() * 95, fontMetrics().height() * 32);
        break;
    }
    case Mode::Save:
    case Mode::Update: {
        // The compact form: the buttons beside the two fields.
        const bool update = m_mode == Mode::Update;
        setWindowTitle(update ? QStringLiteral("Update style bank") : QStringLiteral("Save style bank"));
        m_cmdOk->setText(update ? QStringLiteral("Update style bank") : QStringLiteral("Save style bank"));
        fields->addWidget(m_cmdOk, 0, 2);
        fields->addWidget(m_cmdCancel, 1, 2);
        for (QWidget* hidden : std::initializer_list<QWidget*>{m_tvBanks, m_cmdCollapse, orderLabel})
            hidden->hide();
        for (QRadioButton* option : m_opSort)
            option->hide();
        delete sortRow;
        if (update && m_module.BankTable) {
            m_txtField[0]->setText(m_module.BankTable->BankName());
            m_txtField[0]->setEnabled(false);
            m_txtField[1]->setText(m_module.BankTable->BankDesc());
            m_selectedBankNumber = m_module.BankTable->BankProg();
        }
        break;
    }
    }
}

bool frmBankSave::Form_Activate() {
    return m_mode != Mode::Load || FillBankTree();
}

bool frmBankSave::FillBankTree() {
    QList<StoredBank> banks;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        banks = StoredBanks::all(m_module.connection(), m_sortIndex);
    } catch (const SbkError& error) {
        QApplication::restoreOverrideCursor();
        failed(error.message());
        return false;
    }
    if (banks.isEmpty()) {
        QApplication::restoreOverrideCursor();
        return false;
    }
    m_model->setBanks(std::move(banks));
    // The first level opens; the banks stay collapsed. A bank picked before a new order stays
    // picked.
    const QModelIndex root = m_model->rootIndex();
    m_tvBanks->expand(root);
    m_tvBanks->scrollTo(m_model->bankIndex(0));
    const int picked = m_model->rowOfBank(m_selectedBankNumber);
    if (picked >= 0)
        m_tvBanks->setCurrentIndex(m_model->bankIndex(picked));
    else
        showPicked(0, QString(), QString());
    QApplication::restoreOverrideCursor();
    return true;
}

void frmBankSave::opSort_Click(int index) {
    if (index == m_sortIndex)
        return;
    m_sortIndex = index;
    FillBankTree();
}

void frmBankSave::cmdCollapse_Click() {
    for (int row = 0; row < m_model->bankCount(); ++row)
        m_tvBanks->collapse(m_model->bankIndex(row));
}

void frmBankSave::showPicked(qint32 bankProg, const QString& name, const QString& desc) {
    m_selectedBankNumber = bankProg;
    m_txtField[0]->setText(name);
    m_txtField[1]->setText(desc);
    m_cmdDelete->setVisible(bankProg != 0);
}

void frmBankSave::tvBanks_Click(const QModelIndex& index) {
    if (m_mode != Mode::Load)
        return;
    // The bank's texts come from the node's bank as stored, brackets and all.
    if (const StoredBank* bank = m_model->bankAt(index))
        showPicked(bank->BankProg, bank->BankName, bank->BankDesc);
    else
        showPicked(0, QString(), QString());
}

void frmBankSave::cmdDelete_Click() {
    const qint32 number = m_selectedBankNumber;
    if (number == 0 || !m_prompt.confirm(QStringLiteral("Deleting bank ") + m_txtField[0]->text().trimmed() +
                                         QStringLiteral(" from database?")))
        return;
    // A gateway of its own: BankTable names the working bank's stored bank and keeps doing so.
    DbKORFBank bank(m_module.connection());
    bank.setBankProg(number);
    if (!bank.DelKORFBanks()) {
        failed(Database::inWords(bank.clsKORFBanksError()));
        return;
    }
    // The working bank whose stored bank is gone can only be stored anew.
    const bool ownBank = m_module.BankTable && m_module.BankTable->BankProg() == number;
    if (ownBank && m_module.WorkingBankStyles.Count() > 0 &&
        (m_module.BankState == 1 || m_module.BankState == 3))
        m_module.BankState = 2;
    showPicked(0, QString(), QString());
    if (!FillBankTree())
        m_model->clear(); // the last bank is gone
}

void frmBankSave::cmdOk_Click() {
    if (m_mode == Mode::Load) {
        if (m_selectedBankNumber == 0) {
            failed(QStringLiteral("Please insert bank name!"));
            return;
        }
        if (loadPicked())
            accept();
        return;
    }
    const QString name = m_txtField[0]->text().trimmed();
    if (name.isEmpty()) {
        failed(QStringLiteral("Please insert bank name!"));
        return;
    }
    bool update = m_mode == Mode::Update;
    if (!update) {
        DbKORFBank existing(m_module.connection());
        existing.setBankName(name);
        if (existing.GetKORFBanksByName()) {
            if (!m_prompt.confirm(QStringLiteral("Bank ") + name +
                                  QStringLiteral(" already present. Would you like to overwrite it?")))
                return;
            update = true;
            m_selectedBankNumber = existing.BankProg();
        } else if (!existing.clsKORFBanksError().isEmpty()) {
            failed(Database::inWords(existing.clsKORFBanksError()));
            return;
        }
    }
    if (storeWorkingBank(update))
        accept();
}

bool frmBankSave::loadPicked() {
    QString error;
    if (WorkingBank::loadStoredBank(m_module, m_selectedBankNumber, error))
        return true;
    failed(error.isEmpty()
               ? QStringLiteral("Bank %1 is no longer in the database.").arg(m_txtField[0]->text().trimmed())
               : error);
    FillBankTree();
    return false;
}

bool frmBankSave::storeWorkingBank(bool update) {
    // Trimmed once, as it was looked up: a name stored with blanks around it could not be told
    // from the same name without them.
    const QString name = m_txtField[0]->text().trimmed();
    const QString desc = m_txtField[1]->text();
    // A text left as the stored bank holds it passes: it may have come from a file under an older
    // rule.
    const DbKORFBank* held = m_module.BankTable.get();
    const bool same = update && held && held->BankProg() == m_selectedBankNumber;
    if (const QString problem = WorkingBank::refusal(same && name == held->BankName() ? QString() : name,
                                                     same && desc == held->BankDesc() ? QString() : desc);
        !problem.isEmpty()) {
        failed(problem);
        return false;
    }
    // The bank is written through a record of its own and becomes BankTable only once stored, so
    // a failure leaves the working bank's identity as it was.
    DbKORFBank bank(m_module.connection());
    // A new number is taken with the database held for writing, so that another program storing
    // a bank meanwhile cannot take it too.
    std::optional<Transaction> transaction;
    try {
        transaction.emplace(m_module.connection());
        bank.setBankProg(update ? m_selectedBankNumber : bank.NextKORFBank());
    } catch (const SbkError& error) {
        transaction.reset();
        failed(error.message());
        return false;
    }
    bank.setBankName(name);
    bank.setBankDesc(desc);
    const KORFStyles& styles = m_module.WorkingBankStyles;
    for (int k = 1; k <= DbKORFBank::SlotCount; ++k)
        bank.setBankStyle(k, k <= styles.Count() ? styles.Item(k)->StyleProg() : 0);
    const bool stored = update ? bank.UpdKORFBanks() : bank.InsKORFBanks();
    if (!stored) {
        transaction.reset(); // no other program waits while the message is read
        failed(bank.clsKORFBanksError().isEmpty()
                   ? QStringLiteral("Bank %1 is no longer in the database. Use \"Save bank as ...\" to "
                                    "store it again.")
                         .arg(name)
                   : Database::inWords(bank.clsKORFBanksError()));
        return false;
    }
    try {
        transaction->commit();
    } catch (const SbkError& error) {
        transaction.reset();
        failed(error.message());
        return false;
    }
    if (m_module.BankTable)
        *m_module.BankTable = bank;
    m_module.BankState = 1;
    return true;
}

void frmBankSave::failed(const QString& text) {
    m_prompt.message(text, Prompt::Title, Prompt::Icon::Critical);
}
