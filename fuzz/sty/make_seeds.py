#!/usr/bin/env python3
"""Writes a starting corpus for fuzz_sty_reader: small STY files of the layouts the tests use
(empty bank, one and two blocks, gaps in positions, odd block types, foreign signatures), in the
older directory layout and the newer one (entries of typed properties with a checksum).
With --facts, a corpus for fuzz_style_facts instead: a byte saying how far to decode first, then
OC31 streams (literal runs, back-references of each form) of style and performance trees.
With --archives, a corpus for fuzz_archive_import: those STY files in ZIP (stored and deflated),
tar (plain, gzip, bzip2, xz) and a ZIP inside a tar.gz inside a ZIP, beside a text file."""
import io
import os
import struct
import sys
import tarfile
import zipfile


def be(v):
    return struct.pack(">I", v)


def block(size, seed, chunk_id=b"\x06\x00\x00\x30"):
    return chunk_id + be(size) + bytes((i * 7 + seed * 31) & 0xFF for i in range(size))


def crc(data):
    """CRC-32, most-significant bit first, constant 0xEDB88320 as it stands, initial 0, no final XOR."""
    c = 0
    for b in data:
        c ^= b << 24
        for _ in range(8):
            c = ((c << 1) ^ 0xEDB88320) & 0xFFFFFFFF if c & 0x80000000 else (c << 1) & 0xFFFFFFFF
    return c


def prop(kind, data):
    return struct.pack(">HH", kind, len(data)) + data


def entry(name, kind, user_bank, pos, extra=b""):
    props = [prop(2, (name + b"\0" * 28)[:28]), prop(0, bytes([kind, user_bank, pos])), prop(1, b"\x02\x01"),
             prop(5, bytes([20, 24, 5, 6, 7, 8, 9])), prop(6, b"Z113A ORT v1.5.0")]
    if extra:
        props.append(extra)
    body = struct.pack(">H", len(props)) + b"".join(props)
    head = struct.pack(">H", len(body) + 4) + body
    return head + be(crc(head))


def sty(records, blocks, user_bank=17, newer=False):
    directory = b""
    for name, kind, pos in records:
        if newer:
            directory += entry(name, kind, user_bank, pos)
        else:
            directory += (name + b"\0" * 16)[:16] + b"\0\0" + bytes([kind, user_bank, pos]) + b"\0\0\0"
    offsets, body, offset = b"", b"", 36 + len(directory)
    for b in blocks:
        offsets += be(offset)
        body += b
        offset += len(b)
    index = b"\xfe\x00\x00\x18" + be(16 + len(offsets)) + b"KBEG" + be(28) + offsets + b"KEND" + be(len(blocks) + 1)
    chunk = b"\x05\x01\x00\x18" if newer else b"\x05\x00\x00\x18"
    rest = (b"\x02\x00\x00\x18" + be(12) + b"\x0b" + b"\0" * 6 + b"KORF\0" + chunk + be(len(directory))
            + directory + body + index)
    return b"\x01\x00\x01\x14" + be(len(rest)) + rest


SEEDS = {
    "empty.sty": sty([], []),
    "one-block.sty": sty([(b"Pop", 2, 0)], [block(20, 1)]),
    "two-blocks.sty": sty([(b"Pop", 2, 0), (b"Pop perf", 7, 0)], [block(92, 1), block(192, 2, b"\x09\x01\x00\x30")]),
    "gaps.sty": sty([(b"First", 2, 0), (b"Third", 2, 2), (b"Third'2", 7, 2)], [block(10, 1), block(11, 2), block(12, 3)]),
    "types.sty": sty([(b"A", 2, 0), (b"A3", 3, 0), (b"B0", 0, 1), (b"C", 2, 31)], [block(5, 1), block(6, 2), block(7, 3), block(8, 4)]),
    "newer-empty.sty": sty([], [], newer=True),
    "newer-two-blocks.sty": sty([(b"Maqsum", 2, 0), (b"Maqsum", 7, 0)],
                                [block(92, 1), block(192, 2, b"\x09\x02\x01\x30")], 0x1C, newer=True),
    "newer-gaps.sty": sty([(b"First", 2, 0), (b"Caf\xc3\xa9 \xd9\x85", 2, 2), (b"Third", 7, 2)],
                          [block(10, 1), block(11, 2), block(12, 3)], 0x11, newer=True),
    "korgi.sty": b"KORGI" + b"\0" * 40,
    "short.sty": b"KORG9",
}

