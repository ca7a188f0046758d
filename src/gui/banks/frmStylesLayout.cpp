// The styles window's shape: sizes taken from the font and fitted to the screen, the grid's columns
// chosen from the header's menu, the contents pane below the grid and the similar styles beside it,
// the grid's context menu, and the shape, the columns and the contents pane kept in the settings.

#include "gui/banks/frmStyles.h"

#include "banks/StoredBanks.h"
#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "gui/banks/SimilarStylesPane.h"
#include "gui/banks/StyleGridHeader.h"
#include "gui/banks/StyleGridModel.h"
#include "gui/main/ScreenFit.h"
#include "gui/music/ContentsPane.h"
#include "session/SBKModule.h"

#include <algorithm>
#include <QAction>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>

namespace {

// The grid's columns in average characters of the font: number, name, description, family, group,
// tempo, meter, author, date, file, banks; and the widest text of the columns of digits.
constexpr int ColumnChars[StyleGridModel::ColumnCount] = {7, 16, 32, 14, 14, 6, 6, 16, 11, 16, 20};
const char* const ColumnSamples[StyleGridModel::ColumnCount] = {
    "0000000", "", "", "", "", "000", "00/00", "", "0000/00/00", "FAVORITE01.STY", ""};
// Tempo and meter show beside the name, where a player looks for them.
constexpr int TempoPlace = 2;
// A new window shows the name, description, family, group, tempo and meter; the number and the
// columns from the author on are there to be chosen from the header's menu.
constexpr int FirstChosenColumn = 7;
// A slot shows a name of up to 16 capitals and the description above the slots five lines; a screen
// without the room for them gets shorter slots, two lines and, if need be, narrower slots.
constexpr int SlotChars = 16;
constexpr int NarrowSlotChars = 11;
constexpr int DescriptionLines = 5;
constexpr int ShortDescriptionLines = 2;
// The rows a new window's grid shows above the contents pane, as far as the screen has room.
constexpr int GridRows = 12;
// The window's smallest default size, in pixels at a standard font; a larger font makes it larger.
constexpr QSize BaseSize(747, 510);

bool shownAtFirst(int column) {
    return column != StyleGridModel::NumberColumn && column < FirstChosenColumn;
}

// Two panes split by a bar the user drags; the first takes the room the window gains.
QSplitter* stretchingFirst(Qt::Orientation orientation, const QString& name, QWidget* first, QWidget* second,
                           QWidget* parent) {
    auto* split = new QSplitter(orientation, parent);
    split->setObjectName(name);
    split->setChildrenCollapsible(false);
    split->addWidget(first);
    split->addWidget(second);
    split->setStretchFactor(0, 1);
    return split;
}

} // namespace

void frmStyles::sizeFromFont() {
    const QFontMetrics metrics = fontMetrics();
    const int character = metrics.averageCharWidth();
    auto* header = static_cast<StyleGridHeader*>(m_grid->horizontalHeader());
    header->setMinimumSectionSize(character * 3);
    // A column is never narrower than its caption with the sort arrow beside it.
    for (int c = 0; c < StyleGridModel::ColumnCount; ++c) {
        const int sample = metrics.horizontalAdvance(QLatin1String(ColumnSamples[c])) + 2 * character;
        header->resizeSection(c, std::max({character * ColumnChars[c], sample, header->captionWidth(c)}));
    }
    const int rowHeight = metrics.height() + 4;
    m_grid->verticalHeader()->setDefaultSectionSize(rowHeight);
    // The grid gets its room first: it may be made narrower than its columns (a scroll bar appears
    // then), never narrower than the name, tempo and meter, nor than the find field's whole hint.
    const int chrome = m_grid->verticalScrollBar()->sizeHint().width() + 2 * m_grid->frameWidth();
    const int columns = header->sectionSize(StyleGridModel::NameColumn) +
                        header->sectionSize(StyleGridModel::TempoColumn) +
                        header->sectionSize(StyleGridModel::MeterColumn) + chrome;
    const int find = m_txtFind->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x')) +
                     metrics.horizontalAdvance(m_txtFind->placeholderText()) + character;
    m_grid->setMinimumSize(std::max(columns, find), header->sizeHint().height() + 6 * rowHeight + chrome);

    const QSize room = ScreenFit::room(*this);
    sizeBankPanel(false, false);
    const bool shorter = minimumWindowSize().height() > room.height();
    if (shorter)
        sizeBankPanel(true, false);
    if (minimumWindowSize().width() > room.width())
        sizeBankPanel(shorter, true);
}

