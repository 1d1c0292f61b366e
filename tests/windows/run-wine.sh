#!/bin/bash
# Runs a Windows program under wine64 in a private Wine prefix and stops that
# prefix's wineserver afterwards, so no Wine process outlives the test.
#   run-wine.sh --boot PREFIX              create (or renew) the prefix
#   run-wine.sh PREFIX PROGRAM.exe [ARGS]  run a program in it
# Paths given to the program are Windows paths: Z: is the Linux root.
set -uo pipefail

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine || true)"
if [ -z "$wine" ]; then
  echo "wine64 is not installed (tools/install-deps.sh installs it)" >&2
  exit 1
fi
export WINEDEBUG=-all
# No .NET and no HTML engine: the first start would offer to download them.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${1:-}" = "--boot" ]; then
  # Wine takes only absolute prefix paths.
  export WINEPREFIX="$(realpath -m "${2:?usage: run-wine.sh --boot PREFIX}")"
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init
  rc=$?
  wineserver -w
  exit $rc
fi

export WINEPREFIX="$(realpath -m "${1:?usage: run-wine.sh PREFIX PROGRAM.exe [ARGS...]}")"
shift
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "no Wine prefix at $WINEPREFIX (run-wine.sh --boot makes one)" >&2
  exit 1
fi
"$wine" "$@"
rc=$?
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
exit $rc
