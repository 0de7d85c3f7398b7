#!/usr/bin/env python3
"""Generates a brisel folder of the real product's size and shape, for benchmarks, or of a game's.

The real product is one top-level folder `brisel` with 5 sub-folders (6 folders in all) holding 26
files, 38,852,716 bytes unpacked, which 7-Zip packs to about 11.8 MB. The generated folder has the
same counts and exactly that unpacked size, and a similar mix: x86 executables (packed in a BCJ
block), data that packs well (texts, tables, maps) and data that does not (media).

A game-sized folder (--size) keeps the shape, the two programs beside `data\maps\...`, at any
size: half of it media that is already compressed (textures, sounds, movies), the rest code, maps,
texts and two hundred small scripts, each kind a fixed share of the size.

The output depends only on this script and the two real programs passed in: the same inputs give
the same bytes on every run (CPython's Mersenne Twister with fixed seeds).
"""

import argparse
import os
import random
import shutil
import struct
import sys

TOTAL_SIZE = 38_852_716

# (relative path, kind, size); the size of "fill" makes the total exact.
LAYOUT = [
    ("bin/core.dll", "code", 2_900_000),
    ("bin/render.dll", "code", 2_300_000),
    ("bin/audio.dll", "code", 1_100_000),
    ("bin/net.dll", "code", 700_000),
    ("bin/updater.exe", "code", 520_000),
    ("data/textures.pak", "media", 1_300_000),
    ("data/sounds.pak", "media", 760_000),
    ("data/catalog.db", "fill", 0),
    ("data/strings.dat", "text", 2_400_000),
    ("data/maps/map01.map", "map", 1_500_000),
    ("data/maps/map02.map", "map", 1_500_000),
    ("data/maps/map03.map", "map", 1_400_000),
    ("data/maps/map04.map", "map", 1_300_000),
    ("data/maps/map05.map", "map", 1_200_000),
    ("data/maps/map06.map", "map", 1_100_000),
    ("docs/manual.html", "text", 1_800_000),
    ("docs/changelog.txt", "text", 600_000),
    ("docs/readme.txt", "text", 40_000),
    ("locale/zh-CN.lang", "text", 900_000),
    ("locale/en-US.lang", "text", 850_000),
    ("locale/ja-JP.lang", "text", 880_000),
    ("locale/de-DE.lang", "text", 870_000),
    ("brisel.ini", "text", 6_000),
    ("license.txt", "text", 30_000),
]
PROGRAMS = ("brisel.exe", "startup.exe")

# A game's files as shares of its size, in the same kinds; "fill" takes what is left.
GAME_LAYOUT = (
    [("bin/engine.dll", "code", 0.04), ("bin/physics.dll", "code", 0.02),
     ("data/textures.pak", "media", 0.28), ("data/sounds.pak", "media", 0.12),
     ("data/movies/intro.bik", "media", 0.10), ("data/strings.dat", "text", 0.05),
     ("docs/manual.html", "text", 0.01), ("locale/zh-CN.lang", "text", 0.02),
     ("locale/en-US.lang", "text", 0.02), ("data/catalog.db", "fill", 0)]
    + [(f"data/maps/map{index:02}.map", "map", 0.025) for index in range(1, 13)]
    + [(f"data/scripts/script{index:03}.lua", "text", 0.0001) for index in range(200)])
# Large files are made in pieces of their own seed, so that memory stays flat.
PIECE = 4 * 1024 * 1024


def text_bytes(rng, size):
    """Lines of words from a fixed vocabulary: packs to about a fifth."""
    letters = "abcdefghijklmnopqrstuvwxyz"
    vocabulary = ["".join(rng.choice(letters) for _ in range(rng.randint(2, 10)))
                  for _ in range(300)]
    out = bytearray()
    while len(out) < size:
        words = rng.choices(vocabulary, k=rng.randint(6, 16))
        out += (" ".join(words) + ".\r\n").encode("ascii")
    return bytes(out[:size])


