#include "music/SoundFontSynth.h"

#include "core/SbkError.h"
#include "music/MusicEvent.h"
#include "music/SynthSettings.h"

#include <fluidsynth.h>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int DrumBank = 128;

} // namespace

SoundFontSynth::SoundFontSynth(SynthSettings& settings, const QString& soundFont)
    : m_sampleRate(settings.sampleRate()), m_soundFont(soundFont) {
    const QFileInfo file(soundFont);
    if (!file.exists())
        throw SbkError(QStringLiteral("The sound font %1 does not exist.").arg(soundFont));
    if (!file.isFile())
        throw SbkError(QStringLiteral("The sound font %1 is no file.").arg(soundFont));
    const QByteArray name = QFile::encodeName(soundFont);
    if (!fluid_is_soundfont(name.constData()))
        throw SbkError(
            QStringLiteral("The sound font %1 cannot be loaded: it is no SoundFont.").arg(soundFont));
    SynthSettings::clearLastError();
    m_synth = new_fluid_synth(settings.handle());
    if (!m_synth)
        throw SbkError(
            QStringLiteral("The software synthesizer cannot start: %1").arg(SynthSettings::lastError()));
    m_font = fluid_synth_sfload(m_synth, name.constData(), 0);
    if (m_font == FLUID_FAILED) {
        const QString why = SynthSettings::lastError();
        delete_fluid_synth(m_synth);
        throw SbkError(QStringLiteral("The sound font %1 cannot be loaded%2.")
                           .arg(soundFont, why.isEmpty() ? QStringLiteral(": it is no SoundFont")
                                                         : QStringLiteral(": ") + why));
    }
}

SoundFontSynth::~SoundFontSynth() {
    delete_fluid_synth(m_synth);
}

void SoundFontSynth::send(quint8 status, quint8 data1, quint8 data2) {
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
    case MusicEvent::NoteOff:
        fluid_synth_noteoff(m_synth, channel, data1);
        break;
    case MusicEvent::NoteOn:
        if (data2 == 0)
            fluid_synth_noteoff(m_synth, channel, data1);
        else
            fluid_synth_noteon(m_synth, channel, data1, data2);
        break;
    case MusicEvent::PolyPressure:
        fluid_synth_key_pressure(m_synth, channel, data1, data2);
        break;
    case MusicEvent::ControlChange:
        fluid_synth_cc(m_synth, channel, data1, data2);
        break;
    case MusicEvent::ProgramChange:
        fluid_synth_program_change(m_synth, channel, data1);
        break;
    case MusicEvent::ChannelPressure:
        fluid_synth_channel_pressure(m_synth, channel, data1);
        break;
    case MusicEvent::PitchBend:
        fluid_synth_pitch_bend(m_synth, channel, data1 | data2 << 7);
        break;
    default:
        break;
    }
}

void SoundFontSynth::selectSound(int channel, const TrackSound& sound) {
    fluid_sfont_t* font = fluid_synth_get_sfont_by_id(m_synth, m_font);
    const bool drums = sound.isDrumKit();
    const int bank = drums ? DrumBank : 0;
    int program = sound.program;
    if (!fluid_sfont_get_preset(font, bank, program))
        program = 0;
    fluid_synth_set_channel_type(m_synth, channel, drums ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
    fluid_synth_program_select(m_synth, channel, m_font, bank, program);
}

void SoundFontSynth::write(int frames, qint16* interleaved) {
    fluid_synth_write_s16(m_synth, frames, interleaved, 0, 2, interleaved, 1, 2);
}

void SoundFontSynth::reset() {
    fluid_synth_system_reset(m_synth);
}
