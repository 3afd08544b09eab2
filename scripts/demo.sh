#!/usr/bin/env bash
# Builds the 32-bit installseq.exe and runs it under Wine on the sample
# C:\sysprep in examples/, then prints what happened, in order, with times.
#   scripts/demo.sh [LOCALE]    e.g. 00000407 for the German list
set -euo pipefail
cd "$(dirname "$0")/.."
locale=${1:-}
scripts/setup.sh

cmake --preset windows-x86 >/dev/null
cmake --build --preset windows-x86 >/dev/null
build=build/windows-x86

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
tests/wine/make_prefix.sh build/wine-template/pfx
work=$(mktemp -d /tmp/installseq-demo-XXXXXX)
trap 'WINEPREFIX=$work/pfx wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
tests/wine/copy_prefix.sh build/wine-template/pfx "$work/pfx"
export WINEPREFIX=$work/pfx

sysprep=$WINEPREFIX/drive_c/sysprep
mkdir -p "$sysprep/Demo Tools"
cp examples/sysprep/* "$sysprep/"
cp $build/helpers/fake_installer.exe $build/helpers/marker.exe "$sysprep/"
cp $build/helpers/fake_installer.exe "$sysprep/Demo Tools/"
if [ -n "$locale" ]; then
  wine reg add 'HKU\.Default\Control Panel\International' /v Locale /d "$locale" /f >/dev/null
fi

# A marker run just before installseq gives the timeline its zero (Wine's
# start of a program takes a few tens of ms, so times are from about then).
wine "$sysprep/marker.exe" 'C:\sysprep\log.txt' run >/dev/null
started=$(date +%s.%N)
set +e
timeout 600 wine $build/installseq.exe
code=$?
set -e
ended=$(date +%s.%N)
wineserver -w

query() {
  wine reg query 'HKCU\Software\InstallseqDemo' /v "$1" 2>/dev/null | awk '/REG_SZ/ {print $3}' | tr -d '\r'
}
sys_hide=$(query SysHide)
run_once=$(query RunOnce)

echo "installseq.exe ($(stat -c %s $build/installseq.exe) bytes), sample C:\\sysprep from examples/, Locale ${locale:-not set}"
echo
awk -v sys_hide="${sys_hide:-not imported}" -v run_once="${run_once:-not imported}" '
  { sub(/\r$/, "") }
  $2 == "start" && $3 == "run" { zero = $1; next }
  { t = ($1 - zero) / 1e6 }
  !shown_import { printf "%8.2f s  sys_hide.reg import started (SysHide: %s)\n", 0, sys_hide; shown_import = 1 }
  $2 == "launcher-start" {
    if (last_end != "") printf "%8s    pause, next launch %.2f s after the installer ended\n", "", t - last_end
    line = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ /, "", line)
    printf "%8.2f s  %s launched: %s\n", t, $3, line }
  $2 == "launcher-end"   { printf "%8.2f s  %s launcher ended; its installer goes on\n", t, $3 }
  $2 == "window-shown"   { line = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ /, "", line)
                           printf "%8.2f s  %s installer window \"%s\" up\n", t, $3, line }
  $2 == "installer-end"  { printf "%8.2f s  %s installer ended\n", t, $3; last_end = t }
  END { last = last_end }
' "$sysprep/log.txt"
awk -v s="$started" -v e="$ended" -v code="$code" -v run_once="${run_once:-not imported}" 'BEGIN {
  printf "%8s    arunonce.reg import started after the last pause (RunOnce: %s)\n", "", run_once
  printf "%8s    installseq ended with exit code %d after %.2f s (wall clock, with Wine start)\n", "", code, e - s }'
