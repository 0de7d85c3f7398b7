#!/usr/bin/env bash
# small_drives.sh PREFIX ARCHIVE UNINSTALLER 7ZZ COMMAND...: runs COMMAND with tmpfs drives E: (room
# for the archive only) and F: (less), gone however it ends, and VELTRANE_NEED_MB, the peak need.
set -euo pipefail
prefix=$1 archive=$2 uninstaller=$3 sevenzip=$4
shift 4
mounts=$(mktemp -d)
trap 'umount "$mounts"/? 2>/dev/null; rm -rf "$prefix"/dosdevices/[ef]: "$mounts"' EXIT
archive_bytes=$(stat -c %s "$archive")
mkdir -p "$mounts/e" "$mounts/f" "$prefix/dosdevices"
mount -t tmpfs -o size=$((archive_bytes / 1024 + 64))k tmpfs "$mounts/e" &&
  mount -t tmpfs -o size=64k tmpfs "$mounts/f" || { echo "skipped: cannot mount tmpfs"; exit 77; }
ln -s "$mounts/e" "$prefix/dosdevices/e:" && ln -s "$mounts/f" "$prefix/dosdevices/f:"
unpacked=$("$sevenzip" l -slt "$archive" | awk '/^Size = / { total += $3 } END { print total }')
need=$((archive_bytes + unpacked + $(stat -c %s "$uninstaller")))
VELTRANE_NEED_MB=$(((need + 1048575) / 1048576)) "$@"
