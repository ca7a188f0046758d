#include "music/MidiFileWriter.h"

#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "music/ElementTimeline.h"

#include <initializer_list>
#include <map>
#include <vector>

namespace {

// The events of one track of the file, at their absolute ticks, in the order they are written.
class TrackBytes {
public:
    void meta(quint32 tick, quint8 type, const QByteArray& data) {
        at(tick);
        m_bytes += char(0xFF);
        m_bytes += char(type);
        m_bytes += MidiFileWriter::variableLength(quint32(data.size())) + data;
    }
    void message(quint32 tick, quint8 status, quint8 data1, quint8 data2) {
        at(tick);
        m_bytes += char(status);
        m_bytes += char(data1);
        const int kind = status & 0xF0;
        if (kind != MusicEvent::ProgramChange && kind != MusicEvent::ChannelPressure)
            m_bytes += char(data2);
    }
    QByteArray chunk(quint32 endTick) {
        meta(endTick, 0x2F, {});
        const quint32 size = quint32(m_bytes.size());
        QByteArray header("MTrk");
        for (int shift = 24; shift >= 0; shift -= 8)
            header += char(size >> shift);
        return header + m_bytes;
    }

private:
    void at(quint32 tick) {
        m_bytes += MidiFileWriter::variableLength(tick - m_tick);
        m_tick = tick;
    }
    QByteArray m_bytes;
    quint32 m_tick = 0;
};

// A meta event's data: the low byte of each value.
QByteArray metaData(std::initializer_list<quint32> values) {
    QByteArray bytes;
    bytes.reserve(qsizetype(values.size()));
    for (const quint32 v : values)
        bytes.append(char(v & 0xFF));
    return bytes;
}

QByteArray tempoData(int bpm) {
    const quint32 micros = quint32(60000000 / bpm);
    return metaData({micros >> 16, micros >> 8, micros});
}

QByteArray conductor(const ElementTimeline& timeline, int repeat, const QString& title) {
    TrackBytes track;
    track.meta(0, 0x03, title.toUtf8());
    const StyleElement& element = timeline.element();
    int power = 0;
    while ((1 << power) < element.denominator())
        ++power;
    // MIDI clocks (24 to the quarter) per metronome click: one click per beat of the meter.
    const int clocks = 96 / element.denominator();
    track.meta(0, 0x58, metaData({quint32(element.numerator()), quint32(power), quint32(clocks), 8}));
    const QList<TempoChange>& changes = timeline.variation().tempoChanges;
    for (int r = 0; r < repeat; ++r) {
        // Every pass starts at the style's tempo.
        const quint32 start = quint32(r) * timeline.ticks();
        if (r == 0 || !changes.isEmpty())
            track.meta(start, 0x51, tempoData(timeline.tempo()));
        for (const TempoChange& change : changes)
            track.meta(start + change.tick, 0x51, tempoData(change.bpm));
    }
    return track.chunk(quint32(repeat) * timeline.ticks());
}

QByteArray partTrack(const ElementTimeline::Part& part, quint32 ticks, int repeat) {
    TrackBytes track;
    track.meta(0, 0x03, MusicTrack::nameOf(part.track).toLatin1());
    const quint8 control = quint8(MusicEvent::ControlChange | part.channel);
    track.message(0, control, 0, part.sound.bankMsb);
    track.message(0, control, 32, part.sound.bankLsb);
    track.message(0, quint8(MusicEvent::ProgramChange | part.channel), part.sound.program, 0);
    QList<MusicEvent> events;
    events.reserve(part.events.size() * repeat);
    for (int r = 0; r < repeat; ++r)
        for (MusicEvent event : part.events) {
            event.tick += quint32(r) * ticks;
            events << event;
        }
    // The end of a pass and the start of the next meet at one tick.
    ElementTimeline::sortForPlaying(events);
    std::map<quint8, int> held; // key -> notes started and not ended
    for (const MusicEvent& e : events) {
        track.message(e.tick, quint8(e.status | part.channel), e.data1, e.data2);
        if (e.startsNote())
            ++held[e.data1];
        else if (e.endsNote() && held[e.data1] > 0)
            --held[e.data1];
    }
    const quint32 end = quint32(repeat) * ticks;
    for (const auto& [key, count] : held)
        for (int i = 0; i < count; ++i)
            track.message(end, quint8(MusicEvent::NoteOff | part.channel), key, 0);
    return track.chunk(end);
}

} // namespace

QByteArray MidiFileWriter::variableLength(quint32 value) {
    QByteArray bytes(1, char(value & 0x7F));
    for (value >>= 7; value > 0; value >>= 7)
        bytes.prepend(char(0x80 | (value & 0x7F)));
    return bytes;
}

QByteArray MidiFileWriter::write(const ElementTimeline& timeline, int repeat, const QString& title) {
    if (repeat < 1 || quint64(timeline.ticks()) * quint64(repeat) > MaxTick)
        throw SbkError(QStringLiteral("%1 repeats of %2 ticks do not fit a MIDI file (at most %3 ticks)")
                           .arg(repeat)
                           .arg(timeline.ticks())
                           .arg(MaxTick));
    const qsizetype tracks = 1 + timeline.parts().size();
    QByteArray file("MThd");
    file += QByteArray("\0\0\0\x06\0\x01", 6);
    file += char(tracks >> 8);
    file += char(tracks);
    file += char(Division >> 8);
    file += char(Division & 0xFF);
    file += conductor(timeline, repeat, title);
    for (const ElementTimeline::Part& part : timeline.parts())
        file += partTrack(part, timeline.ticks(), repeat);
    return file;
}

void MidiFileWriter::save(const ElementTimeline& timeline, int repeat, const QString& title,
                          const QString& path) {
    const QByteArray bytes = write(timeline, repeat, title);
    SaveFile file(path);
    if (!file.openForWriting() || !file.writeAll(bytes) || !file.commit()) {
        const QString why = file.errorString();
        file.cancelWriting();
        throw SbkError(QStringLiteral("Cannot write %1: %2").arg(path, why));
    }
}

QString MidiFileWriter::titleOf(const QString& styleName, const ElementTimeline& timeline) {
    return QStringLiteral("%1: %2, chord variation %3")
        .arg(styleName.trimmed(), timeline.element().name())
        .arg(timeline.variation().number);
}
