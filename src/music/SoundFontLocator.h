#pragma once

#include <QString>
#include <QStringList>

// Where the SoundFont that plays the styles is found: the one given for a run (sbk-cli
// --soundfont), else the one of the "Sound font" setting, else the first General MIDI SoundFont of
// the system that exists.
class SoundFontLocator {
public:
    // Debian's General MIDI SoundFonts, the preferred first: the system's choice, FluidR3 (the
    // fluid-soundfont-gm package) and TimGM6mb (timgm6mb-soundfont).
    static const QStringList& systemSoundFonts();
    // The first of them that exists; "" when none does.
    static QString systemDefault();
    // The SoundFont to play with; SbkError that says where to set one when there is none, or when
    // the one given or set does not exist.
    static QString resolve(const QString& given, const QString& setting);
};
