#pragma once

#include "gui/music/LiveOutput.h"
#include "music/PatternScheduler.h"

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <QString>

// Plays styles live: the one audio output of a window (made on the first play, or ahead of it by
// prepare) and the scheduler that plays the chosen element into it, looping at the style's tempo.
// A new choice while playing starts at the next measure. The output comes from the factory in
// use: FluidAudioOutput with the SoundFont of the settings, or what a test installs.
class LivePlayer {
public:
    // Makes an output for the "Sound font" setting ("" for the system's); SbkError when it cannot.
    using Factory = std::function<std::unique_ptr<LiveOutput>(const QString& soundFontSetting)>;

    LivePlayer() = default;
    ~LivePlayer();
    LivePlayer(const LivePlayer&) = delete;
    LivePlayer& operator=(const LivePlayer&) = delete;

    // Makes the output on a thread of its own, so that the SoundFont is loaded before the first
    // play() needs it. Does nothing once the output is made or being made.
    void prepare(const QString& soundFontSetting);
    // Plays the cue from its start, looping, first opening the output when it is not open. SbkError
    // when the output cannot be made or opened (nothing plays then; the next play tries again), or
    // when the cue names no element or variation.
    void play(const PatternScheduler::Cue& cue, const QString& soundFontSetting);
    // While playing: switches to the cue at the next measure.
    void cue(const PatternScheduler::Cue& cue);
    void stop();
    bool playing() const;
    // The output that plays, nullptr before it is open.
    const LiveOutput* output() const { return m_started ? m_output.get() : nullptr; }
    // From the last play() to the first note that reached the synthesizer, in milliseconds; nullopt
    // until that note came.
    std::optional<double> startMilliseconds() const;

    // Installs a factory for its lifetime (tests, benchmarks); the innermost one is used.
    class ScopedFactory {
    public:
        explicit ScopedFactory(Factory factory);
        ~ScopedFactory();
        ScopedFactory(const ScopedFactory&) = delete;
        ScopedFactory& operator=(const ScopedFactory&) = delete;

    private:
        Factory m_previous;
    };

private:
    static Factory& factory();
    void makeOutput(const QString& soundFontSetting);
    void pull(int frames, MidiSink& sink, const PatternScheduler::Render& render);

    std::future<std::unique_ptr<LiveOutput>> m_preparing;
    std::unique_ptr<LiveOutput> m_output;
    std::unique_ptr<PatternScheduler> m_scheduler;
    bool m_started = false;
    std::atomic<qint64> m_playedAt{0};   // steady-clock nanoseconds of the last play(), 0 once heard
    std::atomic<qint64> m_firstNote{-1}; // nanoseconds from it to its first note, -1 until then
};
