#pragma once

#include "music/ElementTimeline.h"
#include "music/MidiSink.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Plays chord variations of style elements into a MidiSink in step with the frames of sound the
// caller renders: an offline renderer that writes a file, or the callback of a live audio driver.
// Each call of play() covers the next frames of the caller's buffer: it sends every message that
// falls due in them and asks the caller to render the frames between, so each message sounds
// within a frame of its tick. The style's tempo (and the master track's changes, each pass starting
// again at the style's tempo) turns ticks into frames.
//
// start(), cue() and stop() may be called from another thread than play() (a window while the
// audio driver plays): they leave a request that the next play() takes up.
class PatternScheduler {
public:
    // What to play: a chord variation (from 1) of an element (0..14) of a style, which the
    // scheduler keeps alive while it plays it.
    struct Cue {
        std::shared_ptr<const StyleMusic> music;
        int element = 0;
        int variation = 1;
    };
    // Renders count frames of sound at offset frames into the caller's buffer.
    using Render = std::function<void(int offset, int count)>;

    explicit PatternScheduler(double sampleRate);

    // Plays the cue from its start at once, passes times (0: until stopped), ending what played
    // before. SbkError when the style has no such element or variation.
    void start(const Cue& cue, int passes = 0);
    // Switches to the cue at the next measure boundary of what plays (at once when nothing plays),
    // and loops it.
    void cue(const Cue& cue);
    // Ends every note at the start of the next play().
    void stop();
    // Whether nothing plays: never started, stopped, or all passes played.
    bool idle() const { return m_idle; }

    // The next frames: messages to sink, sound through render (also for silence).
    void play(int frames, MidiSink& sink, const Render& render);

    // How long passes of the timeline last, in seconds.
    static double seconds(const ElementTimeline& timeline, int passes);
    // The timeline the cue names; SbkError when it names no style, element or variation.
    static std::shared_ptr<const ElementTimeline> timelineOf(const Cue& cue);

private:
    struct Request {
        enum class Kind { Start, Cue, Stop } kind = Kind::Stop;
        std::shared_ptr<const StyleMusic> music;
        std::shared_ptr<const ElementTimeline> timeline;
        int passes = 0;
    };
    struct Playing {
        std::shared_ptr<const StyleMusic> music;
        std::shared_ptr<const ElementTimeline> timeline;
        int passes = 0; // 0: loops
        int pass = 0;
        double tick = 0;
        size_t next = 0;       // the next message
        qsizetype tempoAt = 0; // the next tempo change
        int tempo = 120;
    };

    void request(Request request);
    void takeRequests(MidiSink& sink);
    void begin(Request& request, MidiSink& sink, double tick);
    void silence(MidiSink& sink);
    void sendDue(MidiSink& sink);
    double passTicks() const;
    double nextTick() const;
    void crossBoundaries(MidiSink& sink, double before);
    double ticksPerFrame() const;

    double m_sampleRate;
    std::mutex m_mutex;
    std::optional<Request> m_request; // guarded by m_mutex
    std::optional<Request> m_cued;    // waits for the next measure
    std::optional<Playing> m_playing;
    std::atomic<bool> m_idle{true};
};
