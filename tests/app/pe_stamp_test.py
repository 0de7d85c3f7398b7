#!/usr/bin/env python3
"""cmake/pe_stamp.py on a copy of the built installer: the time stamp it is given lands in the
COFF header, and the checksum it writes is the one osslsigncode calculates independently.

Environment (set by ctest): VELTRANE_PE_STAMP, VELTRANE_INSTALLER, VELTRANE_OSSLSIGNCODE.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

PE_STAMP = os.environ["VELTRANE_PE_STAMP"]
INSTALLER = os.environ["VELTRANE_INSTALLER"]
OSSLSIGNCODE = os.environ["VELTRANE_OSSLSIGNCODE"]
# 2023-11-14 22:13:20 UTC: any time other than the link's own.
TIME_STAMP = 1_700_000_000


def header_fields(path):
    """The COFF header's time stamp and the optional header's checksum."""
    with open(path, "rb") as file:
        data = file.read()
    (pe,) = struct.unpack_from("<I", data, 0x3C)
    (time_stamp,) = struct.unpack_from("<I", data, pe + 8)
    (checksum,) = struct.unpack_from("<I", data, pe + 24 + 64)
    return time_stamp, checksum


class PeStamp(unittest.TestCase):
    def test_sets_the_time_stamp_and_a_checksum_osslsigncode_agrees_with(self):
        with tempfile.TemporaryDirectory() as folder:
            stamped = os.path.join(folder, "VeltraneSetup.exe")
            shutil.copyfile(INSTALLER, stamped)
            result = subprocess.run([sys.executable, PE_STAMP, stamped,
                                     "--time-stamp", str(TIME_STAMP)],
                                    capture_output=True, text=True)
            self.assertEqual((result.returncode, result.stderr), (0, ""))
            time_stamp, checksum = header_fields(stamped)
            self.assertEqual(time_stamp, TIME_STAMP)
            # An unsigned file fails verification, but osslsigncode still reports the checksum:
            # one "PE checksum" line when it is right, the current and the calculated when not.
            verify = subprocess.run([OSSLSIGNCODE, "verify", "-in", stamped],
                                    capture_output=True, text=True)
            reported = re.findall(r"PE checksum\s*:\s*([0-9A-Fa-f]{8})", verify.stdout)
            self.assertTrue(reported, verify.stdout)
            self.assertEqual({int(value, 16) for value in reported}, {checksum}, verify.stdout)


if __name__ == "__main__":
    unittest.main()
