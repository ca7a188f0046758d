#include "music/SynthSettings.h"

#include "core/SbkError.h"

#include <fluidsynth.h>

namespace {

thread_local QString lastFluidError;

void keepError(int, const char* message, void*) {
    lastFluidError = QString::fromLocal8Bit(message).trimmed();
}

} // namespace

SynthSettings::SynthSettings(double sampleRate) : m_sampleRate(sampleRate) {
    // FluidSynth writes its messages to the terminal; the program says what went wrong itself.
    fluid_set_log_function(FLUID_PANIC, keepError, nullptr);
    fluid_set_log_function(FLUID_ERR, keepError, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    m_settings = new_fluid_settings();
    if (!m_settings)
        throw SbkError(QStringLiteral("The software synthesizer cannot start: %1").arg(lastError()));
    fluid_settings_setnum(m_settings, "synth.sample-rate", sampleRate);
    fluid_settings_setstr(m_settings, "synth.midi-bank-select", "gm");
    fluid_settings_setnum(m_settings, "synth.gain", 0.7);
}

SynthSettings::~SynthSettings() {
    delete_fluid_settings(m_settings);
}

QString SynthSettings::lastError() {
    return lastFluidError;
}

void SynthSettings::clearLastError() {
    lastFluidError.clear();
}
