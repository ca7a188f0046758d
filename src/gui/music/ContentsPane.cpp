#include "gui/music/ContentsPane.h"

#include "core/Prompt.h"
#include "core/SbkError.h"
#include "core/SingleByteText.h"
#include "music/ElementTimeline.h"
#include "music/GeneralMidi.h"
#include "music/MidiFileWriter.h"
#include "music/StyleMusicReader.h"
#include "session/SBKModule.h"
#include "store/DbKORFStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The instrument's panel: a row of intros (the third is the count-in), of variations, of fills with
// the break, of endings; each an element's index in the style.
struct PanelRow {
    const char* caption;
    QList<int> elements;
};
const PanelRow PanelRows[] = {{"Intro", {4, 5, 11}},
                              {"Variation", {0, 1, 2, 3}},
                              {"Fill, break", {6, 7, 13, 14, 10}},
                              {"Ending", {8, 9, 12}}};
constexpr int CountIn = 11;

// A label of one line at least, that takes no width of its own: its text wraps.
QLabel* noteLabel(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumHeight(label->fontMetrics().lineSpacing());
    return label;
}

QString measures(quint32 ticks, const StyleElement& element) {
    const quint32 count = ticks / element.measureTicks();
    return count == 1 ? QStringLiteral("1 measure") : QStringLiteral("%1 measures").arg(count);
}

// A name that any file system takes: the signs some of them refuse become "_".
QString fileSafe(const QString& name) {
    QString safe = name.trimmed();
    for (QChar& c : safe)
        if (c.unicode() < 32 || QStringLiteral("\\/:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return safe.isEmpty() ? QStringLiteral("Style") : safe;
}

} // namespace

ContentsPane::ContentsPane(SBKModule& module, Prompt& prompt, QWidget* parent)
    : QGroupBox(QStringLiteral("Contents"), parent), m_module(module), m_prompt(prompt),
      m_lbStyle(new QLabel(this)), m_lbError(noteLabel(QStringLiteral("lbError"), this)),
      m_cboVariation(new QComboBox(this)), m_lbElement(new QLabel(this)),
      m_cmdPlay(new QPushButton(QStringLiteral("Play"), this)),
      m_cmdExportMidi(new QPushButton(QStringLiteral("Export MIDI..."), this)),
      m_grdTracks(new QTableWidget(this)), m_lbDrumMap(noteLabel(QStringLiteral("lbDrumMap"), this)),
      m_lbStatus(noteLabel(QStringLiteral("lbStatus"), this)) {
    setObjectName(QStringLiteral("frContents"));
    m_readTimer.setSingleShot(true);
    m_readTimer.setInterval(ReadDelayMs);
    connect(&m_readTimer, &QTimer::timeout, this, &ContentsPane::readStyle);

    m_lbStyle->setObjectName(QStringLiteral("lbStyle"));
    m_lbStyle->setTextFormat(Qt::PlainText);
    // The note on the drum kit has its two lines whether it shows or not: the pane keeps its height.
    m_lbDrumMap->setMinimumHeight(2 * m_lbDrumMap->fontMetrics().lineSpacing());
    m_lbError->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lbError->hide();
    m_lbElement->setObjectName(QStringLiteral("lbElement"));
    m_cboVariation->setObjectName(QStringLiteral("cboVariation"));
    m_cboVariation->setToolTip(
        QStringLiteral("The chord variation of the element: which pattern plays for the "
                       "kind of chord held"));
    connect(m_cboVariation, &QComboBox::activated, this, [this](int index) { chooseVariation(index + 1); });
    // The buttons leave the focus where it was (the grid), so that Space goes on playing and stopping.
    for (QPushButton* button : {m_cmdPlay, m_cmdExportMidi}) {
        button->setAutoDefault(false);
        button->setFocusPolicy(Qt::TabFocus);
    }
    m_cmdPlay->setObjectName(QStringLiteral("cmdPlay"));
    m_cmdPlay->setToolTip(QStringLiteral("Plays the element, looping, or stops it (Space in the list of "
                                         "styles, Esc stops)"));
    connect(m_cmdPlay, &QPushButton::clicked, this, &ContentsPane::togglePlay);
    m_cmdExportMidi->setObjectName(QStringLiteral("cmdExportMidi"));
    m_cmdExportMidi->setToolTip(
        QStringLiteral("Saves the element's chord variation as a Standard MIDI File"));
    connect(m_cmdExportMidi, &QPushButton::clicked, this, &ContentsPane::exportMidi);
    buildLayout();
    showMusic();
}

ContentsPane::~ContentsPane() = default;

void ContentsPane::buildLayout() {
    auto* elements = new QGridLayout;
    elements->setHorizontalSpacing(2);
    elements->setVerticalSpacing(2);
    buildElementButtons(elements);
    buildTrackTable();
    auto* variationRow = new QHBoxLayout;
    auto* variationLabel = new QLabel(QStringLiteral("&Chord variation:"), this);
    variationLabel->setBuddy(m_cboVariation);
    variationRow->addWidget(variationLabel);
    variationRow->addWidget(m_cboVariation);
    variationRow->addWidget(m_lbElement, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_cmdPlay);
    buttonRow->addWidget(m_cmdExportMidi);
    buttonRow->addStretch();
    auto* left = new QVBoxLayout;
    left->addLayout(elements);
    left->addLayout(variationRow);
    left->addLayout(buttonRow);
    left->addWidget(m_lbStatus);
    left->addStretch();
    // The elements, their tracks and the note on the drum kit: in the place of the message on a
    // style that cannot be read.
    m_body = new QWidget(this);
    auto* body = new QGridLayout(m_body);
    body->setContentsMargins(0, 0, 0, 0);
    body->addLayout(left, 0, 0);
    body->addWidget(m_grdTracks, 0, 1, Qt::AlignTop);
    body->addWidget(m_lbDrumMap, 1, 0, 1, 2);
    body->setColumnStretch(2, 1);

    // Where the window is low the pane scrolls rather than taking the grid's room.
    auto* inner = new QWidget;
    auto* column = new QVBoxLayout(inner);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_lbStyle);
    column->addWidget(m_lbError);
    column->addWidget(m_body);
    column->addStretch();
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scrContents"));
    m_scroll->setWidget(inner);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_scroll);
}

