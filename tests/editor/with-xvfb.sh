#!/bin/bash
# Runs a command with DISPLAY set to a private virtual X server: Xvfb picks a
# free display number itself (-displayfd) and is stopped when the command
# ends. Usage: with-xvfb.sh COMMAND [ARGS...]
set -euo pipefail

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 640x520x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
# The server writes its display number once it accepts connections.
if ! read -r -t 20 number <"$work/display"; then
  echo "Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$number"
"$@"
