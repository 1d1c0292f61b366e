#!/bin/bash
# Writes PNG screenshots of the stereo and 5.1 editors, each also with its
# credits view shown, into <build dir>/screenshots. The editors run in a
# private virtual X server, so no desktop is needed.
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
ls -1 "$build/screenshots"/editor_*.png
