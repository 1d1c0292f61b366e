#!/bin/bash
# The Windows installer silently under wine64: every module where 64- and
# 32-bit hosts look, the uninstaller registered; a silent uninstall leaves the
# prefix's files and keys as they were. The zip holds the same modules.
#   installer.sh WINE_PREFIX INSTALLER_DIR
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../host_checks.sh"
prefix=$(realpath "${1:?}") setup=$(ls "${2:?}"/Orvanta-*-setup.exe 2>/dev/null | head -1)
[ -n "$setup" ] || { echo "SKIP: no installer in $2 (make windows-installer)"; exit 77; }
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
c=$prefix/drive_c p=$prefix/drive_c/Program\ Files x=$prefix/drive_c/Program\ Files\ \(x86\)
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvanta'
snapshot() { find "$c" -path "$c/users" -prune -o -path "$c/windows" -prune -o -print | sort; }
# NSIS's uninstaller runs from a copy of itself: wait for every process.
wine() { /usr/lib/wine/wine64 "$@" && wineserver -w; }
check "the zip holds 4 VST 2 DLLs, 2 VST 3 and 2 CLAP modules" eval \
  '[ "$(unzip -Z1 "${setup%-setup.exe}-windows.zip" | grep -c -E "\.dll$|-win/Orvanta\.vst3$|\.clap$")" -eq 8 ]'
before=$(snapshot)
check "the installer runs silently" wine "$(realpath "$setup")" /S
check "VST 2, VST 3, CLAP in the 64-bit hosts' folders" eval 'file "$p"/VSTPlugins/Orvanta64{,_51}.dll \
  "$p/Common Files/VST3/Orvanta.vst3/Contents/x86_64-win/Orvanta.vst3" "$p/Common Files/CLAP/Orvanta.clap" | grep -c x86-64 | grep -qx 4'
check "and the 32-bit ones in the (x86) folders" eval 'file "$x"/VSTPlugins/Orvanta{,_51}.dll \
  "$x/Common Files/VST3/Orvanta.vst3/Contents/x86-win/Orvanta.vst3" "$x/Common Files/CLAP/Orvanta.clap" | grep -c 80386 | grep -qx 4'
check "the uninstaller is registered" eval "wine reg query '$key' /v QuietUninstallString | grep -c Uninstall.exe >/dev/null"
check "the uninstaller runs silently" wine 'C:\Program Files\Orvanta\Uninstall.exe' /S
left=$(diff <(echo "$before") <(snapshot) | grep '^[<>]')
check "no file is left behind${left:+: $left}" test -z "$left"
check "the uninstall key is gone" eval "! wine reg query '$key' >/dev/null 2>&1"
report_checks