QSize ContentsPane::sizeHint() const {
    // The scroll area's own hint stops at a size of its choosing.
    return QGroupBox::sizeHint() - m_scroll->sizeHint() + m_scroll->widget()->sizeHint();
}

void ContentsPane::buildElementButtons(QGridLayout* grid) {
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    int width = 0;
    for (const QString& name : StyleElement::names())
        width = std::max(width, QPushButton(name).sizeHint().width());
    for (int row = 0; row < int(std::size(PanelRows)); ++row) {
        grid->addWidget(new QLabel(QString::fromLatin1(PanelRows[row].caption), this), row, 0);
        int column = 1;
        for (const int e : PanelRows[row].elements) {
            auto* button = new QPushButton(StyleElement::names().at(e), this);
            button->setObjectName(QStringLiteral("cmdElement_%1").arg(e));
            button->setCheckable(true);
            button->setAutoDefault(false);
            button->setFocusPolicy(Qt::TabFocus);
            button->setMinimumWidth(width);
            group->addButton(button, e);
            grid->addWidget(button, row, column++);
            m_cmdElement.at(size_t(e)) = button;
        }
    }
    connect(group, &QButtonGroup::idClicked, this, &ContentsPane::chooseElement);
}

void ContentsPane::buildTrackTable() {
    m_grdTracks->setObjectName(QStringLiteral("grdTracks"));
    m_grdTracks->setColumnCount(3);
    m_grdTracks->setRowCount(MusicTrack::Count);
    m_grdTracks->setHorizontalHeaderLabels(
        {QStringLiteral("Track"), QStringLiteral("Sound"), QStringLiteral("Notes")});
    m_grdTracks->verticalHeader()->hide();
    m_grdTracks->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdTracks->setSelectionMode(QAbstractItemView::NoSelection);
    m_grdTracks->setFocusPolicy(Qt::NoFocus);
    m_grdTracks->setWordWrap(false);
    m_grdTracks->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_grdTracks->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const QFontMetrics metrics = fontMetrics();
    m_grdTracks->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    int width = 2 * m_grdTracks->frameWidth();
    int sound = 0; // the longest name of a sound
    for (int program = 0; program < 128; ++program)
        sound = std::max(sound, metrics.horizontalAdvance(GeneralMidi::programName(program)));
    const int texts[3] = {metrics.horizontalAdvance(QStringLiteral("Acc5")), sound,
                          metrics.horizontalAdvance(QStringLiteral("0000"))};
    for (int c = 0; c < 3; ++c) {
        const int column = std::max(texts[c] + 2 * metrics.averageCharWidth(),
                                    m_grdTracks->horizontalHeader()->sectionSizeHint(c));
        m_grdTracks->setColumnWidth(c, column);
        width += column;
    }
    m_grdTracks->horizontalHeader()->setStretchLastSection(true);
    for (int t = 0; t < MusicTrack::Count; ++t)
        for (int c = 0; c < 3; ++c) {
            auto* item = new QTableWidgetItem(c == 0 ? MusicTrack::nameOf(t) : QString());
            item->setTextAlignment(c == 2 ? Qt::AlignRight | Qt::AlignVCenter
                                          : Qt::AlignLeft | Qt::AlignVCenter);
            m_grdTracks->setItem(t, c, item);
        }
    m_grdTracks->setFixedSize(width, m_grdTracks->horizontalHeader()->sizeHint().height() +
                                         MusicTrack::Count * (metrics.height() + 4) +
                                         2 * m_grdTracks->frameWidth());
}

