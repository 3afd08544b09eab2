#!/usr/bin/env bash
# Makes a Wine prefix that runs programs without a display, at the path given
# (left alone when it is already complete). Tests copy it rather than boot
# their own: a copy costs far less than wineboot.
set -euo pipefail
prefix=$(realpath -m "$1")  # Wine takes only an absolute prefix path
[ -f "$prefix/.installseq-ready" ] && exit 0
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineboot -i >/dev/null 2>&1
# The null graphics driver creates windows without an X server; no crash dialog
# may ever wait for a click.
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f >/dev/null 2>&1 || true
wineserver -w
touch "$prefix/.installseq-ready"
