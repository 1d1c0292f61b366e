#!/bin/bash
# The main job: a demo programme of speech-like and music-like passages at
# very different loudness, with hot transients (stereo, 48 kHz, 200 s), is
# levelled by orvanta-level, which prints its EBU R128 report and writes the
# levelled file, the JSON and the plot into BUILD_DIR/demo. The same
# programme then goes through the stereo LADSPA plug-in in a real host
# (applyplugin), measured by ffmpeg's EBU R128 meter, as a check of that path.
#
#   tools/demo.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:-build}")
here=$(dirname "$(realpath "$0")")
source "$here/loudness.sh"

so=$build/plugins/la_Orvanta64.so
programme=$build/tools/programme/orvanta_programme
leveler=$build/bin/orvanta-level
out=$build/demo
mkdir -p "$out"
for f in "$so" "$programme" "$leveler"; do [ -e "$f" ] || { echo "missing $f: run make plugins" >&2; exit 1; }; done
for tool in applyplugin ffmpeg sox; do command -v $tool >/dev/null || { echo "missing $tool: run make deps" >&2; exit 1; }; done

# Settings: a -16 LUFS target with a -1 dBTP ceiling; up to 30 dB of gain and
# a freeze level of -60 LUFS, so that even the whispered passage is lifted.
target=-16 true_peak=-1 max_gain=30 freeze=-60
controls=($target $true_peak $max_gain $freeze -20 100 100 0)

"$programme" demo "$out/demo_input.wav" > "$out/passages.txt"

echo "== orvanta-level =="
"$leveler" "$out/demo_input.wav" -o "$out/demo_levelled.wav" --force \
  --preset podcast --max-gain $max_gain --freeze $freeze \
  --json "$out/demo_report.json" --plot "$out/demo_plot.png"
echo
echo "Levelled file: $out/demo_levelled.wav"
echo "Report (JSON): $out/demo_report.json"
echo "Plot:          $out/demo_plot.png"
echo
echo "== the same programme through the LADSPA plug-in (applyplugin) =="
# applyplugin delays everything by the reported latency; one second of
# silence appended lets the tail out, and trimming the latency realigns it.
latency=1698  # what the plug-in reports on its "latency" port at 48 kHz
applyplugin -s 1 "$out/demo_input.wav" "$out/demo_ladspa_raw.wav" "$so" orvt_stereo "${controls[@]}" >/dev/null
sox "$out/demo_ladspa_raw.wav" "$out/demo_ladspa.wav" trim "${latency}s" "$(soxi -s "$out/demo_input.wav")s"
rm -f "$out/demo_ladspa_raw.wav"

read -r in_i in_lra in_tp <<<"$(summary "$out/demo_input.wav")"
read -r out_i out_lra out_tp <<<"$(summary "$out/demo_ladspa.wav")"
short_term "$out/demo_input.wav" > "$out/short_term_input.txt"
short_term "$out/demo_ladspa.wav" > "$out/short_term_levelled.txt"

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
echo "Rendered by applyplugin: $out/demo_ladspa.wav (input: $out/demo_input.wav)"
echo "orvanta-level's output, report and plot: $out/demo_levelled.wav, $out/demo_report.json, $out/demo_plot.png"