void ContentsPane::showStyle(qint32 prog) {
    if (prog == m_prog)
        return;
    m_prog = prog;
    m_read = false;
    if (isVisible() || playing())
        m_readTimer.start();
}

void ContentsPane::showEvent(QShowEvent* event) {
    QGroupBox::showEvent(event);
    if (!m_read)
        readStyle();
}

void ContentsPane::hideEvent(QHideEvent* event) {
    QGroupBox::hideEvent(event);
    if (!playing())
        m_readTimer.stop(); // read when shown again
}

const StyleMusic* ContentsPane::music() {
    if (!m_read)
        readStyle();
    return m_music.get();
}

void ContentsPane::readStyle() {
    m_readTimer.stop();
    m_read = true;
    m_music.reset();
    m_error.clear();
    m_styleName.clear();
    if (m_prog > 0) {
        try {
            DbKORFStyle table(m_module.connection());
            m_music = std::make_shared<const StyleMusic>(StyleMusicReader::readStored(table, m_prog));
            m_styleName = SingleByteText::plainText(table.StyleName1()).trimmed();
        } catch (const SbkError& e) {
            m_error = e.message();
        }
    }
    // The chosen element and chord variation stay where the new style has them; else the first
    // element that plays, the variations first.
    for (int e = 0; m_music && !playable(m_element) && e < StyleElement::Count; ++e)
        if (playable(e))
            m_element = e;
    if (m_music && m_variation > m_music->elements.at(m_element).variations.size())
        m_variation = 1;
    if (!playing())
        setStatus(QString());
    showMusic();
    // A style to play is in view: the SoundFont loads meanwhile, so that Play need not wait for it.
    if (m_music && isVisible())
        m_player.prepare(m_module.SoundFontPath);
    if (!playing())
        return;
    if (m_music && playable(m_element))
        m_player.cue(cue());
    else
        stopPlaying();
}

bool ContentsPane::playable(int element) const {
    return m_music && element >= 0 && element < m_music->elements.size() &&
           !m_music->elements.at(element).isEmpty();
}

