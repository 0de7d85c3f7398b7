#!/usr/bin/env python3
"""Builds the brisel folder of a payload in a staging folder and packs it the way the real payload
is packed: 7z, LZMA2 with a 2^24 dictionary, solid; 7-Zip puts the executables into a block of
their own with the x86 BCJ filter.

The archive depends only on the inputs: every staged file gets the same time stamp and mode, so
that an unchanged product packs to the same bytes on every build.
"""

import argparse
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import generate_benchmark  # noqa: E402

# 2024-01-01 00:00:00 UTC.
FIXED_TIME = 1704067200
PACK_SWITCHES = ["-t7z", "-m0=LZMA2:d=24:c=32m", "-ms=on", "-mmt=2", "-bso0", "-bsp0"]


def stage_sample(root, sample, programs):
    shutil.copytree(sample, root)
    for source in programs:
        shutil.copyfile(source, os.path.join(root, os.path.basename(source)))


def normalize(root):
    for directory, _, files in os.walk(root):
        for name in files:
            path = os.path.join(directory, name)
            os.chmod(path, 0o755 if name.endswith((".exe", ".dll")) else 0o644)
            os.utime(path, (FIXED_TIME, FIXED_TIME))
        os.chmod(directory, 0o755)
        os.utime(directory, (FIXED_TIME, FIXED_TIME))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--output", required=True, help="the .7z archive to write")
    parser.add_argument("--stage", required=True, help="a folder to build brisel\\ in (emptied)")
    source = parser.add_mutually_exclusive_group(required=True)
    source.add_argument("--sample", help="the sample product's data tree (the brisel folder)")
    source.add_argument("--benchmark", action="store_true",
                        help="generate a payload of the real product's size and shape")
    source.add_argument("--game-size", type=int,
                        help="generate a payload of the product's shape and this many bytes")
    parser.add_argument("--program", action="append", required=True,
                        help="brisel.exe and startup.exe, in that order")
    parser.add_argument("--sevenzip", default="7zz")
    args = parser.parse_args()

    if os.path.exists(args.stage):
        shutil.rmtree(args.stage)
    os.makedirs(args.stage)
    root = os.path.join(args.stage, "brisel")
    if args.benchmark or args.game_size:
        generate_benchmark.generate(args.stage, args.program, args.game_size)
    else:
        stage_sample(root, args.sample, args.program)
    normalize(root)

    partial = os.path.abspath(args.output + ".partial")
    if os.path.exists(partial):
        os.remove(partial)
    packed = subprocess.run([args.sevenzip, "a", *PACK_SWITCHES, partial, "brisel"],
                            cwd=args.stage, stdin=subprocess.DEVNULL)
    if packed.returncode != 0:
        print(f"pack_payload: 7-Zip failed with exit code {packed.returncode}", file=sys.stderr)
        return 1
    os.replace(partial, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
