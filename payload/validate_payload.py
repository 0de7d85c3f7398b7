#!/usr/bin/env python3
"""Checks a payload archive before the build embeds it in the installer, and copies it into place.

The installer writes the archive out unchanged and has 7-Zip unpack it; it only sums its bytes
(below), never interprets them. A bad archive would therefore only show up on a user's machine,
as an installation that "succeeds" and leaves no product behind. This check stops the build
instead.

Exit status 0 and the archive copied to --embed-as when it passes; 1 and one line
"payload archive rejected: <path>: <reason>" on standard error when it does not. An archive that
passes but that 7-Zip would decode on one core only gets a warning line "payload archive warning:
<path>: <reason>". The checks read only the archive's start header and the headers of its LZMA2
chunks: a rejected multi-gigabyte (or sparse) file costs no gigabytes of reading. An accepted one
is read once, in chunks, as it is copied into place: its CRC-32 goes into the facts, and the
installer compares its embedded copy with it before it removes or writes anything.
"""

import argparse
import lzma
import os
import string
import struct
import subprocess
import sys
import zlib

SIGNATURE = bytes([0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C])
VERSION = (0, 4)
START_HEADER_SIZE = 32
# The installer's image holds the archive, and a 32-bit process maps its image below 2 GB: from
# the image base 0x00400000 to 0x68000000, where Wine's loader keeps the room for a program's
# image (Windows leaves more, up to 0x7FFEFFFF), less 4 MiB for the installer's own code, data and
# the uninstaller it carries. The README says why the exe is not large-address aware.
IMAGE_BASE = 0x00400000
IMAGE_ROOM_END = 0x68000000
OWN_IMAGE_ALLOWANCE = 4 * 1024 * 1024
MAX_ARCHIVE_SIZE = IMAGE_ROOM_END - IMAGE_BASE - OWN_IMAGE_ALLOWANCE
# Above this size a vendor archive should let 7-Zip decode on every core.
ONE_STREAM_WARNING_SIZE = 64 * 1024 * 1024
START_PROGRAM = "brisel/startup.exe"
# Windows finds a file whatever the case of its name's letters. Only ASCII letters are folded:
# the start program's name is ASCII, and a wider folding could accept a name Windows keeps apart.
ASCII_UPPER = str.maketrans(string.ascii_lowercase, string.ascii_uppercase)
# The accepted archive is copied and summed in pieces of this size: never gigabytes in memory.
COPY_CHUNK = 16 * 1024 * 1024


class Rejected(Exception):
    """The archive may not be embedded; the message says why."""


def check_start_header(head, size):
    """Checks the 32-byte start header against the file's size; returns the end header's place."""
    if len(head) < START_HEADER_SIZE or not head.startswith(SIGNATURE):
        raise Rejected("not a 7z archive: it does not begin with the signature 37 7A BC AF 27 1C")
    version = (head[6], head[7])
    if version != VERSION:
        raise Rejected(f"7z format version {version[0]}.{version[1]}, expected 0.4")
    next_offset, next_size = struct.unpack_from("<QQ", head, 12)
    end = START_HEADER_SIZE + next_offset + next_size
    if end != size:
        raise Rejected(
            f"truncated or padded: its start header puts the end at byte {end} "
            f"(32 + {next_offset} + {next_size}), but the file has {size} bytes")
    if size > MAX_ARCHIVE_SIZE:
        raise Rejected(f"{size} bytes exceed the {MAX_ARCHIVE_SIZE} bytes a 32-bit installer can "
                       f"map as part of its image")
    return START_HEADER_SIZE + next_offset, next_size


def parse_listing(text):
    """The entries of a `7zz l -slt` listing as dictionaries of their "Key = value" lines."""
    # What comes before the "----------" line describes the archive itself.
    _, _, text = text.partition("\n----------\n")
    entries = []
    entry = None
    for line in text.splitlines():
        if line.startswith("Path = "):
            entry = {}
            entries.append(entry)
        if entry is not None and " = " in line:
            key, value = line.split(" = ", 1)
            entry[key] = value
    return entries


