#!/usr/bin/env bash
# Benchmarks the installer against two peers on the same payload and prints one Markdown table
# (docs/BENCHMARKS.md explains it). Builds the installer with the benchmark-sized payload into
# build/bench, an NSIS installer and a 7-Zip self-extractor of the same files into
# build/bench/peers, and runs the measuring program under Wine in build/bench's own headless
# prefix. Then the game-sized case: payloads of the product's shape at 64 MiB, 256 MiB and 1 GiB,
# each in an installer of its own (build/bench-game), the 1 GiB one against NSIS and the SFX with
# the same files. Not part of the tests: figures depend on the machine.
#   bash scripts/benchmark.sh [runs [game runs]]      (default 7 and 3)
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-7}"
game_runs="${2:-3}"
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

# The game-sized case. A payload is generated and packed (minutes at 1 GiB) only when it is
# missing or older than its generator; each is embedded into an installer of its own.
game="$PWD/build/bench-game"
game_sizes=(67108864 268435456 1073741824)
peers_size=1073741824
programs=(--program "$build/payload/product/brisel.exe" --program "$build/payload/product/startup.exe")
summary="$game/benchmark.md"
mkdir -p "$game"
: >"$summary"
for size in "${game_sizes[@]}"; do
  payload="$game/payload-$size"
  archive="$payload/brisel.7z"
  if [ ! -f "$archive" ] || [ payload/generate_benchmark.py -nt "$archive" ]; then
    echo "benchmark: generating and packing a game payload of $size bytes"
    mkdir -p "$payload"
    python3 payload/pack_payload.py --output "$archive" --stage "$payload/stage" \
      --game-size "$size" "${programs[@]}" --sevenzip 7zz
  fi
  cmake --preset cross -B "$game/build" -DVELTRANE_PAYLOAD="$archive" -DBUILD_TESTING=OFF >/dev/null
  cmake --build "$game/build" -j2 --target VeltraneSetup dist_extractor
  rm -rf "$payload/dist"
  cp -r "$game/build/dist" "$payload/dist"

  peer_args=()
  if [ "$size" -eq "$peers_size" ]; then
    if [ ! -f "$payload/nsis-setup.exe" ] || [ "$archive" -nt "$payload/nsis-setup.exe" ]; then
      echo "benchmark: packing the NSIS peer of $size bytes"
      makensis -V4 -DSTAGE="$payload/stage" -DOUTFILE="$payload/nsis-setup.exe" \
        tools/bench/peer.nsi >"$payload/makensis.log"
    fi
    cat "$sfx_module" "$archive" >"$payload/sfx-setup.exe"
    peer_args=(--nsis "$(winpath "$payload/nsis-setup.exe")"
               --nsis-data "$(awk '/^Compressed data:/ { print $3 }' "$payload/makensis.log")"
               --sfx "$(winpath "$payload/sfx-setup.exe")")
  fi
  echo "benchmark: game payload of $size bytes, $game_runs runs"
  {
    echo
    echo "### Game-sized payload: $size bytes unpacked"
    echo
    "$build/wine-run" "$build/tools/bench/veltrane_bench.exe" \
      --dist "$(winpath "$payload/dist")" --archive "$(winpath "$archive")" \
      --unpacked "$size" --extractor-alone 0 --runs "$game_runs" "${peer_args[@]}" | tr -d '\r'
  } >>"$summary"
done
# The install time per unpacked GiB at the three sizes, and how far apart they lie.
awk -F'|' '/install time per unpacked GiB/ { gsub(/ /, "", $3); print $3 }' "$summary" |
  sort -n | awk 'NR == 1 { low = $1 } { high = $1 }
    END { printf "\nInstall time per unpacked GiB from %.2f to %.2f s: the slowest %.1f %% above the fastest (target: within 15 %%): %s\n",
                 low, high, 100 * (high / low - 1), high <= 1.15 * low ? "**met**" : "**not met**" }' \
  >>"$summary"
cat "$summary"
