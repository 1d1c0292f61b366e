#!/bin/bash
# Static checks of the Windows modules, for both architectures (the i386 ones
# cannot run here): machine type, exports (VSTPluginMain and main, nothing
# else; $EXPECTED_EXPORTS, sorted, when set), imports (Windows system DLLs
# only: everything else is linked statically) and the five "PNG" image
# resources.
#   check-modules.sh OBJDUMP MODULE.dll [OBJDUMP MODULE.dll ...]
set -uo pipefail

system_dlls="kernel32.dll user32.dll gdi32.dll gdiplus.dll ole32.dll msvcrt.dll"
images="OV_BACKGROUND.PNG OV_BACKGROUND51.PNG OV_SLIDER.PNG OV_SPLASHSCREEN.PNG OV_SPLASHSCREEN51.PNG"
failures=0
fail() {
  echo "FAILED: $1" >&2
  failures=$((failures + 1))
}

while [ $# -ge 2 ]; do
  objdump="$1" module="$2"
  shift 2
  if [ ! -f "$module" ]; then
    fail "$module is missing"
    continue
  fi
  headers="$("$objdump" -p "$module")"
  case "$objdump" in
    i686-*) machine="file format pei-i386" magic="010b" ;;
    *) machine="file format pei-x86-64" magic="020b" ;;
  esac
  "$objdump" -f "$module" | grep -q "$machine" || fail "$module: not $machine"
  grep -q "^Magic[[:space:]]*$magic" <<<"$headers" || fail "$module: optional header magic is not $magic"

  exports="$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" |
             sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | sort | tr '\n' ' ')"
  [ "$exports" = "${EXPECTED_EXPORTS:-VSTPluginMain main} " ] || fail "$module exports '$exports'"

  while read -r dll; do
    grep -qiw -- "$dll" <<<"$system_dlls" || fail "$module imports $dll"
  done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")

  for image in $images; do
    grep -q "name: .*: $image, " <<<"$headers" || fail "$module has no PNG resource $image"
  done
  grep -q "name: .*: PNG, " <<<"$headers" || fail "$module has no resource type PNG"
  echo "$module: $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers" | tr '\n' ' ')"
done
exit $((failures > 0))
