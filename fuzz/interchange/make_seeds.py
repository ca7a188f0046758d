#!/usr/bin/env python3
"""Writes a starting corpus for fuzz_pdd_restore: PDD dumps as the backup writes them (CR LF line
ends, blocks of banks and styles, data blocks holding line breaks and every byte read back by count),
one with the empty song blocks of older dumps, and one with the block of directory entries that
follows the closing line (the entries of styles from newer bank files: typed properties in hex, the
timestamp and system string they hold on lines of their own)."""
import os
import struct
import sys

HEADER = b"SBK BACKUP"


def lines(items):
    return b"".join(item + b"\r\n" for item in items)


def bank(prog, name, desc, slots):
    return [b"%d" % prog, name, desc] + [b"%d" % (slots[k] if k < len(slots) else 0) for k in range(32)]


def style(prog, name, content1, content2, desc=b""):
    seek = content1[:250] if content1 else b" "
    return [b"%d" % prog, name, b"", b"%d" % len(content1), b"%d" % len(content2), content1 or b" ",
            content2 or b" ", seek, b"2024/05/06", desc, b"Grp", b"Fam", b"FILE.STY", b"Me"]


def prop(kind, data):
    return struct.pack(">HH", kind, len(data)) + data


def entry(prog, block, system=b"Z112A"):
    props = prop(0, bytes([2 if block == 1 else 7, 0x1C, 0])) + prop(5, bytes([20, 24, 5, 6, 7, 8, 9]))
    props += prop(6, system)
    return [b"%d" % prog, b"%d" % block, b"2024-05-06 07:08:09", system, props.hex().upper().encode()]


def dump(banks, styles, songs=False, entries=()):
    out = [HEADER, b"TABLE KORFBANKS", b"##NR%d" % len(banks)] + [x for b in banks for x in b]
    if songs:
        out += [b"TABLE KORFSONGS", b"##NR0", b"TABLE KORFSONSTY", b"##NR0"]
    out += [b"TABLE KORFSTYLES", b"##NR%d" % len(styles)] + [x for s in styles for x in s] + [HEADER]
    if entries:
        out += [b"TABLE KORFENTRIES", b"##NR%d" % len(entries)] + [x for e in entries for x in e] + [HEADER]
    return lines(out)


EVERY_BYTE = bytes(range(256))
TWO = [style(1, b"Ballad", b"first\r\nblock", b"\r\n"), style(2, b"Pop", EVERY_BYTE * 2, b"", b"desc")]
SEEDS = {
    "empty.pdd": dump([], []),
    "banks-and-styles.pdd": dump([bank(1, b"Live", b"two", [2, 1]), bank(3, b"Empty", b"", [])], TWO),
    "songs.pdd": dump([bank(1, b"Live", b"", [1])], TWO[:1], songs=True),
    "entries.pdd": dump([bank(1, b"Newer", b"", [1, 2])], TWO, entries=[entry(1, 1), entry(1, 2), entry(2, 1)]),
}

if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "seeds"
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