def is_folder(entry):
    """Whether a listed entry is a folder: 7z listings say so in the Windows attribute letters."""
    letters = entry.get("Attributes", "").split(" ", 1)[0]
    return entry.get("Folder") == "+" or "D" in letters


def windows_path(path):
    """A listed path in the form Windows matches names in: either separator, either case."""
    return path.replace("\\", "/").translate(ASCII_UPPER)


def check_contents(sevenzip, path, allow_missing_startup):
    """Checks what the archive holds; returns its files (path and unpacked size), in the order
    7-Zip lists and unpacks them."""
    # A wrong password keeps 7-Zip from asking for one on the terminal; a UTF-8 locale makes it
    # print every name as it is, whatever the build machine's locale.
    listing = subprocess.run([sevenzip, "l", "-slt", "-t7z", "-pnot-the-password", "--", path],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True,
                             encoding="utf-8", errors="replace",
                             env={**os.environ, "LC_ALL": "C.UTF-8"})
    output = listing.stdout + listing.stderr
    if "Cannot open encrypted archive" in output or "Wrong password" in output:
        raise Rejected("encrypted: its headers need a password, which the installer cannot give")
    if listing.returncode != 0:
        detail = " ".join(line.strip() for line in output.splitlines() if "ERROR" in line)
        raise Rejected(f"7-Zip cannot list it: {detail or 'exit code ' + str(listing.returncode)}")
    entries = parse_listing(listing.stdout)
    if any(entry.get("Encrypted") == "+" for entry in entries):
        raise Rejected("encrypted: its files need a password, which the installer cannot give")
    has_start_program = any(
        windows_path(entry.get("Path", "")) == windows_path(START_PROGRAM) and not is_folder(entry)
        for entry in entries)
    if not has_start_program and not allow_missing_startup:
        raise Rejected("it lacks brisel\\startup.exe, the program the installer starts after "
                       "unpacking")
    return [(entry["Path"], int(entry.get("Size") or 0)) for entry in entries
            if not is_folder(entry)]


