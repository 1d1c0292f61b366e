#!/bin/bash
# Writes PNG screenshots of the stereo and 5.1 editors, each also with its
# credits view shown, into <build dir>/screenshots: the Linux modules'
# editors, and the Windows modules' editors run under Wine
# (editor_windows_*.png) when the Windows build is there. The editors run in
# a private virtual X server, so no desktop is needed.
# Usage: tools/screenshots.sh BUILD_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: screenshots.sh BUILD_DIR}" && pwd)"
shooter="$build/tests/editor/editor_screenshots"
if [ ! -x "$shooter" ]; then
  echo "$shooter is missing: build the tree first (make build)" >&2
  exit 1
fi
mkdir -p "$build/screenshots"
"$here/../tests/editor/with-xvfb.sh" "$shooter" "$build/screenshots" \
  "$build/plugins/Orvanta64.so" "$build/plugins/Orvanta64_51.so"

wine_host="$build/windows-x86_64/tests/windows/editor_wine_host.exe"
if [ -f "$wine_host" ]; then
  wine="$here/../tests/windows/run-wine.sh"
  prefix="$build/tests/windows/wine-prefix"
  [ -f "$prefix/system.reg" ] || "$wine" --boot "$prefix" >/dev/null
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  for case in "Orvanta64 stereo" "Orvanta64_51 51"; do
    set -- $case
    mkdir -p "$work/$2"
    "$here/../tests/editor/with-xvfb.sh" "$wine" "$prefix" "$wine_host" \
      "Z:$build/plugins/windows/$1.dll" "Z:$work/$2" >/dev/null
    convert "$work/$2/defaults.ppm" "$build/screenshots/editor_windows_$2.png"
    convert "$work/$2/credits.ppm" "$build/screenshots/editor_windows_$2_credits.png"
  done
fi
ls -1 "$build/screenshots"/editor_*.png
