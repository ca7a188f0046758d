#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The tests' own reader of Standard MIDI Files, written from the format alone, to check what the
// program writes: the header, every track's events at their absolute ticks. Fails (QString error)
// on anything a strict reader would refuse; notes where a file leans on running status.
struct SmfEvent {
    quint32 tick = 0;
    quint8 status = 0; // 0xFF for a meta event
    quint8 meta = 0;   // its type
    QByteArray data;   // the data bytes (of a meta event: its data)
    int channel() const { return status & 0x0F; }
    int kind() const { return status & 0xF0; }
};

struct SmfFile {
    int format = -1;
    int division = 0;
    QList<QList<SmfEvent>> tracks;
    bool runningStatus = false; // some event left out its status byte
    QString error;              // "" when the file read cleanly

    static SmfFile read(const QByteArray& bytes);
    // The name (meta 03) of a track; "" when it has none.
    QString trackName(int track) const;
};
