#!/usr/bin/env bash
# Installs everything the build and the tests use, idempotently: Debian packages (with the i386
# architecture for 32-bit Wine), Debian source packages, and the 7-Zip console program for Windows
# built from Debian's 7zip source into a cache. Quick when everything is already in place.
set -euo pipefail
# shellcheck source=scripts/sevenzip_source.sh
source "$(dirname "$0")/sevenzip_source.sh"

cache_dir="${VELTRANE_CACHE:-$HOME/.cache/veltrane}"
sevenzip_exe="$cache_dir/7zr.exe"

packages=(wine wine32:i386 wine64 g++-mingw-w64-i686 7zip xvfb imagemagick fonts-wqy-microhei
          cmake g++ clang libclang-rt-14-dev dpkg-dev nsis googletest osslsigncode openssl)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

apt_updated=0
apt_update_once() {
  if [ "$apt_updated" -eq 0 ]; then
    as_root apt-get update -qq
    apt_updated=1
  fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  apt_update_once
fi

missing=()
for pkg in "${packages[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  apt_update_once
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine stores non-ASCII file names (Chinese install paths) only under a real UTF-8 locale.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  if ! dpkg -s locales >/dev/null 2>&1; then
    apt_update_once
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends locales
  fi
  as_root localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

src_list=/etc/apt/sources.list.d/veltrane-deb-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  # Copy the distribution's own entry, only switching the type to source packages.
  sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | as_root tee "$src_list" >/dev/null
  apt_updated=0
  apt_update_once
fi

if [ ! -x "$sevenzip_exe" ]; then
  echo "bootstrap: building the 7-Zip console program for Windows"
  build_7zip_bundle Alone7z 7zr.exe "$sevenzip_exe"
fi
echo "bootstrap: ready (extractor: $sevenzip_exe)"
