#pragma once

#include "music/MidiSink.h"

#include <QString>

class SynthSettings;
typedef struct _fluid_synth_t fluid_synth_t;

// A FluidSynth synthesizer with one SoundFont loaded, the second of FluidSynth's lifetimes: made
// from settings that outlive it, and played by a renderer or an audio driver that it outlives.
// Sounds are chosen from what the SoundFont holds, as a General MIDI player would: a drum kit the
// kit of that program in bank 128 (else the standard kit 0), a melodic sound the program in bank 0;
// the variations General MIDI 2 picks with bank LSB have no counterpart in a General MIDI SoundFont.
class SoundFontSynth : public MidiSink {
public:
    // SbkError naming the file when it is no SoundFont FluidSynth can load.
    SoundFontSynth(SynthSettings& settings, const QString& soundFont);
    ~SoundFontSynth() override;
    SoundFontSynth(const SoundFontSynth&) = delete;
    SoundFontSynth& operator=(const SoundFontSynth&) = delete;

    fluid_synth_t* handle() const { return m_synth; }
    double sampleRate() const { return m_sampleRate; }
    const QString& soundFont() const { return m_soundFont; }

    void send(quint8 status, quint8 data1, quint8 data2) override;
    void selectSound(int channel, const TrackSound& sound) override;

    // The next frames of sound, 16-bit stereo interleaved (2 * frames values).
    void write(int frames, qint16* interleaved);
    // Every voice silenced and every channel back to its start.
    void reset();

private:
    fluid_synth_t* m_synth = nullptr;
    int m_font = -1;
    double m_sampleRate = 0;
    QString m_soundFont;
};