void frmStyles::sizeBankPanel(bool shorter, bool narrower) {
    const QFontMetrics metrics = fontMetrics();
    // A slot holds a name of so many capitals with the label's frame and indent; a shorter slot
    // only the text's height within the frame.
    QLabel* measure = m_lbNewStyle.at(0);
    const QString caption = measure->text();
    measure->setText(QString(narrower ? NarrowSlotChars : SlotChars, QLatin1Char('X')));
    QSize slot = measure->sizeHint() + QSize(0, 4);
    measure->setText(caption);
    if (shorter)
        slot.setHeight(metrics.height() + 2 * measure->frameWidth());
    for (QLabel* label : m_lbNewStyle)
        label->setFixedSize(slot);
    for (QPushButton* button : m_cmdBank)
        button->setFixedSize(slot.height() + 6, slot.height());
    m_lbBankDesc->setFixedHeight(
        metrics.lineSpacing() * (shorter ? ShortDescriptionLines : DescriptionLines) + 4);
}

QSize frmStyles::minimumWindowSize() {
    // Polished as they will be shown, the layouts take the new sizes at once rather than at the
    // next event.
    ensurePolished();
    m_frBank->layout()->activate();
    m_frStyle->layout()->activate();
    layout()->activate();
    return minimumSizeHint();
}

QSize frmStyles::defaultSize() const {
    // The base size, grown so that every shown column of the grid shows without a scroll bar, as
    // far as the screen has room.
    const QHeaderView* header = m_grid->horizontalHeader();
    int columns = m_grid->verticalScrollBar()->sizeHint().width() + 2 * m_grid->frameWidth();
    for (int c = 0; c < StyleGridModel::ColumnCount; ++c)
        if (!header->isSectionHidden(c))
            columns += header->sectionSize(c);
    QSize size = minimumSizeHint();
    int wider = columns - m_grid->minimumWidth();
    // The contents pane, where it shows, whole below a grid of some rows.
    if (!m_contents->isHidden()) {
        const QSize pane = m_contents->sizeHint();
        wider = std::max(wider, pane.width() - m_split->minimumSizeHint().width());
        const int grid = m_grid->horizontalHeader()->sizeHint().height() +
                         GridRows * m_grid->verticalHeader()->defaultSectionSize() + 2 * m_grid->frameWidth();
        size.rheight() +=
            std::max(0, grid + m_split->handleWidth() + pane.height() - m_split->minimumSizeHint().height());
    }
    size.rwidth() += std::max(0, wider);
    return size.expandedTo(BaseSize).boundedTo(ScreenFit::room(*this));
}

