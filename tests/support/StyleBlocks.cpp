#include "StyleBlocks.h"

#include <QtGlobal>

namespace {

QByteArray bigEndian(quint32 v) {
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(v >> (24 - 8 * i));
    return bytes;
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
