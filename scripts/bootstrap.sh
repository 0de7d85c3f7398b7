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
# A mirror caught mid-sync fails one index for a while ("File has unexpected size"): try again,
# and go on with the lists that did arrive, since the install below says plainly what is missing.
apt_update_once() {
  if [ "$apt_updated" -eq 0 ]; then
    local attempt
    for attempt in 1 2 3; do
      as_root apt-get update -qq && break
      echo "bootstrap: apt-get update failed (attempt $attempt of 3)" >&2
      sleep $((attempt * 10))
    done
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
# A mirror whose i386 security index lags shows only the release's i386 libraries, while the amd64
# candidates come from the security suite: Multi-Arch: same packages then cannot pair up and the
# install fails. Pinned to the release (which never downgrades) they pair up again.
apt_install() {
  if as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@"; then
    return 0
  fi
  local release
  release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$release" ] || return 1
  echo "bootstrap: the install failed; retrying pinned to the release '$release': these packages lack the security suite's updates until a later 'apt-get upgrade' installs them" >&2
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -t "$release" "$@"
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  apt_update_once
  apt_install "${missing[@]}"
fi

# Wine runs a 32-bit Windows program with 32-bit Linux code. Where the kernel has 32-bit execution
# switched off (ia32_emulation=off), i386 programs run under qemu's user-mode emulation instead,
# registered with binfmt_misc. It must be qemu 8 or later: bookworm's 7.2 searches the guest's
# memory map page by page on every mapping and takes ~50 s to start one Wine process.
if ! /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
  echo "bootstrap: this kernel runs no 32-bit programs; running them under qemu-user-static"
  backports=/etc/apt/sources.list.d/veltrane-backports.sources
  if [ ! -f "$backports" ]; then
    sed 's/^Suites: .*/Suites: bookworm-backports/' /etc/apt/sources.list.d/debian.sources \
      | awk 'BEGIN{RS="";ORS="\n\n"} NR==1' | as_root tee "$backports" >/dev/null
    apt_updated=0
  fi
  qemu_major=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null | sed -E 's/^[0-9]+://; s/\..*//')
  if [ "${qemu_major:-0}" -lt 8 ]; then
    apt_update_once
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
      -t bookworm-backports qemu-user-static
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt"
  [ ! -e "$binfmt/qemu-i386" ] || echo -1 | as_root tee "$binfmt/qemu-i386" >/dev/null
  # i386 ELF executables and shared objects; F: the interpreter is opened now, valid in any namespace.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    | as_root tee "$binfmt/register" >/dev/null
  /lib/ld-linux.so.2 --help >/dev/null 2>&1 || { echo "bootstrap: 32-bit programs still cannot run"; exit 1; }
fi

# Wine stores non-ASCII file names (Chinese install paths) only under a real UTF-8 locale.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  if ! dpkg -s locales >/dev/null 2>&1; then
    apt_update_once
    apt_install locales
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
