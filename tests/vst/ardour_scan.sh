#!/bin/bash
# Scans one effect library with Ardour's VST scanner, as a user's Ardour
# would, in a private HOME, then reads the scanner's cache entry back and
# checks the unique ID, name, vendor, category and channel counts.
#   ardour_scan.sh native|i386 SCANNER_SYSROOT LIBRARY ID NAME CHANNELS HAS_EDITOR [I386_LIBRARY_PATH]
# I386_LIBRARY_PATH: where the i386 effect's own libraries are (the editor's).
set -uo pipefail
arch="$1" sysroot="$2" library="$3" id="$4" name="$5" channels="$6" has_editor="$7" effect_libs="${8:-}"
here="$(cd "$(dirname "$0")" && pwd)"

if [ "$arch" = native ]; then
  scanner=/usr/lib/ardour7/ardour-vst-scanner
  [ -x "$scanner" ] || { echo "Ardour's VST scanner is not installed ($scanner)" >&2; exit 1; }
  run=(env LD_LIBRARY_PATH=/usr/lib/ardour7 "$scanner")
else
  bash "$here/ardour-i386-scanner.sh" "$sysroot"
  status=$?
  [ $status -eq 0 ] || exit $status
  libs="$sysroot/usr/lib/ardour7:$sysroot/usr/lib/i386-linux-gnu:$sysroot/lib/i386-linux-gnu"
  [ -n "$effect_libs" ] && libs="$libs:$effect_libs"
  run=(qemu-i386 -E "LD_LIBRARY_PATH=$libs" "$sysroot/usr/lib/ardour7/ardour-vst-scanner")
fi

home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
HOME="$home" XDG_CACHE_HOME="$home/.cache" "${run[@]}" -q -f "$library"
status=$?
[ $status -eq 0 ] || { echo "scanner failed with $status on $library" >&2; exit 1; }

cache=$(grep -l "binary=\"$library\"" "$home"/.cache/ardour7/vst/*.v2i 2>/dev/null)
[ -n "$cache" ] || { echo "no cache entry for $library" >&2; ls -R "$home" >&2; exit 1; }
entry=$(grep '<VST2Info' "$cache")
echo "$entry"
fail=0
expect() {
  case "$entry" in
    *"$1"*) ;;
    *) echo "cache entry lacks $1" >&2; fail=1 ;;
  esac
}
expect "id=\"$id\""
expect "name=\"$name\""
expect 'creator="Veltrano"'
expect 'category="Effect"'
expect "n_inputs=\"$channels\""
expect "n_outputs=\"$channels\""
expect 'is_instrument="0"'
expect 'can_process_replace="1"'
expect "has_editor=\"$has_editor\""
exit $fail
