#include "gui/banks/frmStyles.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SbkVersion.h"
#include "gui/banks/StyleGridHeader.h"
#include "gui/banks/StyleGridModel.h"
#include "gui/banks/WorkingBankModel.h"
#include "gui/main/WindowOpener.h"
#include "gui/metadata/frmStyleEdit.h"
#include "gui/music/ContentsPane.h"
#include "session/SBKModule.h"
#include "store/Database.h"

#include <algorithm>
#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QChar Confirmed(28);

} // namespace

QString frmStyles::sortKey(int button) {
    // The columns of the listing, and the count of banks (StyleListing::BanksKey).
    static const char* const keys[StyleGridModel::ColumnCount] = {
        "STYLEPROG", "STYLENAME1",  "STYLEDESC", "STYLEFAMILY", "STYLECAT", "TEMPO",
        "METER",     "STYLEAUTHOR", "STYLEDATE", "STYLEFILE",   "BANKS"};
    return button >= 0 && button < StyleGridModel::ColumnCount ? QString::fromLatin1(keys[button])
                                                               : QString();
}

frmStyles::frmStyles(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt), m_bank(module, prompt),
      m_model(new StyleGridModel(this)), m_frStyle(new QGroupBox(this)), m_grid(new QTableView(this)),
      m_txtFind(new QLineEdit(this)), m_lbFound(new QLabel(this)), m_frBank(new QGroupBox(this)),
      m_bankModel(new WorkingBankModel(m_bank, this)), m_lbBankDesc(new QLabel(this)) {
    setObjectName(QStringLiteral("frmStyles"));
    setWindowTitle(SbkVersion::title() + QStringLiteral(" - Styles Management"));
    setModal(true);
    // The workplace grows with the library: it can be resized and maximized.
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    // Menus: File, Styles and Banks with every command; a missing index is a separator.
    auto* menuBar = new QMenuBar(this);
    struct Item {
        int index;
        const char* caption;
        QKeySequence shortcut;
    };
    const Item fileItems[] = {
        {0, "Import from Folder", QKeySequence(Qt::CTRL | Qt::Key_I)},
        {1, "Import from STY file", QKeySequence(Qt::CTRL | Qt::Key_J)},
        {3, "Print", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {5, "Exit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
    };
    const Item styleItems[] = {
        {0, "Update (group)", QKeySequence(Qt::CTRL | Qt::Key_U)},
        {1, "Delete (group)", QKeySequence(Qt::CTRL | Qt::Key_D)},
        {3, "Export to SSF", QKeySequence(Qt::CTRL | Qt::Key_T)},
        {4, "Import from SSF", QKeySequence(Qt::CTRL | Qt::Key_F)},
        {6, "Set Filter", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {7, "Reset Filter", QKeySequence(Qt::CTRL | Qt::Key_R)},
        {8, "Where is?", QKeySequence(Qt::CTRL | Qt::Key_W)},
        {10, "Send to Korg utility", QKeySequence(Qt::CTRL | Qt::Key_K)},
        {12, "Find duplicates...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)},
        {14, "Similar styles", QKeySequence(Qt::CTRL | Qt::Key_L)},
    };
    const Item bankItems[] = {
        {0, "Insert selected style(s) inside bank", QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
        {1, "Remove selected style from bank", QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
        {2, "Move selected style up", QKeySequence(Qt::SHIFT | Qt::Key_F2)},
        {3, "Move selected style down", QKeySequence(Qt::Key_F2)},
        {5, "Erase bank", QKeySequence(Qt::Key_F7)},
        {7, "Save bank", QKeySequence(Qt::Key_F8)},
        {8, "Save bank as ...", QKeySequence(Qt::Key_F9)},
        {9, "Load bank", QKeySequence(Qt::Key_F4)},
        {11, "Export bank to SSF", QKeySequence(Qt::CTRL | Qt::Key_X)},
        {13, "Make .STY file", QKeySequence(Qt::Key_F5)},
        {15, "Print bank", QKeySequence(Qt::Key_F3)},
    };
    const auto addMenu = [&](const QString& name, const QString& title, const QString& objectName,
                             const auto& items, void (frmStyles::*click)(int)) {
        QMenu* menu = menuBar->addMenu(title);
        menu->setObjectName(objectName);
        int previous = -1;
        for (const Item& item : items) {
            if (previous >= 0 && item.index > previous + 1)
                menu->addSeparator();
            previous = item.index;
            auto* action = new QAction(QString::fromLatin1(item.caption), this);
            action->setObjectName(QStringLiteral("%1_%2").arg(name).arg(item.index));
            action->setShortcut(item.shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            connect(action, &QAction::triggered, this, [this, click, i = item.index] { (this->*click)(i); });
            menu->addAction(action);
            m_commands.insert(action->objectName(), action);
        }
    };
    addMenu(QStringLiteral("mFile"), QStringLiteral("&File"), QStringLiteral("mTopFile"), fileItems,
            &frmStyles::mFile_Click);
    addMenu(QStringLiteral("mStyles"), QStringLiteral("&Styles"), QStringLiteral("mTopStyles"), styleItems,
            &frmStyles::mStyles_Click);
    addMenu(QStringLiteral("mbank"), QStringLiteral("&Banks"), QStringLiteral("mTopBank"), bankItems,
            &frmStyles::mbank_Click);
    // Space plays from the grid alone, where a letter typed just before keeps it for the grid's
    // search: the menu only names it.
    const Item viewItems[] = {
        {0, "Contents", QKeySequence(Qt::Key_F6)},
        {1, "Play / Stop\tSpace", QKeySequence()},
    };
    addMenu(QStringLiteral("mView"), QStringLiteral("&View"), QStringLiteral("mTopView"), viewItems,
            &frmStyles::mView_Click);
    command(QStringLiteral("mView"), 0)->setCheckable(true);
    command(QStringLiteral("mFile"), 3)->setEnabled(false); // "Print" stays disabled

    // Left half: the find field over the grid, whose header sorts.
    m_frStyle->setObjectName(QStringLiteral("frStyle"));
    m_frStyle->setTitle(QStringLiteral(" ")); // the count comes at load; its line is measured before
    m_txtFind->setObjectName(QStringLiteral("txtFind"));
    m_txtFind->setPlaceholderText(QStringLiteral("Find by name or description"));
    m_txtFind->setToolTip(QStringLiteral("Shows only the styles whose name or description holds this text "
                                         "(Esc empties it)"));
    m_txtFind->setClearButtonEnabled(true);
    connect(m_txtFind, &QLineEdit::textChanged, this, &frmStyles::findAsYouType);
    m_txtFind->installEventFilter(this);
    m_lbFound->setObjectName(QStringLiteral("lbFound"));

    auto* header = new StyleGridHeader(m_grid);
    header->setObjectName(QStringLiteral("cbTitle"));
    m_grid->setHorizontalHeader(header);
    m_grid->setObjectName(QStringLiteral("grdStyles"));
    m_grid->setToolTip(QStringLiteral("Double click for style editing"));
    m_grid->setModel(m_model);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    connect(header, &QHeaderView::sectionClicked, this, &frmStyles::cbTitle_Click);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setWordWrap(false);
    m_grid->setDragDropMode(QAbstractItemView::DragOnly);
    m_grid->setDefaultDropAction(Qt::CopyAction);
    m_grid->viewport()->installEventFilter(this);
    connect(m_grid, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            grdStyles_DblClick(index.row());
    });
    buildSimilarPane();
    buildContentsPane();
    auto* findRow = new QHBoxLayout;
    findRow->addWidget(m_txtFind, 1);
    findRow->addWidget(m_lbFound);
    auto* left = new QVBoxLayout(m_frStyle);
    left->addLayout(findRow);
    left->addWidget(m_split);

    // Right half: the working bank, which takes grid rows and slots dropped on it.
    m_frBank->setObjectName(QStringLiteral("frBank"));
    m_frBank->setTitle(QStringLiteral(" "));
    m_frBank->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    m_frBank->setAcceptDrops(true);
    m_frBank->installEventFilter(this);
    connect(m_bankModel, &WorkingBankModel::bankEdited, this, [this](bool goOn) {
        ShowWorkingBank();
        if (goOn)
            UpdateBankMenu();
    });
    m_lbBankDesc->setObjectName(QStringLiteral("lbBankDesc"));
    m_lbBankDesc->setWordWrap(true);
    m_lbBankDesc->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lbBankDesc->setAutoFillBackground(true);
    QPalette grey = m_lbBankDesc->palette();
    grey.setColor(QPalette::Window, slotEmpty());
    m_lbBankDesc->setPalette(grey);

    auto* bankButtons = new QVBoxLayout;
    bankButtons->setSpacing(1);
    const QStringList bankCaptions{QStringLiteral(">"), QStringLiteral("<")};
    const QStringList bankTips{QStringLiteral("Add selected style(s) to bank"),
                               QStringLiteral("Remove selected style from bank")};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QPushButton(bankCaptions.at(i), m_frBank);
        button->setObjectName(QStringLiteral("cmdBank_%1").arg(i));
        button->setToolTip(bankTips.at(i));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, i] { mbank_Click(i); });
        bankButtons->addWidget(button);
        m_cmdBank.at(size_t(i)) = button;
    }
    bankButtons->addStretch();

    auto* slotGrid = new QGridLayout;
    slotGrid->setVerticalSpacing(1);
    for (int s = 0; s < WorkingBank::SlotCount; ++s) {
        auto* label = new QLabel(m_frBank);
        label->setObjectName(QStringLiteral("lbNewStyle_%1").arg(s));
        label->setAutoFillBackground(true);
        label->setFrameShape(QFrame::Box);
        label->installEventFilter(this);
        slotGrid->addWidget(label, s % 16, s / 16);
        m_lbNewStyle.at(size_t(s)) = label;
    }
    auto* bankRow = new QHBoxLayout;
    bankRow->addLayout(bankButtons);
    bankRow->addLayout(slotGrid);
    auto* right = new QVBoxLayout(m_frBank);
    right->addWidget(m_lbBankDesc);
    right->addLayout(bankRow);
    right->addStretch();

    auto* halves = new QHBoxLayout;
    halves->addWidget(m_frStyle, 1);
    halves->addWidget(m_frBank, 0);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(halves);
    sizeFromFont();
    restoreWindowLayout();
    buildColumnsMenu();
    buildGridMenu();

    // Load: the listing with the clause in use, an empty working bank.
    updateStylesMenu();
    m_bank.setSelectedSlot(-1);
    queryListing();
    ClearWorkingBank();
    RefreshStyleGrid();
    ShowWorkingBank();
}

frmStyles::~frmStyles() = default;

void frmStyles::done(int result) {
    m_contents->stopPlaying();
    saveWindowLayout();
    QDialog::done(result);
}

QAction* frmStyles::command(const QString& menu, int index) const {
    return m_commands.value(QStringLiteral("%1_%2").arg(menu).arg(index));
}

void frmStyles::queryListing() {
    m_contents->showStyle(0); // the current style is read again: its number may name another now
    // A large library takes a moment to list: the wait pointer shows meanwhile.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_module.refreshListing();
    } catch (const SbkError& e) {
        QApplication::restoreOverrideCursor();
        m_module.StyleRecordset = StyleListing();
        m_prompt.message(e.message(), Prompt::Title, Prompt::Icon::Critical);
        return;
    }
    QApplication::restoreOverrideCursor();
}

void frmStyles::RefreshStyleGrid() {
    const StyleListing& listing = m_module.StyleRecordset;
    if (listing.isEmpty()) {
        m_frStyle->setTitle(QStringLiteral("No style available"));
    } else {
        m_frStyle->setTitle(QLatin1Char(' ') + QString::number(listing.RecordCount()) +
                            (m_module.FilterWhere.isEmpty()
                                 ? QStringLiteral(" styles available ")
                                 : QStringLiteral(" styles available - Database filtering is active ")));
    }
    refreshBanksColumn();
    m_model->setListing(listing);
    showNewRows();
}

void frmStyles::findAsYouType(const QString& text) {
    // The find narrows the listing of the filter in use; the count caption stays that listing's.
    m_model->setSearch(text);
    showNewRows();
}

void frmStyles::showNewRows() {
    if (m_model->rowCount() > 0)
        m_grid->setCurrentIndex(m_model->index(0, 1));
    m_lbFound->setText(m_model->search().isEmpty() ? QString()
                                                   : QStringLiteral("%1 found").arg(m_model->rowCount()));
    m_lbFound->setVisible(!m_lbFound->text().isEmpty()); // no room taken from the find field's hint
    updateStylesMenu();
    UpdateBankMenu();
}

void frmStyles::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        (m_contents->playing() || !m_txtFind->text().isEmpty())) {
        if (m_contents->playing())
            m_contents->stopPlaying();
        else
            m_txtFind->clear();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmStyles::followCurrentStyle() {
    // Rows without a current one are a passing state of a refill, which makes one current next.
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid())
        m_contents->showStyle(m_model->styleNumber(current.row()));
    else if (m_model->rowCount() == 0)
        m_contents->showStyle(0);
}

void frmStyles::mView_Click(int index) {
    if (index == 0)
        showContents(command(QStringLiteral("mView"), 0)->isChecked());
    else
        m_contents->togglePlay();
}

void frmStyles::updateStylesMenu() {
    const bool rows = m_model->rowCount() > 0;
    for (int index : {0, 1, 3, 8, 14})
        command(QStringLiteral("mStyles"), index)->setEnabled(rows);
    command(QStringLiteral("mStyles"), 10)->setEnabled(rows && !m_module.KorgProgramPath.trimmed().isEmpty());
}

void frmStyles::setHeaderColour(int button, const QColor& colour) {
    m_model->setHeaderColour(button, colour);
    // The arrow tells the order too, for those who do not see the colours apart.
    QHeaderView* header = m_grid->horizontalHeader();
    if (colour == lightRed())
        header->setSortIndicator(button, Qt::AscendingOrder);
    else if (colour == lightGreen())
        header->setSortIndicator(button, Qt::DescendingOrder);
    else if (header->sortIndicatorSection() == button)
        header->setSortIndicator(-1, Qt::AscendingOrder);
}

void frmStyles::cbTitle_Click(int index) {
    if (index < 0 || index >= StyleGridModel::ColumnCount)
        return;
    const QColor background = palette().color(QPalette::Window);
    for (int b = 0; b < StyleGridModel::ColumnCount; ++b)
        setHeaderColour(b, background);
    const QString key = sortKey(index);
    const QString descending = key + QStringLiteral(" DESC");
    QColor colour;
    if (m_module.FilterOrder == key) {
        m_module.FilterOrder = descending;
        colour = lightGreen();
    } else if (m_module.FilterOrder == descending) {
        m_module.FilterOrder.clear();
        colour = QApplication::palette().color(QPalette::Button);
    } else {
        m_module.FilterOrder = key;
        colour = lightRed();
    }
    m_module.FilterFields[6] = m_module.FilterOrder;
    queryListing();
    RefreshStyleGrid();
    setHeaderColour(index, colour);
}

void frmStyles::recordSelection() {
    if (m_model->rowCount() == 0) {
        m_module.GridAnchorRow = m_module.GridEndRow = -1;
        return;
    }
    // The selected rows top to bottom, whichever way the selection was made.
    const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        const int current = m_grid->currentIndex().isValid() ? m_grid->currentIndex().row() : -1;
        m_module.GridAnchorRow = m_module.GridEndRow = current;
        return;
    }
    int first = rows.constFirst().row();
    int last = first;
    for (const QModelIndex& index : rows) {
        first = std::min(first, index.row());
        last = std::max(last, index.row());
    }
    m_module.GridAnchorRow = first;
    m_module.GridEndRow = last;
}

