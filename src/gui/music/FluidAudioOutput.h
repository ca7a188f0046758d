#pragma once

#include "gui/music/LiveOutput.h"

#include <memory>
#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

// The live audio output: a FluidSynth synthesizer with the SoundFont loaded, played through
// FluidSynth's audio driver for the system's sound. The drivers are tried in turn until one opens;
// each gets a few seconds, since a sound server that does not answer would keep FluidSynth waiting
// for half a minute: a driver that does not open in time is given up (and not tried again until its
// call has come back), and the next one is tried. No driver opening is an error that names each
// driver with its reason; the synthesizer stays loaded for the next try.
class FluidAudioOutput : public LiveOutput {
public:
    static constexpr int OpenTimeoutMs = 2000;
    // Frames the driver asks for at a time, and the buffers it keeps: some 23 ms of sound.
    static constexpr int PeriodFrames = 256;
    static constexpr int Periods = 4;

    // A driver of FluidSynth with settings of its own ({"audio.alsa.device", "hw:1"}).
    struct Driver {
        QString name;
        QList<std::pair<QByteArray, QByteArray>> settings;
    };
    // On Linux PulseAudio (which PipeWire serves as well), then ALSA; elsewhere the system's own.
    static QList<Driver> defaultDrivers();

    // SbkError naming the file when the SoundFont cannot be loaded.
    explicit FluidAudioOutput(const QString& soundFont, QList<Driver> drivers = defaultDrivers(),
                              int timeoutMs = OpenTimeoutMs);
    ~FluidAudioOutput() override;
    FluidAudioOutput(const FluidAudioOutput&) = delete;
    FluidAudioOutput& operator=(const FluidAudioOutput&) = delete;

    double sampleRate() const override;
    void start(Pull pull) override;
    QString name() const override { return m_name; }
    double bufferSeconds() const override;

    // How many drivers' calls that were given up have not come back yet.
    static int stillOpening();

    struct Attempt;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QList<Driver> m_drivers;
    int m_timeoutMs;
    std::shared_ptr<Attempt> m_open; // the driver that plays
    QString m_name;
};
