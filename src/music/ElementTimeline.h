#pragma once

#include "music/StyleMusic.h"

#include <QList>
#include <QString>
#include <vector>

// One chord variation of an element made ready for MIDI: each track it plays on its channel with
// its sound, its events in play order (at one tick, the notes that end before the notes that
// start), and all of them merged into one list for a player. Drum kits play on General MIDI's
// drum channel 10; every other track on a channel of its own (Drum 1, Perc 2, Bass 3, Acc1 4 ...).
class ElementTimeline {
public:
    static constexpr int DefaultTempo = 120;

    struct Part {
        int track = 0;
        int channel = 0; // 0..15
        TrackSound sound;
        QList<MusicEvent> events;
    };
    // A channel message at its tick: status with the channel.
    struct Message {
        quint32 tick = 0;
        quint8 status = 0;
        quint8 data1 = 0;
        quint8 data2 = 0;
        bool endsNote() const {
            const int kind = status & 0xF0;
            return kind == MusicEvent::NoteOff || (kind == MusicEvent::NoteOn && data2 == 0);
        }
    };

    // SbkError when the style has no such element or the element no such variation (from 1).
    ElementTimeline(const StyleMusic& music, int element, int variation);

    const StyleElement& element() const { return *m_element; }
    const ChordVariation& variation() const { return *m_variation; }
    // The style's tempo, or DefaultTempo when its performance block gives none.
    int tempo() const { return m_tempo; }
    quint32 ticks() const { return m_variation->ticks; }
    // What one pass of a player lasts: the variation's length, or one measure of silence when it has
    // none.
    quint32 passTicks() const { return qMax(ticks(), m_element->measureTicks()); }
    const QList<Part>& parts() const { return m_parts; }
    // Every part's events with its channel, in play order.
    const std::vector<Message>& messages() const { return m_messages; }
    // The bank selects (CC 0 and 32) and program change that give each part its sound, as stored.
    std::vector<Message> soundMessages() const;

    static int channelOf(int track, const TrackSound& sound);
    // Orders events for playing: by tick, and at one tick the ends of notes first; others keep
    // their order.
    static void sortForPlaying(QList<MusicEvent>& events);

private:
    const StyleElement* m_element = nullptr;
    const ChordVariation* m_variation = nullptr;
    int m_tempo = DefaultTempo;
    QList<Part> m_parts;
    std::vector<Message> m_messages;
};
