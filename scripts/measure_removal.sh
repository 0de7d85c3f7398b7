#!/usr/bin/env bash
# Times taking large installations away under Wine: an installation of about 8,000 files (1 GB)
# and one of 25,000 small files, each removed by the reinstall question's OK, by the click over
# its old folder and by the uninstaller. Prints the driver's lines and the most descriptors the
# Wine server held at once, the resource the removal must not grow with the file count.
# Needs a built cross preset (bash scripts/test.sh or cmake --build --preset cross).
set -euo pipefail
cd "$(dirname "$0")/.."
run="build/cross/wine-run"
bench="build/cross/tools/bench/veltrane_removal_bench.exe"
dist="Z:$PWD/build/cross/dist"
prefix="$PWD/build/cross/wineprefix"

for shape in "8003 1000000000" "25005 100000000"; do
  read -r files bytes <<<"$shape"
  echo "== $files files, $bytes bytes"
  # The Wine server up, and kept up, before sampling it.
  "$run" cmd /c "ping -n 600 127.0.0.1 >NUL" >/dev/null 2>&1 &
  keeper=$!
  sleep 3
  # Each prefix has a server of its own, working in a folder named after the prefix's device and
  # inode (other builds' servers may be running).
  server_dir="server-$(printf '%x' "$(stat -c %d "$prefix")")-$(printf '%x' "$(stat -c %i "$prefix")")"
  server=
  for pid in $(pgrep wineserver); do
    case "$(readlink "/proc/$pid/cwd")" in */"$server_dir") server=$pid ;; esac
  done
  [ -n "$server" ] || { echo "no Wine server for $prefix"; exit 1; }
  peak=0
  (
    while kill -0 "$server" 2>/dev/null; do
      count=$(ls "/proc/$server/fd" 2>/dev/null | wc -l)
      [ "$count" -gt "$peak" ] && peak=$count && echo "$peak" >"$prefix.fd-peak"
      sleep 0.05
    done
  ) &
  sampler=$!
  "$run" "$bench" --dist "$dist" --files "$files" --bytes "$bytes"
  kill "$sampler" "$keeper" 2>/dev/null || true
  echo "most descriptors the Wine server held at once: $(cat "$prefix.fd-peak")"
  rm -f "$prefix.fd-peak"
done
