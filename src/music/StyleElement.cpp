#include "music/StyleElement.h"

#include "music/GeneralMidi.h"

#include <set>

QString StyleElement::meter() const {
    return QStringLiteral("%1/%2").arg(numerator()).arg(denominator());
}

bool StyleElement::isEmpty() const {
    for (const ChordVariation& variation : variations)
        if (variation.notes() > 0)
            return false;
    return true;
}

QList<int> StyleElement::drumKeysOutsideGeneralMidi() const {
    std::set<int> keys;
    for (const ChordVariation& variation : variations)
        for (const MusicTrack& track : variation.tracks)
            if (sounds.at(size_t(track.track)).isDrumKit())
                for (const MusicEvent& event : track.events)
                    if (event.startsNote() && !GeneralMidi::isDrumKey(event.data1))
                        keys.insert(event.data1);
    return QList<int>(keys.cbegin(), keys.cend());
}

const QStringList& StyleElement::names() {
    static const QStringList list{
        QStringLiteral("Var1"),    QStringLiteral("Var2"),   QStringLiteral("Var3"),
        QStringLiteral("Var4"),    QStringLiteral("Intro1"), QStringLiteral("Intro2"),
        QStringLiteral("Fill1"),   QStringLiteral("Fill2"),  QStringLiteral("Ending1"),
        QStringLiteral("Ending2"), QStringLiteral("Break"),  QStringLiteral("Intro3"),
        QStringLiteral("Ending3"), QStringLiteral("Fill3"),  QStringLiteral("Fill4")};
    return list;
}

int StyleElement::indexOf(const QString& name) {
    for (qsizetype i = 0; i < names().size(); ++i)
        if (names().at(i).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}
