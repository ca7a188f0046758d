#include "gui/banks/frmDuplicates.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SbkVersion.h"
#include "gui/banks/BankPrinter.h"
#include "gui/banks/DuplicateReport.h"
#include "gui/banks/DuplicateTreeModel.h"
#include "gui/main/DialogProgress.h"
#include "gui/main/WindowOpener.h"
#include "gui/metadata/frmStyleEdit.h"
#include "session/SBKModule.h"
#include "store/Database.h"

#include <algorithm>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

using Model = DuplicateTreeModel;

// The widest a column of free text grows for its contents, in average characters of the font
// (0: as wide as its contents); a text cut shows whole as its tooltip.
constexpr int ColumnChars[Model::ColumnCount] = {0, 18, 16, 18, 0, 0, 0, 40};

// "1 style", "3 styles".
QString counted(qint64 count, const QString& noun) {
    return QStringLiteral("%1 %2%3").arg(count).arg(noun, count == 1 ? QString() : QStringLiteral("s"));
}

// Draws the check indicator of the keep column as a radio button: one style of a group is kept.
class KeepDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        if (!(item.features & QStyleOptionViewItem::HasCheckIndicator))
            return;
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        QStyleOptionButton radio;
        radio.rect = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &item, widget);
        radio.palette = item.palette;
        radio.state = (item.state & QStyle::State_Enabled) |
                      (item.checkState == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
        const bool selected = item.state & QStyle::State_Selected;
        painter->fillRect(radio.rect, selected ? item.palette.brush(QPalette::Highlight)
                                               : item.palette.brush(QPalette::Base));
        style->drawPrimitive(QStyle::PE_IndicatorRadioButton, &radio, painter, widget);
    }
};

} // namespace

