#pragma once

#include "gui/music/LivePlayer.h"
#include "music/StyleMusic.h"

#include <array>
#include <memory>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QTimer>

class Prompt;
class QAbstractItemView;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QScrollArea;
class QTableWidget;
class SBKModule;

// The "Contents" pane of the styles window: what the grid's current style plays. Its fifteen
// elements as buttons laid out as on the instrument's panel (intros, variations, fills and break,
// endings; an element without notes disabled), the chord variation of the chosen element, the
// sound and the notes of each of its eight tracks, its measures and meter, and a note where its
// drum kit plays keys that a General MIDI SoundFont lacks. A style that cannot be read says why
// here, and stays usable for everything else.
//
// Play loops the chosen element live at the style's tempo; choosing another element, chord
// variation or style while it plays switches at the next measure. The pane reads its style from
// the database only while it shows (or plays), a moment after the grid's current style last
// changed, so that moving through the grid or typing into its search reads only the style it
// comes to rest on.
class ContentsPane : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int ReadDelayMs = 60;

    ContentsPane(SBKModule& module, Prompt& prompt, QWidget* parent = nullptr);
    ~ContentsPane() override;

    // The style to show (0: none), read when the pane shows.
    void showStyle(qint32 prog);
    qint32 style() const { return m_prog; }
    // What the style plays, read now when the reading waits; nullptr for no style or one that cannot
    // be read (error() says why).
    const StyleMusic* music();
    QString error() const { return m_error; }
    int element() const { return m_element; }
    int variation() const { return m_variation; }
    void chooseElement(int element);
    void chooseVariation(int variation);

    // Plays the chosen element, or stops it when it plays.
    void togglePlay();
    void stopPlaying();
    bool playing() const { return m_player.playing(); }
    LivePlayer& player() { return m_player; }
    // Saves the chosen element (its chord variation, once) as a Standard MIDI File chosen through
    // the prompt.
    void exportMidi();
    // Space pressed in the grid plays and stops, unless it goes on with a name being typed into the
    // grid's own search (a letter came less than the keyboard's input interval before).
    void takeKeysFrom(QAbstractItemView* grid);
    // The size that shows everything without scrolling.
    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildElementButtons(QGridLayout* grid);
    void buildTrackTable();
    void readStyle();
    void showMusic();
    void showChoice();
    void showTracks(const StyleElement& element, int variation);
    void showPlaying();
    // The line under the buttons, with its whole story in its tooltip.
    void setStatus(const QString& text, const QString& tip = QString());
    void startPlaying();
    PatternScheduler::Cue cue() const;
    bool playable(int element) const;
    QString elementText(const StyleElement& element) const;

    SBKModule& m_module;
    Prompt& m_prompt;
    LivePlayer m_player;
    QTimer m_readTimer;
    QElapsedTimer m_typed; // since the last letter typed into the grid
    qint32 m_prog = 0;
    bool m_read = true; // m_music and m_error are those of m_prog
    std::shared_ptr<const StyleMusic> m_music;
    QString m_error;
    QString m_styleName;
    int m_element = 0;
    int m_variation = 1;

    QLabel* m_lbStyle;
    QLabel* m_lbError;
    QWidget* m_body;
    std::array<QPushButton*, StyleElement::Count> m_cmdElement{};
    QComboBox* m_cboVariation;
    QLabel* m_lbElement;
    QPushButton* m_cmdPlay;
    QPushButton* m_cmdExportMidi;
    QTableWidget* m_grdTracks;
    QLabel* m_lbDrumMap;
    QLabel* m_lbStatus;
    QScrollArea* m_scroll;
};