void frmStyles::restoreWindowLayout() {
    const SBKSettings settings;
    const QByteArray geometry =
        QByteArray::fromBase64(settings.value(SBKSettings::StylesWindow, SBKSettings::Geometry).toLatin1());
    const QByteArray columns =
        QByteArray::fromBase64(settings.value(SBKSettings::StylesWindow, SBKSettings::Columns).toLatin1());
    auto* header = static_cast<StyleGridHeader*>(m_grid->horizontalHeader());
    QList<int> fontSizes;
    for (int c = 0; c < StyleGridModel::ColumnCount; ++c)
        fontSizes << header->sectionSize(c);
    const auto showFirstColumns = [this] {
        for (int c = 0; c < StyleGridModel::ColumnCount; ++c)
            m_grid->setColumnHidden(c, !shownAtFirst(c));
    };
    showFirstColumns();
    if (!columns.isEmpty()) {
        if (!header->restoreState(columns)) {
            showFirstColumns();
        } else {
            // A layout stored before a column was there leaves it at the header's default size:
            // it takes its own size, and shows if a new window shows it.
            for (int c = StyleGridModel::TempoColumn; c < StyleGridModel::ColumnCount; ++c) {
                if (header->sectionSize(c) != header->defaultSectionSize())
                    continue;
                header->resizeSection(c, fontSizes.at(c));
                m_grid->setColumnHidden(c, !shownAtFirst(c));
            }
        }
    }
    header->moveSection(header->visualIndex(StyleGridModel::TempoColumn), TempoPlace);
    header->moveSection(header->visualIndex(StyleGridModel::MeterColumn), TempoPlace + 1);
    // Whatever the stored state says: the name shows, every shown column has room for its caption
    // and arrow, the last one stretches, and no arrow shows before the first click (as no colour
    // does).
    m_grid->setColumnHidden(StyleGridModel::NameColumn, false);
    for (int c = 0; c < StyleGridModel::ColumnCount; ++c)
        if (!header->isSectionHidden(c) && header->sectionSize(c) < header->captionWidth(c))
            header->resizeSection(c, header->captionWidth(c));
    header->setStretchLastSection(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    // The contents pane shows unless it was hidden, at the height it was left with.
    const QByteArray split = QByteArray::fromBase64(
        settings.value(SBKSettings::StylesWindow, SBKSettings::ContentsSplit).toLatin1());
    const bool splitRestored = !split.isEmpty() && m_split->restoreState(split);
    const bool contents =
        settings.value(SBKSettings::StylesWindow, SBKSettings::Contents) != QLatin1String("0");
    command(QStringLiteral("mView"), 0)->setChecked(contents);
    m_contents->setVisible(contents);
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        resize(defaultSize());
    m_splitPending = !splitRestored;
}

void frmStyles::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_splitPending)
        return;
    // A new window: the pane takes the height it asks for, as far as the grid keeps its smallest.
    m_splitPending = false;
    const int room = m_split->height() - m_split->handleWidth();
    const int pane = std::max(0, std::min(m_contents->sizeHint().height(), room - m_grid->minimumHeight()));
    m_split->setSizes({room - pane, pane});
}

void frmStyles::buildContentsPane() {
    // Below the grid, what its current style plays.
    m_contents = new ContentsPane(m_module, m_prompt, this);
    m_contents->takeKeysFrom(m_grid);
    m_contents->takeKeysFrom(m_similar->list()); // Space plays the style chosen there
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmStyles::followCurrentStyle);
    connect(m_model, &QAbstractItemModel::modelReset, this, &frmStyles::followCurrentStyle);
    m_split = stretchingFirst(Qt::Vertical, QStringLiteral("splContents"), m_sideSplit, m_contents, this);
}

void frmStyles::buildSimilarPane() {
    // Beside the grid, hidden until the first question: the styles like one of its styles.
    m_similar = new SimilarStylesPane(m_module, m_prompt, this);
    m_similar->hide();
    connect(m_similar, &SimilarStylesPane::styleChosen, this, &frmStyles::chooseSimilar);
    connect(m_similar, &SimilarStylesPane::hideAsked, this, [this] { showSimilarPane(false); });
    m_sideSplit = stretchingFirst(Qt::Horizontal, QStringLiteral("splSimilar"), m_grid, m_similar, this);
}

void frmStyles::showSimilarPane(bool shown) {
    if (shown == m_similar->isVisible())
        return;
    if (!shown) {
        m_similar->hide();
        m_grid->setFocus();
        return;
    }
    // The window grows by the pane's width as far as the screen has room; the grid gives up the rest.
    const int pane = m_similar->sizeHint().width();
    m_similar->show();
    if (isVisible() && !isMaximized() && !isFullScreen()) {
        const int wider =
            std::min(pane + m_sideSplit->handleWidth(), ScreenFit::room(*this).width() - width());
        if (wider > 0)
            resize(width() + wider, height());
        layout()->activate();
    }
    const int room = m_sideSplit->width() - m_sideSplit->handleWidth();
    const int grid = std::max(m_grid->minimumWidth(), room - pane);
    m_sideSplit->setSizes({grid, std::max(room - grid, m_similar->minimumSizeHint().width())});
}

