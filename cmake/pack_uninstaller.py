"""Packs the signed uninstaller for the installer to carry: its length as 32-bit little-endian, the
5 bytes of LZMA properties (lc/lp/pb, then the dictionary size), then the raw LZMA stream, which
7-Zip's LzmaDecode reads as it is. Before LZMA the x86 branch filter (BCJ, from offset 0) makes
the targets of calls and jumps absolute, which 7-Zip's x86 branch converter undoes after it. The
same input gives the same bytes.

    pack_uninstaller.py UNINSTALL_EXE OUTPUT
"""
import lzma
import os
import sys

# The whole exe fits the dictionary; 7-Zip's defaults for the literal and position bits.
DICTIONARY = 1 << 20
LC, LP, PB = 3, 0, 2


def pack(program: bytes) -> bytes:
    """The packed form of `program`."""
    options = {"id": lzma.FILTER_LZMA1, "preset": 9 | lzma.PRESET_EXTREME,
               "dict_size": DICTIONARY, "lc": LC, "lp": LP, "pb": PB}
    stream = lzma.compress(program, format=lzma.FORMAT_RAW,
                           filters=[{"id": lzma.FILTER_X86}, options])
    properties = bytes([(PB * 5 + LP) * 9 + LC]) + DICTIONARY.to_bytes(4, "little")
    return len(program).to_bytes(4, "little") + properties + stream


def main() -> int:
    source, output = sys.argv[1], sys.argv[2]
    with open(source, "rb") as file:
        packed = pack(file.read())
    with open(output + ".tmp", "wb") as file:
        file.write(packed)
    os.replace(output + ".tmp", output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
