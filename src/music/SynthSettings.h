#pragma once

#include <QString>

typedef struct _fluid_hashtable_t fluid_settings_t;

// FluidSynth's settings, the first of its three lifetimes: they outlive the synthesizer made with
// them (SoundFontSynth) and whatever plays it (a file renderer, or a window's audio driver, which
// sets its own "audio.*" settings here before it starts). The synthesizer takes bank selects as
// General MIDI does (ignoring them): the sounds of the style's tracks are chosen by
// SoundFontSynth::selectSound from what the SoundFont holds.
class SynthSettings {
public:
    static constexpr double DefaultSampleRate = 44100;

    explicit SynthSettings(double sampleRate = DefaultSampleRate);
    ~SynthSettings();
    SynthSettings(const SynthSettings&) = delete;
    SynthSettings& operator=(const SynthSettings&) = delete;

    fluid_settings_t* handle() const { return m_settings; }
    double sampleRate() const { return m_sampleRate; }

    // The last error FluidSynth reported on this thread ("" when none), for messages that name it.
    static QString lastError();
    static void clearLastError();

private:
    fluid_settings_t* m_settings = nullptr;
    double m_sampleRate;
};
