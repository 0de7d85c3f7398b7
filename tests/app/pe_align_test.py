#!/usr/bin/env python3
"""cmake/pe_align.py: the built installer's payload section lies at a page-aligned file offset
under a valid checksum, and moving a section keeps the bytes of every section and of whatever
follows them, in an exe larger than one chunk of the copy and of the checksum.

Environment (set by ctest): VELTRANE_PE_ALIGN, VELTRANE_INSTALLER, VELTRANE_OSSLSIGNCODE.
"""

import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

PE_ALIGN = os.environ["VELTRANE_PE_ALIGN"]
INSTALLER = os.environ["VELTRANE_INSTALLER"]
OSSLSIGNCODE = os.environ["VELTRANE_OSSLSIGNCODE"]
PAGE_SIZE = 4096
# Past the 64 MiB in which the tool copies and sums the file. Even: for a last odd byte osslsigncode
# sums one word less than Windows' CheckSumMappedFile, which the tool follows.
LARGE_SIZE = 65 * 1024 * 1024
TAIL_MARK = b"the end of a large exe"


def headers(path):
    """The checksum field and each section's name, raw data offset and raw size."""
    with open(path, "rb") as file:
        data = file.read(PAGE_SIZE)
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
    (checksum,) = struct.unpack_from("<I", data, pe + 24 + 64)
    first = pe + 24 + optional_size
    sections = {}
    for index in range(count):
        name, raw_size, raw_pointer = struct.unpack_from("<8s8xII", data, first + 40 * index)
        sections[name.rstrip(b"\0").decode("ascii")] = (raw_pointer, raw_size)
    return checksum, sections


def digest(path, offset, size=None):
    """SHA-256 of size bytes (None: all) from offset, read in pieces."""
    result = hashlib.sha256()
    with open(path, "rb") as file:
        file.seek(offset)
        while size is None or size > 0:
            piece = file.read(1 << 20 if size is None else min(size, 1 << 20))
            if not piece:
                break
            result.update(piece)
            if size is not None:
                size -= len(piece)
    return result.hexdigest()


def osslsigncode_checksums(path):
    """The checksums osslsigncode reports of an unsigned file: one line with the header's when it
    is right, the header's and the calculated one when not."""
    verify = subprocess.run([OSSLSIGNCODE, "verify", "-in", path], capture_output=True, text=True)
    return {int(value, 16) for value in re.findall(r"PE checksum\s*:\s*([0-9A-Fa-f]{8})",
                                                    verify.stdout)}


class PeAlign(unittest.TestCase):
    def test_built_installer_has_its_payload_on_a_page_under_a_valid_checksum(self):
        checksum, sections = headers(INSTALLER)
        self.assertEqual(sections[".payload"][0] % PAGE_SIZE, 0)
        self.assertNotEqual(checksum, 0)
        self.assertEqual(osslsigncode_checksums(INSTALLER), {checksum})

    def test_moving_a_section_below_the_first_page_keeps_every_byte_of_a_large_exe(self):
        with tempfile.TemporaryDirectory() as folder:
            original = os.path.join(folder, "original.exe")
            moved = os.path.join(folder, "moved.exe")
            shutil.copyfile(INSTALLER, original)
            # Data beyond the sections (as a signature would lie), sparse up to its last bytes.
            with open(original, "r+b") as file:
                file.truncate(LARGE_SIZE - len(TAIL_MARK))
                file.seek(0, os.SEEK_END)
                file.write(TAIL_MARK)
            shutil.copyfile(original, moved)
            _, before = headers(original)
            # The code section starts inside the first page: a move of it must keep the bytes
            # between its old offset and the page's end.
            self.assertLess(before[".text"][0], PAGE_SIZE)
            result = subprocess.run([sys.executable, PE_ALIGN, moved, "--section", ".text"],
                                    capture_output=True, text=True)
            self.assertEqual((result.returncode, result.stderr), (0, ""))

            checksum, after = headers(moved)
            self.assertEqual(after[".text"][0], PAGE_SIZE)
            padding = PAGE_SIZE - before[".text"][0]
            self.assertEqual(os.path.getsize(moved), LARGE_SIZE + padding)
            for name, (pointer, size) in before.items():
                if size:
                    self.assertEqual(after[name], (pointer + padding, size), name)
                    self.assertEqual(digest(moved, pointer + padding, size),
                                     digest(original, pointer, size), name)
            end = max(pointer + size for pointer, size in before.values())
            self.assertEqual(digest(moved, end + padding), digest(original, end))
            self.assertEqual(osslsigncode_checksums(moved), {checksum})


if __name__ == "__main__":
    unittest.main()