def map_bytes(rng, size):
    """Tile rows of small numbers with long runs: packs very well."""
    out = bytearray(b"BRISELMAP\x01\x00\x00\x00")
    while len(out) < size:
        tile = rng.randrange(64)
        out += bytes([tile]) * rng.randint(1, 40) + rng.randbytes(rng.randint(0, 3))
    return bytes(out[:size])


def pe_header(size):
    """A minimal i386 PE header, enough for 7-Zip to see an x86 program and pick BCJ."""
    header = bytearray(0x400)
    header[0:2] = b"MZ"
    struct.pack_into("<I", header, 0x3C, 0x80)
    header[0x80:0x84] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", header, 0x84, 0x14C, 1, 0, 0, 0, 0xE0, 0x0102)
    optional = 0x98
    struct.pack_into("<H", header, optional, 0x10B)
    struct.pack_into("<I", header, optional + 4, size - 0x400)  # size of code
    struct.pack_into("<I", header, optional + 28, 0x400000)  # image base
    struct.pack_into("<II", header, optional + 32, 0x1000, 0x200)  # alignments
    struct.pack_into("<H", header, optional + 68, 2)  # GUI subsystem
    struct.pack_into("<I", header, optional + 92, 16)
    section = optional + 0xE0
    header[section:section + 8] = b".text\0\0\0"
    struct.pack_into("<IIII", header, section + 8, size - 0x400, 0x1000, size - 0x400, 0x400)
    struct.pack_into("<I", header, section + 36, 0x60000020)  # code, execute, read
    return bytes(header)


def code_bytes(rng, size):
    """x86-like code: instruction patterns and calls to a set of function entries."""
    patterns = [rng.randbytes(rng.randint(1, 6)) for _ in range(300)]
    functions = [rng.randrange(0x1000, max(0x2000, size)) for _ in range(2000)]
    out = bytearray(pe_header(size))
    while len(out) < size:
        if rng.random() < 0.12:
            # call rel32: absolute targets relative to the call site, as BCJ expects.
            target = rng.choice(functions)
            out += b"\xE8" + struct.pack("<i", target - (len(out) + 5))
        elif rng.random() < 0.05:
            out += rng.randbytes(4)  # immediates and addresses
        else:
            out += rng.choice(patterns)
    return bytes(out[:size])


def media_bytes(rng, size):
    """Already-compressed media: does not pack at all."""
    return rng.randbytes(size)


MAKERS = {"text": text_bytes, "map": map_bytes, "code": code_bytes, "media": media_bytes,
          "fill": text_bytes}


def generate(destination, programs, size=None):
    """Writes destination/brisel/... from the layout and the two real programs: the real
    product's, or a game's of `size` bytes."""
    layout = LAYOUT if size is None else [(path, kind, int(share * size))
                                           for path, kind, share in GAME_LAYOUT]
    total = TOTAL_SIZE if size is None else size
    root = os.path.join(destination, "brisel")
    if os.path.exists(root):
        shutil.rmtree(root)
    os.makedirs(root)
    program_size = 0
    for name, source in zip(PROGRAMS, programs):
        shutil.copyfile(source, os.path.join(root, name))
        program_size += os.path.getsize(source)
    fill_size = total - program_size - sum(size for _, _, size in layout)
    if fill_size < 0:
        raise ValueError(f"the programs are {program_size} bytes, too large for the layout")
    for index, (path, kind, size) in enumerate(layout):
        size = fill_size if kind == "fill" else size
        target = os.path.join(root, *path.split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as out:
            # One generator per file (and piece), so that a change in one file leaves the others
            # as they were.
            for piece, offset in enumerate(range(0, size, PIECE)):
                seed = f"veltrane-brisel-{index}-{path}" + (f"-{piece}" if piece else "")
                rng = random.Random(seed)
                out.write(MAKERS[kind](rng, min(PIECE, size - offset)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("destination", help="the folder to create brisel\\ in")
    parser.add_argument("brisel_exe")
    parser.add_argument("startup_exe")
    parser.add_argument("--size", type=int, help="a game-sized folder of this many bytes")
    args = parser.parse_args()
    try:
        generate(args.destination, (args.brisel_exe, args.startup_exe), args.size)
    except (OSError, ValueError) as error:
        print(f"generate_benchmark: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