void ContentsPane::showMusic() {
    const bool shown = m_music != nullptr;
    if (m_prog <= 0)
        m_lbStyle->setText(QStringLiteral("No style chosen"));
    else if (!shown)
        m_lbStyle->setText(QStringLiteral("Style %1").arg(m_prog));
    else
        m_lbStyle->setText(
            QStringLiteral("Style %1 \"%2\": %3 BPM%4")
                .arg(QString::number(m_prog), m_styleName,
                     QString::number(m_music->tempo.value_or(ElementTimeline::DefaultTempo)),
                     m_music->tempo ? QString() : QStringLiteral(" (the style gives no tempo)")));
    m_lbError->setText(m_error.isEmpty()
                           ? QString()
                           : QStringLiteral("This style cannot be shown or played: %1").arg(m_error));
    m_lbError->setVisible(!m_error.isEmpty());
    m_body->setVisible(m_error.isEmpty());
    for (int e = 0; e < StyleElement::Count; ++e) {
        QPushButton* button = m_cmdElement.at(size_t(e));
        button->setEnabled(playable(e));
        button->setChecked(playable(e) && e == m_element);
        button->setToolTip(shown ? elementText(m_music->elements.at(e)) : QString());
    }
    if (m_music && !playable(m_element))
        setStatus(QStringLiteral("No element of this style plays a note."));
    showChoice();
}

QString ContentsPane::elementText(const StyleElement& element) const {
    const QString name = element.index == CountIn ? QStringLiteral("Intro3 (count-in)") : element.name();
    if (element.isEmpty())
        return QStringLiteral("%1: no notes").arg(name);
    return QStringLiteral("%1: %2 of %3, %4 chord variations")
        .arg(name, measures(element.variations.value(0).ticks, element), element.meter())
        .arg(element.variations.size());
}

void ContentsPane::showChoice() {
    const bool shown = playable(m_element);
    m_cboVariation->clear();
    m_cboVariation->setEnabled(shown);
    m_cmdPlay->setEnabled(shown);
    m_cmdExportMidi->setEnabled(shown);
    m_lbDrumMap->clear();
    if (!shown) {
        m_lbElement->clear();
        for (int t = 0; t < MusicTrack::Count; ++t)
            for (int c = 1; c < 3; ++c)
                m_grdTracks->item(t, c)->setText(QString());
        showPlaying();
        return;
    }
    const StyleElement& element = m_music->elements.at(m_element);
    for (const ChordVariation& variation : element.variations)
        m_cboVariation->addItem(variation.notes() > 0
                                    ? QString::number(variation.number)
                                    : QStringLiteral("%1 (no notes)").arg(variation.number));
    m_cboVariation->setCurrentIndex(m_variation - 1);
    const ChordVariation& variation = element.variations.at(m_variation - 1);
    m_lbElement->setText(QStringLiteral("%1 of %2").arg(measures(variation.ticks, element), element.meter()));
    showTracks(element, m_variation);
    if (const QList<int> keys = element.drumKeysOutsideGeneralMidi(); !keys.isEmpty()) {
        QStringList numbers;
        for (const int key : keys)
            numbers << QString::number(key);
        m_lbDrumMap->setText(
            QStringLiteral("The drum kit of %1 plays keys outside the General MIDI drum map (35 to "
                           "81): %2. A General MIDI SoundFont cannot play that kit; those notes "
                           "stay silent.")
                .arg(element.name(), numbers.join(QStringLiteral(", "))));
    }
    showPlaying();
}

void ContentsPane::showTracks(const StyleElement& element, int variation) {
    const ChordVariation& played = element.variations.at(variation - 1);
    const QColor silent = palette().color(QPalette::Disabled, QPalette::Text);
    for (int t = 0; t < MusicTrack::Count; ++t) {
        const TrackSound& sound = element.sounds.at(size_t(t));
        const MusicTrack* track = played.track(t);
        QTableWidgetItem* name = m_grdTracks->item(t, 1);
        name->setText(GeneralMidi::soundName(sound));
        name->setToolTip(QStringLiteral("Bank %1/%2, program %3")
                             .arg(sound.bankMsb)
                             .arg(sound.bankLsb)
                             .arg(sound.program));
        m_grdTracks->item(t, 2)->setText(track ? QString::number(track->notes()) : QStringLiteral("-"));
        for (int c = 0; c < 3; ++c)
            m_grdTracks->item(t, c)->setForeground(track ? palette().color(QPalette::Text) : silent);
    }
}

