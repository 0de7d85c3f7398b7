#!/usr/bin/env bash
# Runs the scripted installation (tools/demo) under Xvfb with Wine's x11 driver and a CJK font,
# printing every step, then once more with the reinstall question and the uninstall after it, and
# converts the screenshots it takes of each look and question into PNGs.
# Usage: scripts/screenshot.sh OUTPUT_DIR   (after a cross build)
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build/cross/screenshots}")"
build="$PWD/build/cross"
mkdir -p "$out"
rm -f "$out"/*.bmp

export WINEPREFIX="$build/wineprefix-x11" WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
# The walk's shortcuts stay in the prefix (Wine's menu builder would copy them into the Linux menus),
# and making the prefix asks for no .NET or browser engine, which nobody could answer under Xvfb.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export VELTRANE_DIST="Z:$build/dist"
display_number=$((90 + RANDOM % 9))
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k >/dev/null 2>&1 || true; kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=":$display_number"
sleep 1
if [ ! -d "$WINEPREFIX" ]; then
  wineboot -i >/dev/null 2>&1
  # Every window in Wine's own virtual desktop, which draws the frames a bare X server has no
  # window manager for.
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d veltrane /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v veltrane /d 640x440 /f >/dev/null 2>&1
fi
# Windows' own link colour: Wine's default scheme makes hot-tracked text light grey, in which the
# link label all but vanishes.
wine reg add 'HKCU\Control Panel\Colors' /v HotTrackingColor /d '0 102 204' /f >/dev/null 2>&1
wineserver -k >/dev/null 2>&1 || true
# The walk-through changes the prefix's registry and C: drive: start from a clean record.
wine reg delete 'HKLM\SOFTWARE\VELTRANE' /f /reg:64 >/dev/null 2>&1 || true
wine reg delete 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Veltrane' /f /reg:64 \
  >/dev/null 2>&1 || true
rm -rf "$WINEPREFIX/drive_c/Quorvale"
rm -f "$WINEPREFIX/drive_c/users/Public/Desktop/brisel.lnk" \
  "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/brisel.lnk"

status=0
wine "$build/tools/demo/veltrane_demo.exe" "Z:$out" || status=$?
if [ "$status" -eq 0 ]; then
  wineserver -k >/dev/null 2>&1 || true
  echo
  echo "== Once more, now that an installation is recorded: the installer offers to reinstall;"
  echo "== then the installation is removed through its Apps entry (uninstall.exe)"
  wine "$build/tools/demo/veltrane_demo.exe" "Z:$out" uninstall || status=$?
fi
# startup.exe, opened by the finish button, stays open: end the session with it.
wineserver -k >/dev/null 2>&1 || true
for bmp in "$out"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
ls "$out"
exit "$status"
