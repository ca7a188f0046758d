#include "music/WavRenderer.h"

#include "core/ProgressRun.h"
#include "core/SaveFile.h"
#include "core/SbkError.h"
#include "music/SoundFontSynth.h"

#include <cmath>
#include <cstdlib>
#include <QtEndian>
#include <vector>

namespace {

constexpr int BlockFrames = 4096;
constexpr int Channels = 2;

void append32(QByteArray& bytes, quint32 v) {
    for (int i = 0; i < 4; ++i)
        bytes += char(v >> (8 * i));
}

void append16(QByteArray& bytes, quint16 v) {
    bytes += char(v);
    bytes += char(v >> 8);
}

QByteArray waveHeader(qint64 frames, int sampleRate) {
    const quint32 data = quint32(frames * Channels * 2);
    QByteArray header("RIFF");
    append32(header, 36 + data);
    header += "WAVEfmt ";
    append32(header, 16);
    append16(header, 1); // PCM
    append16(header, Channels);
    append32(header, quint32(sampleRate));
    append32(header, quint32(sampleRate * Channels * 2));
    append16(header, Channels * 2);
    append16(header, 16);
    header += "data";
    append32(header, data);
    return header;
}

} // namespace

WavRenderer::Result WavRenderer::render(const PatternScheduler::Cue& cue, int passes, SoundFontSynth& synth,
                                        const QString& path, Progress* progress) {
    const std::shared_ptr<const ElementTimeline> played = PatternScheduler::timelineOf(cue);
    const ElementTimeline& timeline = *played;
    Result result;
    result.playing = PatternScheduler::seconds(timeline, passes);
    result.seconds = result.playing + ReleaseSeconds;
    if (result.seconds > MaxSeconds)
        throw SbkError(
            QStringLiteral("%1 passes of %2 last %3 minutes; a sound file lasts %4 minutes at most.")
                .arg(passes)
                .arg(timeline.element().name())
                .arg(result.seconds / 60, 0, 'f', 0)
                .arg(MaxSeconds / 60, 0, 'f', 0));
    const int rate = int(synth.sampleRate());
    result.frames = qint64(std::ceil(result.playing * rate)) + qint64(ReleaseSeconds * rate);

    SaveFile file(path);
    auto failed = [&](const QString& why) {
        file.cancelWriting();
        return SbkError(QStringLiteral("Cannot write %1: %2").arg(path, why));
    };
    if (!file.openForWriting())
        throw failed(file.errorString());
    if (!file.writeAll(waveHeader(result.frames, rate)))
        throw failed(file.errorString());

    synth.reset();
    PatternScheduler scheduler(rate);
    scheduler.start(cue, qMax(1, passes));
    std::vector<qint16> block(size_t(BlockFrames * Channels));
    int peak = 0;
    const ProgressRun run(progress, result.frames,
                          QStringLiteral("Rendering %1").arg(timeline.element().name()));
    for (qint64 done = 0; done < result.frames;) {
        const int n = int(qMin<qint64>(BlockFrames, result.frames - done));
        scheduler.play(n, synth,
                       [&](int offset, int count) { synth.write(count, block.data() + offset * Channels); });
        for (int i = 0; i < n * Channels; ++i) {
            peak = qMax(peak, std::abs(int(block[size_t(i)])));
            block[size_t(i)] = qToLittleEndian(block[size_t(i)]);
        }
        if (!file.writeAll(
                QByteArray::fromRawData(reinterpret_cast<const char*>(block.data()), n * Channels * 2)))
            throw failed(file.errorString());
        done += n;
        run.step(done);
        if (run.cancelled())
            throw failed(QStringLiteral("cancelled"));
    }
    if (!file.commit())
        throw failed(file.errorString());
    result.peak = peak / 32768.0;
    return result;
}