def oc31_literal(data):
    """An OC31 stream of literal runs only (data of 0 or at least 4 bytes)."""
    out, at = b"OC31" + struct.pack("<I", len(data)), 0
    while at < len(data):
        run = min(len(data) - at, 0xFF + 0x12)
        if 0 < len(data) - at - run < 4:
            run -= 4
        out += bytes([0, run - 0x12]) if run >= 0x12 else bytes([run - 2])
        out += data[at:at + run]
        at += run
    check = 0
    for b in data:
        check ^= b
    return out + b"\x01\x00\x00" + bytes([check])


def chunk(cid, data):
    return cid + be(len(data)) + data


STYLE_TREE = chunk(b"\x01\x05\x00\x00", chunk(b"\x01\x00\x03\x08", b"N" * 28) + chunk(
    b"\x03\x00\x00\x00", chunk(b"\x01\x01\x01\x08", b"\x3f\x1b\x18" + b"\0" * 25)))
PERFORMANCE_TREE = chunk(b"\0\0\0\0", chunk(b"\x01\0\0\0", chunk(b"\x04\x00\x01\x08",
                                                                  be(15) + b"\x14\0\0\x1e" + b"\x08" * 69)))
REFERENCES = b"OC31" + struct.pack("<I", 10 + 5 + 0x22 + 5) + b"\x02abcd\x60\x0eXY" + b"\x22\x00\x09Z" + \
    b"\x20\x00\x00\x04" + b"\x21\x00\x05\x00\x24" + b"\x01\x00\x00\x00"
FACTS_SEEDS = {
    "style.oc31": b"\x01" + oc31_literal(STYLE_TREE),
    "performance.oc31": b"\x00" + oc31_literal(PERFORMANCE_TREE),
    "empty.oc31": b"\x00" + oc31_literal(b""),
    "references.oc31": b"\x00" + REFERENCES,
}

def zip_of(files, method=zipfile.ZIP_DEFLATED):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", method) as z:
        for name, data in files.items():
            z.writestr(name, data)
    return out.getvalue()


def tar_of(files, mode="w"):
    out = io.BytesIO()
    with tarfile.open(fileobj=out, mode=mode) as t:
        for name, data in files.items():
            info = tarfile.TarInfo(name)
            info.size = len(data)
            t.addfile(info, io.BytesIO(data))
    return out.getvalue()


def archive_seeds():
    pack = {"Pack.SET/STYLE/" + name.upper(): data for name, data in SEEDS.items()}
    pack["Pack.SET/readme.txt"] = b"styles"
    return {
        "pack.zip": zip_of(pack),
        "stored.zip": zip_of(pack, zipfile.ZIP_STORED),
        "pack.tar": tar_of(pack),
        "pack.tar.gz": tar_of(pack, "w:gz"),
        "pack.tar.bz2": tar_of(pack, "w:bz2"),
        "pack.tar.xz": tar_of(pack, "w:xz"),
        "nested.zip": zip_of({"inner.tar.gz": tar_of({"deep.zip": zip_of(pack)}, "w:gz")}),
    }


if __name__ == "__main__":
    args = sys.argv[1:]
    seeds = SEEDS
    if args and args[0] == "--facts":
        seeds, args = FACTS_SEEDS, args[1:]
    elif args and args[0] == "--archives":
        seeds, args = archive_seeds(), args[1:]
    folder = args[0] if args else "seeds"
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
