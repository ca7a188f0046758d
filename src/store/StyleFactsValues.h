#pragma once

#include <functional>
#include <optional>
#include <QByteArray>
#include <QString>

// What a style's blocks tell about it, as the table KORFStyles keeps it: the tempo in beats per
// minute and the meter ("4/4"), each absent when the blocks do not give it, and then problem says
// why in words; and the fingerprints that find its copies (StyleFingerprint): of its bytes (always
// there), of its decoded blocks without its name, and of its decoded style block alone without its
// name (absent when the blocks cannot be decoded).
//
// damage says, in words, why a block does not decode to its end ("the style block does not
// decode: at byte offset 812: ..."), or that there is no style block; "" when both decode. It is
// set exactly when FingerprintRenamed is absent (FingerprintExact is always there), so the stored
// styles whose blocks do not decode are those with a FingerprintExact and no FingerprintRenamed;
// every way of storing a style reads its facts, and bringing an older library up to date reads
// those of every stored style.
struct StyleFactsValues {
    std::optional<int> Tempo;
    QString Meter; // "" when unknown
    QString problem;
    QString damage;
    std::optional<qint64> FingerprintExact;
    std::optional<qint64> FingerprintRenamed;
    std::optional<qint64> FingerprintSettings;
    // The note fingerprint (NoteVector's stored form) of what the style plays; empty when it plays
    // no note, its notes cannot be read, or the reader was not asked for it.
    QByteArray NoteFingerprint;

    bool complete() const { return Tempo.has_value() && !Meter.isEmpty(); }
};

// Reads the facts of a style from its two blocks as stored (StyleContent1, StyleContent2). The
// STY engine provides it (StyleFacts::read); the store takes it as a function so that bringing an
// older database up to date can fill the facts and fingerprints of every stored style. It never throws for a
// block it cannot read: the facts stay absent and problem is set. The reader that also gives the
// note fingerprint is the music engine's (NoteFingerprint::readFacts), which every way of storing a
// style hands on.
using StyleFactsReader =
    std::function<StyleFactsValues(const QByteArray& content1, const QByteArray& content2)>;
