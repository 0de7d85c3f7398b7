#!/usr/bin/env python3
"""Sets a linked PE file's time stamp to a given time and rewrites its checksum to match.

GNU ld for PE can leave the time stamp out (0) but cannot set one, so a build that wants the
time of its sources (SOURCE_DATE_EPOCH) in the header writes it here after linking. The
checksum covers the time stamp, so it is computed again over the final bytes, read in chunks
(the exe, payload included, is never held in memory). Runs before signing: the signature's digest
covers the time stamp.
"""

import argparse
import io
import struct
import sys

PE_OFFSET_FIELD = 0x3C
PE_SIGNATURE = b"PE\0\0"
# In the COFF file header, which follows the signature.
TIME_STAMP_OFFSET = len(PE_SIGNATURE) + 4
OPTIONAL_HEADER_OFFSET = len(PE_SIGNATURE) + 20
# In the optional header: the same place in PE32 and PE32+.
CHECKSUM_OFFSET = 64
MAX_TIME_STAMP = 0xFFFFFFFF
# The checksum's words summed with end-around carry are, for any positive sum, the sum modulo
# 0xFFFF with 0 read as 0xFFFF: a whole chunk's words are summed at once as one little-endian
# number (2**16 is 1 modulo 0xFFFF). Chunks are of an even size, so that words never straddle two.
WORD_MODULUS = 0xFFFF
CHECKSUM_CHUNK = 64 * 1024 * 1024


def pe_checksum(file, checksum_at, length):
    """The checksum Windows' CheckSumMappedFile computes over the open file's first `length` bytes:
    its little-endian 16-bit words, its own field taken as zero, summed with end-around carry,
    plus the length. Read in chunks, so that an exe of gigabytes takes seconds."""
    file.seek(0)
    total, at = 0, 0
    while at < length and (chunk := file.read(min(CHECKSUM_CHUNK, length - at))):
        chunk = bytearray(chunk)
        if at <= checksum_at < at + len(chunk):
            chunk[checksum_at - at:checksum_at - at + 4] = bytes(4)
        at += len(chunk)
        if len(chunk) % 2:
            chunk.append(0)
        total += int.from_bytes(chunk, "little") % WORD_MODULUS
    folded = total % WORD_MODULUS or (WORD_MODULUS if total else 0)
    return folded + length


def stamp(file, time_stamp):
    """Writes the time stamp into the open PE file and the checksum of its new bytes, which it
    reads in chunks."""
    header = file.read(PE_OFFSET_FIELD + 4)
    if header[:2] != b"MZ":
        raise ValueError("not a PE file: no MZ header")
    (pe,) = struct.unpack_from("<I", header, PE_OFFSET_FIELD)
    file.seek(pe)
    if file.read(len(PE_SIGNATURE)) != PE_SIGNATURE:
        raise ValueError("not a PE file: no PE signature where the MZ header points")
    file.seek(pe + TIME_STAMP_OFFSET)
    file.write(struct.pack("<I", time_stamp))
    checksum_at = pe + OPTIONAL_HEADER_OFFSET + CHECKSUM_OFFSET
    length = file.seek(0, io.SEEK_END)
    value = pe_checksum(file, checksum_at, length)
    file.seek(checksum_at)
    file.write(struct.pack("<I", value))


def time_stamp_value(text):
    value = int(text)
    if not 0 <= value <= MAX_TIME_STAMP:
        raise argparse.ArgumentTypeError(f"{text} does not fit a PE time stamp's 32 bits")
    return value


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    parser.add_argument("--time-stamp", type=time_stamp_value, required=True,
                        help="seconds since 1970-01-01 UTC, e.g. SOURCE_DATE_EPOCH")
    args = parser.parse_args()
    with open(args.file, "r+b") as file:
        try:
            stamp(file, args.time_stamp)
        except ValueError as error:
            print(f"{args.file}: {error}", file=sys.stderr)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
