#!/bin/bash
# The shipped recipes in their hosts, where installed: the GStreamer pipeline
# for mono, stereo and 5.1 and the liquidsoap script (its file output) level
# 20 s of quiet pink noise to -16 LUFS +-1 LU (orvanta-level --check, with
# libebur128) and keep the channels.
#   recipes.sh SOURCE_DIR PLUGIN_DIR ORVANTA_LEVEL
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../host_checks.sh"
src=$(realpath "$1") plugins=$(realpath "$2") tool=$(realpath "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LV2_PATH=$plugins GST_REGISTRY=$work/registry.bin
levelled() {  # levelled FILE CHANNELS
  [ "$(soxi -c "$1")" -eq "$2" ] && "$tool" --check podcast "$1" | grep -m1 integrated
}
ran=0
if command -v gst-launch-1.0 >/dev/null && gst-inspect-1.0 urn-veltrano-orvanta-mono >/dev/null 2>&1; then
  for c in 1 2 6; do
    sox -n -r 48000 -c $c -b 16 "$work/quiet$c.wav" synth 20 pinknoise gain -18
    check "GStreamer levels $c channel(s)" eval \
      'bash "$src/recipes/gstreamer/orvanta-gst.sh" "$work/quiet$c.wav" "$work/gst$c.wav" 2>/dev/null && levelled "$work/gst$c.wav" $c'
  done
  ran=1
else
  echo "skipped: GStreamer with its lv2 element is not installed (gstreamer1.0-tools, gstreamer1.0-plugins-good)"
fi
if command -v liquidsoap >/dev/null; then
  [ -f "$work/quiet2.wav" ] || sox -n -r 48000 -c 2 -b 16 "$work/quiet2.wav" synth 20 pinknoise gain -18
  # Root may run liquidsoap only when told so; its WAV output streams, so
  # the header's length is not final.
  check "liquidsoap levels the stream (LIQ_LADSPA_DIRS)" eval \
    'LIQ_LADSPA_DIRS=$plugins timeout 120 liquidsoap "settings.init.allow_root.set(true)" \
       "$src/recipes/liquidsoap/orvanta-radio.liq" -- "$work/quiet2.wav" "$work/liq.wav" >"$work/liq.log" 2>&1 &&
     sox --ignore-length "$work/liq.wav" "$work/liq-fixed.wav" && levelled "$work/liq-fixed.wav" 2 || { tail "$work/liq.log"; false; }'
  ran=1
else
  echo "skipped: liquidsoap is not installed"
fi
[ $ran -eq 1 ] || { echo "SKIP: no recipe host installed"; exit 77; }
report_checks