frmDuplicates::frmDuplicates(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QDialog(parent), m_module(module), m_prompt(prompt), m_model(new DuplicateTreeModel(this)),
      m_tvGroups(new QTreeView(this)), m_cboKeep(new QComboBox(this)), m_lblCount(new QLabel(this)),
      m_lblResult(new QLabel(this)),
      m_cmdMerge(new QPushButton(QStringLiteral("&Merge selected groups"), this)),
      m_cmdMergeAll(new QPushButton(QStringLiteral("Merge &all"), this)),
      m_dialogProgress(std::make_unique<DialogProgress>(true)), m_progress(m_dialogProgress.get()) {
    setObjectName(QStringLiteral("frmDuplicates"));
    setWindowTitle(SbkVersion::title() + QStringLiteral(" - Duplicate styles"));
    setModal(true);
    setWindowFlags(windowFlags() | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    // The kinds to find and the rule that picks the style to keep.
    auto* choices = new QHBoxLayout;
    choices->addWidget(new QLabel(QStringLiteral("Find:"), this));
    const QStringList kinds{QStringLiteral("&Exact copies"), QStringLiteral("&Renamed copies"),
                            QStringLiteral("&Same music, other settings"), QStringLiteral("Same &notes")};
    const QStringList kindTips{
        QStringLiteral("Styles whose data are the same byte for byte"),
        QStringLiteral("Styles that are the same apart from the name stored inside them"),
        QStringLiteral("Styles with the same music and another tempo, other sounds or another mixer"),
        QStringLiteral("Styles that play the same notes with other sounds or controllers, or transposed")};
    for (int k = 0; k < int(m_chkKind.size()); ++k) {
        auto* box = new QCheckBox(kinds.at(k), this);
        box->setObjectName(QStringLiteral("chkKind_%1").arg(k));
        box->setToolTip(kindTips.at(k));
        // Only exact copies are the same style: the other kinds differ, so merging them is a
        // choice to make with open eyes.
        box->setChecked(k == 0);
        connect(box, &QCheckBox::toggled, this, [this] { refresh(); });
        choices->addWidget(box);
        m_chkKind.at(size_t(k)) = box;
    }
    choices->addStretch();
    auto* keepLabel = new QLabel(QStringLiteral("&Keep in each group:"), this);
    keepLabel->setBuddy(m_cboKeep);
    choices->addWidget(keepLabel);
    m_cboKeep->setObjectName(QStringLiteral("cboKeep"));
    m_cboKeep->addItems({QStringLiteral("the oldest style"), QStringLiteral("the newest style"),
                         QStringLiteral("the style in most banks")});
    m_cboKeep->setToolTip(QStringLiteral("Chooses the style to keep in every group; click a style's button "
                                         "to keep another one"));
    connect(m_cboKeep, &QComboBox::activated, this, &frmDuplicates::cboKeep_Click);
    choices->addWidget(m_cboKeep);

    m_tvGroups->setObjectName(QStringLiteral("tvGroups"));
    m_tvGroups->setModel(m_model);
    m_tvGroups->setItemDelegateForColumn(Model::StyleColumn, new KeepDelegate(m_tvGroups));
    m_tvGroups->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tvGroups->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tvGroups->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tvGroups->setUniformRowHeights(true);
    m_tvGroups->setAllColumnsShowFocus(true);
    m_tvGroups->setToolTip(
        QStringLiteral("Select the groups to merge - Double click a style for editing it"));
    m_tvGroups->header()->setStretchLastSection(true);
    m_tvGroups->header()->setSectionsMovable(false);
    connect(m_tvGroups, &QTreeView::doubleClicked, this, &frmDuplicates::tvGroups_DblClick);
    connect(m_tvGroups->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &frmDuplicates::updateButtons);

    m_lblCount->setObjectName(QStringLiteral("lblCount"));
    m_lblResult->setObjectName(QStringLiteral("lblResult"));
    m_lblResult->setWordWrap(true);
    m_lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_cmdMerge->setObjectName(QStringLiteral("cmdMerge"));
    m_cmdMerge->setToolTip(QStringLiteral("Keeps the chosen style of each selected group, points the banks "
                                          "to it and deletes the other copies"));
    m_cmdMergeAll->setObjectName(QStringLiteral("cmdMergeAll"));
    m_cmdMergeAll->setToolTip(QStringLiteral("Merges every group listed"));
    connect(m_cmdMerge, &QPushButton::clicked, this, &frmDuplicates::cmdMerge_Click);
    connect(m_cmdMergeAll, &QPushButton::clicked, this, &frmDuplicates::cmdMergeAll_Click);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdMerge);
    buttons->addWidget(m_cmdMergeAll);
    buttons->addStretch();
    const QStringList reportCaptions{QStringLiteral("&Print..."), QStringLiteral("Save as P&DF..."),
                                     QStringLiteral("Export &CSV...")};
    const QStringList reportNames{QStringLiteral("cmdPrint"), QStringLiteral("cmdPdf"),
                                  QStringLiteral("cmdCsv")};
    const std::array<void (frmDuplicates::*)(), 3> reportCommands{
        &frmDuplicates::cmdPrint_Click, &frmDuplicates::cmdPdf_Click, &frmDuplicates::cmdCsv_Click};
    for (int r = 0; r < 3; ++r) {
        auto* button = new QPushButton(reportCaptions.at(r), this);
        button->setObjectName(reportNames.at(r));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, reportCommands.at(size_t(r)));
        buttons->addWidget(button);
        m_cmdReport.at(size_t(r)) = button;
    }
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    m_cmdMerge->setAutoDefault(false);
    m_cmdMergeAll->setAutoDefault(false);

    auto* counts = new QHBoxLayout;
    counts->addWidget(m_lblCount);
    counts->addWidget(m_lblResult, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addWidget(m_tvGroups, 1);
    layout->addLayout(counts);
    layout->addLayout(buttons);
    refresh();
    sizeWindow();
}

frmDuplicates::~frmDuplicates() = default;

void frmDuplicates::sizeColumns() {
    const int character = fontMetrics().averageCharWidth();
    QHeaderView* header = m_tvGroups->header();
    // The style column holds the tree's indentation of a style, its radio button and its number:
    // the highest number is the widest.
    QModelIndex widest;
    qint64 highest = 0;
    for (int row = 0; row < m_model->groupCount(); ++row) {
        const QList<DuplicateStyles::Style>& styles = m_model->group(row).styles;
        for (int s = 0; s < styles.size(); ++s)
            if (styles.at(s).StyleProg > highest) {
                highest = styles.at(s).StyleProg;
                widest = m_model->index(s, Model::StyleColumn, m_model->groupIndex(row));
            }
    }
    for (int c = 0; c < Model::ColumnCount; ++c) {
        int contents = c == Model::StyleColumn
                           ? (widest.isValid() ? m_tvGroups->sizeHintForIndex(widest).width() +
                                                     2 * m_tvGroups->indentation()
                                               : 0)
                           // QTreeView's own measure of the rows, which it keeps protected.
                           : static_cast<const QAbstractItemView*>(m_tvGroups)->sizeHintForColumn(c);
        if (ColumnChars[c] > 0)
            contents = std::min(contents, ColumnChars[c] * character);
        // The last column takes what is left of the window, and at least its contents.
        header->resizeSection(c, std::max(header->sectionSizeHint(c), contents));
    }
}

void frmDuplicates::sizeWindow() {
    const QFontMetrics metrics = fontMetrics();
    QSize size(m_tvGroups->header()->length() + m_tvGroups->verticalScrollBar()->sizeHint().width() +
                   4 * metrics.averageCharWidth(),
               metrics.height() * 32);
    size = size.expandedTo(minimumSizeHint());
    if (const QScreen* shownOn = screen())
        size = size.boundedTo(shownOn->availableGeometry().size() * 9 / 10);
    resize(size);
}

void frmDuplicates::setProgress(Progress* progress) {
    m_progress = progress ? progress : m_dialogProgress.get();
}

QList<DuplicateStyles::Kind> frmDuplicates::tickedKinds() const {
    QList<DuplicateStyles::Kind> kinds;
    for (size_t k = 0; k < m_chkKind.size(); ++k)
        if (m_chkKind.at(k)->isChecked())
            kinds << DuplicateStyles::kinds().at(qsizetype(k));
    return kinds;
}

DuplicateStyles::KeepRule frmDuplicates::rule() const {
    switch (m_cboKeep->currentIndex()) {
    case 1:
        return DuplicateStyles::KeepRule::Newest;
    case 2:
        return DuplicateStyles::KeepRule::MostUsed;
    default:
        return DuplicateStyles::KeepRule::Oldest;
    }
}

void frmDuplicates::refresh() {
    const QList<DuplicateStyles::Kind> kinds = tickedKinds();
    QList<DuplicateStyles::Group> groups;
    if (!kinds.isEmpty()) {
        // One grouped query, quick even on a large library: the wait pointer is enough.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            groups = DuplicateStyles::find(m_module.connection(), kinds);
        } catch (const SbkError& error) {
            QApplication::restoreOverrideCursor();
            m_model->setGroups({}, rule());
            showCounts();
            m_prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
            return;
        }
        QApplication::restoreOverrideCursor();
    }
    m_model->setGroups(std::move(groups), rule());
    for (int row = 0; row < m_model->groupCount(); ++row)
        m_tvGroups->setFirstColumnSpanned(row, QModelIndex(), true);
    m_tvGroups->expandAll();
    sizeColumns();
    showCounts();
}

