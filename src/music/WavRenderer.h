#pragma once

#include "music/PatternScheduler.h"

#include <QString>

class Progress;
class SoundFontSynth;

// Renders a chord variation of an element offline, through a SoundFontSynth, into a WAV file of
// 16-bit stereo samples, written through SaveFile: the passes at the style's tempo, then the
// release, in which the last notes and the reverb fade. The third of FluidSynth's lifetimes, beside
// the audio driver a window starts for live playing.
class WavRenderer {
public:
    static constexpr double ReleaseSeconds = 2.0;
    // The longest file written.
    static constexpr double MaxSeconds = 60 * 60;

    struct Result {
        qint64 frames = 0;
        double seconds = 0; // all of it, the release included
        double playing = 0; // the passes alone
        double peak = 0;    // the loudest sample, 0 to 1
    };

    // SbkError when the cue names no element or variation, the file would pass MaxSeconds, or it
    // cannot be written (nothing is left at path then).
    static Result render(const PatternScheduler::Cue& cue, int passes, SoundFontSynth& synth,
                         const QString& path, Progress* progress = nullptr);
};