void frmStyles::grdStyles_DblClick(int row) {
    recordSelection();
    if (row < 0 || row >= m_model->rowCount() || !m_module.StyleTable)
        return;
    DbKORFStyle& table = *m_module.StyleTable;
    table.setStyleProg(m_model->styleNumber(row));
    if (!table.GetKORFStylesNoContent())
        return; // deleted since the grid was filled
    frmStyleEdit edit(m_module, m_prompt, this);
    WindowOpener::exec(edit);
    if (m_module.ExchangeValue1 != QString(Confirmed))
        return;
    if (!table.UpdKORFStyles()) {
        m_prompt.message(Database::inWords(table.clsKORFStylesError()), Prompt::Title,
                         Prompt::Icon::Critical);
        return;
    }
    m_model->updateRow(row, table);
}

void frmStyles::setSlot(int slot, const QString& caption, const QColor& colour) {
    QLabel* label = m_lbNewStyle.at(size_t(slot));
    label->setText(caption);
    const QString name = caption.trimmed();
    label->setToolTip(
        label->fontMetrics().horizontalAdvance(name) > label->contentsRect().width() ? name : QString());
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    label->setPalette(palette);
}

void frmStyles::ShowWorkingBank() {
    m_bankModel->refresh();
    const int count = m_bank.count();
    for (int s = 0; s < WorkingBank::SlotCount; ++s) {
        if (s >= count) {
            setSlot(s, QString(), slotEmpty());
            continue;
        }
        const QString caption = m_bank.slotCaption(s);
        setSlot(s, caption,
                s == m_bank.SelectedSlot() ? slotSelected()
                                           : (caption.isEmpty() ? slotEmpty() : slotFilled()));
    }
}

