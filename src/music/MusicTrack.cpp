#include "music/MusicTrack.h"

#include <algorithm>
#include <QStringList>

int MusicTrack::notes() const {
    return int(
        std::count_if(events.cbegin(), events.cend(), [](const MusicEvent& e) { return e.startsNote(); }));
}

QString MusicTrack::nameOf(int track) {
    static const QStringList names{QStringLiteral("Drum"), QStringLiteral("Perc"), QStringLiteral("Bass"),
                                   QStringLiteral("Acc1"), QStringLiteral("Acc2"), QStringLiteral("Acc3"),
                                   QStringLiteral("Acc4"), QStringLiteral("Acc5")};
    return names.value(track);
}
