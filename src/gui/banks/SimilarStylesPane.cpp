#include "gui/banks/SimilarStylesPane.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "gui/banks/StyleGridModel.h"
#include "music/SimilarStyles.h"
#include "music/StyleMusicReader.h"
#include "session/SBKModule.h"

#include <algorithm>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The columns in average characters of the font: likeness, name, tempo, meter; and the widest text
// of each column of digits.
constexpr int ColumnChars[SimilarStylesPane::ColumnCount] = {5, 16, 5, 5};
const char* const ColumnSamples[SimilarStylesPane::ColumnCount] = {"100 %", "", "000", "00/00"};

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

SimilarStylesPane::SimilarStylesPane(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QGroupBox(parent), m_module(module), m_prompt(prompt), m_list(new QTableWidget(0, ColumnCount, this)),
      m_lbLike(new QLabel(this)), m_lbNote(new QLabel(this)), m_cmdHide(new QToolButton(this)) {
    setObjectName(QStringLiteral("frSimilar"));
    setTitle(QStringLiteral("Similar styles"));
    m_list->setObjectName(QStringLiteral("tvSimilar"));
    m_list->setHorizontalHeaderLabels({QStringLiteral("Similar"), QStringLiteral("Name"),
                                       QStringLiteral("Tempo"), QStringLiteral("Meter")});
    m_list->verticalHeader()->hide();
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->setToolTip(QStringLiteral("Choose a style to make it current in the grid; Space plays it"));
    QHeaderView* header = m_list->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    const QFontMetrics metrics = fontMetrics();
    const int character = metrics.averageCharWidth();
    int width = m_list->verticalScrollBar()->sizeHint().width() + 2 * m_list->frameWidth();
    for (int c = 0; c < ColumnCount; ++c) {
        const int sample = metrics.horizontalAdvance(QLatin1String(ColumnSamples[c])) + 2 * character;
        const int caption =
            header->fontMetrics().horizontalAdvance(m_list->horizontalHeaderItem(c)->text()) + 2 * character;
        const int size = std::max({character * ColumnChars[c], sample, caption});
        header->resizeSection(c, size);
        width += size;
    }
    m_list->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    m_list->setMinimumWidth(width);
    connect(m_list, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (row >= 0)
            emit styleChosen(styleAt(row));
    });

    m_lbLike->setObjectName(QStringLiteral("lbSimilarTo"));
    m_lbLike->setTextFormat(Qt::PlainText);
    m_lbLike->setWordWrap(true);
    m_lbNote->setObjectName(QStringLiteral("lbSimilarNote"));
    m_lbNote->setWordWrap(true);
    m_lbNote->hide();
    m_cmdHide->setObjectName(QStringLiteral("cmdHideSimilar"));
    m_cmdHide->setText(QStringLiteral("Hide"));
    m_cmdHide->setToolTip(QStringLiteral("Hide the similar styles"));
    m_cmdHide->setAutoRaise(true);
    connect(m_cmdHide, &QToolButton::clicked, this, &SimilarStylesPane::hideAsked);

    auto* top = new QHBoxLayout;
    top->addWidget(m_lbLike, 1);
    top->addWidget(m_cmdHide);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_lbNote); // below, so that the rows stay where they are when it shows
}

SimilarStylesPane::~SimilarStylesPane() = default;

qint32 SimilarStylesPane::styleAt(int row) const {
    const QTableWidgetItem* item = m_list->item(row, NameColumn);
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void SimilarStylesPane::setNote(const QString& text) {
    m_lbNote->setText(text);
    m_lbNote->setVisible(!text.isEmpty());
}

QString SimilarStylesPane::note() const {
    return m_lbNote->text();
}

const SimilarStyles& SimilarStylesPane::library() {
    const QString revision = SimilarStyles::revision(m_module.connection());
    if (!m_library || revision != m_revision) {
        m_library = std::make_unique<SimilarStyles>(m_module.connection());
        m_revision = revision;
    }
    return *m_library;
}

void SimilarStylesPane::showSimilarTo(qint32 prog, const QString& name) {
    m_prog = prog;
    const QString shown = StyleGridModel::shownName(name).trimmed();
    m_lbLike->setText(QStringLiteral("Like %1").arg(StyleMusicReader::styleWhat(prog, shown)));
    // The notes of 100,000 styles take a moment to read the first time.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        fill(shown);
    } catch (const SbkError& e) {
        QApplication::restoreOverrideCursor();
        m_list->setRowCount(0);
        setNote(QString());
        m_library.reset();
        m_prompt.message(e.message(), Prompt::Title, Prompt::Icon::Critical);
        return;
    }
    QApplication::restoreOverrideCursor();
}

void SimilarStylesPane::fill(const QString& name) {
    const QSignalBlocker quiet(m_list); // a new list chooses nothing
    m_list->setRowCount(0);
    const SimilarStyles& styles = library();
    const std::optional<QList<SimilarStyles::Match>> matches = styles.nearest(m_prog, Nearest);
    if (!matches) {
        setNote(QStringLiteral("%1 has no notes to compare.").arg(StyleMusicReader::styleWhat(m_prog, name)));
        return;
    }
    // A style with nothing in common is not like it at all, however near the list's end it comes.
    QList<SimilarStyles::Match> alike = *matches;
    alike.removeIf([](const SimilarStyles::Match& match) { return match.similarity <= 0; });
    const QList<SimilarStyles::Described> described = SimilarStyles::describe(m_module.connection(), alike);
    setNote(described.isEmpty() ? QStringLiteral("No other style has notes like these.") : QString());
    m_list->setRowCount(int(described.size()));
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    for (int row = 0; row < described.size(); ++row) {
        const SimilarStyles::Described& style = described.at(row);
        m_list->setItem(row, PercentColumn, cell(QStringLiteral("%1 %").arg(style.similarity), right));
        QTableWidgetItem* nameCell = cell(StyleGridModel::shownName(style.name).trimmed());
        nameCell->setData(Qt::UserRole, style.prog);
        nameCell->setToolTip(StyleMusicReader::styleWhat(style.prog, nameCell->text()));
        m_list->setItem(row, NameColumn, nameCell);
        m_list->setItem(row, TempoColumn,
                        cell(style.tempo ? QString::number(*style.tempo) : QString(), right));
        m_list->setItem(row, MeterColumn, cell(style.meter));
    }
    m_list->setCurrentCell(-1, -1);
    m_list->scrollToTop();
}
