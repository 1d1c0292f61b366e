#!/bin/bash
# The Windows installer under wine64, silently: every module lands where 64-
# and 32-bit hosts look, the uninstaller is registered, and a silent uninstall
# leaves the prefix's files and uninstall key as they were.
# The zip beside it holds the same modules.
#   installer.sh WINE_PREFIX INSTALLER_DIR
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../host_checks.sh"
prefix=$(realpath "${1:?prefix}")
setup=$(ls "${2:?installer folder}"/Orvanta-*-setup.exe 2>/dev/null | head -1)
[ -n "$setup" ] || { echo "SKIP: no installer in $2 (make windows-installer)"; exit 77; }
setup=$(realpath "$setup")
check "the zip holds 4 VST 2 DLLs, 2 VST 3 and 2 CLAP modules" eval \
  '[ "$(unzip -Z1 "${setup%-setup.exe}-windows.zip" | grep -c -E "\.dll$|-win/Orvanta\.vst3$|\.clap$")" -eq 8 ]'
c=$prefix/drive_c
snapshot() { find "$c" -path "$c/users" -prune -o -path "$c/windows" -prune -o -print | sort; }
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvanta'
before=$(snapshot)
x86="Program Files (x86)"

check "the installer runs silently" bash "$here/run-wine.sh" "$prefix" "$setup" /S
for f in "Program Files/VSTPlugins/Orvanta64.dll" "Program Files/VSTPlugins/Orvanta64_51.dll" \
         "$x86/VSTPlugins/Orvanta.dll" "$x86/VSTPlugins/Orvanta_51.dll" \
         "Program Files/Common Files/VST3/Orvanta.vst3/Contents/x86_64-win/Orvanta.vst3" \
         "$x86/Common Files/VST3/Orvanta.vst3/Contents/x86-win/Orvanta.vst3" \
         "Program Files/Common Files/CLAP/Orvanta.clap" "$x86/Common Files/CLAP/Orvanta.clap" \
         "Program Files/Orvanta/Uninstall.exe"; do
  check "installed C:/$f" test -f "$c/$f"
done
check "64-bit and 32-bit CLAP modules where each host looks" eval \
  'file "$c/Program Files/Common Files/CLAP/Orvanta.clap" | grep -q x86-64 && file "$c/Program Files (x86)/Common Files/CLAP/Orvanta.clap" | grep -q 80386'
check "the uninstaller is registered" eval "bash '$here/run-wine.sh' '$prefix' reg query '$key' /v QuietUninstallString | grep -q Uninstall.exe"
# The NSIS uninstaller copies itself aside and runs from there, so the test
# waits for every process of the prefix, not only for the first.
uninstall() {
  WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" /usr/lib/wine/wine64 "C:\\Program Files\\Orvanta\\Uninstall.exe" /S &&
    WINEPREFIX=$prefix wineserver -w
}
check "the uninstaller runs silently" uninstall
left=$(diff <(echo "$before") <(snapshot) | grep '^[<>]')
check "no file is left behind${left:+: $left}" test -z "$left"
check "the uninstall key is gone" eval "! bash '$here/run-wine.sh' '$prefix' reg query '$key' >/dev/null 2>&1"
report_checks
