#pragma once

#include "music/ChordVariation.h"
#include "music/TrackSound.h"

#include <array>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One of the fifteen elements of a style (variations, intros, fills, break, endings): its meter,
// the sounds of its eight tracks and its chord variations.
struct StyleElement {
    static constexpr int Count = 15;
    static constexpr int TicksPerQuarter = 384;

    int index = 0; // 0..14, the order the style keeps them in
    quint8 variationMask = 0;
    quint8 signature = 0x22; // the time signature byte: numerator b >> 3, denominator 1 << (b & 7)
    QByteArray chordTable;   // 24 bytes: chord type -> index of its chord variation
    std::array<TrackSound, 8> sounds{};
    QList<ChordVariation> variations;

    QString name() const { return names().value(index); }
    int numerator() const { return signature >> 3; }
    int denominator() const { return 1 << (signature & 7); }
    QString meter() const;
    quint32 measureTicks() const { return measureTicksOf(signature); }
    // The ticks of a measure in the meter of a time signature byte.
    static quint32 measureTicksOf(quint8 signature) {
        return quint32(4 * TicksPerQuarter * (signature >> 3) / (1 << (signature & 7)));
    }
    // Whether no chord variation plays a note.
    bool isEmpty() const;
    // The keys outside the General MIDI drum map (35 to 81) that the element's drum-kit tracks play,
    // in ascending order.
    QList<int> drumKeysOutsideGeneralMidi() const;

    // "Var1", "Var2", "Var3", "Var4", "Intro1", "Intro2", "Fill1", "Fill2", "Ending1", "Ending2",
    // "Break", "Intro3", "Ending3", "Fill3", "Fill4": the order of the elements in a style.
    static const QStringList& names();
    // The index of an element's name, in any case; -1 when it names none.
    static int indexOf(const QString& name);
};
