#!/usr/bin/env bash
# Builds the installer with the embedded sample payload, lays out dist/ (VeltraneSetup.exe and
# lib/7z.exe) and runs it under Wine. With a DISPLAY the window opens there for you to use.
# Without one, a scripted installation walks through it under Xvfb, printing every step and
# saving a screenshot of every look into build/cross/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
cmake --preset cross >/dev/null
cmake --build --preset cross -j"$(nproc)" --target VeltraneSetup dist_extractor veltrane_demo
dist="$PWD/build/cross/dist"
echo "dist/: $dist"
ls -l "$dist" "$dist/lib"

if [ -n "${DISPLAY:-}" ]; then
  # A prefix of its own that draws on the real display (the test prefix is headless).
  export WINEPREFIX="$PWD/build/cross/wineprefix-display" WINEDEBUG=-all LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  # Wine's menu builder would copy the installer's shortcuts into your Linux desktop and menus; no
  # .NET or browser engine is needed, so Wine asks for none when it makes the prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  exec wine "$dist/VeltraneSetup.exe"
fi

exec bash scripts/screenshot.sh "$PWD/build/cross/screenshots"
