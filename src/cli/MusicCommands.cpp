// Commands on what the styles play: style-show, midi-export, wav-export, similar.
#include "cli/CliCommand.h"
#include "core/SbkError.h"
#include "core/SBKSettings.h"
#include "core/SingleByteText.h"
#include "music/ElementTimeline.h"
#include "music/GeneralMidi.h"
#include "music/MidiFileWriter.h"
#include "music/SimilarStyles.h"
#include "music/SoundFontLocator.h"
#include "music/SoundFontSynth.h"
#include "music/StyleMusicReader.h"
#include "music/SynthSettings.h"
#include "music/WavRenderer.h"
#include "store/Database.h"
#include "store/DbKORFStyle.h"

#include <memory>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// A stored style with what it plays.
struct ShownStyle {
    std::unique_ptr<Database> db;
    DbKORFStyle row;
    std::shared_ptr<const StyleMusic> music;
};

ShownStyle readStyle(CliContext& context, const QString& number) {
    const qint32 prog = cliStyleNumbers({number}).first();
    ShownStyle shown{context.openDatabase(), DbKORFStyle(), nullptr};
    shown.row.setActiveConnection(shown.db->connection());
    shown.music = std::make_shared<const StyleMusic>(StyleMusicReader::readStored(shown.row, prog));
    return shown;
}

QJsonValue tempoOf(const ShownStyle& shown) {
    const std::optional<int> tempo = shown.row.Tempo() ? shown.row.Tempo() : shown.music->tempo;
    return tempo ? QJsonValue(*tempo) : QJsonValue();
}

QString meterOf(const ShownStyle& shown) {
    return shown.row.Meter().isEmpty() ? shown.music->elements.first().meter() : shown.row.Meter();
}

QJsonObject elementJson(const StyleElement& element) {
    QJsonArray variations;
    for (const ChordVariation& variation : element.variations) {
        QJsonArray tracks;
        for (const MusicTrack& track : variation.tracks)
            tracks.append(QJsonObject{{QStringLiteral("Track"), track.name()},
                                      {QStringLiteral("Notes"), track.notes()},
                                      {QStringLiteral("Events"), int(track.events.size())}});
        variations.append(
            QJsonObject{{QStringLiteral("Variation"), variation.number},
                        {QStringLiteral("Measures"), int(variation.ticks / element.measureTicks())},
                        {QStringLiteral("Ticks"), qint64(variation.ticks)},
                        {QStringLiteral("Tracks"), tracks}});
    }
    QJsonArray sounds;
    for (int t = 0; t < MusicTrack::Count; ++t) {
        const TrackSound& sound = element.sounds.at(size_t(t));
        sounds.append(QJsonObject{{QStringLiteral("Track"), MusicTrack::nameOf(t)},
                                  {QStringLiteral("BankMSB"), sound.bankMsb},
                                  {QStringLiteral("BankLSB"), sound.bankLsb},
                                  {QStringLiteral("Program"), sound.program},
                                  {QStringLiteral("Name"), GeneralMidi::soundName(sound)}});
    }
    return QJsonObject{{QStringLiteral("Element"), element.name()},
                       {QStringLiteral("Meter"), element.meter()},
                       {QStringLiteral("ChordVariations"), variations},
                       {QStringLiteral("Sounds"), sounds}};
}

// One line per chord variation: the notes of each track, "-" where the variation plays none.
QString elementRows(const StyleElement& element) {
    QString text;
    for (const ChordVariation& variation : element.variations) {
        QString line = QStringLiteral("%1  %2  %3  %4")
                           .arg((variation.number == 1 ? element.name() : QString()).leftJustified(7),
                                (variation.number == 1 ? element.meter() : QString()).leftJustified(5),
                                QString::number(variation.number).rightJustified(2),
                                QString::number(variation.ticks / element.measureTicks()).rightJustified(8));
        for (int t = 0; t < MusicTrack::Count; ++t) {
            const MusicTrack* track = variation.track(t);
            line += QStringLiteral("  ") +
                    (track ? QString::number(track->notes()) : QStringLiteral("-")).rightJustified(4);
        }
        text += line.trimmed().isEmpty() ? QString() : line + QLatin1Char('\n');
    }
    return text;
}

