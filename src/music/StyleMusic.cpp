#include "music/StyleMusic.h"

int StyleMusic::skipped() const {
    int sum = 0;
    for (const StyleElement& element : elements)
        for (const ChordVariation& variation : element.variations) {
            sum += variation.skipped;
            for (const MusicTrack& track : variation.tracks)
                sum += track.skipped;
        }
    return sum;
}
