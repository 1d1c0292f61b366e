#!/bin/bash
# The PipeWire recipe in a private, headless PipeWire: its own runtime folder,
# a null sink as the only output, WirePlumber on a private D-Bus session, the
# LV2 bundle of this build. A quiet programme played into the "Levelled" sink
# and recorded from the null sink's monitor comes out at the target (-16
# LUFS), measured by orvanta-level --check (libebur128).
#   pipewire_levelled.sh RECIPE LV2_DIR ORVANTA_LEVEL   (LV2_DIR holds orvanta.lv2)
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../host_checks.sh"
recipe=$(realpath "$1") lv2=$(realpath "$2") tool=$(realpath "$3")
for p in pipewire wireplumber pw-play pw-record dbus-daemon; do
  command -v "$p" >/dev/null || { echo "SKIP: $p is not installed (tools/install-deps.sh)"; exit 77; }
done
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
export XDG_RUNTIME_DIR=$work/run XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state HOME=$work
export LV2_PATH=$lv2 PIPEWIRE_DEBUG=1 DISPLAY=
mkdir -p -m 0700 "$XDG_RUNTIME_DIR" && mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d"
ln -s "$recipe" "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/"
cat > "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/null-sink.conf" <<'CONF'
context.objects = [
    { factory = adapter args = { factory.name = support.null-audio-sink node.name = "null_sink"
      media.class = Audio/Sink audio.position = [ FL FR ] audio.rate = 48000 priority.session = 2000 } }
]
CONF
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | { read -r a; read -r p; echo "export DBUS_SESSION_BUS_ADDRESS=$a; dbus_pid=$p"; })"
pids+=("$dbus_pid")
pipewire >"$work/pipewire.log" 2>&1 & pids+=($!)
sleep 1
wireplumber >"$work/wireplumber.log" 2>&1 & pids+=($!)
sleep 2
check "the daemon runs the Levelled sink and the Levelled Microphone" eval \
  'pw-cli ls Node | grep -q "node.name = \"orvanta_levelled\"" && pw-cli ls Node | grep -q "node.name = \"orvanta_mic\""' ||
  { tail -20 "$work/pipewire.log" "$work/wireplumber.log"; }

# 20 s of pink noise at about -28 LUFS: the recipe lifts it to -16 (Max Gain 12).
sox -n -r 48000 -c 2 -b 16 "$work/quiet.wav" synth 20 pinknoise gain -18 2>/dev/null
pw-record --target null_sink -P '{ stream.capture.sink = true }' --rate 48000 --channels 2 "$work/levelled.wav" & rec=$!
sleep 0.5
check "pw-play plays the file into the Levelled sink" pw-play --target orvanta_levelled "$work/quiet.wav"
sleep 0.5; kill -INT $rec; wait $rec 2>/dev/null
# The first 10 s are the leveler's approach; the rest is judged.
sox "$work/levelled.wav" "$work/judged.wav" trim 10 8 2>/dev/null
in=$("$tool" --check podcast "$work/quiet.wav" 2>&1 | grep -m1 -i integrated)
out=$("$tool" --check podcast "$work/judged.wav" 2>&1 | grep -m1 -i integrated)
echo "input:  $in"; echo "output: $out"
check "the recording is levelled to -16 LUFS +-1 LU (libebur128)" "$tool" --check podcast "$work/judged.wav"
report_checks
