#!/bin/bash
# Levels a WAV file through Orvanta's LV2 plug-in in a GStreamer pipeline:
# mono, stereo or 5.1 (FL FR FC LFE BL BR), by the file's channel count.
#   orvanta-gst.sh IN.wav OUT.wav [TARGET_LUFS]
# The elements are urn-veltrano-orvanta-mono, -stereo and -5dot1 (LV2) and
# ladspa-la-orvanta64-so-orvt-mono, -stereo and -5dot1 (LADSPA); their
# properties are the controls: target-level, true-peak, max-gain,
# freeze-level, input-level, correction-high, correction-low, corr-mix-mode,
# lfe-gain. The LADSPA 5.1 element gives no channel positions: after it, a
# capssetter caps="audio/x-raw,channel-mask=(bitmask)0x3f" restores them, or
# wavenc writes a broken file. GStreamer does not remove the plug-in's
# latency: the output starts 1698 samples (at 48 kHz) late.
set -euo pipefail
in=${1:?input} out=${2:?output} target=${3:--16}
channels=$(od -An -tu2 -j22 -N2 "$in" | tr -d " ")  # the WAV header's channel count
case "$channels" in
  1) element=urn-veltrano-orvanta-mono ;;
  2) element=urn-veltrano-orvanta-stereo ;;
  6) element="urn-veltrano-orvanta-5dot1 lfe-gain=0" ;;
  *) echo "orvanta-gst.sh: $in: $channels channels; Orvanta levels 1, 2 or 6" >&2; exit 2 ;;
esac
gst-launch-1.0 -q filesrc location="$in" ! wavparse ! audioconvert ! audio/x-raw,format=F32LE \
  ! $element target-level="$target" true-peak=-1 max-gain=12 ! audioconvert ! audio/x-raw,format=S16LE \
  ! wavenc ! filesink location="$out.part"
mv "$out.part" "$out"