// The sounds, once for every group of elements that share them.
QString soundsText(const StyleMusic& music) {
    QList<std::pair<QStringList, const StyleElement*>> groups;
    for (const StyleElement& element : music.elements) {
        auto same = std::find_if(groups.begin(), groups.end(), [&](const auto& group) {
            return std::equal(element.sounds.cbegin(), element.sounds.cend(), group.second->sounds.cbegin(),
                              [](const TrackSound& a, const TrackSound& b) {
                                  return a.bankMsb == b.bankMsb && a.bankLsb == b.bankLsb &&
                                         a.program == b.program;
                              });
        });
        if (same == groups.end())
            groups.append({{element.name()}, &element});
        else
            same->first << element.name();
    }
    QString text;
    for (const auto& [names, element] : groups) {
        text += QStringLiteral("\nSounds of %1:\n")
                    .arg(names.size() == StyleElement::Count ? QStringLiteral("every element")
                                                             : names.join(QStringLiteral(", ")));
        for (int t = 0; t < MusicTrack::Count; ++t) {
            const TrackSound& sound = element->sounds.at(size_t(t));
            text += QStringLiteral("  %1  %2  bank %3/%4, program %5\n")
                        .arg(MusicTrack::nameOf(t).leftJustified(4),
                             GeneralMidi::soundName(sound).leftJustified(24))
                        .arg(sound.bankMsb)
                        .arg(sound.bankLsb)
                        .arg(sound.program);
        }
    }
    return text;
}

QString styleText(const ShownStyle& shown) {
    const StyleMusic& music = *shown.music;
    const QJsonValue tempo = tempoOf(shown);
    QString text = QStringLiteral("Style %1  %2  tempo %3  meter %4  (named \"%5\" inside)\n\n")
                       .arg(shown.row.StyleProg())
                       .arg(SingleByteText::plainText(shown.row.StyleName1()).trimmed(),
                            tempo.isNull() ? QStringLiteral("-") : QString::number(tempo.toInt()),
                            meterOf(shown), music.name);
    QString heading = QStringLiteral("Element  Meter  CV  Measures");
    for (int t = 0; t < MusicTrack::Count; ++t)
        heading += QStringLiteral("  ") + MusicTrack::nameOf(t).rightJustified(4);
    text += heading + QLatin1Char('\n');
    QStringList outside;
    for (const StyleElement& element : music.elements) {
        text += elementRows(element);
        if (const QList<int> keys = element.drumKeysOutsideGeneralMidi(); !keys.isEmpty()) {
            QStringList numbers;
            for (const int key : keys)
                numbers << QString::number(key);
            outside << QStringLiteral("%1 (%2)").arg(element.name(), numbers.join(QStringLiteral(", ")));
        }
    }
    text += QStringLiteral("Notes of each track; \"-\": the chord variation (CV) does not play the track.\n");
    text += soundsText(music);
    if (!outside.isEmpty())
        text +=
            QStringLiteral("\nThe drum kits play keys outside the General MIDI drum map (35 to 81), which a "
                           "General MIDI SoundFont cannot play: %1.\n")
                .arg(outside.join(QStringLiteral("; ")));
    if (music.skipped() > 0)
        text += QStringLiteral("\n%1 events of unknown meaning were passed over.\n").arg(music.skipped());
    return text;
}

int runStyleShow(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json")}, {});
    args.expectPositionals(1, 1, QStringLiteral("STYLE (a style number)"));
    const ShownStyle shown = readStyle(context, args.positionals().first());
    if (!args.has(QStringLiteral("json"))) {
        context.out << styleText(shown);
        return 0;
    }
    QJsonArray elements;
    for (const StyleElement& element : shown.music->elements)
        elements.append(elementJson(element));
    context.out << QJsonDocument(QJsonObject{{QStringLiteral("StyleProg"), shown.row.StyleProg()},
                                             {QStringLiteral("StyleName1"), shown.row.StyleName1()},
                                             {QStringLiteral("StyleTempo"), tempoOf(shown)},
                                             {QStringLiteral("StyleMeter"), meterOf(shown)},
                                             {QStringLiteral("Elements"), elements}})
                       .toJson(QJsonDocument::Indented);
    return 0;
}

// What midi-export and wav-export play: a style number, an element, its chord variation, the
// passes and the file to write. -o is short for --output.
struct ExportArgs {
    QString style;
    int element = 0;
    int variation = 1;
    int repeat = 1;
    QString output;
    QString soundFont;
};

int numberOption(const CliArgs& args, const QString& name, int max) {
    bool ok = false;
    const QString text = args.value(name, QStringLiteral("1"));
    const int value = text.toInt(&ok);
    if (!ok || value < 1 || value > max)
        throw CliUsageError(
            QStringLiteral("--%1 must be a number from 1 to %2, not \"%3\"").arg(name).arg(max).arg(text));
    return value;
}

