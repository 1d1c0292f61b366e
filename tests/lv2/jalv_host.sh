#!/bin/bash
# The stereo plug-in under a real-time host: jalv on a JACK server of its own
# (dummy driver, no audio hardware), fed a metronome through JACK. Checks that
# it runs and processes (the leveler gain meter moves once the signal comes),
# that JACK sees the reported latency on its ports, and that a control change
# typed into jalv reaches the plug-in (the meter follows the new target).
#
#   jalv_host.sh BUNDLE_DIR WORK_DIR
set -uo pipefail
here=$(dirname "$(realpath "$0")")
source "$here/jack_server.sh" || exit 1
run_once_more_on_failure "$@"
trap '' PIPE  # a host that died makes a write to it fail, not end the test
bundle=$(realpath "$1") work=$2
mkdir -p "$work" && cd "$work" || exit 1
rm -rf lv2path && mkdir lv2path && ln -s "$bundle" lv2path/orvanta.lv2
export LV2_PATH=$PWD/lv2path
uri=urn:veltrano:orvanta:stereo
cleanup() {
  exec 7>&- 2>/dev/null
  stop_started
  rm -f jalv.in
}
trap cleanup EXIT

source "$here/../host_checks.sh" || exit 1
# Polls COMMAND every 0.2 s for up to SECONDS.
wait_for() {  # wait_for SECONDS COMMAND...
  local tries=$(($1 * 5)); shift
  for ((t = 0; t < tries; t++)); do "$@" && return 0; sleep 0.2; done
  return 1
}
# The value jalv last printed for SYMBOL ("symbol = value").
last_value() { grep -a "$1 = " jalv.out | tail -n 1 | sed 's/.*= //'; }
# Asks jalv for its output ports and waits until a new set has been printed.
monitors() {
  local before
  before=$(grep -ac "limiter_reduction = " jalv.out)
  echo monitors >&7
  wait_for 10 bash -c "[ \$(grep -ac 'limiter_reduction = ' jalv.out) -gt $before ]"
}
greater() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

check "jackd (dummy driver) starts" start_jack_server 48000 1024
rm -f jalv.in && mkfifo -m 600 jalv.in
# Line-buffered, so its answers can be read while it runs.
timeout -k 5 100 stdbuf -oL -eL jalv -n orvanta "$uri" <jalv.in >jalv.out 2>&1 &
started $!
exec 7>jalv.in
check "jalv loads $uri" wait_for 15 grep -aq "^Plugin: *$uri" jalv.out
check "jalv creates the plug-in's JACK ports" \
  wait_for 15 bash -c 'jack_lsp | grep -qx orvanta:out_right'
check "JACK sees the latency of 1698 samples on the outputs" \
  wait_for 10 bash -c 'jack_lsp -l orvanta:out_left | grep -q "playback latency = \[ 1698 1698 \]"'

monitors
check "the latency port reads 1698 in jalv" [ "$(last_value latency)" = 1698.000000 ]
silent_gain=$(last_value leveler_gain)

# A loud metronome: the leveler turns the gain down below its start value.
timeout -k 5 100 jack_metro -n metro -b 600 -f 440 -A 0.9 -D 50 >metro.log 2>&1 &
started $!
wait_for 15 bash -c 'jack_lsp | grep -qx metro:600_bpm'
jack_connect metro:600_bpm orvanta:in_left && jack_connect metro:600_bpm orvanta:in_right
sleep 3
monitors
loud_gain=$(last_value leveler_gain)
echo "        leveler gain: $silent_gain dB in silence, $loud_gain dB with the metronome"
check "the signal runs through the plug-in (leveler gain falls)" greater "$silent_gain" "$loud_gain"

# Eight LU more target: the gain rises by about as much, at once.
echo "target_level = -12" >&7
sleep 1.5
monitors
raised_gain=$(last_value leveler_gain)
echo "        leveler gain after target -20 -> -12 LUFS: $raised_gain dB"
check "jalv hands the new target to the plug-in (gain up by more than 4 dB)" \
  greater "$raised_gain" "$(awk -v g="$loud_gain" 'BEGIN { print g + 4 }')"

report_checks
