#!/usr/bin/env python3
# Writes the seed corpus of the "mediawriters" fuzz target into
# corpus/mediawriters/: three control bytes (the writer, its data, the room
# a failing disk leaves) before a media file: WAVs whole, with a last chunk
# lacking its pad byte, with a data chunk that claims too much, unfinished
# or carrying a bext chunk and a project link; Wave64 twins; an AIFF; a
# float AIFF-C; a side file, and one holding another media file's owner
# chunk.
import os
import struct

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus", "mediawriters")

WRITERS = ["bext", "bext64", "metawrite", "metaupdate", "metaupdate64", "metadelete",
           "deletechunk", "deletechunk64", "deleteiff", "sizeupdate", "headers", "linkwrite",
           "linkputdelete", "owner"]


def le32(v):
    return struct.pack("<I", v)


def le64(v):
    return struct.pack("<Q", v)


def chunk(cid, data, claimed=None, pad=True):
    out = cid + le32(len(data) if claimed is None else claimed) + data
    return out + (b"\0" if pad and len(data) % 2 else b"")


def riff(chunks, form=b"WAVE", size=None):
    return b"RIFF" + le32(4 + len(chunks) if size is None else size) + form + chunks


def guid(d1, d2, d3, d4):
    return struct.pack("<IHH", d1, d2, d3) + bytes(d4)


G_RIFF = guid(0x66666972, 0x912E, 0x11CF, [0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00])
G_WAVE = guid(0x65766177, 0xACF3, 0x11D3, [0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A])
G_FMT = guid(0x20746D66, 0xACF3, 0x11D3, [0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A])
G_DATA = guid(0x61746164, 0xACF3, 0x11D3, [0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A])
G_BEXT = guid(0x74786562, 0xACF3, 0x11D3, [0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A])


def chunk64(g, data, pad=True):
    out = g + le64(24 + len(data)) + data
    return out + (b"\0" * ((8 - len(data) % 8) % 8) if pad else b"")


def w64(chunks, size=None):
    return G_RIFF + le64(40 + len(chunks) if size is None else size) + G_WAVE + chunks


FMT16 = struct.pack("<HHIIHH", 1, 1, 8000, 16000, 2, 16)
FMT8 = struct.pack("<HHIIHH", 1, 1, 8000, 8000, 1, 8)
BEXT = b"d" * 256 + b"\0" * 346 + b"A=PCM\r\n\0"
U16 = lambda text: text.encode("utf-16-le") + b"\0\0"
LINK = (chunk(b"splv", le32(0x01000100)) + chunk(b"splp", U16("/p/song.prj")) +
        chunk(b"spcl", U16("-open %s")))


def be32(v):
    return struct.pack(">I", v)


def aiff(odd=False):
    comm = struct.pack(">HIH", 1, 50, 16) + bytes.fromhex("400BFA00000000000000")
    ssnd = be32(0) + be32(0) + b"\x11" * (101 if odd else 100)
    body = b"AIFF" + b"COMM" + be32(len(comm)) + comm + b"SSND" + be32(len(ssnd)) + ssnd
    return b"FORM" + be32(len(body)) + body


def aifc_float():
    # COMM with the compression type "fl32" and its counted name.
    comm = (struct.pack(">HIH", 1, 25, 32) + bytes.fromhex("400BFA00000000000000") + b"fl32" +
            b"\x0c32-bit float\0")
    ssnd = be32(0) + be32(0) + b"\x3f\x00\x00\x00" * 25
    body = (b"AIFC" + b"FVER" + be32(4) + be32(0xA2805140) + b"COMM" + be32(len(comm)) + comm +
            b"SSND" + be32(len(ssnd)) + ssnd)
    return b"FORM" + be32(len(body)) + body


audio = chunk(b"fmt ", FMT16) + chunk(b"data", b"\x11" * 100)
odd = chunk(b"fmt ", FMT8) + chunk(b"data", b"a" * 101, pad=False)
files = {
    "wav": riff(audio),
    "wav-bext-link": riff(audio + chunk(b"bext", BEXT) + LINK),
    "wav-odd-last": riff(odd, size=4 + len(odd)),
    "wav-odd-last-padded": riff(odd, size=4 + len(odd)) + b"\0",
    "wav-data-claims": riff(chunk(b"fmt ", FMT16) + chunk(b"data", b"\x11" * 100, claimed=0xFFFFFFFF)),
    "wav-unfinished": riff(audio, size=4),
    "w64": w64(chunk64(G_FMT, FMT16) + chunk64(G_DATA, b"\x11" * 100)),
    "w64-bext": w64(chunk64(G_FMT, FMT16) + chunk64(G_DATA, b"\x11" * 100) + chunk64(G_BEXT, BEXT)),
    "w64-odd-last": w64(chunk64(G_FMT, FMT8) + chunk64(G_DATA, b"a" * 101, pad=False)),
    "aiff": aiff(),
    "aiff-odd-last": aiff(odd=True),
    "side": riff(chunk(b"cue ", b"1234") + chunk(b"WUPI", b"a.wav\0"), form=b"WUPL"),
    "side-other-owner": riff(chunk(b"WUPI", b"b.wav\0") + chunk(b"plst", le32(0)), form=b"WUPL"),
    "aifc-float": aifc_float(),
}

# Each writer over the files it works on, with and without a failing disk.
uses = {
    "bext": ["wav", "wav-bext-link", "wav-odd-last", "wav-data-claims", "wav-unfinished"],
    "bext64": ["w64", "w64-bext", "w64-odd-last"],
    "metawrite": ["wav", "wav-odd-last-padded", "aiff", "aiff-odd-last", "wav-unfinished", "aifc-float"],
    "metaupdate": ["wav-bext-link", "wav-odd-last", "aifc-float"],
    "metaupdate64": ["w64", "w64-odd-last"],
    "metadelete": ["wav-bext-link", "aiff"],
    "deletechunk": ["wav-bext-link", "wav-odd-last"],
    "deletechunk64": ["w64-bext", "w64-odd-last"],
    "deleteiff": ["aiff", "aiff-odd-last"],
    "sizeupdate": ["wav", "w64"],
    "headers": ["wav", "w64", "aiff"],
    "linkwrite": ["wav", "wav-bext-link", "wav-odd-last", "w64-odd-last", "wav-data-claims"],
    "linkputdelete": ["wav-bext-link", "w64-bext"],
    "owner": ["side", "wav-odd-last", "side-other-owner"],
}
os.makedirs(here, exist_ok=True)
for name in os.listdir(here):
    os.remove(os.path.join(here, name))
for writer, names in uses.items():
    index = WRITERS.index(writer)
    for name in names:
        for limited in (False, True):
            control = bytes([index | (0x80 if limited else 0), 0x4B, 2])
            label = f"{writer}-{name}" + ("-full-disk" if limited else "")
            with open(os.path.join(here, label), "wb") as out:
                out.write(control + files[name])
