#!/bin/bash
# The main job: a demo programme of speech-like and music-like passages at
# very different loudness, with hot transients (stereo, 48 kHz, 200 s), is
# levelled by the stereo LADSPA plug-in in a real host (applyplugin), and
# ffmpeg's EBU R128 meter measures input and output.
#
#   tools/demo.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(dirname "$(realpath "$0")")
source "$here/loudness.sh"

so=$build/plugins/la_Orvanta64.so
programme=$build/tools/programme/orvanta_programme
out=$build/demo
mkdir -p "$out"
for f in "$so" "$programme"; do [ -e "$f" ] || { echo "missing $f: run make plugins" >&2; exit 1; }; done
for tool in applyplugin ffmpeg sox; do command -v $tool >/dev/null || { echo "missing $tool: run make deps" >&2; exit 1; }; done

# Settings: a -16 LUFS target with a -1 dBTP ceiling; up to 30 dB of gain and
# a freeze level of -60 LUFS, so that even the whispered passage is lifted.
target=-16 true_peak=-1 max_gain=30 freeze=-60
controls=($target $true_peak $max_gain $freeze -20 100 100 0)

"$programme" demo "$out/demo_input.wav" > "$out/passages.txt"
# applyplugin delays everything by the reported latency; one second of
# silence appended lets the tail out, and trimming the latency realigns it.
latency=1698  # what the plug-in reports on its "latency" port at 48 kHz
applyplugin -s 1 "$out/demo_input.wav" "$out/demo_levelled_raw.wav" "$so" orvt_stereo "${controls[@]}" >/dev/null
sox "$out/demo_levelled_raw.wav" "$out/demo_levelled.wav" trim "${latency}s" "$(soxi -s "$out/demo_input.wav")s"
rm -f "$out/demo_levelled_raw.wav"

read -r in_i in_lra in_tp <<<"$(summary "$out/demo_input.wav")"
read -r out_i out_lra out_tp <<<"$(summary "$out/demo_levelled.wav")"
short_term "$out/demo_input.wav" > "$out/short_term_input.txt"
short_term "$out/demo_levelled.wav" > "$out/short_term_levelled.txt"

echo
echo "Orvanta Stereo (LADSPA, applyplugin): Target $target LUFS, True Peak $true_peak dBTP, Max Gain $max_gain dB, Freeze $freeze LUFS"
echo
printf "%-26s %12s %12s\n" "" "input" "levelled"
printf "%-26s %12s %12s\n" "integrated loudness (LUFS)" "$in_i" "$out_i"
printf "%-26s %12s %12s\n" "loudness range (LU)" "$in_lra" "$out_lra"
printf "%-26s %12s %12s\n" "true peak (dBTP)" "$in_tp" "$out_tp"
echo
echo "Short-term loudness per passage (median, LUFS; from 3 s into each passage):"
printf "%-16s %9s %9s %9s\n" "passage" "seconds" "input" "levelled"
while read -r start end lufs label; do
  from=$(awk -v s="$start" 'BEGIN { print s + 3 }')
  in_s=$(median_between "$from" "$end" < "$out/short_term_input.txt")
  out_s=$(median_between "$from" "$end" < "$out/short_term_levelled.txt")
  printf "%-16s %4.0f-%-4.0f %9s %9s\n" "$label" "$start" "$end" "$in_s" "$out_s"
done < "$out/passages.txt"
echo
echo "Rendered: $out/demo_levelled.wav (input: $out/demo_input.wav)"
