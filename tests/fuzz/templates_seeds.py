#!/usr/bin/env python3
# Writes the seed corpus of the "templates" fuzz target into
# corpus/templates/: hand-built render template records in each of the
# target's forms (first byte: 0 record stream, 1 older records, 2 list
# stream, 3 file; bit 2 caps the generation at 1).
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "templates")


def word(v):
    return struct.pack("<I", v)


def record(name="Name", notes="Notes", priv=0, version=0x02000000, audio=200, video=200,
           terminate=True):
    """A record laid out byte for byte: 536 header bytes, padded private
    data, then the name and the notes, each ended by a NUL unit."""
    units = len(name) + len(notes) + 2
    pad = (priv + 3) & ~3
    size = 536 + pad + 2 * units
    r = bytearray(size)
    r[0:4] = word(size)
    r[4:8] = word(version)
    r[56:60] = word(audio)
    r[256:260] = word(video)
    r[528:532] = word(units)
    r[532:536] = word(priv)
    for i in range(priv):
        r[536 + i] = i + 1
    text = (name + "\0" + notes + ("\0" if terminate else "x")).encode("utf-16-le")
    r[536 + pad:] = text
    return bytes(r)


def text260(t):
    return (t.encode("utf-16-le") + b"\0" * 520)[:520]


def older(name="Old", notes="Older notes", audio=True, video=True, version=0x01000007):
    """An older-generation record with its size and version words."""
    body = text260(name) + text260(notes)
    body += word(1 if audio else 0)
    if audio:
        wave = struct.pack("<HHIIHHH", 1, 2, 44100, 176400, 4, 16, 0)
        body += wave + word(1)
        fmt = struct.pack("<HHIIHHH", 1, 2, 48000, 192000, 4, 16, 0)
        body += word(len(fmt)) + fmt
        body += bytes(0xE0 + i % 16 for i in range(32))
        body += word(3) + b"\1\2\3"
    body += word(1 if video else 0)
    if video:
        bih = struct.pack("<IiiHHIIiiII", 40, 320, 240, 1, 24, 0, 0, 0, 0, 0, 0)
        out = struct.pack("<IiiHHIIiiII", 40, 720, 240, 1, 24, 0, 0, 0, 0, 0, 0)
        body += word(40) + bih + word(2) + bytes([7]) + bytes(63)
        body += word(40) + out + word(9) + bytes([7]) + bytes(63)
        body += word(5) + b"\4\5\6\7\x08"
    return word(8 + len(body)) + word(version) + body


def liststream(*records):
    return word(12) + word(100) + word(len(records)) + b"".join(records)


seeds = {
    "stream-two-records": b"\0" + record() + record("Second", "", priv=5),
    "stream-older-lifted": b"\0" + older() + record(),
    "stream-audio-only-older": b"\0" + older(video=False),
    "stream-unterminated": b"\0" + record(terminate=False),
    "stream-capped-at-one": b"\4" + record() + older(),
    "older-two": b"\1" + older() + older("Video", "", audio=False),
    "older-capped": b"\5" + older(version=0x02000001),
    "list-two": b"\2" + liststream(record(), record("B", "notes", priv=7)),
    "list-empty": b"\2" + liststream(),
    "list-short": b"\2" + word(12) + word(100) + word(3) + record(),
    "file-record": b"\3" + record("File", "Saved", priv=9),
    "file-older": b"\3" + older(),
    "file-bad-block": b"\3" + record(audio=12),
    "file-newer": b"\3" + record(version=0x03000000),
}

os.makedirs(here, exist_ok=True)
for name, data in seeds.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