class HeaderReader:
    """Reads the fields of a 7z header: bytes and 7z's variable-length numbers."""

    def __init__(self, data):
        self.data = data
        self.at = 0

    def byte(self):
        self.at += 1
        return self.data[self.at - 1]

    def bytes(self, count):
        self.at += count
        return self.data[self.at - count:self.at]

    def number(self):
        first = self.byte()
        mask, value = 0x80, 0
        for index in range(8):
            if not first & mask:
                return value | (first & (mask - 1)) << (8 * index)
            value |= self.byte() << (8 * index)
            mask >>= 1
        return value

    def skip_digests(self, count):
        defined = count if self.byte() else bin(int.from_bytes(self.bytes((count + 7) // 8),
                                                               "big")).count("1")
        self.bytes(4 * defined)


# Property ids of 7z headers, and the two methods that decode as one stream unless split.
K_END, K_HEADER, K_MAIN_STREAMS, K_PACK_INFO, K_UNPACK_INFO = 0x00, 0x01, 0x04, 0x06, 0x07
K_SIZE, K_ENCODED_HEADER = 0x09, 0x17
LZMA, LZMA2 = b"\x03\x01\x01", b"\x21"
# A coder's first byte: the length of its method id, and whether more fields follow.
CODER_ID_SIZE, CODER_IS_COMPLEX, CODER_HAS_PROPERTIES = 0x0F, 0x10, 0x20
# An LZMA2 chunk's control byte: the end; uncompressed data, with or without a dictionary reset;
# compressed data, from this value on with new properties, and from this one on with a reset.
LZMA2_END, LZMA2_COPY_RESET, LZMA2_COPY = 0x00, 0x01, 0x02
LZMA2_PACKED, LZMA2_NEW_PROPERTIES, LZMA2_DICTIONARY_RESET = 0x80, 0xC0, 0xE0


def read_folder(reader):
    """One folder of an UnpackInfo: its coders and how many packed streams feed it."""
    coders, inputs, outputs = [], 0, 0
    for _ in range(reader.number()):
        flags = reader.byte()
        method = reader.bytes(flags & CODER_ID_SIZE)
        ins, outs = (reader.number(), reader.number()) if flags & CODER_IS_COMPLEX else (1, 1)
        properties = reader.bytes(reader.number()) if flags & CODER_HAS_PROPERTIES else b""
        coders.append((method, properties))
        inputs, outputs = inputs + ins, outputs + outs
    bind_pairs = outputs - 1
    for _ in range(2 * bind_pairs):
        reader.number()
    packed = inputs - bind_pairs
    if packed > 1:
        for _ in range(packed):
            reader.number()
    return {"coders": coders, "packed": packed, "outputs": outputs}


def read_streams(reader):
    """The pack streams' place and sizes and each folder, from a StreamsInfo."""
    pack_pos, pack_sizes, folders = 0, [], []
    while (kind := reader.byte()) in (K_PACK_INFO, K_UNPACK_INFO):
        if kind == K_PACK_INFO:
            pack_pos, count = reader.number(), reader.number()
            while (field := reader.byte()) != K_END:
                if field == K_SIZE:
                    pack_sizes = [reader.number() for _ in range(count)]
                else:
                    reader.skip_digests(count)
        else:
            reader.byte()  # kFolder
            count = reader.number()
            reader.byte()  # the folders follow here, not in another stream
            folders = [read_folder(reader) for _ in range(count)]
            reader.byte()  # kCodersUnPackSize
            for folder in folders:
                folder["unpack_sizes"] = [reader.number() for _ in range(folder["outputs"])]
            while reader.byte() != K_END:
                reader.skip_digests(len(folders))
    return pack_pos, pack_sizes, folders


def decode_lzma(packed, properties, size):
    """An LZMA stream as 7z headers are packed: raw, without an end marker."""
    lc_lp_pb = properties[0]
    filters = [{"id": lzma.FILTER_LZMA1, "lc": lc_lp_pb % 9, "lp": lc_lp_pb // 9 % 5,
                "pb": lc_lp_pb // 45, "dict_size": int.from_bytes(properties[1:5], "little")}]
    return lzma.LZMADecompressor(lzma.FORMAT_RAW, filters=filters).decompress(packed, size)


def read_main_streams(archive, header_at, header_size):
    """The pack streams and folders of the archive's files; None for a header of another shape."""
    archive.seek(header_at)
    reader = HeaderReader(archive.read(header_size))
    kind = reader.byte()
    if kind == K_ENCODED_HEADER:
        pack_pos, pack_sizes, folders = read_streams(reader)
        if len(folders) != 1 or folders[0]["coders"][0][0] != LZMA:
            return None
        archive.seek(START_HEADER_SIZE + pack_pos)
        reader = HeaderReader(decode_lzma(archive.read(pack_sizes[0]),
                                          folders[0]["coders"][0][1],
                                          folders[0]["unpack_sizes"][0]))
        kind = reader.byte()
    if kind != K_HEADER or reader.byte() != K_MAIN_STREAMS:
        return None
    return read_streams(reader)


def lzma2_blocks(archive, offset, end):
    """How many independently decodable blocks an LZMA2 stream holds, counted up to two: each
    begins with a chunk that resets the dictionary. Reads only the chunks' few header bytes."""
    blocks = 0
    while offset < end and blocks < 2:
        archive.seek(offset)
        head = archive.read(6)
        control = head[0] if head else LZMA2_END
        if control == LZMA2_END:
            break
        if control in (LZMA2_COPY_RESET, LZMA2_COPY):
            blocks += control == LZMA2_COPY_RESET
            offset += 3 + int.from_bytes(head[1:3], "big") + 1
        elif control >= LZMA2_PACKED:
            blocks += control >= LZMA2_DICTIONARY_RESET
            offset += (6 if control >= LZMA2_NEW_PROPERTIES else 5) + \
                int.from_bytes(head[3:5], "big") + 1
        else:
            break
    return blocks


def decodes_on_one_core(path, header_at, header_size):
    """Whether 7-Zip would decode the archive's largest folder as one stream: LZMA, or LZMA2 in a
    single block."""
    with open(path, "rb") as archive:
        try:
            streams = read_main_streams(archive, header_at, header_size)
        except (IndexError, lzma.LZMAError):
            return False  # a header of a shape this reader does not follow: no warning
        if not streams:
            return False
        pack_pos, pack_sizes, folders = streams
        offset, largest = START_HEADER_SIZE + pack_pos, None
        for folder in folders:
            size = sum(pack_sizes[:folder["packed"]])
            pack_sizes = pack_sizes[folder["packed"]:]
            if largest is None or size > largest[1]:
                largest = (offset, size, folder)
            offset += size
        if largest is None:
            return False
        start, size, folder = largest
        methods = [method for method, _ in folder["coders"]]
        if LZMA in methods:
            return True
        return LZMA2 in methods and folder["packed"] == 1 and \
            lzma2_blocks(archive, start, start + size) < 2


def copy_and_sum(path, target):
    """Copies the archive to the open file target in chunks; its CRC-32, as 7-Zip computes it."""
    crc = 0
    with open(path, "rb") as archive:
        while chunk := archive.read(COPY_CHUNK):
            crc = zlib.crc32(chunk, crc)
            target.write(chunk)
    return crc


def write_facts(path, files, crc):
    """The facts the installer needs of its payload, as an assembler include beside the archive:
    the archive's CRC-32, the unpacked total, and a macro laying out every file that has bytes, in
    unpacking order, as its size (64 bits, little-endian) and its path below the install root
    (UTF-8, with backslashes, ending in a zero byte), for the progress of an installation."""
    lines = ["/* Generated from the archive's bytes and its listing. */",
             f"        .set payload_crc32, {crc:#010x}",
             f"        .set payload_unpacked_size, {sum(size for _, size in files)}",
             "        .macro payload_files"]
    for name, size in files:
        if size:
            encoded = name.replace("/", "\\").encode("utf-8") + b"\0"
            lines.append(f"        .quad {size}")
            lines.append("        .byte " + ",".join(str(byte) for byte in encoded))
    lines.append("        .endm")
    partial = path + ".partial"
    with open(partial, "w", encoding="ascii") as facts:
        facts.write("\n".join(lines) + "\n")
    os.replace(partial, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("archive")
    parser.add_argument("--sevenzip", default="7zz", help="the 7-Zip console program to list with")
    parser.add_argument("--embed-as", help="where the accepted archive is copied for embedding")
    parser.add_argument("--facts-as", help="where the installer's facts of the archive are written")
    parser.add_argument("--allow-missing-startup", action="store_true",
                        help="test builds only: accept an archive without brisel\\startup.exe")
    args = parser.parse_args()

    try:
        try:
            with open(args.archive, "rb") as archive:
                head = archive.read(START_HEADER_SIZE)
                size = os.fstat(archive.fileno()).st_size
        except OSError as error:
            raise Rejected(f"cannot be read: {error.strerror}") from error
        header_at, header_size = check_start_header(head, size)
        files = check_contents(args.sevenzip, args.archive, args.allow_missing_startup)
    except Rejected as rejection:
        print(f"payload archive rejected: {args.archive}: {rejection}", file=sys.stderr)
        # An archive accepted earlier must not stay in place as if this one had been.
        for stale in (args.embed_as, args.facts_as):
            if stale and os.path.exists(stale):
                os.remove(stale)
        return 1

    if size > ONE_STREAM_WARNING_SIZE and decodes_on_one_core(args.archive, header_at,
                                                               header_size):
        print(f"payload archive warning: {args.archive}: 7-Zip decodes it as one stream, on one "
              f"core; pack it as multi-block LZMA2 (7zz a -t7z -m0=LZMA2:d=24:c=32m -ms=on "
              f"-mmt=on) to unpack on every core", file=sys.stderr)
    if args.embed_as or args.facts_as:
        # One pass reads the accepted archive for its checksum and the copy to embed, which is made
        # under a temporary name, so that an interrupted copy never looks like an accepted one.
        partial = args.embed_as + ".partial" if args.embed_as else os.devnull
        with open(partial, "wb") as target:
            crc = copy_and_sum(args.archive, target)
        if args.facts_as:
            write_facts(args.facts_as, files, crc)
        if args.embed_as:
            os.replace(partial, args.embed_as)
    return 0


if __name__ == "__main__":
    sys.exit(main())
