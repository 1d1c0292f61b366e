#!/bin/bash
# The Windows editor under Wine, then the same states of the Linux editor
# for comparison; both on the X display of $DISPLAY (with-xvfb.sh).
#   editor-under-wine.sh PREFIX EDITOR_WINE_HOST.exe MODULE.dll COMPARER LINUX_MODULE.so WORK_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
prefix="$1" host="$2" dll="$3" comparer="$4" linux_module="$5" work="$6"
rm -rf "$work"
mkdir -p "$work"
"$here/run-wine.sh" "$prefix" "$host" "Z:$dll" "Z:$work"
"$comparer" "$linux_module" "$work"
