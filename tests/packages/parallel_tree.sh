#!/bin/bash
# The GNU parallel recipe over a tree with one broken file: the failure in
# the job log and the exit status, the other outputs the bytes of a local run
# (the JSON too, but for paths and timings), and after mending, a second run
# redoes only that job. (--sshloginfile needs other machines: not tried.)
#   parallel_tree.sh RECIPE ORVANTA_LEVEL
set -uo pipefail
. "$(dirname "$0")/../host_checks.sh"
command -v parallel >/dev/null || { echo "SKIP: GNU parallel is not installed"; exit 77; }
recipe=$(realpath "$1") w=$(mktemp -d)
export ORVANTA_LEVEL=$(realpath "$2")
trap 'rm -rf "$w"' EXIT
mkdir -p "$w/t/a/b" "$w/t/c" "$w/local" && cd "$w/t" || exit 1
sox -n -r 48000 -c 2 -b 16 a/one.wav synth 6 pinknoise gain -20
sox -n -r 44100 -c 1 -b 24 a/b/two.wav synth 6 pinknoise gain -25
echo "not audio" > c/three.wav
jobs_with() { tail -n +2 "$w/out/joblog.txt" | cut -f7 | grep -c "^$1$"; }
bash "$recipe" . "$w/out" --preset podcast >/dev/null 2>&1; rc=$?
check "exit status 1; the job log: 2 jobs ended 0, one 1" eval '[ $rc -eq 1 ] && [ "$(jobs_with 0)$(jobs_with 1)" = 21 ]'
steady() { sed -E 's/"output": "[^"]*"//; s/"(elapsed_s|speed_x_real_time)": [-0-9.e+]*//g' "$1"; }
local_run() {  # local_run NAME: the local run's output and JSON equal the recipe's
  "$ORVANTA_LEVEL" --jobs 1 --preset podcast "$1.wav" -o "$w/local/${1##*/}.wav" --json "$w/local/${1##*/}.json" >/dev/null 2>&1 &&
    cmp -s "$w/out/$1.wav" "$w/local/${1##*/}.wav" && cmp -s <(steady "$w/out/$1.json") <(steady "$w/local/${1##*/}.json")
}
check "a/one and a/b/two as a local run gives them" eval 'local_run a/one && local_run a/b/two'
cp a/one.wav c/three.wav
bash "$recipe" . "$w/out" --preset podcast >/dev/null 2>&1; rc=$?
check "mended, --resume-failed redoes only c/three and ends 0" eval \
  '[ $rc -eq 0 ] && [ "$(jobs_with 0)" -eq 3 ] && tail -1 "$w/out/joblog.txt" | grep -q c/three.wav'
report_checks
