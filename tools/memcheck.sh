#!/bin/bash
# The memcheck lane: the test hosts, with short programmes, under valgrind's
# memcheck. Any memory error (an invalid read or write, a decision on or a
# system call with uninitialised bytes, a bad free) or a definite leak fails
# the lane. The only suppressions are the system-library entries of
# tools/memcheck.supp, each explained there; nothing of ours is suppressed.
#
#   tools/memcheck.sh BUILD_DIR
#
# One line per host at the end of this file:
#   host NAME [--xvfb] COMMAND [ARGS...]
# --xvfb runs the command with a private virtual X display. $build is the
# x86-64 build tree, $plugins its plug-in folder. Each host's valgrind report
# goes to $build/memcheck/NAME.log, its own output to NAME.out.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: memcheck.sh BUILD_DIR}" && pwd)"
plugins="$build/plugins"
logs="$build/memcheck"
mkdir -p "$logs"
command -v valgrind >/dev/null || { echo "memcheck.sh: valgrind is not installed" >&2; exit 1; }

failed=()
host() {
  local name="$1"
  shift
  local display=()
  if [ "$1" = --xvfb ]; then
    display=("$here/../tests/editor/with-xvfb.sh")
    shift
  fi
  if [ ! -x "$1" ]; then
    echo "$name: $1 is not built" >&2
    failed+=("$name")
    return
  fi
  local started=$SECONDS
  printf '%-24s ' "$name"
  # --keep-debuginfo: a plug-in's frames keep their names after the host
  # unloads it; leaks are reported then.
  if "${display[@]}" valgrind --tool=memcheck --error-exitcode=1 --track-origins=yes \
      --leak-check=full --errors-for-leak-kinds=definite --show-leak-kinds=definite \
      --keep-debuginfo=yes --num-callers=30 --suppressions="$here/memcheck.supp" \
      --log-file="$logs/$name.log" "$@" >"$logs/$name.out" 2>&1; then
    echo "clean ($((SECONDS - started)) s)"
  else
    echo "FAILED ($((SECONDS - started)) s)"
    grep -v '^==[0-9]*== $' "$logs/$name.log" | tail -n 60 >&2 || true
    tail -n 20 "$logs/$name.out" >&2 || true
    failed+=("$name")
  fi
}

# The allocation tests are left out of the VST host's run: valgrind replaces
# malloc itself, so the host's allocation counter sees nothing there. They
# run in the ordinary test lane.
host ladspa-scenarios   "$build/tests/ladspa/ladspa_scenarios" "$plugins/la_Orvanta64.so"
# The plug-in core's state reader on broken input, and the port instance.
host core-state-ports   "$build/tests/core/core_tests" --gtest_brief=1 '--gtest_filter=CoreState.*:PortPlugin.*'
host vst-opcodes-audio  "$build/tests/vst/vst_tests" --gtest_brief=1 '--gtest_filter=-*AllocateNothing*'
host editor-stereo      --xvfb "$build/tests/editor/editor_smoke" "$plugins/Orvanta64.so"
host editor-5.1         --xvfb "$build/tests/editor/editor_smoke" "$plugins/Orvanta64_51.so"

# The offline tool on one second of generated stereo noise: decode, level,
# measure, encode, report, JSON and plot.
sox -n -r 48000 -c 2 -b 16 "$logs/level-in.wav" synth 1 pinknoise
host orvanta-level      "$build/bin/orvanta-level" -q "$logs/level-in.wav" -o "$logs/level-out.wav" \
                        --force --json "$logs/level.json" --plot "$logs/level.png"

# Our lilv host: the bundle's ports, runs with hostile controls and buffers,
# the meters and the bit identity with the plug-in core.
host lv2-host           "$build/tests/lv2/lv2_host_tests" --gtest_brief=1

# Our VST 3 host: factory, parameters, hostile calls, the programme against
# the LADSPA plug-in, bypass and state; and the editor in a host window. That
# host draws nothing itself, so cairo would leave with the module and its
# caches with it: it is preloaded, as it is in a host that uses cairo.
vst3="$plugins/Orvanta.vst3/Contents/x86_64-linux/Orvanta.so"
host vst3-host          "$build/tests/vst3/vst3_host" "$vst3" "$logs/vst3-programme.raw" "$plugins/la_Orvanta64.so"
LD_PRELOAD=libcairo.so.2 host vst3-editor --xvfb "$build/tests/vst3/vst3_editor_check" "$vst3"
# Our CLAP host: every callback with hostile arguments, the state streams,
# the bits against LADSPA; and the editor created and destroyed twice.
host clap-host          "$build/tests/clap/clap_checks" "$plugins/Orvanta.clap" "$plugins/la_Orvanta64.so"
host clap-editor        --xvfb "$build/tests/clap/clap_checks" "$plugins/Orvanta.clap" --editors

if [ ${#failed[@]} -gt 0 ]; then
  echo "memcheck: ${failed[*]} failed; reports in $logs" >&2
  exit 1
fi
echo "memcheck: every host clean"
