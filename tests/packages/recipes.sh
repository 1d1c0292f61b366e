#!/bin/bash
# The recipes in their hosts, where installed: the GStreamer pipeline (mono,
# stereo, 5.1) and the liquidsoap script (file output) bring quiet noise to
# -16 LUFS +-1 LU (orvanta-level --check) with its channels.
#   recipes.sh SOURCE_DIR PLUGIN_DIR ORVANTA_LEVEL
set -uo pipefail
. "$(dirname "$0")/../host_checks.sh"
src=$(realpath "$1") plugins=$(realpath "$2") tool=$(realpath "$3") w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
export LV2_PATH=$plugins GST_REGISTRY=$w/registry.bin
levelled() { [ "$(soxi -c "$1")" -eq "$2" ] && "$tool" --check podcast "$1" | grep -m1 integrated; }
for c in 1 2 6; do sox -n -r 48000 -c $c -b 16 "$w/quiet$c.wav" synth 20 pinknoise gain -18; done
if gst-inspect-1.0 urn-veltrano-orvanta-mono >/dev/null 2>&1; then
  for c in 1 2 6; do
    check "GStreamer levels $c channel(s)" eval \
      'bash "$src/recipes/gstreamer/orvanta-gst.sh" "$w/quiet$c.wav" "$w/gst$c.wav" 2>/dev/null && levelled "$w/gst$c.wav" $c'
  done
else echo "skipped: GStreamer's lv2 element is not installed (gstreamer1.0-plugins-good)"; fi
# Root runs liquidsoap only when told so; its streamed WAV header has no length.
if command -v liquidsoap >/dev/null; then
  check "liquidsoap levels the stream (LIQ_LADSPA_DIRS)" eval 'LIQ_LADSPA_DIRS=$plugins timeout 120 liquidsoap \
    "settings.init.allow_root.set(true)" "$src/recipes/liquidsoap/orvanta-radio.liq" -- "$w/quiet2.wav" "$w/liq.wav" >"$w/log" 2>&1 &&
    sox --ignore-length "$w/liq.wav" "$w/liq2.wav" && levelled "$w/liq2.wav" 2 || { tail "$w/log"; false; }'
else echo "skipped: liquidsoap is not installed"; fi
[ $((passed + failed)) -gt 0 ] || { echo "SKIP: no recipe host installed"; exit 77; }
report_checks