ExportArgs exportArgs(const CliContext& context, bool withSoundFont) {
    QStringList words = context.args;
    for (QString& word : words)
        if (word == QLatin1String("-o"))
            word = QStringLiteral("--output");
    QStringList valued{QStringLiteral("element"), QStringLiteral("variation"), QStringLiteral("repeat"),
                       QStringLiteral("output")};
    if (withSoundFont)
        valued << QStringLiteral("soundfont");
    const CliArgs args(words, {}, valued);
    args.expectPositionals(1, 1, QStringLiteral("STYLE (a style number)"));
    ExportArgs result;
    result.style = args.positionals().first();
    if (!args.has(QStringLiteral("element")))
        throw CliUsageError(QStringLiteral("missing --element (one of %1)")
                                .arg(StyleElement::names().join(QStringLiteral(", "))));
    result.element = StyleElement::indexOf(args.value(QStringLiteral("element")));
    if (result.element < 0)
        throw CliUsageError(QStringLiteral("unknown element \"%1\" (use %2)")
                                .arg(args.value(QStringLiteral("element")),
                                     StyleElement::names().join(QStringLiteral(", "))));
    result.variation = numberOption(args, QStringLiteral("variation"), 6);
    result.repeat = numberOption(args, QStringLiteral("repeat"), 999);
    result.output = args.value(QStringLiteral("output")).trimmed();
    if (result.output.isEmpty())
        throw CliUsageError(QStringLiteral("missing -o FILE (the file to write)"));
    result.soundFont = args.value(QStringLiteral("soundfont"));
    return result;
}

int runMidiExport(CliContext& context) {
    const ExportArgs args = exportArgs(context, false);
    const ShownStyle shown = readStyle(context, args.style);
    const ElementTimeline timeline(*shown.music, args.element, args.variation);
    MidiFileWriter::save(timeline, args.repeat, MidiFileWriter::titleOf(shown.row.StyleName1(), timeline),
                         args.output);
    const quint32 measures = timeline.ticks() / timeline.element().measureTicks();
    context.out << QStringLiteral("%1 written: style %2, %3, chord variation %4, %5 of %6%7, %8 tracks\n")
                       .arg(args.output)
                       .arg(shown.row.StyleProg())
                       .arg(timeline.element().name())
                       .arg(args.variation)
                       .arg(measures == 1 ? QStringLiteral("1 measure")
                                          : QStringLiteral("%1 measures").arg(measures))
                       .arg(timeline.element().meter(),
                            args.repeat > 1 ? QStringLiteral(" played %1 times").arg(args.repeat) : QString())
                       .arg(timeline.parts().size());
    return 0;
}

int runWavExport(CliContext& context) {
    const ExportArgs args = exportArgs(context, true);
    const QString soundFont = SoundFontLocator::resolve(
        args.soundFont, SBKSettings().value(SBKSettings::Parameters, SBKSettings::SoundFont));
    const ShownStyle shown = readStyle(context, args.style);
    SynthSettings settings;
    SoundFontSynth synth(settings, soundFont);
    CliProgress progress(context);
    const WavRenderer::Result result = WavRenderer::render({shown.music, args.element, args.variation},
                                                           args.repeat, synth, args.output, &progress);
    context.out << QStringLiteral("%1 written: style %2, %3, chord variation %4, %5 s and %6 s of release, "
                                  "played with %7\n")
                       .arg(args.output)
                       .arg(shown.row.StyleProg())
                       .arg(StyleElement::names().at(args.element))
                       .arg(args.variation)
                       .arg(result.playing, 0, 'f', 2)
                       .arg(WavRenderer::ReleaseSeconds, 0, 'f', 1)
                       .arg(soundFont);
    if (result.peak == 0)
        context.err << QStringLiteral(
            "sbk-cli: note: the chord variation plays no sound; the file is silent.\n");
    return 0;
}

