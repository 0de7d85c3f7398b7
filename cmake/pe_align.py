#!/usr/bin/env python3
"""Moves one section of a linked PE file to the next page-aligned file offset.

GNU ld aligns every section's raw data to the one file alignment (512 bytes). Wine maps a
section's pages straight from the exe file only when the section's file offset is page-aligned,
and reads any other section into private memory when it loads the program: for the payload's
section, the whole archive. Aligning that one section costs at most 4 KiB of padding, where a
page-aligned file alignment would pad every section. Runs right after linking, before the time
stamp and the signature; rewrites the checksum when the file has one. Reads and writes in
chunks: an exe of gigabytes is never held in memory.
"""

import argparse
import os
import struct
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import pe_stamp  # noqa: E402  (the PE header's layout and checksum)

PAGE_SIZE = 4096
SECTION_HEADER_SIZE = 40
# In a section header: the size and the file offset of its raw data.
RAW_SIZE_OFFSET, RAW_POINTER_OFFSET = 16, 20
COPY_CHUNK = 64 * 1024 * 1024


def section_headers(header):
    """The file offset of each section header in the PE header, with its name."""
    (pe,) = struct.unpack_from("<I", header, pe_stamp.PE_OFFSET_FIELD)
    count, optional_size = struct.unpack_from("<H12xH", header, pe + 6)
    first = pe + pe_stamp.OPTIONAL_HEADER_OFFSET + optional_size
    return pe, [(first + index * SECTION_HEADER_SIZE,
                 header[first + index * SECTION_HEADER_SIZE:][:8].rstrip(b"\0").decode("ascii"))
                for index in range(count)]


def copy(source, target, count):
    """Copies count bytes (None: all that is left) from one open file to another, in chunks."""
    while count is None or count > 0:
        chunk = source.read(COPY_CHUNK if count is None else min(count, COPY_CHUNK))
        if not chunk:
            return
        target.write(chunk)
        if count is not None:
            count -= len(chunk)


def align(path, name):
    """Pads the file before the named section up to a page-aligned offset; the bytes padded."""
    with open(path, "rb") as file:
        header = bytearray(file.read(PAGE_SIZE))
    if header[:2] != b"MZ":
        raise ValueError("not a PE file: no MZ header")
    pe, sections = section_headers(header)
    found = [at for at, section in sections if section == name]
    if not found:
        raise ValueError(f"no section {name}")
    (old,) = struct.unpack_from("<I", header, found[0] + RAW_POINTER_OFFSET)
    padding = -old % PAGE_SIZE
    if padding == 0:
        return 0
    # Every section whose raw data lies at or after the moved one moves with it.
    for at, _ in sections:
        raw_size, raw_pointer = struct.unpack_from("<II", header, at + RAW_SIZE_OFFSET)
        if raw_size and raw_pointer >= old:
            struct.pack_into("<I", header, at + RAW_POINTER_OFFSET, raw_pointer + padding)
    partial = path + ".partial"
    with open(path, "rb") as source, open(partial, "w+b") as target:
        # Only the bytes before the section come from the header read, which holds the new section
        # table: a section that starts below the first page keeps its own bytes, read again.
        head = header[:old]
        target.write(head)
        source.seek(len(head))
        copy(source, target, old - len(head))
        target.write(bytes(padding))
        copy(source, target, None)
        checksum_at = pe + pe_stamp.OPTIONAL_HEADER_OFFSET + pe_stamp.CHECKSUM_OFFSET
        if struct.unpack_from("<I", header, checksum_at)[0]:
            value = pe_stamp.pe_checksum(target, checksum_at, target.tell())
            target.seek(checksum_at)
            target.write(struct.pack("<I", value))
    os.chmod(partial, os.stat(path).st_mode)
    os.replace(partial, path)
    return padding


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    parser.add_argument("--section", required=True, help="the section to page-align")
    args = parser.parse_args()
    try:
        align(args.file, args.section)
    except ValueError as error:
        print(f"{args.file}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
