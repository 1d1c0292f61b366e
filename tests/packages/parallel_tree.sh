#!/bin/bash
# The GNU parallel recipe over a small tree with one broken file: the failure
# is in the job log and the exit status, the other outputs and JSON reports
# are the bytes of a local orvanta-level run, and a second run after the file
# is mended redoes only that job. (--sshloginfile needs other machines: not
# tried here.)
#   parallel_tree.sh RECIPE ORVANTA_LEVEL
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../host_checks.sh"
recipe=$(realpath "$1") tool=$(realpath "$2")
command -v parallel >/dev/null || { echo "SKIP: GNU parallel is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
t=$work/tree o=$work/out
mkdir -p "$t/a/b" "$t/c" "$work/local"
sox -n -r 48000 -c 2 -b 16 "$t/a/one.wav" synth 6 pinknoise gain -20
sox -n -r 44100 -c 1 -b 24 "$t/a/b/two.wav" synth 6 pinknoise gain -25
echo "not audio" > "$t/c/three.wav"
export ORVANTA_LEVEL=$tool
bash "$recipe" "$t" "$o" --preset podcast >/dev/null 2>&1
check "one failed job: exit status 1" test $? -eq 1
check "the job log holds 3 jobs, one with exit value 1" eval \
  '[ "$(tail -n +2 "$o/joblog.txt" | wc -l)" -eq 3 ] && [ "$(tail -n +2 "$o/joblog.txt" | cut -f7 | grep -c "^1$")" -eq 1 ]'
# The JSON reports differ only in the output path and the timings.
steady() { sed -E 's/"output": "[^"]*"//; s/"(elapsed_s|speed_x_real_time)": [-0-9.e+]*//g' "$1"; }
same_as_local() {  # same_as_local REL  (REL without .wav)
  (cd "$t" && "$tool" --jobs 1 --preset podcast "$1.wav" -o "$work/local/$(basename "$1").wav" \
     --json "$work/local/$(basename "$1").json" >/dev/null 2>&1) &&
    cmp -s "$o/$1.wav" "$work/local/$(basename "$1").wav" && cmp -s <(steady "$o/$1.json") <(steady "$work/local/$(basename "$1").json")
}
check "a/one and a/b/two: the bytes of a local run, the same JSON but paths and timings" eval 'same_as_local a/one && same_as_local a/b/two'
cp "$t/a/one.wav" "$t/c/three.wav"
bash "$recipe" "$t" "$o" --preset podcast >/dev/null 2>&1
check "after mending, --resume-failed redoes only c/three and ends 0" eval \
  '[ $? -eq 0 ] && [ "$(tail -n +2 "$o/joblog.txt" | wc -l)" -eq 4 ] && tail -1 "$o/joblog.txt" | grep -q "c/three.wav" && [ -f "$o/c/three.wav" ]'
report_checks
