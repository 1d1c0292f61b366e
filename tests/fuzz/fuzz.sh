#!/bin/bash
# The file fuzzer of orvanta-level's input path.
#
#   fuzz.sh replay BUILD_DIR WORK_DIR   (a test of every build)
#       writes the seed files and runs the fuzz target on them and on every
#       regression case in tests/fuzz/regressions
#   fuzz.sh run FUZZ_BUILD_DIR SECONDS  (make fuzz SECONDS=N)
#       libFuzzer for SECONDS from the seeds, the regression cases and the
#       corpus it has grown in earlier runs (FUZZ_BUILD_DIR/fuzz/corpus).
#       A crash, a sanitizer report or a hang prints the input and becomes a
#       regression case: the file is copied into tests/fuzz/regressions, to be
#       committed with its fix.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
regressions="$here/regressions"
mode="${1:?usage: fuzz.sh replay BUILD_DIR WORK_DIR | fuzz.sh run FUZZ_BUILD_DIR SECONDS}"
build="$(cd "${2:?build folder}" && pwd)"

# Writes the seed files into FOLDER: libsndfile's own, and MPEG Layer II,
# which libsndfile reads but does not write.
make_seeds() {
  "$build/tests/fuzz/fuzz_seed_files" "$1" || return 1
  if command -v ffmpeg >/dev/null; then
    ffmpeg -v error -nostdin -f lavfi -i "sine=frequency=440:duration=0.1" -ac 2 -c:a mp2 -f mp2 \
      "$1/MPEG_Layer_II-2ch" || return 1
  fi
}

case "$mode" in
replay)
  work="${3:?work folder}"
  rm -rf "$work" && mkdir -p "$work/seeds" || exit 1
  make_seeds "$work/seeds" || exit 1
  # One line per file, so a crash names its input; only the count is shown.
  "$build/tests/fuzz/level_file_replay" "$work/seeds" "$regressions" >"$work/replayed.txt"
  status=$?
  tail -n 1 "$work/replayed.txt"
  [ $status -eq 0 ] || echo "fuzz target failed on $(tail -n 1 "$work/replayed.txt")" >&2
  exit $status
  ;;
run)
  seconds="${3:?seconds}"
  fuzzer="$build/tests/fuzz/level_file_fuzzer"
  [ -x "$fuzzer" ] || { echo "fuzz.sh: $fuzzer is not built" >&2; exit 1; }
  work="$build/fuzz"
  export LSAN_OPTIONS="suppressions=$here/../../tools/sanitize/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  rm -rf "$work/seeds" "$work/crashes" && mkdir -p "$work/seeds" "$work/crashes" "$work/corpus" || exit 1
  make_seeds "$work/seeds" || exit 1
  # -timeout: an input that takes longer is a hang. -max_len: the largest
  # seeds are 5.1 files of about 4 KB. -close_fd_mask=1: libsndfile's MIDI
  # sample dump reader prints a line to stdout for every damaged block (a
  # million lines in a 10-minute campaign); the reports go to stderr.
  "$fuzzer" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3072 -max_len=16384 -close_fd_mask=1 \
    -print_final_stats=1 -artifact_prefix="$work/crashes/" \
    "$work/corpus" "$work/seeds" "$regressions" 2>&1 | tee "$work/fuzz.log" |
    grep -E --line-buffered '^#[0-9]+[[:space:]]+(INITED|DONE|pulse)|^==|ERROR|SUMMARY|Test unit written|stat::'
  status=${PIPESTATUS[0]}
  shopt -s nullglob
  # Slow units (over 10 s, a tiny header that promises minutes of audio) are
  # named, not failures; a hang is a timeout.
  for slow in "$work"/crashes/slow-unit-*; do echo "fuzz: slow unit $(basename "$slow"), $(stat -c %s "$slow") bytes"; done
  found=("$work"/crashes/{crash,leak,timeout,oom}-*)
  for crash in "${found[@]}"; do
    case="$regressions/$(basename "$crash")"
    cp "$crash" "$case"
    echo "---- $(basename "$crash"): $(stat -c %s "$crash") bytes, now the regression case ${case#"$here"/../../}"
    od -A x -t x1z -v "$crash" | head -n 64
  done
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$work/fuzz.log" | tail -n 1)
  echo "fuzz: $done_line"
  echo "fuzz: $(grep -E 'stat::number_of_executed_units' "$work/fuzz.log" | tr -d ' ')," \
       "corpus $(ls "$work/corpus" | wc -l) files, seeds $(ls "$work/seeds" | wc -l), crashes ${#found[@]}"
  [ $status -eq 0 ] && [ ${#found[@]} -eq 0 ]
  ;;
*)
  echo "fuzz.sh: unknown mode '$mode'" >&2
  exit 2
  ;;
esac