void frmStyles::ClearWorkingBank() {
    m_bank.clear();
    for (int s = 0; s < WorkingBank::SlotCount; ++s)
        setSlot(s, QString(), slotEmpty());
    m_frBank->setTitle(QStringLiteral("<empty bank>"));
    m_lbBankDesc->setText(QString());
    m_lbBankDesc->setToolTip(QString());
    UpdateBankMenu();
}

void frmStyles::showStoredBank() {
    if (!m_module.BankTable)
        return;
    m_frBank->setTitle(QLatin1Char(' ') + m_module.BankTable->BankName());
    m_lbBankDesc->setText(m_module.BankTable->BankDesc());
    m_lbBankDesc->setToolTip(m_module.BankTable->BankDesc());
    WorkingBank::LoadWorkingBank(m_module);
    m_module.BankState = 1;
    m_bank.setSelectedSlot(m_bank.count() > 0 ? 0 : -1);
    ShowWorkingBank();
    UpdateBankMenu();
}

void frmStyles::UpdateBankMenu() {
    const int count = m_bank.count();
    const bool filled = count >= 1;
    const bool selected = m_bank.SelectedSlot() >= 0;
    const auto set = [this](int index, bool enabled) {
        command(QStringLiteral("mbank"), index)->setEnabled(enabled);
    };
    set(0, count < WorkingBank::SlotCount && m_model->rowCount() > 0);
    set(1, filled);
    set(2, selected);
    set(3, selected);
    set(5, filled);
    set(7, filled);
    set(8, filled);
    set(9, true);
    set(11, filled);
    set(13, filled);
    set(15, filled);
}

void frmStyles::lbNewStyle_Click(int slot) {
    if (m_bank.selectSlot(slot))
        ShowWorkingBank();
}

void frmStyles::reject() {
    if ((m_module.BankState == 2 || m_module.BankState == 3) &&
        !m_prompt.confirm(QStringLiteral(
            "Current bank has been modified. Do you really want to close SBK and discard all changes?")))
        return;
    QDialog::reject();
}