void ContentsPane::chooseElement(int element) {
    if (!playable(element))
        return;
    m_element = element;
    if (m_variation > m_music->elements.at(element).variations.size())
        m_variation = 1;
    m_cmdElement.at(size_t(element))->setChecked(true);
    showChoice();
    if (playing())
        m_player.cue(cue());
}

void ContentsPane::chooseVariation(int variation) {
    if (!playable(m_element) || variation < 1 ||
        variation > m_music->elements.at(m_element).variations.size())
        return;
    m_variation = variation;
    showChoice();
    if (playing())
        m_player.cue(cue());
}

PatternScheduler::Cue ContentsPane::cue() const {
    return {m_music, m_element, m_variation};
}

void ContentsPane::togglePlay() {
    if (playing())
        stopPlaying();
    else
        startPlaying();
}

void ContentsPane::startPlaying() {
    if (!music() || !playable(m_element))
        return;
    // Opening the audio output may take a moment, never more than a few seconds.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_player.play(cue(), m_module.SoundFontPath);
        QApplication::restoreOverrideCursor();
    } catch (const SbkError& e) {
        QApplication::restoreOverrideCursor();
        showPlaying();
        m_prompt.message(
            QStringLiteral("Cannot play %1 of style %2: %3\nExport MIDI... still saves the element "
                           "as a MIDI file.")
                .arg(StyleElement::names().at(m_element))
                .arg(m_prog)
                .arg(e.message()),
            Prompt::Title, Prompt::Icon::Exclamation);
        return;
    }
    showPlaying();
}

void ContentsPane::stopPlaying() {
    m_player.stop();
    showPlaying();
}

void ContentsPane::showPlaying() {
    const bool on = playing();
    m_cmdPlay->setText(on ? QStringLiteral("Stop") : QStringLiteral("Play"));
    if (on) {
        const LiveOutput* output = m_player.output();
        setStatus(
            QStringLiteral("Playing %1, chord variation %2, through %3")
                .arg(StyleElement::names().at(m_element))
                .arg(m_variation)
                .arg(output ? output->name() : QString()),
            QStringLiteral("Another element, chord variation or style starts at the next measure; Space or "
                           "Esc stops."));
    } else if (m_lbStatus->text().startsWith(QLatin1String("Playing"))) {
        setStatus(QString());
    }
}

void ContentsPane::setStatus(const QString& text, const QString& tip) {
    m_lbStatus->setText(text);
    m_lbStatus->setToolTip(tip.isEmpty() ? text : tip);
}

void ContentsPane::exportMidi() {
    if (!music() || !playable(m_element))
        return;
    try {
        const ElementTimeline timeline(*m_music, m_element, m_variation);
        const QString proposed =
            QStringLiteral("%1 %2%3.mid")
                .arg(fileSafe(m_styleName), timeline.element().name(),
                     m_variation > 1 ? QStringLiteral(" CV%1").arg(m_variation) : QString());
        QString path = m_prompt.saveFile(QStringLiteral("MIDI files (*.mid)|*.mid"), proposed);
        if (path.isEmpty())
            return;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".mid");
        MidiFileWriter::save(timeline, 1, MidiFileWriter::titleOf(m_styleName, timeline), path);
        setStatus(QStringLiteral("%1 saved as %2").arg(timeline.element().name(), QFileInfo(path).fileName()),
                  QDir::toNativeSeparators(path));
    } catch (const SbkError& e) {
        m_prompt.message(e.message(), Prompt::Title, Prompt::Icon::Critical);
    }
}

void ContentsPane::takeKeysFrom(QAbstractItemView* grid) {
    grid->installEventFilter(this);
}

bool ContentsPane::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !qobject_cast<QAbstractItemView*>(watched))
        return QGroupBox::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
        if (m_typed.isValid() && m_typed.elapsed() < QApplication::keyboardInputInterval())
            return false; // a blank inside a name typed into the grid's search
        if (!key->isAutoRepeat())
            togglePlay();
        return true;
    }
    if (!key->text().isEmpty() && key->text().at(0).isPrint())
        m_typed.start();
    return false;
}
