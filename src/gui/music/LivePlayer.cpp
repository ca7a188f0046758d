#include "gui/music/LivePlayer.h"

#include "core/SbkError.h"
#include "gui/music/FluidAudioOutput.h"
#include "music/MidiSink.h"
#include "music/MusicEvent.h"
#include "music/SoundFontLocator.h"

#include <chrono>

namespace {

qint64 now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Passes everything on, noting when the first note after a play() goes to the synthesizer.
class FirstNoteTap : public MidiSink {
public:
    FirstNoteTap(MidiSink& sink, std::atomic<qint64>& playedAt, std::atomic<qint64>& firstNote)
        : m_sink(sink), m_playedAt(playedAt), m_firstNote(firstNote) {}
    void send(quint8 status, quint8 data1, quint8 data2) override {
        if ((status & 0xF0) == MusicEvent::NoteOn && data2 > 0)
            if (const qint64 at = m_playedAt.exchange(0); at != 0)
                m_firstNote = now() - at;
        m_sink.send(status, data1, data2);
    }
    void selectSound(int channel, const TrackSound& sound) override { m_sink.selectSound(channel, sound); }

private:
    MidiSink& m_sink;
    std::atomic<qint64>& m_playedAt;
    std::atomic<qint64>& m_firstNote;
};

} // namespace

LivePlayer::Factory& LivePlayer::factory() {
    static Factory current = [](const QString& setting) -> std::unique_ptr<LiveOutput> {
        return std::make_unique<FluidAudioOutput>(SoundFontLocator::resolve(QString(), setting));
    };
    return current;
}

LivePlayer::ScopedFactory::ScopedFactory(Factory factory) : m_previous(std::move(LivePlayer::factory())) {
    LivePlayer::factory() = std::move(factory);
}

LivePlayer::ScopedFactory::~ScopedFactory() {
    LivePlayer::factory() = std::move(m_previous);
}

LivePlayer::~LivePlayer() {
    if (m_preparing.valid())
        m_preparing.wait();
    m_output.reset(); // the output stops calling before the scheduler goes
}

void LivePlayer::prepare(const QString& soundFontSetting) {
    if (m_output || m_preparing.valid())
        return;
    m_preparing = std::async(std::launch::async,
                             [make = factory(), soundFontSetting] { return make(soundFontSetting); });
}

void LivePlayer::makeOutput(const QString& soundFontSetting) {
    if (m_output)
        return;
    if (m_preparing.valid()) {
        try {
            m_output = m_preparing.get(); // a failure made ahead is told now
        } catch (const SbkError&) {
            // Made again below: the setting may have been mended since.
        }
    }
    if (!m_output)
        m_output = factory()(soundFontSetting);
    m_scheduler = std::make_unique<PatternScheduler>(m_output->sampleRate());
}

void LivePlayer::play(const PatternScheduler::Cue& cue, const QString& soundFontSetting) {
    PatternScheduler::timelineOf(cue); // what the cue names is checked before a device opens
    m_playedAt = now();
    m_firstNote = -1;
    makeOutput(soundFontSetting);
    m_scheduler->start(cue);
    if (!m_started) {
        try {
            m_output->start([this](int frames, MidiSink& sink, const PatternScheduler::Render& render) {
                pull(frames, sink, render);
            });
        } catch (const SbkError&) {
            m_scheduler->stop();
            throw;
        }
        m_started = true;
    }
}

void LivePlayer::pull(int frames, MidiSink& sink, const PatternScheduler::Render& render) {
    FirstNoteTap tap(sink, m_playedAt, m_firstNote);
    m_scheduler->play(frames, tap, render);
}

void LivePlayer::cue(const PatternScheduler::Cue& cue) {
    if (playing())
        m_scheduler->cue(cue);
}

void LivePlayer::stop() {
    if (m_scheduler)
        m_scheduler->stop();
}

bool LivePlayer::playing() const {
    return m_started && m_scheduler && !m_scheduler->idle();
}

std::optional<double> LivePlayer::startMilliseconds() const {
    const qint64 ns = m_firstNote;
    return ns < 0 ? std::nullopt : std::optional<double>(ns / 1e6);
}
