#!/usr/bin/env python3
"""Checks a payload archive before the build embeds it in the installer, and copies it into place.

The installer writes the archive out unchanged and has 7-Zip unpack it; it reads nothing of the
archive itself. A bad archive would therefore only show up on a user's machine, as an
installation that "succeeds" and leaves no product behind. This check stops the build instead.

Exit status 0 and the archive copied to --embed-as when it passes; 1 and one line
"payload archive rejected: <path>: <reason>" on standard error when it does not.
"""

import argparse
import os
import shutil
import string
import struct
import subprocess
import sys

SIGNATURE = bytes([0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C])
VERSION = (0, 4)
START_HEADER_SIZE = 32
# The record holds the archive's length in 32 bits.
MAX_ARCHIVE_SIZE = 0xFFFFFFFF
START_PROGRAM = "brisel/startup.exe"
# Windows finds a file whatever the case of its name's letters. Only ASCII letters are folded:
# the start program's name is ASCII, and a wider folding could accept a name Windows keeps apart.
ASCII_UPPER = str.maketrans(string.ascii_lowercase, string.ascii_uppercase)


class Rejected(Exception):
    """The archive may not be embedded; the message says why."""


def check_start_header(data):
    if len(data) < START_HEADER_SIZE or not data.startswith(SIGNATURE):
        raise Rejected("not a 7z archive: it does not begin with the signature 37 7A BC AF 27 1C")
    version = (data[6], data[7])
    if version != VERSION:
        raise Rejected(f"7z format version {version[0]}.{version[1]}, expected 0.4")
    next_offset, next_size = struct.unpack_from("<QQ", data, 12)
    end = START_HEADER_SIZE + next_offset + next_size
    if end != len(data):
        raise Rejected(
            f"truncated or padded: its start header puts the end at byte {end} "
            f"(32 + {next_offset} + {next_size}), but the file has {len(data)} bytes")
    if len(data) > MAX_ARCHIVE_SIZE:
        raise Rejected(f"{len(data)} bytes do not fit the record's 32-bit length")


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
    """Checks what the archive holds; returns the total size of its files once unpacked."""
    # A wrong password keeps 7-Zip from asking for one on the terminal.
    listing = subprocess.run([sevenzip, "l", "-slt", "-t7z", "-pnot-the-password", "--", path],
                             stdin=subprocess.DEVNULL, capture_output=True, text=True,
                             errors="replace")
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
    return sum(int(entry.get("Size") or 0) for entry in entries if not is_folder(entry))


def write_facts(path, unpacked_size):
    """The facts the installer needs of its payload, as an assembler include beside the archive."""
    partial = path + ".partial"
    with open(partial, "w", encoding="ascii") as facts:
        facts.write(f"/* Generated from the archive's listing. */\n"
                    f"        .set payload_unpacked_size, {unpacked_size}\n")
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
                data = archive.read()
        except OSError as error:
            raise Rejected(f"cannot be read: {error.strerror}") from error
        check_start_header(data)
        unpacked_size = check_contents(args.sevenzip, args.archive, args.allow_missing_startup)
    except Rejected as rejection:
        print(f"payload archive rejected: {args.archive}: {rejection}", file=sys.stderr)
        # An archive accepted earlier must not stay in place as if this one had been.
        for stale in (args.embed_as, args.facts_as):
            if stale and os.path.exists(stale):
                os.remove(stale)
        return 1

    if args.facts_as:
        write_facts(args.facts_as, unpacked_size)
    if args.embed_as:
        # Through a temporary name, so that an interrupted copy never looks like an accepted one.
        partial = args.embed_as + ".partial"
        shutil.copyfile(args.archive, partial)
        os.replace(partial, args.embed_as)
    return 0


if __name__ == "__main__":
    sys.exit(main())
