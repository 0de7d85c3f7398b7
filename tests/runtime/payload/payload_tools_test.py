#!/usr/bin/env python3
"""The build steps behind the embedded payload: the check that stops a bad archive from being
embedded, the packing of the sample product, and the benchmark payload generator.

Environment (set by ctest): VELTRANE_7ZZ, VELTRANE_PAYLOAD_TOOLS, VELTRANE_PAYLOAD,
VELTRANE_EMBEDDED_ARCHIVE, VELTRANE_EMBEDDED_FACTS, VELTRANE_BRISEL_EXE, VELTRANE_STARTUP_EXE.
"""

import hashlib
import os
import re
import subprocess
import sys
import tempfile
import unittest

SEVENZIP = os.environ["VELTRANE_7ZZ"]
TOOLS = os.environ["VELTRANE_PAYLOAD_TOOLS"]
PAYLOAD = os.environ["VELTRANE_PAYLOAD"]
EMBEDDED = os.environ["VELTRANE_EMBEDDED_ARCHIVE"]
EMBEDDED_FACTS = os.environ["VELTRANE_EMBEDDED_FACTS"]
PROGRAMS = (os.environ["VELTRANE_BRISEL_EXE"], os.environ["VELTRANE_STARTUP_EXE"])

sys.path.insert(0, TOOLS)
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import validate_payload  # noqa: E402  (its listing parser serves these tests too)


def run_tool(script, *args):
    return subprocess.run([sys.executable, os.path.join(TOOLS, script), *args],
                          capture_output=True, text=True, stdin=subprocess.DEVNULL)


def listing(archive):
    """The archive-level properties and the entries of `7zz l -slt`."""
    result = subprocess.run([SEVENZIP, "l", "-slt", archive], capture_output=True, text=True,
                            check=True)
    head, _, _ = result.stdout.partition("\n----------\n")
    properties = dict(line.split(" = ", 1) for line in head.splitlines() if " = " in line)
    return properties, validate_payload.parse_listing(result.stdout)


def digest(path):
    with open(path, "rb") as file:
        return hashlib.sha256(file.read()).hexdigest()


def sevenzip_crc32(path):
    """The file's CRC-32 as 7-Zip's own hash command computes it."""
    result = subprocess.run([SEVENZIP, "h", "-scrcCRC32", path], capture_output=True, text=True,
                            check=True)
    return int(re.search(r"^CRC32 +for data: +([0-9A-F]{8})$", result.stdout, re.M).group(1), 16)


def recorded_crc32(facts):
    """The CRC-32 the facts file gives the installer."""
    with open(facts, encoding="ascii") as file:
        return int(re.search(r"^ +\.set payload_crc32, (0x[0-9a-f]{8})$", file.read(),
                             re.M).group(1), 16)


def tree_digests(root):
    paths = [os.path.join(directory, name) for directory, _, files in os.walk(root)
             for name in files]
    return {os.path.relpath(path, root): digest(path) for path in paths}


