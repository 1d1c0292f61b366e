#!/bin/bash
# The LV2 bundle in real hosts from Debian: lv2_validate checks the Turtle
# against the LV2 vocabulary bundles Debian ships, lv2ls and lv2info list the three
# plug-ins, and lv2apply, lv2file and ffmpeg's lv2 filter render mono, stereo
# and 6-channel float WAVs that must be bit-identical to the LADSPA plug-in's
# render (ffmpeg's ladspa filter) with the same controls.
#
#   real_hosts.sh BUNDLE_DIR LADSPA_LIBRARY PROGRAMME_TOOL WORK_DIR
set -uo pipefail
bundle=$(realpath "$1") ladspa=$(realpath "$2") programme=$(realpath "$3") work=$4
here=$(dirname "$(realpath "$0")")
mkdir -p "$work" && cd "$work" || exit 1
# Hosts search LV2_PATH for bundles: a folder holding only ours.
rm -rf lv2path && mkdir lv2path && ln -s "$bundle" lv2path/orvanta.lv2
export LV2_PATH=$PWD/lv2path
limit=120  # seconds any one host may take

source "$here/../host_checks.sh" || exit 1
# The float samples of a WAV, headers aside (ffmpeg copies them unchanged).
samples() { timeout $limit ffmpeg -v error -nostdin -y -i "$1" -f f32le -c:a pcm_f32le "$2"; }
same_samples() {  # same_samples A.wav B.wav: both decode, same bits, not silent
  samples "$1" "$1.raw" && samples "$2" "$2.raw" && cmp -s "$1.raw" "$2.raw" &&
    [ "$(tr -d '\0' < "$1.raw" | head -c 1 | wc -c)" -eq 1 ]
}

# --- the Turtle against the LV2 vocabularies
validate() {
  local out
  out=$(timeout $limit lv2_validate "$bundle/manifest.ttl" "$bundle/orvanta.ttl" 2>&1)
  local rc=$?
  echo "$out" | grep -v '^Skipping' | sed 's/^/        /'
  [ $rc -eq 0 ] && grep -q "Found 0 errors" <<<"$out"
}
check "lv2_validate finds no error in manifest.ttl and orvanta.ttl" validate

# --- listing hosts
uris=(urn:veltrano:orvanta:mono urn:veltrano:orvanta:stereo urn:veltrano:orvanta:5dot1)
names=("Orvanta Mono" "Orvanta Stereo" "Orvanta 5.1")
check "lv2ls lists the three plug-ins" \
  diff <(timeout $limit lv2ls | sort) <(printf '%s\n' "${uris[@]}" | sort)
latency_ports=(8 8 9)
for i in 0 1 2; do
  info=$(timeout $limit lv2info "${uris[$i]}" 2>&1)
  check "lv2info shows ${names[$i]}" grep -q "Name: *${names[$i]}\$" <<<"$info"
  check "lv2info: ${names[$i]} reports latency on port ${latency_ports[$i]}" \
    grep -q "Has latency: *yes, reported by port ${latency_ports[$i]}\$" <<<"$info"
done

# --- renders: LADSPA reference, then three LV2 hosts
# Controls away from the defaults: target -16 LUFS, true peak -1.5 dBTP, max
# gain 12 dB, correction low 60 %, mode 2, and LFE gain 4 dB in 5.1.
symbols=(target_level true_peak max_gain correction_low corr_mix_mode lfe_gain)
ladspa_ports=(0 1 2 6 7 8)
values=(-16 -1.5 12 60 2 4)
for layout in "1 mono orvt_mono" "2 stereo orvt_stereo" "6 5dot1 orvt_5dot1"; do
  set -- $layout
  channels=$1 uri=urn:veltrano:orvanta:$2 label=$3
  count=5
  [ "$channels" = 6 ] && count=6
  "$programme" tones "tones$channels.wav" "$channels" 4 >/dev/null
  sox "tones$channels.wav" -e floating-point -b 32 "in$channels.wav"

  ladspa_controls="" lv2apply_controls=() lv2file_controls=() ffmpeg_controls=""
  for ((k = 0; k < count; k++)); do
    ladspa_controls+="${ladspa_controls:+|}c${ladspa_ports[$k]}=${values[$k]}"
    lv2apply_controls+=(-c "${symbols[$k]}" "${values[$k]}")
    lv2file_controls+=(-p "${symbols[$k]}:${values[$k]}")
    ffmpeg_controls+="${ffmpeg_controls:+|}${symbols[$k]}=${values[$k]}"
  done
  timeout $limit ffmpeg -v error -nostdin -y -i "in$channels.wav" \
    -af "ladspa=file=$ladspa:plugin=$label:c=$ladspa_controls" -c:a pcm_f32le "ladspa$channels.wav"
  timeout $limit lv2apply -i "in$channels.wav" -o "lv2apply$channels.wav" "${lv2apply_controls[@]}" "$uri" >/dev/null 2>&1
  timeout $limit lv2file -i "in$channels.wav" -o "lv2file$channels.wav" "${lv2file_controls[@]}" "$uri" >/dev/null 2>&1
  escaped=${uri//:/\\\\:}
  timeout $limit ffmpeg -v error -nostdin -y -i "in$channels.wav" \
    -af "lv2=p=$escaped:c=$ffmpeg_controls" -c:a pcm_f32le "ffmpeg$channels.wav"
  for host in lv2apply lv2file ffmpeg; do
    check "$host renders $channels channel(s) through $uri bit-identical to the LADSPA render" \
      same_samples "$host$channels.wav" "ladspa$channels.wav"
  done
done

report_checks
