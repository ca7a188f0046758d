#include "music/ElementTimeline.h"

#include "core/SbkError.h"
#include "music/GeneralMidi.h"

#include <algorithm>

ElementTimeline::ElementTimeline(const StyleMusic& music, int element, int variation) {
    if (element < 0 || element >= music.elements.size())
        throw SbkError(QStringLiteral("There is no element %1; a style has %2: %3.")
                           .arg(element + 1)
                           .arg(StyleElement::Count)
                           .arg(StyleElement::names().join(QStringLiteral(", "))));
    m_element = &music.elements.at(element);
    if (variation < 1 || variation > m_element->variations.size())
        throw SbkError(QStringLiteral("%1 has chord variations 1 to %2, not %3.")
                           .arg(m_element->name())
                           .arg(m_element->variations.size())
                           .arg(variation));
    m_variation = &m_element->variations.at(variation - 1);
    m_tempo = music.tempo.value_or(DefaultTempo);
    for (const MusicTrack& track : m_variation->tracks) {
        Part part;
        part.track = track.track;
        part.sound = m_element->sounds.at(size_t(track.track));
        part.channel = channelOf(track.track, part.sound);
        part.events = track.events;
        sortForPlaying(part.events);
        m_parts << part;
    }
    std::sort(m_parts.begin(), m_parts.end(), [](const Part& a, const Part& b) { return a.track < b.track; });
    for (const Part& part : m_parts)
        for (const MusicEvent& e : part.events)
            m_messages.push_back({e.tick, quint8(e.status | part.channel), e.data1, e.data2});
    std::stable_sort(m_messages.begin(), m_messages.end(), [](const Message& a, const Message& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.endsNote() && !b.endsNote();
    });
}

std::vector<ElementTimeline::Message> ElementTimeline::soundMessages() const {
    std::vector<Message> list;
    for (const Part& part : m_parts) {
        const quint8 control = quint8(MusicEvent::ControlChange | part.channel);
        list.push_back({0, control, 0, part.sound.bankMsb});
        list.push_back({0, control, 32, part.sound.bankLsb});
        list.push_back({0, quint8(MusicEvent::ProgramChange | part.channel), part.sound.program, 0});
    }
    return list;
}

int ElementTimeline::channelOf(int track, const TrackSound& sound) {
    return sound.isDrumKit() ? GeneralMidi::DrumChannel : track;
}

void ElementTimeline::sortForPlaying(QList<MusicEvent>& events) {
    const auto before = [](const MusicEvent& a, const MusicEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.endsNote() && !b.endsNote();
    };
    // Most tracks are in order already; those keep sharing their events with the pool.
    if (!std::is_sorted(events.cbegin(), events.cend(), before))
        std::stable_sort(events.begin(), events.end(), before);
}