class PayloadValidation(unittest.TestCase):
    """validate_payload.py accepts only a plain 7z archive 0.4 that ends where its start header
    says and holds brisel\\startup.exe, and copies only an accepted archive into place."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.folder = cls.work.name
        os.makedirs(os.path.join(cls.folder, "brisel", "data"))
        for name, text in (("brisel/brisel.exe", "main program"),
                           ("brisel/startup.exe", "start program"),
                           ("brisel/data/notes.txt", "notes " * 100)):
            with open(os.path.join(cls.folder, name), "w") as file:
                file.write(text)
        cls.good = cls.pack("good.7z", "brisel")
        with open(cls.good, "rb") as file:
            cls.good_bytes = file.read()

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    @classmethod
    def pack(cls, name, *entries, switches=(), inside=""):
        path = os.path.join(cls.folder, name)
        subprocess.run([SEVENZIP, "a", "-t7z", *switches, path, *entries],
                       cwd=os.path.join(cls.folder, inside),
                       check=True, capture_output=True, stdin=subprocess.DEVNULL)
        return path

    def write(self, name, data):
        path = os.path.join(self.folder, name)
        with open(path, "wb") as file:
            file.write(data)
        return path

    def assert_rejected(self, archive, reason, *switches):
        target = self.write("embedded.7z", self.good_bytes)  # accepted by an earlier build
        result = run_tool("validate_payload.py", archive, "--sevenzip", SEVENZIP,
                          "--embed-as", target, *switches)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, f"payload archive rejected: {archive}: {reason}\n")
        self.assertFalse(os.path.exists(target), "no archive may stay in place after a rejection")

    def test_accepts_a_complete_archive_and_copies_it_unchanged(self):
        target = os.path.join(self.folder, "accepted.7z")
        result = run_tool("validate_payload.py", self.good, "--sevenzip", SEVENZIP,
                          "--embed-as", target)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        with open(target, "rb") as file:
            self.assertEqual(file.read(), self.good_bytes)

    def test_records_the_crc32_7zip_computes_of_the_archive_it_embeds(self):
        # Past the first chunk of the copy, too: a stored (unpacked) archive of random bytes.
        os.makedirs(os.path.join(self.folder, "chunks", "brisel"))
        with open(os.path.join(self.folder, "chunks", "brisel", "startup.exe"), "wb") as file:
            file.write(os.urandom(validate_payload.COPY_CHUNK * 2 + 12345))
        stored = self.pack("stored.7z", "brisel", inside="chunks", switches=("-mx=0",))
        for archive in (self.good, stored):
            embedded = os.path.join(self.folder, "embedded-copy.7z")
            facts = os.path.join(self.folder, "embedded-copy.facts.inc")
            result = run_tool("validate_payload.py", archive, "--sevenzip", SEVENZIP,
                              "--embed-as", embedded, "--facts-as", facts)
            self.assertEqual((result.returncode, result.stderr), (0, ""))
            self.assertEqual(digest(embedded), digest(archive))
            self.assertEqual(recorded_crc32(facts), sevenzip_crc32(archive), archive)
        os.remove(stored)

    def test_the_builds_recorded_crc32_is_7zips_of_the_embedded_archive(self):
        self.assertEqual(recorded_crc32(EMBEDDED_FACTS), sevenzip_crc32(EMBEDDED))

    def test_rejects_a_truncated_or_padded_archive(self):
        size = len(self.good_bytes)
        offset = int.from_bytes(self.good_bytes[12:20], "little")
        header = int.from_bytes(self.good_bytes[20:28], "little")
        for name, data in (("truncated.7z", self.good_bytes[:-10]),
                           ("padded.7z", self.good_bytes + bytes(4))):
            self.assert_rejected(self.write(name, data),
                                 f"truncated or padded: its start header puts the end at byte "
                                 f"{size} (32 + {offset} + {header}), but the file has "
                                 f"{len(data)} bytes")

    def test_rejects_a_file_that_is_not_a_7z_archive(self):
        zip_like = self.write("brisel.zip", b"PK\x03\x04" + bytes(60))
        self.assert_rejected(zip_like, "not a 7z archive: it does not begin with the signature "
                             "37 7A BC AF 27 1C")
        tiny = self.write("tiny.7z", self.good_bytes[:6])
        self.assert_rejected(tiny, "not a 7z archive: it does not begin with the signature "
                             "37 7A BC AF 27 1C")

    def test_rejects_another_format_version(self):
        other = self.write("version03.7z", self.good_bytes[:7] + b"\x03" + self.good_bytes[8:])
        self.assert_rejected(other, "7z format version 0.3, expected 0.4")

    def test_rejects_an_archive_whose_headers_are_damaged(self):
        damaged = bytearray(self.good_bytes)
        damaged[-5] ^= 0xFF  # inside the end header, which its CRC guards
        archive = self.write("damaged.7z", bytes(damaged))
        result = run_tool("validate_payload.py", archive, "--sevenzip", SEVENZIP)
        self.assertEqual(result.returncode, 1)
        self.assertTrue(result.stderr.startswith(
            f"payload archive rejected: {archive}: 7-Zip cannot list it: "), result.stderr)

    def test_rejects_an_archive_with_encrypted_headers(self):
        encrypted = self.pack("headers.7z", "brisel", switches=("-pSECRET", "-mhe=on"))
        self.assert_rejected(encrypted, "encrypted: its headers need a password, which the "
                             "installer cannot give")

    def test_rejects_an_archive_with_encrypted_files(self):
        encrypted = self.pack("files.7z", "brisel", switches=("-pSECRET",))
        self.assert_rejected(encrypted, "encrypted: its files need a password, which the "
                             "installer cannot give")

    def test_rejects_an_archive_without_the_start_program_unless_switched_off_for_tests(self):
        without = self.pack("without.7z", "brisel/brisel.exe", "brisel/data")
        reason = ("it lacks brisel\\startup.exe, the program the installer starts after "
                  "unpacking")
        self.assert_rejected(without, reason)
        # startup.exe at the top, outside any brisel folder.
        misplaced = self.pack("misplaced.7z", "startup.exe", inside="brisel")
        self.assert_rejected(misplaced, reason)
        os.makedirs(os.path.join(self.folder, "folder-form", "brisel", "startup.exe"))
        folder_form = self.pack("folder-form.7z", "brisel", inside="folder-form")
        self.assert_rejected(folder_form, reason)

        target = os.path.join(self.folder, "allowed.7z")
        result = run_tool("validate_payload.py", without, "--sevenzip", SEVENZIP,
                          "--embed-as", target, "--allow-missing-startup")
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertTrue(os.path.exists(target))

    def test_accepts_the_start_program_named_in_another_case_as_windows_does(self):
        os.makedirs(os.path.join(self.folder, "upper-case", "BRISEL"))
        with open(os.path.join(self.folder, "upper-case", "BRISEL", "Startup.EXE"), "w") as file:
            file.write("start program")
        upper_case = self.pack("upper-case.7z", "BRISEL", inside="upper-case")
        target = os.path.join(self.folder, "upper-case-accepted.7z")
        result = run_tool("validate_payload.py", upper_case, "--sevenzip", SEVENZIP,
                          "--embed-as", target)
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        self.assertTrue(os.path.exists(target))

    def test_rejects_an_archive_larger_than_a_32_bit_installer_can_map_without_reading_it(self):
        size = 1_736_441_857  # one byte past the limit: a sparse file, only its head is written
        head = bytearray(self.good_bytes[:32])
        head[12:28] = (size - 32 - 37).to_bytes(8, "little") + (37).to_bytes(8, "little")
        archive = self.write("too-large.7z", bytes(head))
        os.truncate(archive, size)
        self.assert_rejected(archive, f"{size} bytes exceed the 1736441856 bytes a 32-bit "
                             "installer can map as part of its image")

    def test_warns_only_when_a_large_archive_would_decode_on_one_core(self):
        os.makedirs(os.path.join(self.folder, "large", "brisel"))
        with open(os.path.join(self.folder, "large", "brisel", "startup.exe"), "wb") as file:
            file.write(os.urandom(65 * 1024 * 1024))  # does not pack: the archive is as large
        for switches, warned in ((("-mmt=1",), True), (("-m0=LZMA2:c=32m", "-mmt=2"), False)):
            archive = self.pack(f"large{len(switches)}.7z", "brisel", inside="large",
                                switches=("-mx=1", *switches))
            result = run_tool("validate_payload.py", archive, "--sevenzip", SEVENZIP)
            self.assertEqual(result.returncode, 0, result.stderr)
            expected = (f"payload archive warning: {archive}: 7-Zip decodes it as one stream, on "
                        "one core; pack it as multi-block LZMA2 (7zz a -t7z -m0=LZMA2:d=24:c=32m "
                        "-ms=on -mmt=on) to unpack on every core\n") if warned else ""
            self.assertEqual(result.stderr, expected, switches)
            os.remove(archive)

    def test_rejects_a_missing_file(self):
        missing = os.path.join(self.folder, "nothing-here.7z")
        self.assert_rejected(missing, "cannot be read: No such file or directory")


class SamplePayloadPacking(unittest.TestCase):
    """The sample product packs like the real payload, to the same bytes on every build."""

    def setUp(self):
        if PAYLOAD != "sample":
            self.skipTest(f"this build embeds the {PAYLOAD} payload")

    def test_embedded_archive_is_solid_lzma2_with_the_programs_in_a_bcj_block(self):
        properties, entries = listing(EMBEDDED)
        self.assertEqual(properties["Type"], "7z")
        self.assertEqual(properties["Solid"], "+")
        self.assertEqual(properties["Blocks"], "2")
        self.assertRegex(properties["Method"], r"^LZMA2:\w+ BCJ$")
        files = {entry["Path"]: entry for entry in entries if not validate_payload.is_folder(entry)}
        self.assertEqual(set(files), {"brisel/brisel.exe", "brisel/startup.exe",
                                      "brisel/config/brisel.ini", "brisel/docs/readme.txt",
                                      "brisel/data/maps/start.map"})
        for name, entry in files.items():
            self.assertEqual(entry["Encrypted"], "-")
            expected = r"^BCJ LZMA2:\w+$" if name.endswith(".exe") else r"^LZMA2:\w+$"
            self.assertRegex(entry["Method"], expected, name)
        for name, program in zip(("brisel/brisel.exe", "brisel/startup.exe"), PROGRAMS):
            self.assertEqual(int(files[name]["Size"]), os.path.getsize(program))

    def test_packing_the_same_inputs_again_gives_the_embedded_bytes(self):
        with tempfile.TemporaryDirectory() as folder:
            again = os.path.join(folder, "again.7z")
            result = run_tool("pack_payload.py", "--output", again, "--stage",
                              os.path.join(folder, "stage"), "--sample",
                              os.path.join(TOOLS, "sample", "brisel"), "--program", PROGRAMS[0],
                              "--program", PROGRAMS[1], "--sevenzip", SEVENZIP)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(digest(again), digest(EMBEDDED))


class BenchmarkPayloadGenerator(unittest.TestCase):
    """generate_benchmark.py makes the real product's shape: one brisel folder, 6 folders,
    26 files, 38,852,716 bytes, with the two real programs, the same bytes on every run."""

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory()
        cls.first = os.path.join(cls.work.name, "first")
        result = run_tool("generate_benchmark.py", cls.first, *PROGRAMS)
        assert result.returncode == 0, result.stderr

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def test_has_the_real_products_folders_files_and_size(self):
        self.assertEqual(os.listdir(self.first), ["brisel"])
        root = os.path.join(self.first, "brisel")
        folders = [directory for directory, _, _ in os.walk(root)]
        files = [os.path.join(directory, name) for directory, _, names in os.walk(root)
                 for name in names]
        self.assertEqual(len(folders), 6)
        self.assertEqual(len(files), 26)
        self.assertEqual(sum(os.path.getsize(path) for path in files), 38_852_716)
        for name, program in zip(("brisel.exe", "startup.exe"), PROGRAMS):
            self.assertEqual(digest(os.path.join(root, name)), digest(program))

    def test_generating_again_gives_the_same_bytes(self):
        second = os.path.join(self.work.name, "second")
        result = run_tool("generate_benchmark.py", second, *PROGRAMS)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(tree_digests(second), tree_digests(self.first))

    def test_embedded_benchmark_packs_like_the_real_archive(self):
        if PAYLOAD != "benchmark":
            self.skipTest(f"this build embeds the {PAYLOAD} payload")
        properties, entries = listing(EMBEDDED)
        self.assertEqual((properties["Solid"], properties["Blocks"]), ("+", "2"))
        self.assertEqual(properties["Method"], "LZMA2:24 BCJ")
        self.assertEqual(sum(1 for entry in entries if not validate_payload.is_folder(entry)), 26)
        # The real archive has 11,823,109 bytes.
        self.assertAlmostEqual(os.path.getsize(EMBEDDED), 11_823_109, delta=300_000)


if __name__ == "__main__":
    unittest.main()
