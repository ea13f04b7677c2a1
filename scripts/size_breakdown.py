#!/usr/bin/env python3
"""Where a program's bytes come from, from the link map the linker wrote.

    scripts/size_breakdown.py PROGRAM.map [PROGRAM]

Sums the input sections that end up in the program's loaded, file-backed
output sections (what strip keeps; .bss and other zero-filled sections take
no file space) and groups them by origin: each of our libraries, the
platform, the language resources, libstdc++, libgcc, the C library's start
files and static parts, zlib and libpng. Given the program, it also prints
the size of a stripped copy and the rest (headers and alignment padding).
What the linker made itself (dynamic symbols, relocations, the unwind
index) is its own group.
"""
import os
import re
import subprocess
import sys
import tempfile

# Output sections that take no file space or that strip removes.
SKIPPED = re.compile(r"^(\.bss|\.tbss|\.comment|\.debug|\.note\.gnu\.gold|\.gnu\.warning|\.stab|/DISCARD/)")

# Output sections the linker fills itself (dynamic linking tables,
# relocations, the unwind index); the map names the first input file for them.
LINKER_MADE = re.compile(r"^(\.interp|\.note|\.hash|\.gnu\.hash|\.dynsym|\.dynstr|\.gnu\.version|\.rela?\.|\.plt|\.got|\.dynamic|\.eh_frame_hdr)")

# Origin groups by the input file's path, first match wins.
GROUPS = [
    ("resources", re.compile(r"_res\.cpp\.o$")),
    ("sfx", re.compile(r"(libsfx\.a|/main\.cpp\.o)")),
    ("foundation", re.compile(r"libfoundation\.a")),
    ("imaging", re.compile(r"libimaging\.a")),
    ("dsp", re.compile(r"libdsp\.a")),
    ("platform", re.compile(r"libplatform_\w+\.a")),
    ("libstdc++", re.compile(r"libstdc\+\+|libsupc\+\+")),
    ("libgcc", re.compile(r"libgcc")),
    ("zlib", re.compile(r"libz\.a")),
    ("libpng", re.compile(r"libpng")),
    ("libc", re.compile(r"(crt\w*\.o|libc_nonshared|libc\.|libm\.|libdl|libpthread|librt)")),
]
OURS = ("sfx", "foundation", "imaging", "dsp", "resources")

INPUT = re.compile(r"^ (\S+)?\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")


def group_of(path):
    for name, pattern in GROUPS:
        if pattern.search(path):
            return name
    return "other"


def breakdown(map_path):
    sizes = {}
    in_map = False
    output = None
    pending = None  # an input section name alone on its line
    with open(map_path) as f:
        for line in f:
            line = line.rstrip("\n")
            if not in_map:
                in_map = line.startswith("Linker script and memory map")
                continue
            if line and not line[0].isspace():
                output = line.split()[0]
                pending = None
                continue
            if output is None or SKIPPED.match(output):
                continue
            m = INPUT.match(line)
            if m and (m.group(1) or pending):
                name = m.group(1) or pending
                pending = None
                size = int(m.group(3), 16)
                path = m.group(4).strip()
                if name.startswith("*") or not size or " " in path and "(" not in path and "/" not in path:
                    continue
                g = "linker-made" if LINKER_MADE.match(output) else group_of(path)
                sizes[g] = sizes.get(g, 0) + size
                continue
            stripped = line.strip()
            pending = stripped if stripped.startswith(".") and " " not in stripped else None
    return sizes


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    sizes = breakdown(sys.argv[1])
    total = sum(sizes.values())
    for name, _ in GROUPS + [("linker-made", None), ("other", None)]:
        if name in sizes:
            print(f"{name:12} {sizes[name] / 1e6:7.3f} MB")
    ours = sum(sizes.get(n, 0) for n in OURS)
    print(f"{'(our code)':12} {ours / 1e6:7.3f} MB")
    print(f"{'(sections)':12} {total / 1e6:7.3f} MB")
    if len(sys.argv) == 3:
        with tempfile.TemporaryDirectory() as tmp:
            copy = os.path.join(tmp, "stripped")
            subprocess.run(["strip", "-o", copy, sys.argv[2]], check=True)
            stripped = os.path.getsize(copy)
        print(f"{'headers, pad':12} {(stripped - total) / 1e6:7.3f} MB")
        print(f"{'stripped':12} {stripped / 1e6:7.3f} MB")


if __name__ == "__main__":
    main()
