#include "StyleBlocks.h"

#include <algorithm>
#include <initializer_list>
#include <QHash>
#include <QtGlobal>

namespace {

QByteArray bigEndian(quint32 v) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(v >> (24 - 8 * i));
    return bytes;
}

QByteArray bytesOf(std::initializer_list<int> values) {
    QByteArray bytes;
    for (const int v : values)
        bytes += char(v);
    return bytes;
}

QByteArray bigEndian16(quint32 v) {
    return bytesOf({int(v >> 8), int(v)});
}

// A delta time as the style keeps it: 7 bits a byte, most significant first, every byte with bit 7
// set; none for 0.
QByteArray delta(quint32 ticks) {
    QByteArray bytes;
    for (; ticks > 0; ticks >>= 7)
        bytes.prepend(char(0x80 | (ticks & 0x7F)));
    return bytes;
}

QByteArray meta(quint8 id, const QByteArray& data) {
    return QByteArray(1, '\x09') + char(id) + bigEndian16(quint32(data.size())) + data;
}

// A sequence: its length, the byte count of its events, the events ending at the length, the trailer.
QByteArray sequence(quint32 ticks, QList<std::pair<quint32, QByteArray>> events, const QByteArray& trailer) {
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QByteArray bytes;
    quint32 at = 0;
    for (const auto& [tick, event] : events) {
        bytes += delta(tick - at) + event;
        at = tick;
    }
    bytes += delta(ticks - at) + meta(0x2f, {});
    return bigEndian(ticks) + bigEndian(quint32(bytes.size())) + bytes + trailer;
}

QByteArray channelEvent(const StyleBlocks::Event& e) {
    QByteArray bytes(1, char((e.status >> 4) - 8));
    const bool oneByte = e.status == 0xC0 || e.status == 0xD0;
    if (oneByte)
        return bytes + char(e.data1 | 0x80);
    return bytes + char(e.data1 & 0x7F) + char(e.data2 | 0x80);
}

int defaultType(int track) {
    return track < 2 ? 0 : track == 2 ? 1 : 2;
}

QByteArray elementInfo(const StyleBlocks::Element& element, int variations, bool newer) {
    QByteArray info(newer ? 44 : 28, '\0');
    info[0] = char((1 << variations) - 1);
    info[1] = char(element.signature);
    info[2] = char(0x18);
    info[27] = char(variations == 6 ? 3 : 2);
    if (newer)
        info[31] = char(0x0a), info[43] = char(0x01);
    return info;
}

QByteArray sounds(const StyleBlocks::Element& element, bool newer) {
    QByteArray bytes;
    for (const StyleBlocks::Sound& sound : element.sounds)
        bytes += bytesOf({newer ? 0x73 : 0x64, sound.bankMsb, sound.bankLsb, sound.program, 0x15, 0x6c});
    bytes += QByteArray(24, '\0') + QByteArray(8, '\1') + QByteArray(8, '\4');
    return bytes + QByteArray(newer ? 8 : 0, '\0');
}

} // namespace

QByteArray StyleBlocks::chunk(quint32 id, const QByteArray& data) {
    return bigEndian(id) + bigEndian(quint32(data.size())) + data;
}

QByteArray StyleBlocks::oc31Literal(const QByteArray& data) {
    if (data.size() > 0 && data.size() < 4)
        qFatal("an OC31 literal stream cannot hold 1 to 3 bytes");
    QByteArray out("OC31");
    for (int i = 0; i < 4; ++i)
        out += char(quint32(data.size()) >> (8 * i));
    quint8 check = 0;
    for (qsizetype at = 0; at < data.size();) {
        const qsizetype left = data.size() - at;
        qsizetype run = qMin<qsizetype>(left, 0xFF + 0x12);
        if (left - run > 0 && left - run < 4)
            run -= 4; // never leave a rest shorter than the shortest run
        if (run >= 0x12) {
            out += char(0x00);
            out += char(run - 0x12);
        } else {
            out += char(run - 2);
        }
        out += data.mid(at, run);
        at += run;
    }
    for (const char byte : data)
        check ^= quint8(byte);
    out += QByteArray("\x01\x00\x00", 3);
    out += char(check);
    return out;
}

QByteArray StyleBlocks::compressed(quint32 id, const QByteArray& tree) {
    return chunk(id, oc31Literal(tree));
}

QByteArray StyleBlocks::styleBlock(quint8 signature, bool newer, const QByteArray& filler,
                                   const QByteArray& name) {
    QByteArray info(newer ? 44 : 28, '\0');
    info[0] = char(0x3F);
    info[1] = char(signature);
    info[2] = char(0x18);
    const QByteArray element = chunk(newer ? 0x01010308 : 0x01010108, info) +
                               chunk(newer ? 0x02000408 : 0x02000308, QByteArray(88, 'e'));
    // The style information: the name's length, the name, the style's settings.
    const QByteArray information = char(name.size()) + name +
                                   QByteArray::fromHex("aaa0f800070108080808080808080000"
                                                       "7fff");
    QByteArray root = chunk(0x01000308, information) +
                      chunk(0x02000000, chunk(0x01000008, QByteArray(20, '\1'))) + chunk(0x03000000, element);
    if (!filler.isEmpty())
        root += chunk(0x03000000, chunk(0x7F000008, filler));
    return compressed(0x06000030, chunk(0x01050000, root));
}