void frmStyles::buildGridMenu() {
    m_gridMenu = new QMenu(this);
    m_gridMenu->setObjectName(QStringLiteral("mGrid"));
    m_gridMenu->addAction(command(QStringLiteral("mStyles"), 14));
    m_gridMenu->addSeparator();
    m_gridMenu->addAction(command(QStringLiteral("mbank"), 0));
    for (int index : {8, 0, 3, 1})
        m_gridMenu->addAction(command(QStringLiteral("mStyles"), index));
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // A click beside the selection selects the row clicked, as a left click would.
        const QModelIndex index = m_grid->indexAt(at);
        if (index.isValid() && !m_grid->selectionModel()->isRowSelected(index.row()))
            m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
        m_gridMenu->popup(m_grid->viewport()->mapToGlobal(at));
    });
}

void frmStyles::showContents(bool shown) {
    m_contents->setVisible(shown);
    if (!shown)
        m_contents->stopPlaying();
}

void frmStyles::saveWindowLayout() {
    try {
        SBKSettings settings;
        settings.setValue(SBKSettings::StylesWindow, SBKSettings::Geometry,
                          QString::fromLatin1(saveGeometry().toBase64()));
        settings.setValue(SBKSettings::StylesWindow, SBKSettings::Columns,
                          QString::fromLatin1(m_grid->horizontalHeader()->saveState().toBase64()));
        settings.setValue(SBKSettings::StylesWindow, SBKSettings::Contents,
                          m_contents->isHidden() ? QStringLiteral("0") : QStringLiteral("1"));
        settings.setValue(SBKSettings::StylesWindow, SBKSettings::ContentsSplit,
                          QString::fromLatin1(m_split->saveState().toBase64()));
    } catch (const SbkError&) {
        // The window's shape is a convenience: a settings file that cannot be written costs only
        // that, and the parameters dialog reports it when something that matters is saved.
    }
}

void frmStyles::buildColumnsMenu() {
    m_columnsMenu = new QMenu(this);
    m_columnsMenu->setObjectName(QStringLiteral("mColumns"));
    QHeaderView* header = m_grid->horizontalHeader();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this,
            [this, header](const QPoint& at) { m_columnsMenu->popup(header->mapToGlobal(at)); });
    // The columns in the order the grid shows them; the name always shows.
    for (int visual = 0; visual < StyleGridModel::ColumnCount; ++visual) {
        const int column = header->logicalIndex(visual);
        const QString caption = column == StyleGridModel::NumberColumn
                                    ? QStringLiteral("Style (number)")
                                    : m_model->headerData(column, Qt::Horizontal).toString();
        QAction* action = m_columnsMenu->addAction(caption);
        action->setObjectName(QStringLiteral("mColumns_%1").arg(column));
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(column));
        action->setEnabled(column != StyleGridModel::NameColumn);
        connect(action, &QAction::toggled, this, [this, column](bool shown) { showColumn(column, shown); });
    }
}

void frmStyles::showColumn(int column, bool shown) {
    m_grid->setColumnHidden(column, !shown);
    if (column == StyleGridModel::BanksColumn)
        refreshBanksColumn();
}

void frmStyles::refreshBanksColumn() {
    // The banks are read only while their column shows (some 30 ms for 100,000 styles).
    if (m_grid->isColumnHidden(StyleGridModel::BanksColumn)) {
        m_model->setBanks({});
        return;
    }
    try {
        m_model->setBanks(StoredBanks::namesByStyle(m_module.connection()));
    } catch (const SbkError& e) {
        m_model->setBanks({});
        m_prompt.message(e.message(), Prompt::Title, Prompt::Icon::Critical);
    }
}
