#!/usr/bin/env python3
"""Writes a starting corpus for fuzz_sty_reader: small STY files of the layouts the tests use
(empty bank, one and two blocks, gaps in positions, odd block types, foreign signatures)."""
import os
import struct
import sys


def be(v):
    return struct.pack(">I", v)


def block(size, seed, chunk_id=b"\x06\x00\x00\x30"):
    return chunk_id + be(size) + bytes((i * 7 + seed * 31) & 0xFF for i in range(size))


def sty(records, blocks, user_bank=17):
    directory = b""
    for name, kind, pos in records:
        directory += (name + b"\0" * 16)[:16] + b"\0\0" + bytes([kind, user_bank, pos]) + b"\0\0\0"
    offsets, body, offset = b"", b"", 36 + len(directory)
    for b in blocks:
        offsets += be(offset)
        body += b
        offset += len(b)
    index = b"\xfe\x00\x00\x18" + be(16 + len(offsets)) + b"KBEG" + be(28) + offsets + b"KEND" + be(len(blocks) + 1)
    rest = (b"\x02\x00\x00\x18" + be(12) + b"\x0b" + b"\0" * 6 + b"KORF\0" + b"\x05\x00\x00\x18" + be(len(directory))
            + directory + body + index)
    return b"\x01\x00\x01\x14" + be(len(rest)) + rest


SEEDS = {
    "empty.sty": sty([], []),
    "one-block.sty": sty([(b"Pop", 2, 0)], [block(20, 1)]),
    "two-blocks.sty": sty([(b"Pop", 2, 0), (b"Pop perf", 7, 0)], [block(92, 1), block(192, 2, b"\x09\x01\x00\x30")]),
    "gaps.sty": sty([(b"First", 2, 0), (b"Third", 2, 2), (b"Third'2", 7, 2)], [block(10, 1), block(11, 2), block(12, 3)]),
    "types.sty": sty([(b"A", 2, 0), (b"A3", 3, 0), (b"B0", 0, 1), (b"C", 2, 31)], [block(5, 1), block(6, 2), block(7, 3), block(8, 4)]),
    "newer.sty": sty([(b"A", 2, 0)], [block(10, 1)]).replace(b"\x05\x00\x00\x18", b"\x05\x01\x00\x18", 1),
    "korgi.sty": b"KORGI" + b"\0" * 40,
    "short.sty": b"KORG9",
}

if __name__ == "__main__":
    folder = sys.argv[1] if len(sys.argv) > 1 else "seeds"
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