int runSimilar(CliContext& context) {
    const CliArgs args(context.args, {QStringLiteral("json")}, {QStringLiteral("top")});
    args.expectPositionals(1, 1, QStringLiteral("STYLE (a style number)"));
    const qint32 prog = cliStyleNumbers(args.positionals()).first();
    bool counted = false;
    const int top = args.value(QStringLiteral("top"), QStringLiteral("20")).toInt(&counted);
    if (!counted || top < 1)
        throw CliUsageError(QStringLiteral("--top needs a number of styles of at least 1"));
    const auto db = context.openDatabase();
    DbKORFStyle row(db->connection());
    row.setStyleProg(prog);
    if (!row.GetKORFStylesNoContent())
        throw SbkError(
            row.clsKORFStylesError().isEmpty()
                ? QStringLiteral("There is no style %1.").arg(prog)
                : QStringLiteral("Style %1 cannot be read: %2").arg(prog).arg(row.clsKORFStylesError()));
    const SimilarStyles library(db->connection());
    const std::optional<QList<SimilarStyles::Match>> matches = library.nearest(prog, top);
    if (!matches)
        context.err << QStringLiteral("sbk-cli: %1 has no notes to compare.\n")
                           .arg(StyleMusicReader::styleWhat(prog, row.StyleName1()));
    const QList<SimilarStyles::Described> list =
        SimilarStyles::describe(db->connection(), matches.value_or(QList<SimilarStyles::Match>()));
    if (args.has(QStringLiteral("json"))) {
        QJsonArray array;
        for (const SimilarStyles::Described& style : list)
            array.append(QJsonObject{
                {QStringLiteral("StyleProg"), style.prog},
                {QStringLiteral("StyleName1"), style.name},
                {QStringLiteral("StyleTempo"), style.tempo ? QJsonValue(*style.tempo) : QJsonValue()},
                {QStringLiteral("StyleMeter"), style.meter},
                {QStringLiteral("Similarity"), style.similarity}});
        context.out << QJsonDocument(array).toJson(QJsonDocument::Indented);
        return 0;
    }
    if (list.isEmpty())
        return 0;
    context.out << QStringLiteral("%1  %2  %3  %4  %5\n")
                       .arg(QStringLiteral("Prog").rightJustified(6), QStringLiteral("Similar"),
                            QStringLiteral("Tempo"), QStringLiteral("Meter"), QStringLiteral("Name"));
    for (const SimilarStyles::Described& style : list)
        context.out
            << QStringLiteral("%1  %2  %3  %4  %5\n")
                   .arg(QString::number(style.prog).rightJustified(6),
                        (QString::number(style.similarity) + QLatin1Char('%')).rightJustified(7),
                        (style.tempo ? QString::number(*style.tempo) : QStringLiteral("-")).rightJustified(5),
                        (style.meter.isEmpty() ? QStringLiteral("-") : style.meter).leftJustified(5),
                        SingleByteText::plainText(style.name).trimmed());
    return 0;
}

const CliRegistration styleShow({QStringLiteral("style-show"),
                                 QStringLiteral("style-show STYLE [--json]\n"
                                                "  Patterns are shown as recorded."),
                                 QStringLiteral("what a stored style plays: its 15 elements with their chord "
                                                "variations, tracks, notes and sounds"),
                                 &runStyleShow});
const CliRegistration midiExport(
    {QStringLiteral("midi-export"),
     QStringLiteral(
         "midi-export STYLE --element NAME [--variation V] [--repeat K] --output FILE\n"
         "  NAME is Var1 to Var4, Intro1 to Intro3, Fill1 to Fill4, Break or Ending1 to Ending3; V "
         "the chord variation (default 1); K how many times the element plays (default 1). -o FILE "
         "is short for --output FILE. A Standard MIDI File of type 1, as recorded (not transposed "
         "to a chord)."),
     QStringLiteral("write an element of a stored style as a Standard MIDI File"), &runMidiExport});
const CliRegistration wavExport(
    {QStringLiteral("wav-export"),
     QStringLiteral(
         "wav-export STYLE --element NAME [--variation V] [--repeat K] [--soundfont FILE] --output FILE\n"
         "  As midi-export, played through the software synthesizer into a WAV file (16-bit stereo, "
         "44.1 kHz) at the style's tempo, with 2 seconds of release. The SoundFont is FILE, else "
         "the one set in the Parameters dialog, else the system's General MIDI SoundFont."),
     QStringLiteral("render an element of a stored style to a WAV file"), &runWavExport});

const CliRegistration similar(
    {QStringLiteral("similar"),
     QStringLiteral("similar STYLE [--top K] [--json]\n"
                    "  The K styles (default 20) whose notes are most like those of STYLE, most alike first,"
                    "\n  with how alike in whole percent: where the notes fall in the measure, drum by drum,"
                    "\n  and the pitches of bass and accompaniment however transposed; tempo, sounds,"
                    "\n  controllers and names do not count. A style that plays no note has none."),
     QStringLiteral("the styles that sound most like a stored style"), &runSimilar});

} // namespace
