#!/bin/bash
# How well orvanta-level lands each delivery preset, before (--single-pass,
# the plug-in's output, what the tool did before it landed) and after (the
# default: measured first, levelled in passes), on five programmes made here:
#
#   speech     two speakers, the guest far from the microphone (12 dB down,
#              in a reverberant room), room tone in the pauses
#   applause   a speaker, loud applause, the speaker again (transients and
#              the recovery after a loud event)
#   music      a wide-range piece: pianissimo to fortissimo and back
#   tracks     loud and quiet tracks back to back
#   memo       a mono voice memo at uneven levels
#
# Per preset and programme: the integrated deviation from the target, the
# maximum true peak (libebur128), LRA out/in, the short-term spread (the
# standard deviation of the 3 s loudness every 100 ms, over the windows at
# most 20 LU under the integrated loudness; ffmpeg's meter) and the CPU time
# of the whole job against the single pass.
#
#   bench/landing.sh BUILD_DIR [PRESET...]
#
# With TODAY=PATH (an orvanta-level built before landing), the CPU time is
# also given against that tool's own run with the same settings.
set -euo pipefail
build=$(realpath "${1:-build}")
shift || true
tool=$build/bin/orvanta-level
here=$(dirname "$(realpath "$0")")
source "$here/../tools/loudness.sh"
work=$build/bench/landing
mkdir -p "$work"
cd "$work"
for t in sox espeak-ng ffmpeg; do command -v $t >/dev/null || { echo "missing $t: run make deps" >&2; exit 1; }; done
presets=("$@")
[ ${#presets[@]} -gt 0 ] || presets=(podcast streaming broadcast ebu-r128 ebu-r128-s1 atsc-a85 apple-podcasts spotify youtube aes-td1008)

# ---- programmes (made once)
say() {  # say OUT VOICE TEXT: 48 kHz stereo speech
  espeak-ng -v "$2" -s 155 -w "$1.raw.wav" "$3"
  sox "$1.raw.wav" -r 48000 -c 2 -b 24 "$1" && rm -f "$1.raw.wav"
}
tone() { sox -n -r 48000 -c 2 -b 24 "$1" synth "$2" pinknoise vol 0.001; }  # room tone, about -73 dBFS
if [ ! -s speech.wav ]; then
  lines=("Good morning and welcome to the programme. Today we talk about rivers and the towns along them."
         "Thank you for having me. I have spent twenty years walking the banks of the Danube."
         "What surprised you most on those walks, and what would you tell a first time visitor?"
         "The silence in the early hours. The water is louder than the traffic, even in the cities."
         "Let us take a short question from our listeners before we go on."
         "Of course. I am happy to answer anything about the journey or the books.")
  parts=()
  tone part_lead.wav 2; parts+=(part_lead.wav)
  for i in "${!lines[@]}"; do
    if [ $((i % 2)) -eq 0 ]; then say part_s$i.wav en-us "${lines[$i]}"
    else
      say part_s$i.raw2.wav en+f3 "${lines[$i]}"
      sox part_s$i.raw2.wav part_s$i.wav reverb 60 50 80 vol -12dB && rm -f part_s$i.raw2.wav  # far from the microphone
    fi
    tone part_p$i.wav 0.8
    parts+=(part_s$i.wav part_p$i.wav)
  done
  sox "${parts[@]}" speech.wav
  # applause: speaker, four seconds of loud applause, the speaker again
  sox -n -r 48000 -c 2 -b 24 part_clap.wav synth 4 whitenoise tremolo 11 90 vol 0.35 fade 0.2 4 0.8
  say part_a0.wav en-us "${lines[0]}"; say part_a1.wav en-us "${lines[2]}"; say part_a2.wav en-us "${lines[4]}"
  sox part_a0.wav part_clap.wav part_a1.wav part_p0.wav part_clap.wav part_a2.wav applause.wav
  # a mono voice memo: the same voice near and far, held at arm's length
  say part_m0.wav en-gb "${lines[1]}"; say part_m1.wav en-gb "${lines[3]}"; say part_m2.wav en-gb "${lines[5]}"
  sox part_m1.wav part_m1q.wav vol -15dB
  sox part_m0.wav part_m1q.wav part_p1.wav part_m2.wav -c 1 -r 44100 memo.wav
  rm -f part_*.wav
fi
if [ ! -s music.wav ]; then
  # chords of plucked strings and sustained tones, from pianissimo to fortissimo
  chord() {  # chord OUT SECONDS GAIN_DB NOTES...
    local out=$1 s=$2 g=$3; shift 3
    local synth=()
    for n in "$@"; do synth+=(pluck "$n" sine "$n"); done
    sox -n -r 48000 -c 2 -b 24 "$out" synth "$s" "${synth[@]}" tremolo 4 30 vol "${g}dB" fade 0.5 "$s" 0.5
  }
  chord part_1.wav 15 -44 C3 E3 G3; chord part_2.wav 15 -32 F3 A3 C4; chord part_3.wav 20 -14 G2 B3 D4 G4
  chord part_4.wav 10 -8 C3 G3 C4 E4; chord part_5.wav 15 -38 A2 C3 E3; chord part_6.wav 10 -22 C3 E3 G3
  sox part_[1-6].wav music.wav
  # tracks: a loud master, a quiet folk song, a middle one
  sox -n -r 48000 -c 2 -b 24 part_t1.wav synth 25 pinknoise tremolo 2 60 vol 0.9 fade 0.1 25 0.5 gain -n -0.3
  chord part_t2.wav 25 -30 D3 F3 A3
  chord part_t3.wav 25 -16 E3 G3 B3
  sox part_t1.wav part_t2.wav part_t3.wav tracks.wav
  rm -f part_*.wav
fi
programmes=(speech applause music tracks memo)

# ---- measurement
cpu() {  # cpu CMD...: runs it, prints user+system seconds
  /usr/bin/time -f "%U %S" -o cpu.txt "$@" >/dev/null 2>&1 || true
  tail -1 cpu.txt | awk '{ printf "%.3f", $1 + $2 }'
}
figures() {  # figures FILE: "I LRA TP" from the tool's own libebur128 meter
  "$tool" -q --check podcast "$1" --json fig.json >/dev/null 2>&1 || true
  tr -d '\n' < fig.json | sed 's/.*"integrated_lufs": \([^,]*\), "loudness_range_lu": \([^,]*\), "true_peak_dbtp": \([^,}]*\).*/\1 \2 \3/'
}
spread() {  # spread FILE: standard deviation of the short-term loudness (LU)
  local i
  i=$(integrated "$1")
  short_term "$1" | awk -v i="$i" '$1 >= 3 && $2 >= i - 20 { s += $2; q += $2 * $2; n++ }
    END { if (n < 2) print "-"; else printf "%.2f", sqrt(q / n - (s / n) ^ 2) }'
}

printf "%-15s %-9s | %-32s | %-32s | %s\n" "" "" "before (--single-pass)" "after (landing)" "CPU of the whole job"
printf "%-15s %-9s | %7s %6s %7s %9s | %7s %6s %7s %9s | %6s %7s %7s\n" preset programme \
  "dev LU" "TP" "LRA o/i" "ST sprd" "dev LU" "TP" "LRA o/i" "ST sprd" "passes" "x 1pass" "x today"
help=$("$tool" --help)
for preset in "${presets[@]}"; do
  target=$(awk -v p="$preset" '$1 == p { print $2; exit }' <<<"$help")
  for prog in "${programmes[@]}"; do
    in=$prog.wav
    read -r in_i in_lra in_tp <<<"$(figures "$in")"
    row=""
    for mode in before after; do
      out=${prog}_${preset}_$mode.wav
      args=(-q --force --preset "$preset" "$in" -o "$out" --json "$out.json")
      [ $mode == before ] && args+=(--single-pass)
      t=$(cpu "$tool" "${args[@]}")
      [ $mode == before ] && t_single=$t || t_whole=$t
      if [ ! -s "$out" ]; then row+=$(printf "| %32s " "not written: missed"); continue; fi
      read -r o_i o_lra o_tp <<<"$(figures "$out")"
      row+=$(printf "| %+7.2f %6.2f %7.2f %9s " "$(awk -v a="$o_i" -v t="$target" 'BEGIN { print a - t }')" "$o_tp" \
        "$(awk -v o="$o_lra" -v i="$in_lra" 'BEGIN { print (i > 0 ? o / i : 0) }')" "$(spread "$out")")
    done
    passes=$(grep -o '"passes": [0-9]*' "${prog}_${preset}_after.wav.json" | head -1 | awk '{ print $2 }')
    today="-"
    if [ -n "${TODAY:-}" ]; then
      # the same engine settings by name: the tool before landing knew three presets
      read -r tg tp mg fz <<<"$(grep -o '"settings": {[^}]*}' "${prog}_${preset}_before.wav.json" |
        sed 's/.*"target": \([^,]*\), "true-peak": \([^,]*\), "max-gain": \([^,]*\), "freeze": \([^,]*\),.*/\1 \2 \3 \4/')"
      t_today=$(cpu "$TODAY" -q --force "$in" -o "${prog}_today.wav" --target "$tg" --true-peak "$tp" --max-gain "$mg" --freeze "$fz")
      today=$(awk -v w="$t_whole" -v s="$t_today" 'BEGIN { printf "%.2f", (s > 0 ? w / s : 0) }')
    fi
    printf "%-15s %-9s %s| %6s %7.2f %7s\n" "$preset" "$prog" "$row" "${passes:--}" \
      "$(awk -v w="$t_whole" -v s="$t_single" 'BEGIN { print (s > 0 ? w / s : 0) }')" "$today"
  done
done
echo
echo "input programmes (I LUFS, LRA LU, TP dBTP, ST spread LU):"
for prog in "${programmes[@]}"; do
  printf "  %-9s %s %s\n" "$prog" "$(figures $prog.wav)" "$(spread $prog.wav)"
done
