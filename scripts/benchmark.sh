#!/usr/bin/env bash
# Benchmarks the installer against two peers on the same payload and prints one Markdown table
# (docs/BENCHMARKS.md explains it). Builds the installer with the benchmark-sized payload into
# build/bench, an NSIS installer and a 7-Zip self-extractor of the same files into
# build/bench/peers, and runs the measuring program under Wine in build/bench's own headless
# prefix. Not part of the tests: figures depend on the machine.
#   bash scripts/benchmark.sh [runs]      (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-7}"
build="$PWD/build/bench"
peers="$build/peers"
cache_dir="${VELTRANE_CACHE:-$HOME/.cache/veltrane}"
sfx_module="$cache_dir/7zCon.sfx"

bash scripts/bootstrap.sh
source scripts/sevenzip_source.sh

# 7-Zip's console self-extractor module (SFXCon), built once from Debian's 7zip source. The GUI
# module (SFXSetup) only unpacks into a temporary folder to run a setup program from it, so it
# cannot install into a folder of the user's choice; the console module takes -y -o<dir>.
if [ ! -f "$sfx_module" ]; then
  echo "benchmark: building 7-Zip's console self-extractor module"
  build_7zip_bundle SFXCon 7zCon.exe "$sfx_module"
fi

cmake --preset cross -B "$build" -DVELTRANE_PAYLOAD=benchmark >/dev/null
cmake --build "$build" -j2 --target VeltraneSetup dist_extractor veltrane_bench
archive="$build/payload/brisel.7z"

# The peers carry the very files the installer's archive holds.
rm -rf "$peers"
mkdir -p "$peers/stage"
7zz x -y -o"$peers/stage" "$archive" >/dev/null
makensis -V4 -DSTAGE="$peers/stage" -DOUTFILE="$peers/nsis-setup.exe" tools/bench/peer.nsi \
  >"$peers/makensis.log"
# The compressed data NSIS appends to its stub: "Compressed data: <packed> / <unpacked> bytes".
nsis_data=$(awk '/^Compressed data:/ { print $3 }' "$peers/makensis.log")
cat "$sfx_module" "$archive" >"$peers/sfx-setup.exe"

winpath() { echo "Z:$1"; }
table="$build/benchmark.md"
"$build/wine-run" "$build/tools/bench/veltrane_bench.exe" \
  --dist "$(winpath "$build/dist")" --archive "$(winpath "$archive")" \
  --nsis "$(winpath "$peers/nsis-setup.exe")" --nsis-data "$nsis_data" \
  --sfx "$(winpath "$peers/sfx-setup.exe")" --runs "$runs" | tr -d '\r' >"$table"
echo
echo "Wine $(wine --version 2>/dev/null), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo
cat "$table"
