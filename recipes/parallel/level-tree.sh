#!/bin/bash
# Levels every audio file below SRC into the same tree below OUT with GNU
# parallel: one orvanta-level job per file, its JSON report beside its
# output, a job log to resume from. Extra arguments go to every
# orvanta-level (e.g. --preset broadcast). Run it again after a failure: only
# the failed files are redone (--resume-failed). Exit status: 0 when every
# file was levelled, else the number of failed jobs (parallel's; 101 for more
# than 100).
#   level-tree.sh SRC OUT [orvanta-level options...]
# Across machines, add --sshloginfile FILE --transferfile {} --return ... to
# the parallel line (the tool must be installed on each machine).
set -uo pipefail
src=${1:?source folder} out=$(realpath -m "${2:?output folder}")
shift 2
mkdir -p "$out"
tool=${ORVANTA_LEVEL:-orvanta-level}
cd "$src" || exit 2
find . -type f \( -iname '*.wav' -o -iname '*.flac' -o -iname '*.aif' -o -iname '*.aiff' -o -iname '*.ogg' \) \
    -printf '%P\0' | sort -z |
  parallel -0 --joblog "$out/joblog.txt" --resume-failed --halt never \
    mkdir -p "$out"/{//} '&&' "$tool" --jobs 1 "$@" {} -o "$out"/{} --json "$out"/{.}.json
