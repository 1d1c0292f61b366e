#!/bin/bash
# The LADSPA library in real hosts from Debian: analyseplugin lists it,
# applyplugin renders mono, stereo and 6-channel files, sox and ffmpeg run the
# stereo plug-in. ffmpeg's ebur128 meter checks the rendered loudness (every
# passage within 1 LU of the target once the detector has settled) and true
# peak (at most the True Peak setting plus the meter difference reported here).
#
#   real_hosts.sh PLUGIN_DIR PROGRAMME_TOOL WORK_DIR
set -uo pipefail
plugins=$(realpath "$1") programme=$2 work=$3
here=$(dirname "$(realpath "$0")")
source "$here/../../tools/loudness.sh" || exit 1
so=$plugins/la_Orvanta64.so
mkdir -p "$work" && cd "$work" || exit 1

source "$here/../host_checks.sh" || exit 1
number() { [[ "$1" =~ ^[-+]?[0-9]+(\.[0-9]+)?$ ]]; }
within() { number "$1" && awk -v a="$1" -v b="$2" -v tol="$3" 'BEGIN { d = a - b; exit !(d <= tol && -d <= tol) }'; }
at_most() { number "$1" && awk -v a="$1" -v b="$2" 'BEGIN { exit !(a <= b) }'; }
channels_and_length() {  # FILE CHANNELS SAMPLES
  [ "$(soxi -c "$1" 2>/dev/null)" = "$2" ] && [ "$(soxi -s "$1" 2>/dev/null)" = "$3" ]
}
not_silent() { at_most 0.01 "$(sox "$1" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')"; }

# --- analyseplugin: the three plug-ins with their ports and hints, as a host lists them
check "analyseplugin lists the three plug-ins, ports and hints" \
  diff <(analyseplugin "$so") "$here/analyseplugin.expected"
check "analyseplugin finds the library through LADSPA_PATH" \
  bash -c "LADSPA_PATH='$plugins' analyseplugin la_Orvanta64 | grep -q 'Plugin Label: \"orvt_5dot1\"'"

# --- applyplugin: every layout, found by name through LADSPA_PATH
defaults=(-20 0 0 -40 -20 100 100 0)
for layout in "1 orvt_mono" "2 orvt_stereo" "6 orvt_5dot1"; do
  set -- $layout
  "$programme" tones "tones$1.wav" "$1" 3 >/dev/null
  controls=("${defaults[@]}")
  [ "$1" = 6 ] && controls+=(6)
  LADSPA_PATH=$plugins applyplugin "tones$1.wav" "out$1.wav" la_Orvanta64 "$2" "${controls[@]}" >/dev/null 2>&1
  check "applyplugin renders $1 channel(s) through $2" channels_and_length "out$1.wav" "$1" 144000
  check "applyplugin output of $2 carries the programme" not_silent "out$1.wav"
done

# --- the stereo plug-in in four hosts on long passages at -35 and -12 LUFS
"$programme" passages passages.wav 2 > passages.txt
leveling=(-20 -1 30 -40 -20 100 100 0)  # target -20 LUFS, max gain 30 dB
applyplugin passages.wav level_applyplugin.wav "$so" orvt_stereo "${leveling[@]}" >/dev/null 2>&1
sox passages.wav level_sox.wav ladspa -l "$so" orvt_stereo "${leveling[@]}" 2>/dev/null
ffmpeg -hide_banner -nostats -nostdin -y -i passages.wav \
  -af "ladspa=file=$so:plugin=orvt_stereo:c=c0=-20|c1=-1|c2=30" level_ffmpeg.wav >/dev/null 2>&1
settle=10  # seconds the detector needs after a 23 LU step
for host in applyplugin sox ffmpeg; do
  file=level_$host.wav
  check "$host renders the stereo plug-in" channels_and_length "$file" 2 "$(soxi -s passages.wav)"
  while read -r start end lufs label; do
    from=$(awk -v s="$start" -v d="$settle" 'BEGIN { print s + d }')
    length=$(awk -v s="$start" -v e="$end" -v d="$settle" 'BEGIN { print e - s - d }')
    out=$(integrated "$file" "$from" "$length")
    echo "        $host $label (input $lufs LUFS): ${out} LUFS"
    check "$host: $label within 1 LU of -20 LUFS" within "$out" -20 1.0
  done < passages.txt
done

# --- true peak: a loud target makes the limiter work on every loud passage
limiting=(-10 -3 30 -40 -20 100 100 0)
applyplugin passages.wav limit_applyplugin.wav "$so" orvt_stereo "${limiting[@]}" >/dev/null 2>&1
ffmpeg -hide_banner -nostats -nostdin -y -i passages.wav \
  -af "ladspa=file=$so:plugin=orvt_stereo:c=c0=-10|c1=-3|c2=30" limit_ffmpeg.wav >/dev/null 2>&1
# ffmpeg's meter (4x oversampling) against our 4-phase estimator: allowed up
# to this much above the ceiling. Measured difference is printed.
meter_allowance_db=0.2
for host in applyplugin ffmpeg; do
  read -r i lra tp <<<"$(summary limit_$host.wav)"
  diff_db=$(awk -v t="$tp" 'BEGIN { printf "%+.2f", t - (-3) }')
  echo "        $host at -10 LUFS / -3 dBTP: I $i LUFS, true peak $tp dBTP (ffmpeg - ceiling: $diff_db dB)"
  check "$host: true peak at most -3 dBTP + ${meter_allowance_db} dB" at_most "$tp" "$(awk -v a=$meter_allowance_db 'BEGIN { print -3 + a }')"
done

report_checks
