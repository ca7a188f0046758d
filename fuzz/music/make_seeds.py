#!/usr/bin/env python3
"""Writes a starting corpus for fuzz_style_music: decoded style trees as instruments save them (the
older and the newer element chunks), empty and with notes, controllers, pressure, bend, a tempo
change, two-byte events of unknown meaning and a pool sequence two elements share."""
import os
import struct
import sys


def chunk(cid, data):
    return struct.pack(">II", cid, len(data)) + data


def delta(ticks):
    out = b""
    while ticks:
        out = bytes([0x80 | (ticks & 0x7F)]) + out
        ticks >>= 7
    return out


def meta(kind, data):
    return bytes([0x09, kind]) + struct.pack(">H", len(data)) + data


def sequence(ticks, events, trailer=b""):
    body, at = b"", 0
    for tick, event in sorted(events, key=lambda e: e[0]):
        body += delta(tick - at) + event
        at = tick
    body += delta(ticks - at) + meta(0x2F, b"")
    return struct.pack(">II", ticks, len(body)) + body + trailer


def note(tick, key, length=192):
    return [(tick, bytes([0x01, key, 0xE4])), (tick + length, bytes([0x00, key, 0xC0]))]


def style(newer, patterns):
    """patterns: element index -> list of (track, type, events) of its first chord variation."""
    pool, refs, elements = [], [], b""
    for e in range(15):
        count = 6 if e < 4 else 2
        info = bytearray(44 if newer else 28)
        info[0], info[1], info[2], info[27] = (1 << count) - 1, 0x22, 0x18, 3 if e < 4 else 2
        sounds = b"".join(bytes([0x64, 120 if t < 2 else 121, 0, [5, 64, 32, 0, 24, 65, 49, 61][t], 0x15, 0x6C])
                          for t in range(8)) + bytes(24) + b"\x01" * 8 + b"\x04" * 8 + bytes(8 if newer else 0)
        body = chunk(0x01010308 if newer else 0x01010108, bytes(info)) + chunk(0x02000408 if newer else 0x02000308, sounds)
        tracks = patterns.get(e, [(t, 0 if t < 2 else 1 if t == 2 else 2, []) for t in range(8)])
        for v in range(count):
            played = tracks if v == 0 else []
            starts = [(0, meta(0x7E, bytes([3, k, 0, 0]))) for k in range(len(played))]
            if e == 0 and v == 0:
                starts.append((1536, meta(0x7E, bytes([2, 90]))))
            trailer = bytes([len(played)]) + b"".join(bytes([kind, t]) for t, kind, _ in played)
            for t, kind, events in played:
                stored = chunk((2 + kind) << 24 | 8, sequence(3072, events, b"" if kind == 0 else b"\x00\x00"))
                if stored not in pool:
                    pool.append(stored)
                refs.append(pool.index(stored) + 1)
            body += chunk(0x03000008, sequence(3072, starts, trailer))
        elements += chunk(0x03000000, body)
    index = struct.pack(">HH", len(pool), len(refs)) + b"".join(struct.pack(">H", r) for r in refs)
    header = bytes([5]) + b"Samba" + bytes.fromhex("aaa0f8000701080808080808080800007fff")
    return chunk(0x01050000, chunk(0x01000308, header) + chunk(0x02000000, chunk(0x01000008, index) + b"".join(pool)) + elements)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "seeds-music"
    os.makedirs(folder, exist_ok=True)
    kick = [ev for i in range(8) for ev in note(384 * i, 36)]
    extras = note(0, 60, 700) + [(0, bytes([0x03, 64, 0xFF])), (768, bytes([0x06, 0, 0xE0])), (1600, bytes([0x05, 0xB2]))]
    noises = kick + [(2, bytes([0x0D, 0x00, 0x81])), (121, bytes([0x0C, 0x00, 0xC0]))]
    seeds = {
        "empty-older": style(False, {}),
        "empty-newer": style(True, {}),
        "notes": style(False, {0: [(0, 0, kick), (3, 2, extras)], 6: [(0, 0, kick)], 14: [(0, 0, kick)]}),
        "noises-newer": style(True, {0: [(0, 0, noises)]}),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