QByteArray StyleBlocks::performanceBlock(int tempo, bool newer, const QByteArray& filler) {
    QByteArray performance;
    if (newer) {
        QByteArray settings =
            bigEndian(0x0F) + QByteArray("\x00\x02\x00\x0b", 4) + "User" + '\0' + "SYSTEM_ROOT" + '\0';
        const QByteArray path("<KORG SYSTEM>\\STARTUP\\ALL");
        settings += bigEndian(quint32(path.size() + 1)) + path + '\0';
        settings += '\0';
        settings += char(tempo);
        settings.resize(125, '\0');
        QByteArray other(20, '\0');
        other[6] = char(tempo);
        performance = chunk(0x04020200, chunk(0x27000008, other)) + chunk(0x04020008, settings);
    } else {
        QByteArray settings = bigEndian(0x0F) + QByteArray("\x14\x00\x00", 3);
        settings += char(tempo);
        settings.resize(77, '\x08');
        performance = chunk(0x04000108, settings);
    }
    if (!filler.isEmpty())
        performance += chunk(0x02000000, chunk(0x05000000, chunk(0x7F000008, filler)));
    return compressed(newer ? 0x09020130 : 0x09010030, chunk(0x00000000, chunk(0x01000000, performance)));
}

QList<StyleBlocks::Event> StyleBlocks::notes(quint32 from, quint32 step, int count, quint8 key,
                                             quint8 velocity, quint32 length) {
    QList<Event> events;
    for (int i = 0; i < count; ++i) {
        const quint32 tick = from + quint32(i) * step;
        events << Event{tick, 0x90, key, velocity} << Event{tick + length, 0x80, key, 64};
    }
    return events;
}

QByteArray StyleBlocks::musicTree(const Music& music) {
    QList<QByteArray> pool;
    QHash<QByteArray, int> numbers; // a sequence's chunk -> its pool number
    QList<int> references;
    auto reference = [&](int type, const QByteArray& sequence) {
        const QByteArray stored = chunk(quint32(0x02 + type) << 24 | 0x08, sequence);
        int number = numbers.value(stored);
        if (number == 0) {
            pool << stored;
            number = int(pool.size());
            numbers.insert(stored, number);
        }
        references << number;
    };
    QByteArray elements;
    for (int e = 0; e < music.elements.size(); ++e) {
        const Element& element = music.elements.at(e);
        QList<Variation> variations = element.variations;
        if (variations.isEmpty()) {
            Variation empty;
            for (int t = 0; t < 8; ++t)
                empty.tracks << Track{t, {}, -1, 0};
            variations = QList<Variation>(e < 4 ? 6 : 2, Variation{});
            variations[0] = empty;
        }
        QByteArray content = chunk(music.newer ? 0x01010308 : 0x01010108,
                                   elementInfo(element, int(variations.size()), music.newer)) +
                             chunk(music.newer ? 0x02000408 : 0x02000308, sounds(element, music.newer));
        for (const Variation& variation : variations) {
            QList<std::pair<quint32, QByteArray>> events;
            QByteArray trailer(1, char(variation.tracks.size()));
            for (int k = 0; k < variation.tracks.size(); ++k) {
                const Track& track = variation.tracks.at(k);
                const int type = track.type >= 0 ? track.type : defaultType(track.track);
                events << std::pair{track.start, meta(0x7e, bytesOf({0x03, k, 0, 0}))};
                trailer += char(type);
                trailer += char(track.track);
                QList<std::pair<quint32, QByteArray>> trackEvents;
                for (const Event& event : track.events)
                    trackEvents << std::pair{event.tick, channelEvent(event)};
                reference(type, sequence(variation.ticks, trackEvents,
                                         type == 0 ? QByteArray() : QByteArray(2, '\0')));
            }
            for (const auto& [tick, bpm] : variation.tempoChanges)
                events << std::pair{tick, meta(0x7e, bytesOf({0x02, bpm}))};
            content += chunk(0x03000008, sequence(variation.ticks, events, trailer));
        }
        elements += chunk(0x03000000, content);
    }
    QByteArray index = bigEndian16(quint32(pool.size())) + bigEndian16(quint32(references.size()));
    for (const int number : references)
        index += bigEndian16(quint32(number));
    const QByteArray information = char(music.name.size()) + music.name +
                                   QByteArray::fromHex("aaa0f800070108080808080808080000"
                                                       "7fff");
    const QByteArray root =
        chunk(0x01000308, information) + chunk(0x02000000, chunk(0x01000008, index) + pool.join()) + elements;
    return chunk(0x01050000, root);
}

QByteArray StyleBlocks::musicBlock(const Music& music) {
    return compressed(0x06000030, musicTree(music));
}
