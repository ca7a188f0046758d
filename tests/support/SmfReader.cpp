#include "SmfReader.h"

namespace {

class Bytes {
public:
    Bytes(const QByteArray& bytes, qsizetype from, qsizetype to) : m_bytes(bytes), m_at(from), m_end(to) {}
    bool atEnd() const { return m_at >= m_end; }
    qsizetype at() const { return m_at; }
    quint32 take(int n) {
        if (m_end - m_at < n)
            throw QStringLiteral("the file ends inside a value at %1").arg(m_at);
        quint32 v = 0;
        for (int i = 0; i < n; ++i)
            v = v << 8 | quint8(m_bytes[m_at++]);
        return v;
    }
    quint8 peek() const {
        if (atEnd())
            throw QStringLiteral("the track ends at %1 where a byte was expected").arg(m_at);
        return quint8(m_bytes[m_at]);
    }
    quint32 variable() {
        quint32 v = 0;
        for (int i = 0; i < 4; ++i) {
            const quint8 b = quint8(take(1));
            v = v << 7 | (b & 0x7F);
            if (!(b & 0x80))
                return v;
        }
        throw QStringLiteral("a variable-length quantity of more than 4 bytes at %1").arg(m_at);
    }
    QByteArray bytes(quint32 n) {
        if (quint64(m_end - m_at) < n)
            throw QStringLiteral("data of %1 bytes passes the end of the track").arg(n);
        const QByteArray part = m_bytes.mid(m_at, n);
        m_at += n;
        return part;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_at;
    qsizetype m_end;
};

QList<SmfEvent> readTrack(Bytes& in, bool& runningStatus) {
    QList<SmfEvent> events;
    quint32 tick = 0;
    quint8 status = 0;
    while (!in.atEnd()) {
        tick += in.variable();
        SmfEvent event;
        event.tick = tick;
        if (in.peek() & 0x80) {
            status = quint8(in.take(1));
        } else {
            if (status == 0)
                throw QStringLiteral("a data byte at %1 with no status before it").arg(in.at());
            runningStatus = true;
        }
        event.status = status;
        if (status == 0xFF) {
            event.meta = quint8(in.take(1));
            event.data = in.bytes(in.variable());
            status = 0;
        } else if (status == 0xF0 || status == 0xF7) {
            event.data = in.bytes(in.variable());
            status = 0;
        } else {
            const int kind = status & 0xF0;
            event.data = in.bytes(kind == 0xC0 || kind == 0xD0 ? 1 : 2);
            for (const char b : event.data)
                if (quint8(b) & 0x80)
                    throw QStringLiteral("a data byte with bit 7 set at %1").arg(in.at());
        }
        events << event;
        if (event.status == 0xFF && event.meta == 0x2F) {
            if (!in.atEnd())
                throw QStringLiteral("bytes after the end of the track at %1").arg(in.at());
            return events;
        }
    }
    throw QStringLiteral("a track without its end-of-track event");
}

} // namespace

SmfFile SmfFile::read(const QByteArray& bytes) {
    SmfFile file;
    try {
        Bytes in(bytes, 0, bytes.size());
        if (in.take(4) != 0x4D546864 || in.take(4) != 6)
            throw QStringLiteral("no MThd header of 6 bytes");
        file.format = int(in.take(2));
        const int tracks = int(in.take(2));
        file.division = int(in.take(2));
        for (int t = 0; t < tracks; ++t) {
            if (in.take(4) != 0x4D54726B)
                throw QStringLiteral("track %1 does not start with MTrk").arg(t);
            const quint32 size = in.take(4);
            if (quint64(bytes.size() - in.at()) < size)
                throw QStringLiteral("track %1 passes the end of the file").arg(t);
            Bytes track(bytes, in.at(), in.at() + size);
            file.tracks << readTrack(track, file.runningStatus);
            in.bytes(size);
        }
        if (!in.atEnd())
            throw QStringLiteral("bytes after the last track");
    } catch (const QString& error) {
        file.error = error;
    }
    return file;
}

QString SmfFile::trackName(int track) const {
    for (const SmfEvent& e : tracks.value(track))
        if (e.status == 0xFF && e.meta == 0x03)
            return QString::fromUtf8(e.data);
    return QString();
}
