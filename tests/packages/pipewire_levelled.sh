#!/bin/bash
# The PipeWire recipe in a private headless PipeWire (own runtime folder, a
# null sink, WirePlumber on a private D-Bus session, this build's LV2
# bundle): quiet noise played into "Levelled" and recorded from the null
# sink's monitor is at -16 LUFS (orvanta-level --check: libebur128).
#   pipewire_levelled.sh RECIPE LV2_DIR ORVANTA_LEVEL   (LV2_DIR holds orvanta.lv2)
set -uo pipefail
. "$(dirname "$0")/../host_checks.sh"
recipe=$(realpath "$1") tool=$(realpath "$3")
for p in pipewire wireplumber pw-play dbus-daemon; do
  command -v $p >/dev/null || { echo "SKIP: $p is not installed (tools/install-deps.sh)"; exit 77; }
done
w=$(mktemp -d) pids=()
trap 'kill "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$w"' EXIT
export XDG_RUNTIME_DIR=$w/run XDG_CONFIG_HOME=$w/config XDG_STATE_HOME=$w/state HOME=$w LV2_PATH=$(realpath "$2") DISPLAY=
conf=$XDG_CONFIG_HOME/pipewire/pipewire.conf.d
mkdir -p -m 0700 "$XDG_RUNTIME_DIR" && mkdir -p "$conf" && ln -s "$recipe" "$conf/"
echo 'context.objects = [ { factory = adapter args = { factory.name = support.null-audio-sink node.name = "null_sink"
  media.class = Audio/Sink audio.position = [ FL FR ] audio.rate = 48000 priority.session = 2000 } } ]' > "$conf/null-sink.conf"
read -r DBUS_SESSION_BUS_ADDRESS bus < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -s -d' ')
export DBUS_SESSION_BUS_ADDRESS; pids+=("$bus")
pipewire >"$w/pipewire.log" 2>&1 & pids+=($!); sleep 1
wireplumber >"$w/wireplumber.log" 2>&1 & pids+=($!)
# The listing is read whole: grep -q would end pw-cli early, and pipefail fail it.
nodes() { local l; l=$(pw-cli ls Node 2>/dev/null); grep -q '"orvanta_levelled"' <<<"$l" && grep -q '"orvanta_mic"' <<<"$l"; }
for _ in $(seq 100); do nodes && break; sleep 0.1; done   # a loaded machine starts slowly
sleep 1   # and WirePlumber links them
check "the daemon runs the Levelled sink and the Levelled Microphone" nodes
sox -n -r 48000 -c 2 -b 16 "$w/quiet.wav" synth 20 pinknoise gain -18   # about -28 LUFS
pw-record --target null_sink -P '{ stream.capture.sink = true }' "$w/levelled.wav" & rec=$!
sleep 0.5
check "pw-play plays the file into the Levelled sink" pw-play --target orvanta_levelled "$w/quiet.wav"
sleep 0.5; kill -INT $rec; wait $rec 2>/dev/null
# The first 10 s are the leveler's approach; the next 8 are judged.
sox "$w/levelled.wav" "$w/judged.wav" trim 10 8 2>/dev/null
check "the recording is at -16 LUFS +-1 LU" eval '"$tool" --check podcast "$w/judged.wav" | grep -m1 integrated'
report_checks