void frmDuplicates::showCounts() {
    if (tickedKinds().isEmpty())
        m_lblCount->setText(QStringLiteral("Tick the kinds of copies to find."));
    else if (m_model->groupCount() == 0)
        m_lblCount->setText(QStringLiteral("No duplicates found."));
    else
        m_lblCount->setText(
            QStringLiteral("%1 of %2 found; merging all deletes %3.")
                .arg(counted(m_model->groupCount(), QStringLiteral("group")),
                     counted(m_model->styleCount(), QStringLiteral("style")),
                     counted(DuplicateTreeModel::deletedBy(m_model->merges(m_model->allGroups())),
                             QStringLiteral("style"))));
    updateButtons();
}

void frmDuplicates::updateButtons() {
    const bool listed = m_model->groupCount() > 0;
    m_cmdMerge->setEnabled(listed && m_tvGroups->selectionModel()->hasSelection());
    m_cmdMergeAll->setEnabled(listed);
    for (QPushButton* button : m_cmdReport)
        button->setEnabled(listed);
}

QList<int> frmDuplicates::selectedGroups() const {
    QList<int> rows;
    for (const QModelIndex& index : m_tvGroups->selectionModel()->selectedIndexes())
        rows << m_model->groupRowOf(index);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void frmDuplicates::cboKeep_Click(int) {
    m_model->applyRule(rule());
}

void frmDuplicates::cmdMerge_Click() {
    merge(selectedGroups());
}

void frmDuplicates::cmdMergeAll_Click() {
    merge(m_model->allGroups());
}

void frmDuplicates::merge(const QList<int>& rows) {
    if (rows.isEmpty()) {
        m_prompt.message(
            QStringLiteral("Select the groups to merge first (click a group, Ctrl+click for more)."),
            Prompt::Title, Prompt::Icon::Information);
        return;
    }
    int within = 0;
    const QList<DuplicateStyles::Merge> merges = m_model->merges(rows, &within);
    const qint64 deleted = DuplicateTreeModel::deletedBy(merges);
    const QString inWider = within == 0
                                ? QString()
                                : QStringLiteral(" (%1 within a wider group, which takes %2 copies)")
                                      .arg(counted(within, QStringLiteral("group")),
                                           within == 1 ? QStringLiteral("its") : QStringLiteral("their"));
    const QString differ = DuplicateStyles::differenceNote(merges);
    if (!m_prompt.confirm(QStringLiteral("Merging %1%2 deletes %3 from the database; the banks that hold %4 "
                                         "will hold the %5 kept instead.%6Are you sure?")
                              .arg(counted(merges.size(), QStringLiteral("group")), inWider,
                                   counted(deleted, QStringLiteral("style")),
                                   deleted == 1 ? QStringLiteral("it") : QStringLiteral("them"),
                                   merges.size() == 1 ? QStringLiteral("style") : QStringLiteral("styles"),
                                   differ.isEmpty()
                                       ? QStringLiteral(" ")
                                       : QStringLiteral("\n\n") + differ + QStringLiteral("\n\n"))))
        return;
    DuplicateStyles::Result result;
    try {
        result = DuplicateStyles::merge(m_module.connection(), merges, m_progress);
    } catch (const SbkError& error) {
        m_progress->end();
        m_lblResult->setText(QStringLiteral("The merge failed: nothing was changed."));
        m_prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
        // Another program may have changed the library meanwhile: the tree shows it as it is.
        refresh();
        return;
    }
    if (result.cancelled) {
        m_lblResult->setText(QStringLiteral("Merge cancelled: nothing was changed."));
        return;
    }
    for (const DuplicateStyles::Merge& merge : merges)
        for (const DuplicateStyles::Style& style : merge.group.styles)
            if (style.StyleProg != merge.keep)
                m_replaced.insert(qint32(style.StyleProg), qint32(merge.keep));
    m_stylesChanged = true;
    m_lblResult->setText(
        QStringLiteral("%1 merged: %2 deleted, %3 %4 the %5 kept.")
            .arg(counted(result.groups, QStringLiteral("group")),
                 counted(result.deleted, QStringLiteral("style")),
                 counted(result.slotsMoved, QStringLiteral("bank slot")),
                 result.slotsMoved == 1 ? QStringLiteral("now holds") : QStringLiteral("now hold"),
                 result.groups == 1 ? QStringLiteral("style") : QStringLiteral("styles")));
    refresh();
}

void frmDuplicates::tvGroups_DblClick(const QModelIndex& index) {
    const DuplicateStyles::Style* style = m_model->styleAt(index);
    if (!style || !m_module.StyleTable)
        return;
    const qint64 number = style->StyleProg;
    DbKORFStyle& table = *m_module.StyleTable;
    table.setStyleProg(qint32(number));
    if (!table.GetKORFStylesNoContent()) {
        m_prompt.message(QStringLiteral("Style %1 is no longer in the database.").arg(number), Prompt::Title,
                         Prompt::Icon::Exclamation);
        refresh();
        return;
    }
    m_module.ExchangeValue1.clear();
    frmStyleEdit edit(m_module, m_prompt, this);
    WindowOpener::exec(edit);
    if (m_module.ExchangeValue1 != QString(frmStyleEdit::Confirmed))
        return;
    if (!table.UpdKORFStyles()) {
        m_prompt.message(Database::inWords(table.clsKORFStylesError()), Prompt::Title,
                         Prompt::Icon::Critical);
        return;
    }
    m_stylesChanged = true;
    refresh();
}

// ---- The report ------------------------------------------------------------------------------

void frmDuplicates::cmdPrint_Click() {
    const DuplicateReport report = DuplicateReport::of(*m_model);
    BankPrinter::Document document;
    document.name = DuplicateReport::Title;
    document.what = QStringLiteral("the list of duplicates");
    document.proposedFile = QStringLiteral("duplicates.pdf");
    document.paint = [&report](QPainter& painter, QPrinter& printer) {
        return report.paint(painter, printer);
    };
    document.writePdf = [&report](const QString& path) { report.writePdf(path); };
    document.orientation = QPageLayout::Landscape;
    BankPrinter::print(document, m_prompt);
}

void frmDuplicates::cmdPdf_Click() {
    saveReport(QStringLiteral("PDF file (*.PDF)|*.PDF"), QStringLiteral("duplicates.pdf"),
               &DuplicateReport::writePdf);
}

void frmDuplicates::cmdCsv_Click() {
    saveReport(QStringLiteral("CSV file (*.CSV)|*.CSV"), QStringLiteral("duplicates.csv"),
               &DuplicateReport::writeCsv);
}

void frmDuplicates::saveReport(const QString& filter, const QString& proposed,
                               void (DuplicateReport::*write)(const QString&) const) {
    QString path = m_prompt.saveFile(filter, proposed);
    if (path.isEmpty())
        return;
    // A name typed without its extension gets it; an existing file or device is written as named.
    if (QFileInfo(path).suffix().isEmpty() && !QFileInfo::exists(path))
        path += QLatin1Char('.') + QFileInfo(proposed).suffix();
    try {
        (DuplicateReport::of(*m_model).*write)(path);
    } catch (const SbkError& error) {
        m_lblResult->setText(QStringLiteral("The list was not saved."));
        m_prompt.message(error.message(), Prompt::Title, Prompt::Icon::Critical);
        return;
    }
    m_lblResult->setText(QStringLiteral("The list was saved as %1.").arg(QDir::toNativeSeparators(path)));
}
