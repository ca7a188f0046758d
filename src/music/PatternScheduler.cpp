#include "music/PatternScheduler.h"

#include "core/SbkError.h"

#include <algorithm>
#include <cmath>

namespace {

// Ticks computed from frames come out a hair short of the tick they aim at.
constexpr double Slack = 1e-6;
constexpr quint8 ResetControllers = 121;
constexpr quint8 AllNotesOff = 123;

} // namespace

PatternScheduler::PatternScheduler(double sampleRate) : m_sampleRate(sampleRate) {}

std::shared_ptr<const ElementTimeline> PatternScheduler::timelineOf(const Cue& cue) {
    if (!cue.music)
        throw SbkError(QStringLiteral("There is no style to play."));
    return std::make_shared<const ElementTimeline>(*cue.music, cue.element, cue.variation);
}

void PatternScheduler::start(const Cue& cue, int passes) {
    request({Request::Kind::Start, cue.music, timelineOf(cue), qMax(0, passes)});
}

void PatternScheduler::cue(const Cue& cue) {
    request({Request::Kind::Cue, cue.music, timelineOf(cue), 0});
}

void PatternScheduler::stop() {
    request({Request::Kind::Stop, nullptr, nullptr, 0});
}

void PatternScheduler::request(Request request) {
    const bool stopping = request.kind == Request::Kind::Stop;
    std::lock_guard lock(m_mutex);
    m_request = std::move(request);
    m_idle = stopping;
}

double PatternScheduler::seconds(const ElementTimeline& timeline, int passes) {
    double seconds = 0;
    quint32 at = 0;
    int tempo = timeline.tempo();
    const double perTick = 60.0 / StyleElement::TicksPerQuarter;
    for (const TempoChange& change : timeline.variation().tempoChanges) {
        seconds += (change.tick - at) * perTick / tempo;
        at = change.tick;
        tempo = change.bpm;
    }
    seconds += (timeline.passTicks() - at) * perTick / tempo;
    return seconds * qMax(1, passes);
}

void PatternScheduler::play(int frames, MidiSink& sink, const Render& render) {
    takeRequests(sink);
    int done = 0;
    while (done < frames) {
        if (!m_playing) {
            render(done, frames - done);
            return;
        }
        sendDue(sink);
        const double step = ticksPerFrame();
        const int n =
            std::clamp(int(std::ceil((nextTick() - m_playing->tick) / step - Slack)), 1, frames - done);
        render(done, n);
        done += n;
        const double before = m_playing->tick;
        m_playing->tick += n * step;
        crossBoundaries(sink, before);
    }
}

void PatternScheduler::takeRequests(MidiSink& sink) {
    std::optional<Request> taken;
    {
        std::lock_guard lock(m_mutex);
        taken.swap(m_request);
    }
    if (!taken)
        return;
    if (taken->kind == Request::Kind::Cue && m_playing) {
        m_cued = std::move(taken);
        return;
    }
    silence(sink);
    m_cued.reset();
    m_playing.reset();
    if (taken->kind != Request::Kind::Stop)
        begin(*taken, sink, 0);
}

void PatternScheduler::begin(Request& request, MidiSink& sink, double tick) {
    m_playing =
        Playing{request.music, request.timeline, request.passes, 0, tick, 0, 0, request.timeline->tempo()};
    for (const ElementTimeline::Part& part : request.timeline->parts()) {
        sink.send(quint8(MusicEvent::ControlChange | part.channel), ResetControllers, 0);
        sink.selectSound(part.channel, part.sound);
    }
    m_idle = false;
}

void PatternScheduler::silence(MidiSink& sink) {
    if (!m_playing)
        return;
    quint16 channels = 0;
    for (const ElementTimeline::Part& part : m_playing->timeline->parts())
        channels |= quint16(1u << part.channel);
    for (int channel = 0; channel < 16; ++channel)
        if (channels & (1u << channel))
            sink.send(quint8(MusicEvent::ControlChange | channel), AllNotesOff, 0);
}

void PatternScheduler::sendDue(MidiSink& sink) {
    Playing& p = *m_playing;
    const std::vector<ElementTimeline::Message>& messages = p.timeline->messages();
    for (; p.next < messages.size() && messages[p.next].tick <= p.tick + Slack; ++p.next)
        sink.send(messages[p.next].status, messages[p.next].data1, messages[p.next].data2);
    const QList<TempoChange>& changes = p.timeline->variation().tempoChanges;
    for (; p.tempoAt < changes.size() && changes[p.tempoAt].tick <= p.tick + Slack; ++p.tempoAt)
        p.tempo = changes[p.tempoAt].bpm;
}

double PatternScheduler::nextTick() const {
    const Playing& p = *m_playing;
    double next = p.timeline->passTicks();
    if (p.next < p.timeline->messages().size())
        next = std::min<double>(next, p.timeline->messages()[p.next].tick);
    const QList<TempoChange>& changes = p.timeline->variation().tempoChanges;
    if (p.tempoAt < changes.size())
        next = std::min<double>(next, changes[p.tempoAt].tick);
    if (m_cued) {
        const double measure = p.timeline->element().measureTicks();
        next = std::min(next, (std::floor(p.tick / measure + Slack) + 1) * measure);
    }
    return next;
}

void PatternScheduler::crossBoundaries(MidiSink& sink, double before) {
    Playing& p = *m_playing;
    const double measure = p.timeline->element().measureTicks();
    const double boundary = (std::floor(before / measure + Slack) + 1) * measure;
    if (m_cued && p.tick + Slack >= boundary) {
        const double tick = p.tick;
        p.tick = boundary;
        sendDue(sink); // what ends right at the boundary still belongs to the old pattern
        silence(sink);
        Request cued = std::move(*m_cued);
        m_cued.reset();
        begin(cued, sink, std::max(0.0, tick - boundary));
        return;
    }
    if (p.tick + Slack < p.timeline->passTicks())
        return;
    const double overshoot = std::max(0.0, p.tick - p.timeline->passTicks());
    p.tick = p.timeline->passTicks();
    sendDue(sink);
    silence(sink);
    if (p.passes > 0 && ++p.pass >= p.passes) {
        m_playing.reset();
        m_idle = true;
        return;
    }
    p.tick = overshoot;
    p.next = 0;
    p.tempoAt = 0;
    p.tempo = p.timeline->tempo();
}

double PatternScheduler::ticksPerFrame() const {
    return m_playing->tempo * double(StyleElement::TicksPerQuarter) / (60.0 * m_sampleRate);
}
