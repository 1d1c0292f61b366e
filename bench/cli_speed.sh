#!/bin/bash
# Speed of orvanta-level on a 10-minute stereo 48 kHz 16-bit file (pink noise
# whose level swings slowly over 16 dB): x real time of the whole job and of
# each stage.
#
#   bench/cli_speed.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:-build}")
work=$build/bench/cli_speed
mkdir -p "$work"
input=$work/ten_minutes.wav
[ -s "$input" ] || sox -n -r 48000 -c 2 -b 16 "$input" synth 600 pinknoise tremolo 0.05 80 vol 0.5 2>/dev/null
"$build/bench/orvanta_cli_speed" "$input" "$work"
echo "orvanta-level itself, default jobs:"
start=$(date +%s.%N)
"$build/bin/orvanta-level" -q "$input" -o "$work/levelled.wav" --force --json "$work/report.json" --plot "$work/plot.png"
awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "  600 s in %.2f s: %.1fx real time\n", e - s, 600 / (e - s) }'
