#!/usr/bin/env python3
# Writes the seed corpus of the "filepropmeta" fuzz target into
# corpus/filepropmeta/: a switch byte, then the summary stream, stretch
# list, region and command streams, text values, broadcast-wave fields,
# stream records, subtitle table, loop record and enumerator streams, cut
# at 0x1F (see
# FuzzFilePropMeta.cpp). Seeds avoid the separator bytes inside their parts.
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "filepropmeta")


def word(v):
    return struct.pack("<I", v)


def guid(d1, d2, d3, d4):
    return struct.pack("<IHH", d1, d2, d3) + bytes(d4)


SENSING = guid(0x6D666D73, 0xACF2, 0x11D3, [0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A])
PICTURES = guid(0x20636970, 0xACF2, 0x11D3, [0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A])
STR2 = guid(0x62574347, 0x69A7, 0x473A, [0xA8, 0x9E, 0xD5, 0xB0, 0xFA, 0x7C, 0x9F, 0x7E])
MARKS = guid(0xB2A0A152, 0x055E, 0x4475, [0x86, 0xF1, 0x5D, 0x78, 0xAF, 0x15, 0xA0, 0x56])
BEATS = guid(0x3AE34B75, 0xF55E, 0x44EC, [0xA2, 0xF0, 0xF4, 0xEB, 0x3C, 0x53, 0xAF, 0x7D])
PLAYLIST = guid(0xF686AA44, 0x6773, 0x4AAD, [0x93, 0xB5, 0x10, 0x07, 0xC1, 0x2A, 0x8C, 0xDB])


def text(s):
    return (s + "\0").encode("utf-16-le")


def reader_stream(items):
    return word(12) + word(100) + word(len(items)) + b"".join(items)


def info(fourcc, s):
    t = text(s)
    return word(12) + fourcc + word(len(t)) + t


def meta_stream(kind, items, count=None):
    out = word(28) + word(100) + word(len(items) if count is None else count) + kind
    for item in items:
        out += word(28) + word(100) + word(len(item)) + kind + item
    return out


def sensing(payload, total=None, size=None):
    return (word(16 + len(payload) if total is None else total) + word(0x00010041) + word(2) +
            word(len(payload) if size is None else size) + payload)


def picture(kind, mime, desc, data, total=None):
    m, d = text(mime), text(desc)
    n = 24 + len(m) + len(d) + len(data)
    return (word(n if total is None else total) + word(2) + word(kind) + word(len(m)) + word(len(d)) +
            word(len(data)) + m + d + data)


PNG = b"\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR"


def stream(kind, ordinal=0, answer=184, length=0, field_order=0, rate=0, fps=0.0):
    """One stream record of the fake reader (32 bytes)."""
    return (bytes([kind, ordinal, 0, 0]) + word(answer) + struct.pack("<q", length) + word(field_order) +
            word(rate) + struct.pack("<d", fps))


def subtitles(count, entries):
    return struct.pack("<q", count) + b"".join(struct.pack("<HHI", lang, 0, num) for lang, num in entries)


def loop_record(flags, root=0, beats=0, tempo=0.0):
    return struct.pack("<IB7xIxxxxf", flags, root, beats, tempo)


def seed(switches, summary=b"", stretch=b"", region=b"", command=b"", texts=b"", bwf=b"",
         streams=b"", subs=b"", meta=(), loop=b""):
    parts = [summary, stretch, region, command, texts, bwf, streams, subs, loop] + list(meta)
    while len(parts) > 8 and not parts[-1]:
        parts.pop()
    assert all(b"\x1f" not in part for part in parts), "a part holds the separator"
    return bytes([switches]) + b"\x1f".join(parts)


BWF_FIELDS = [text("Take"), text("Recorder"), text("R-1"), text("2024-05-06"), text("07:08:09"),
                    struct.pack("<Q", 48000), struct.pack("<H", 2), bytes(64), bytes(190),
                    text("A=PCM,F=48000\r\nA=PCM,F=44100\r\n")]
assert all(b"\x1e" not in field for field in BWF_FIELDS)
BWF = b"\x1e".join(BWF_FIELDS)

seeds = {
    "all": seed(0x3F, reader_stream([info(b"INAM", "Title"), info(b"ABCD", "x"), info(b"\x01XYZ", "y")]),
                reader_stream([b"abcd"] * 3), reader_stream([b"r"]), reader_stream([b"c"]),
                b"TAPEReel 7\nDTIM30871732 359123328\nVMAJ2\nVMIN1\nSTAT1200 3 4096", BWF,
                stream(1, 0, length=441000, rate=44100) + stream(1, 1, length=88200, rate=22050) +
                stream(2, 0, length=250, field_order=1, fps=25.0) + stream(2, 1) + stream(4, 0, length=960, rate=96),
                subtitles(2, [(0x656E, 3), (0x6465, 4)]),
                [meta_stream(SENSING, [sensing(bytes(range(32, 62)))]),
                 meta_stream(PICTURES, [picture(3, "image/png", "Cover", PNG), picture(99, "a", "", b"abcd")]),
                 meta_stream(STR2, [], count=20) + bytes(20), meta_stream(MARKS, [], count=4),
                 meta_stream(BEATS, [], count=7), meta_stream(PLAYLIST, [], count=1) + bytes(24)]),
    "summary-huge-value": seed(0, reader_stream([info(b"INAM", "a"), word(12) + b"ICMT" + word(0xFFFFFFF0) + b"xy"])),
    "summary-full-buffer": seed(0, reader_stream([word(12) + b"ICMT" + word(520) + b"f\0" * 260])),
    "sensing-inner-sizes": seed(1, meta=[meta_stream(SENSING, [sensing(b"abc", total=100000, size=500)]),
                                            meta_stream(SENSING, [sensing(bytes(2000))[:30]])]),
    "pictures-inner-sizes": seed(1, meta=[meta_stream(PICTURES, [picture(5, "m", "d", PNG + bytes(400))[:80],
                                                                    picture(4, "m", "d", PNG, total=9)],
                                                         count=5)]),
    "bwf-only": seed(2, bwf=BWF),
    "format-size-grows": seed(1, streams=stream(1, 0, answer=4096, length=100, rate=11025) +
                              stream(2, 0, answer=0xFFFFFFF0, length=5, fps=30.0) + stream(9) + stream(8)),
    "loop-root-note": seed(0x14, streams=stream(1, 0, length=441000, rate=44100) + stream(4, 0, length=960, rate=96),
                           loop=loop_record(0x2, 60, 16, 96.0)),
    "loop-beatmapped-extremes": seed(0x14, streams=stream(1, 0, length=1 << 62, rate=1) +
                                     stream(4, 0, length=-(1 << 62), rate=1),
                                     loop=loop_record(0xE, 200, 0xFFFFFFFF, 3.4e38)),
    "subtitles-huge-count": seed(1, subs=subtitles(1 << 61, [(0x656E, 1)])),
    "subtitles-short-table": seed(1, subs=subtitles(40, [(0x656E, 1), (0x0101, 2)])),
}

os.makedirs(here, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
