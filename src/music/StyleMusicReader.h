#pragma once

#include "music/StyleMusic.h"

#include <QByteArray>
#include <QString>

class BlockTree;
class DbKORFStyle;

// Reads what a style plays from its style block (chunk 06xxxxxx, OC31-compressed as instruments
// save it). The decoded tree holds a container 01050000 with, in order: the style information
// (its inner name), the pool 02000000 of track sequences and fifteen element containers
// 03000000. The pool starts with its index table 01000008 (BE16 pool size P, BE16 reference count
// R, R BE16 pool numbers from 1), then P sequences of ids 02000008, 03000008 and 04000008 (02 +
// the sequence's type: drum, bass, accompaniment). An element holds its information 0101xx08
// (byte 0 the mask of its chord variations, byte 1 the time signature, bytes 3 to 26 the chord
// table), its sounds 0200xx08 (eight records of 6 bytes: -, bank MSB, bank LSB, program, -, -)
// and one master track 03000008 per chord variation.
//
// A sequence is a BE32 length in ticks, a BE32 byte count N, N bytes of events and a trailer. An
// event is its delta time (bytes with bit 7 set, 7 bits each, most significant first), a type
// byte (the MIDI status nibble - 8; 09 meta: id, BE16 length, data) and its data bytes, the last
// of which has bit 7 set. The meta 2f ends the sequence at its length. A master track's meta 7e
// events start its k-th track (03 k 00 00) or change the tempo (02 bpm); its trailer is n and n
// pairs (type, track 0..7). The g-th pair of the whole style, counted over the elements and their
// variations in order, plays the pool sequence that the g-th reference names.
//
// Every count, length and offset is checked before it is used: a damaged block throws SbkError
// naming the style, the byte offset in the decoded block and what is wrong. Events of the types
// 0c and 0d, whose meaning is not known, are passed over and counted.
class StyleMusicReader {
public:
    // The music of a style from its two blocks in either order (each told by its type); what names
    // the style in errors ("Style 12 \"Samba\""). The tempo comes from the performance block when
    // it gives one.
    static StyleMusic read(const QByteArray& content1, const QByteArray& content2, const QString& what);
    // The music of a style block's tree (without its tempo), as read reads it.
    static StyleMusic readTree(BlockTree& styleTree);
    // The music of the stored style of number prog, fetched through the gateway.
    static StyleMusic readStored(DbKORFStyle& table, qint32 prog);
    // How errors name a stored style: Style 12 "Samba".
    static QString styleWhat(qint32 prog, const QString& name);
};
