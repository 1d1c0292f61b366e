#!/bin/bash
# The stereo plug-in in Ardour, headless (ardour7-lua on a JACK server of the
# test's own): Ardour loads it by URI, reads its latency port, counts the
# latency in the track's signal latency, which its latency compensation
# aligns every other track to, and keeps a control value through saving and
# reopening the session. A private HOME keeps the user's Ardour settings out.
#
#   ardour_session.sh BUNDLE_DIR WORK_DIR
set -uo pipefail
here=$(dirname "$(realpath "$0")")
source "$here/jack_server.sh" || exit 1
run_once_more_on_failure "$@"
trap '' PIPE  # a host that died makes a write to it fail, not end the test
bundle=$(realpath "$1") work=$2
mkdir -p "$work" && cd "$work" || exit 1
rm -rf lv2path home session && mkdir lv2path home && ln -s "$bundle" lv2path/orvanta.lv2
export LV2_PATH=$PWD/lv2path
trap stop_started EXIT

source "$here/../host_checks.sh" || exit 1
result() { grep -a "^result $1 " ardour.out | head -n 1 | sed "s/^result $1 //"; }
is() { [ "$(result "$1")" = "$2" ]; }

check "jackd (dummy driver) starts" start_jack_server 48000 1024
# Ardour creates the session and quits; a second Ardour reopens it.
# ardour7-lua sometimes hangs in its exit after the script has finished: wait
# for the script's last line (or the end of the process), then end it.
run_ardour() {  # run_ardour PHASE
  HOME=$PWD/home SESSION_DIR=$PWD/session PHASE=$1 ardour7-lua "$here/ardour_session.lua" >"ardour-$1.out" 2>&1 &
  local ardour=$!
  started $ardour
  for ((t = 0; t < 450; t++)); do
    grep -aq "^result done " "ardour-$1.out" && break
    kill -0 $ardour 2>/dev/null || break
    sleep 0.2
  done
  kill -KILL $ardour 2>/dev/null
  wait $ardour 2>/dev/null
}
run_ardour create
run_ardour reopen
cat ardour-create.out ardour-reopen.out >ardour.out
grep -a "^result " ardour.out | sed 's/^result /        /'
check "Ardour loads urn:veltrano:orvanta:stereo" is loaded true
check "Ardour shows it as Orvanta Stereo" is name "Orvanta Stereo"
check "Ardour reads the latency of 1698 samples from the plug-in" is plugin_latency 1698
check "the track with the plug-in has 1698 samples of signal latency" is levelled_track_latency 1698
check "the track without it has none of its own" is plain_track_latency 0
check "Ardour compensates every route to 1698 samples" is session_worst_route_latency 1698
check "the reopened session has the plug-in again" is reopened true
check "with Max Gain still at 12 dB" is reopened_max_gain 12.0
check "and its latency" is reopened_latency 1698

report_checks
