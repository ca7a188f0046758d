#pragma once

#include "music/PatternScheduler.h"

#include <functional>
#include <QString>

class MidiSink;

// Where live playing sounds: an audio device that, from a thread of its own, asks for each buffer
// of sound it is about to play (FluidAudioOutput), or in the tests an output that the test asks
// itself. The output owns the sink (a synthesizer) that the messages go to.
class LiveOutput {
public:
    // Fills the next frames: sends what falls due to the sink and renders the sound between
    // through render, as PatternScheduler::play does.
    using Pull = std::function<void(int frames, MidiSink& sink, const PatternScheduler::Render& render)>;

    virtual ~LiveOutput() = default;
    virtual double sampleRate() const = 0;
    // Starts sounding: from then on until the output is destroyed, pull is asked for every buffer.
    // SbkError saying why when no device opens; nothing sounds then.
    virtual void start(Pull pull) = 0;
    // What plays ("pulseaudio"), once started.
    virtual QString name() const = 0;
    // The sound that waits in the device's buffers, in seconds: how long a note takes from the
    // synthesizer to the ear.
    virtual double bufferSeconds() const { return 0; }
};
