#include "music/ChordVariation.h"

const MusicTrack* ChordVariation::track(int number) const {
    for (const MusicTrack& t : tracks)
        if (t.track == number)
            return &t;
    return nullptr;
}

int ChordVariation::notes() const {
    int sum = 0;
    for (const MusicTrack& t : tracks)
        sum += t.notes();
    return sum;
}
