# Builds a program of 7-Zip for Windows from Debian's 7zip source package, once, into a cache.
# Sourced by the scripts that need one: bootstrap.sh (the console extractor) and benchmark.sh (the
# console self-extractor module).

# build_7zip_bundle BUNDLE BUILT_NAME TARGET: makes CPP/7zip/Bundles/BUNDLE with mingw-w64 and
# copies its _o/BUILT_NAME to TARGET (through a temporary name, so that an interrupted build never
# leaves a file that looks finished). Needs deb-src entries; updates the package lists once when
# the source cannot be fetched with the present ones.
build_7zip_bundle() {
  local bundle="$1" built_name="$2" target="$3"
  local work
  work=$(mktemp -d)
  # shellcheck disable=SC2064  # the folder is known now, and must go however the build ends
  trap "rm -rf '$work'" RETURN
  if ! ( cd "$work" && apt-get source --download-only 7zip >/dev/null 2>&1 ); then
    if [ "$(id -u)" -eq 0 ]; then apt-get update -qq; else sudo apt-get update -qq; fi
    ( cd "$work" && apt-get source --download-only 7zip >/dev/null )
  fi
  ( cd "$work" && dpkg-source -x --skip-patches ./*.dsc src >/dev/null 2>&1 )
  make -C "$work/src/CPP/7zip/Bundles/$bundle" -j"$(nproc)" -f makefile.gcc IS_MINGW=1 MSYSTEM=1 \
    CC=i686-w64-mingw32-gcc CXX=i686-w64-mingw32-g++ "RC=i686-w64-mingw32-windres -F pe-i386" \
    CFLAGS_WARN_WALL= >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; return 1; }
  mkdir -p "$(dirname "$target")"
  cp "$work/src/CPP/7zip/Bundles/$bundle/_o/$built_name" "$target.tmp"
  mv "$target.tmp" "$target"
}
