#!/usr/bin/env bash
# Builds dist/ in a release build of its own, signed with a throwaway certificate and stamped with
# a SOURCE_DATE_EPOCH, then checks that osslsigncode verifies both signed programs, that the
# password shows nowhere in the build, that the time stamp survived signing, and that the signed
# installer still installs end to end under Wine.
# Usage: signed_installer_test.sh WORK_DIR SOURCE_DIR EMULATOR E2E_TESTS DRIVE CMAKE_ARGS...
set -euo pipefail
work=$1 source_dir=$2 emulator=$3 e2e_tests=$4 drive=$5
shift 5
cmake_args=("$@")
source_date_epoch=1700000000
happy_path=InstallerTest.HappyPathInstallsRecordsAndOpensTheStartProgram

fail() { echo "FAILED: $*" >&2; exit 1; }

# Fresh every run: a signature made with an earlier run's certificate would not verify.
rm -rf "$work"
mkdir -p "$work/certificate"
certificate="$work/certificate"
password="throwaway-$RANDOM$RANDOM"
printf '%s\n' "$password" >"$certificate/password.txt"
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Veltrane-Test -days 2 \
  -keyout "$certificate/key.pem" -out "$certificate/certificate.pem" 2>"$work/openssl.log"
openssl pkcs12 -export -inkey "$certificate/key.pem" -in "$certificate/certificate.pem" \
  -out "$certificate/signing.p12" -passout "file:$certificate/password.txt"

build="$work/build"
SOURCE_DATE_EPOCH=$source_date_epoch cmake -S "$source_dir" -B "$build" "${cmake_args[@]}" \
  -DBUILD_TESTING=OFF -DVELTRANE_SIGN_PKCS12="$certificate/signing.p12" \
  -DVELTRANE_SIGN_PASSWORD_FILE="$certificate/password.txt" >"$work/configure.log"
cmake --build "$build" -j2 --verbose >"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; fail "build"; }

if grep -rqF -- "$password" "$build" "$work/configure.log" "$work/build.log"; then
  fail "the password shows in the build: $(grep -rlF -- "$password" "$build" "$work"/*.log)"
fi
for program in "$build/dist/VeltraneSetup.exe" "$build/dist/lib/7z.exe"; do
  # Self-signed, so the certificate is its own trusted root.
  osslsigncode verify -CAfile "$certificate/certificate.pem" -in "$program" >"$work/verify.log" 2>&1 \
    || { cat "$work/verify.log"; fail "osslsigncode verify $program"; }
  grep -q '^Signature verification: ok' "$work/verify.log" || fail "no verified signature in $program"
done

installer="$build/dist/VeltraneSetup.exe"
pe_offset=$(od -An -tu4 -j 60 -N4 "$installer" | tr -d ' ')
time_stamp=$(od -An -tu4 -j $((pe_offset + 8)) -N4 "$installer" | tr -d ' ')
[ "$time_stamp" = "$source_date_epoch" ] || fail "time stamp $time_stamp, expected $source_date_epoch"

VELTRANE_DIST="$drive$build/dist" \
  VELTRANE_SIGNED_UNINSTALLER="$drive$build/src/app/uninstaller/uninstall.exe" \
  "$emulator" "$e2e_tests" --gtest_filter="$happy_path" \
  | tee "$work/e2e.log"
grep -q '^\[  PASSED  \] 1 test' "$work/e2e.log" || fail "$happy_path did not pass"
echo "signed, verified and installed: $build/dist"
