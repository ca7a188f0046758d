#include "gui/music/FluidAudioOutput.h"

#include "core/SbkError.h"
#include "music/SoundFontSynth.h"
#include "music/SynthSettings.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fluidsynth.h>
#include <mutex>
#include <QStringList>
#include <thread>

namespace {

// The drivers whose calls were given up and have not come back, by name; guarded by givenUpMutex.
std::mutex givenUpMutex;
QStringList givenUp;

} // namespace

// The synthesizer and what plays it, kept alive while any driver may still call.
struct FluidAudioOutput::Shared {
    SynthSettings settings;
    std::unique_ptr<SoundFontSynth> synth;
    Pull pull; // set before a driver opens, and never again
};

// One driver being opened on a thread of its own, shared by that thread, the driver's callbacks
// and the window that waits for it.
struct FluidAudioOutput::Attempt {
    std::shared_ptr<Shared> shared;
    SynthSettings settings; // the driver's own: its name and device
    QString name;
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;      // guarded by mutex, as the three below
    bool abandoned = false; // the window stopped waiting
    fluid_audio_driver_t* driver = nullptr;
    QString error;
    std::atomic<bool> live{false}; // the window took the driver: its callbacks play

    explicit Attempt(std::shared_ptr<Shared> s)
        : shared(std::move(s)), settings(shared->settings.sampleRate()) {}

    // FluidSynth's audio callback: the buffers come zeroed, which is silence until the driver is
    // taken. Every driver but JACK's gives no buffers for the effects: they mix into the dry ones.
    static int fill(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
        auto* self = static_cast<Attempt*>(data);
        if (!self->live.load(std::memory_order_acquire) || nout < 2)
            return FLUID_OK;
        fluid_synth_t* synth = self->shared->synth->handle();
        int result = FLUID_OK;
        self->shared->pull(len, *self->shared->synth, [&](int offset, int count) {
            std::array<float*, 2> dry{out[0] + offset, out[1] + offset};
            std::array<float*, 4> wet{dry[0], dry[1], dry[0], dry[1]};
            if (nfx >= 4)
                wet = {fx[0] + offset, fx[1] + offset, fx[2] + offset, fx[3] + offset};
            if (fluid_synth_process(synth, count, int(wet.size()), wet.data(), 2, dry.data()) != FLUID_OK)
                result = FLUID_FAILED;
        });
        return result;
    }

    // On the opening thread.
    void open() {
        SynthSettings::clearLastError();
        fluid_audio_driver_t* made = new_fluid_audio_driver2(settings.handle(), &Attempt::fill, this);
        const QString why = SynthSettings::lastError();
        std::unique_lock lock(mutex);
        done = true;
        if (abandoned) {
            lock.unlock();
            if (made)
                delete_fluid_audio_driver(made);
            const std::lock_guard names(givenUpMutex);
            givenUp.removeOne(name);
            return;
        }
        driver = made;
        error = why;
        answered.notify_all();
    }
};

QList<FluidAudioOutput::Driver> FluidAudioOutput::defaultDrivers() {
#ifdef Q_OS_LINUX
    return {{QStringLiteral("pulseaudio"), {}}, {QStringLiteral("alsa"), {}}};
#else
    return {{QString(), {}}};
#endif
}

FluidAudioOutput::FluidAudioOutput(const QString& soundFont, QList<Driver> drivers, int timeoutMs)
    : m_shared(std::make_shared<Shared>()), m_drivers(std::move(drivers)), m_timeoutMs(timeoutMs) {
    m_shared->synth = std::make_unique<SoundFontSynth>(m_shared->settings, soundFont);
}

FluidAudioOutput::~FluidAudioOutput() {
    // The driver goes first: its thread stops calling before the synthesizer goes.
    if (m_open)
        delete_fluid_audio_driver(m_open->driver);
}

double FluidAudioOutput::sampleRate() const {
    return m_shared->settings.sampleRate();
}

double FluidAudioOutput::bufferSeconds() const {
    return PeriodFrames * Periods / sampleRate();
}

int FluidAudioOutput::stillOpening() {
    const std::lock_guard lock(givenUpMutex);
    return int(givenUp.size());
}

void FluidAudioOutput::start(Pull pull) {
    if (m_open)
        return;
    if (!m_shared->pull)
        m_shared->pull = std::move(pull);
    QStringList failures;
    for (const Driver& driver : std::as_const(m_drivers)) {
        const QString name =
            driver.name.isEmpty() ? QStringLiteral("the system's audio output") : driver.name;
        {
            const std::lock_guard lock(givenUpMutex);
            if (givenUp.contains(name)) {
                failures << QStringLiteral("%1 has not answered an earlier call yet").arg(name);
                continue;
            }
        }
        auto attempt = std::make_shared<Attempt>(m_shared);
        attempt->name = name;
        fluid_settings_t* settings = attempt->settings.handle();
        if (!driver.name.isEmpty())
            fluid_settings_setstr(settings, "audio.driver", driver.name.toLatin1().constData());
        fluid_settings_setint(settings, "audio.period-size", PeriodFrames);
        fluid_settings_setint(settings, "audio.periods", Periods);
        for (const auto& [key, value] : driver.settings)
            if (fluid_settings_setstr(settings, key.constData(), value.constData()) != FLUID_OK)
                fluid_settings_setint(settings, key.constData(), value.toInt());
        std::thread([attempt] { attempt->open(); }).detach();

        std::unique_lock lock(attempt->mutex);
        if (!attempt->answered.wait_for(lock, std::chrono::milliseconds(m_timeoutMs),
                                        [&] { return attempt->done; })) {
            attempt->abandoned = true;
            const std::lock_guard names(givenUpMutex);
            givenUp << name;
            failures << QStringLiteral("%1 did not answer within %2 seconds")
                            .arg(name)
                            .arg(m_timeoutMs / 1000.0, 0, 'g', 2);
            continue;
        }
        if (!attempt->driver) {
            failures << QStringLiteral("%1: %2").arg(
                name, attempt->error.isEmpty() ? QStringLiteral("it did not open") : attempt->error);
            continue;
        }
        attempt->live.store(true, std::memory_order_release);
        m_open = attempt;
        m_name = name;
        return;
    }
    throw SbkError(QStringLiteral("No audio output opened (%1).").arg(failures.join(QStringLiteral("; "))));
}
