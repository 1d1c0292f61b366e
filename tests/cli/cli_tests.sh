#!/bin/bash
# End-to-end tests of orvanta-level on generated files.
#
#   cli_tests.sh GROUP ORVANTA_LEVEL HELPER WORK_DIR
#
# Groups: identity report channels settings errors signals batch terminal landing faults.
set -uo pipefail
group=$1 tool=$2 helper=$3 work=$4
rm -rf "$work"
mkdir -p "$work"
cd "$work"
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
# expect_equal WHAT EXPECTED ACTUAL
expect_equal() { if [ "$2" == "$3" ]; then pass "$1"; else fail "$1: expected [$2], got [$3]"; fi; }
# identical WHAT A B: same samples, compared in engine channel order
identical() {
  local verdict
  verdict=$("$helper" compare "$2" "$3")
  expect_equal "$1" identical "$verdict"
}
frames() { "$helper" info "$1" | cut -d' ' -f1; }
# No temporary file of the tool anywhere below the work folder.
no_leftovers() {
  local left
  left=$(find "$work" -name '.*.orvanta-*' | head -5)
  expect_equal "$1: no temporary file left" "" "$left"
}
# The 8 (or 9) engine values of the default preset, podcast. The groups that
# compare with the engine driven directly level with --single-pass (the
# plug-in's output); landing has its own group.
podcast=(-16 -1 15 -50 -20 100 100 0)

case $group in

identity)
  # Float output equals the engine driven directly, latency removed, same
  # length; mono, stereo and 5.1; at 44.1 and 48 kHz.
  for shape in "1 48000" "2 44100" "6 48000"; do
    set -- $shape
    ch=$1 rate=$2
    "$helper" generate in$ch.wav "$ch" "$rate" 7 float
    "$tool" --single-pass -q in$ch.wav -o out$ch.wav || fail "$ch channels: exit status $?"
    "$helper" reference in$ch.wav ref$ch.wav "${podcast[@]}"
    identical "$ch channels at $rate Hz: bit-identical to the engine" out$ch.wav ref$ch.wav
    expect_equal "$ch channels: same length as the input" "$(frames in$ch.wav)" "$(frames out$ch.wav)"
  done
  # Format, subtype and rate follow the input; FLAC and AIFF in, same out.
  "$helper" generate in.flac 2 48000 3 pcm16
  "$tool" --single-pass -q in.flac -o out.flac
  expect_equal "FLAC 16-bit stays FLAC 16-bit" "$("$helper" info in.flac)" "$("$helper" info out.flac)"
  "$helper" generate in.aiff 1 44100 3 pcm24
  "$tool" --single-pass -q in.aiff -o out.aiff
  expect_equal "AIFF 24-bit stays AIFF 24-bit" "$("$helper" info in.aiff)" "$("$helper" info out.aiff)"
  # --bits 32f on a 16-bit input gives the engine's samples of the decoded input.
  "$helper" generate in16.wav 2 48000 4 pcm16
  "$tool" --single-pass -q in16.wav -o out16f.wav --bits 32f
  "$helper" reference in16.wav ref16.wav "${podcast[@]}"
  identical "16-bit input, --bits 32f output: the engine's samples" out16f.wav ref16.wav
  # 16-bit output is dithered unless --no-dither; then it is the rounded float.
  "$tool" --single-pass -q in16.wav -o out16.wav
  "$tool" --single-pass -q in16.wav -o out16nd.wav --no-dither
  "$tool" --single-pass -q out16f.wav -o out16r.wav --bits 16 --no-dither --max-gain 0 --target -10 --true-peak 0 \
     --freeze -70 --input-level -10 --correction-high 0 --correction-low 0 2>/dev/null
  if cmp -s out16.wav out16nd.wav; then fail "dither changes 16-bit output"; else pass "dither changes 16-bit output"; fi
  expect_equal "16-bit output keeps the input's format" "$("$helper" info in16.wav)" "$("$helper" info out16.wav)"
  # --format converts: float WAV to FLAC becomes 24-bit FLAC; so does an
  # output name that says FLAC.
  "$tool" --single-pass -q in1.wav -o conv.audio --format flac
  expect_equal "--format flac from float gives 24-bit FLAC" "170003" "$("$helper" info conv.audio | cut -d' ' -f4)"
  "$tool" --single-pass -q in16.wav -o named.flac
  expect_equal "-o x.flac from a 16-bit WAV gives 16-bit FLAC" "170002" "$("$helper" info named.flac | cut -d' ' -f4)"
  # Title and broadcast extension travel along.
  "$helper" generate tagged.wav 2 48000 1 pcm24
  "$tool" --single-pass -q tagged.wav -o tagged_out.wav
  expect_equal "tags and bext kept" "title [Orvanta test programme] bext [levelling test] [Veltrano] 123456789" \
    "$("$helper" info tagged_out.wav tags)"
  # NaN, infinities and huge samples: levelled like the engine does, finite out.
  "$helper" generate hostile.wav 2 48000 3 hostile
  "$tool" --single-pass -q hostile.wav -o hostile_out.wav --json hostile.json || fail "hostile input: status $?"
  "$helper" reference hostile.wav hostile_ref.wav "${podcast[@]}"
  identical "hostile samples: as the engine" hostile_out.wav hostile_ref.wav
  grep -qi 'nan\|inf' hostile.json && fail "hostile input: JSON holds a non-number" || pass "hostile input: JSON numbers"
  ;;

report)
  "$helper" generate in2.wav 2 48000 8 pcm16
  "$helper" generate in6.wav 6 48000 6 float
  "$helper" generate in1.wav 1 44100 6 pcm24
  "$tool" -q in2.wav in6.wav in1.wav -d . --json report.json 2>/dev/null  # -d . : outputs would be the inputs
  expect_equal "outputs onto the inputs refused" 1 "$?"
  mkdir -p out
  "$tool" -q in2.wav in6.wav in1.wav -d out --json report.json || fail "batch exit status $?"
  for f in in2.wav in6.wav in1.wav; do
    line=$(tr -d '\n' < report.json | grep -o "\"input\": \"$f\".*" | head -c 3000)
    expect_equal "$f: input loudness in the JSON = libebur128 on the input file" \
      "\"input_loudness\": $("$helper" measure "$f")" "$(grep -o '"input_loudness": {[^}]*}' <<<"$line" | head -1)"
    expect_equal "$f: output loudness in the JSON = libebur128 on the written file" \
      "\"output_loudness\": $("$helper" measure out/$f)" "$(grep -o '"output_loudness": {[^}]*}' <<<"$line" | head -1)"
  done
  # Lossy output is measured from the written (decoded) file.
  "$tool" -q in2.wav -o lossy.ogg --json lossy.json
  expect_equal "Ogg Vorbis output measured from the written file" \
    "\"output_loudness\": $("$helper" measure lossy.ogg)" "$(grep -o '"output_loudness": {[^}]*}' lossy.json)"
  # The table shows the same numbers, rounded, and the settings used.
  "$tool" in2.wav -o table.wav > table.txt
  measured=$("$helper" measure table.wav)
  out_i=$(sed 's/.*"integrated_lufs": \([^,]*\),.*/\1/' <<<"$measured")
  row=$(grep 'integrated loudness (LUFS)' table.txt | awk '{print $NF}')
  expect_equal "table: output integrated loudness" "$(printf '%.1f' "$out_i")" "$row"
  grep -q "preset podcast: Target Level -16.0 LUFS, True Peak -1.0 dBTP, Max Gain 15.0 dB, Freeze Level -50.0 LUFS" table.txt &&
    pass "table names the settings" || fail "table names the settings: $(cat table.txt)"
  for key in "largest leveler gain (dB)" "deepest limiter reduction (dB)" "duration (s)" "speed (x real time)"; do
    grep -q "$key" table.txt && pass "table has $key" || fail "table has $key"
  done
  grep -q '"limiter_reduction_max_db": [1-9]' report.json && pass "the transients were limited" ||
    fail "limiter reduction missing from the JSON"
  # The plot is a PNG of the promised size.
  "$tool" -q in2.wav -o plotted.wav --plot plot.png
  read -r -a b <<<"$(od -An -tu1 -N24 plot.png | tr '\n' ' ')"
  expect_equal "plot is a 1400x720 PNG" "PNG 1400 720" \
    "$([ "${b[1]} ${b[2]} ${b[3]}" == "80 78 71" ] && echo PNG) $(( (b[18] << 8) | b[19] )) $(( (b[22] << 8) | b[23] ))"
  ;;

channels)
  # 5.1 in MPEG channel orders, labelled in the file, comes out as the same
  # programme in the engine's order would. CAF keeps no map when libsndfile
  # writes it, so the output is written in the engine's order.
  "$helper" generate std.wav 6 48000 5 float
  "$helper" reference std.wav std_ref.wav "${podcast[@]}" 0
  for layout in mpeg51c mpeg51d; do
    "$helper" generate $layout.caf 6 48000 5 float $layout
    "$tool" --single-pass -q $layout.caf -o ${layout}_out.caf || fail "$layout: status $?"
    identical "5.1 in $layout order" ${layout}_out.caf std_ref.wav
  done
  expect_equal "CAF output keeps the input's order and map" "$("$helper" info mpeg51c.caf)" \
    "$("$helper" info mpeg51c_out.caf)"
  # WAV cannot label the MPEG order: written in the engine's order, and said so.
  "$tool" --single-pass mpeg51c.caf -o as_wav.wav --format wav > as_wav.txt
  identical "MPEG order to WAV" as_wav.wav std_ref.wav
  grep -q "written in the order FL FR FC LFE BL BR" as_wav.txt && pass "the report says the order changed" ||
    fail "the report says the order changed: $(cat as_wav.txt)"
  # WAVE_FORMAT_EXTENSIBLE with side surrounds: levelled as 5.1, map kept.
  "$helper" generate side.wav 6 48000 5 float FL FR FC LFE SL SR
  "$tool" --single-pass -q side.wav -o side_out.wav
  identical "5.1 with side surrounds" side_out.wav std_ref.wav
  expect_equal "side surround map kept" "$("$helper" info side.wav)" "$("$helper" info side_out.wav)"
  # Layouts that cannot be mapped are refused with the positions named.
  "$helper" generate top.wav 6 48000 1 float FL FR FC LFE BL TC
  msg=$("$tool" --single-pass -q top.wav -o top_out.wav 2>&1)
  expect_equal "unmappable 5.1 refused" \
    "orvanta-level: top.wav: channel layout L R C LFE BL TC cannot be mapped to 5.1 (FL FR FC LFE BL BR)" "$msg"
  "$helper" generate fcl.wav 2 48000 1 float FC LFE
  msg=$("$tool" --single-pass -q fcl.wav -o fcl_out.wav 2>&1)
  expect_equal "unmappable stereo refused" \
    "orvanta-level: fcl.wav: channel layout C LFE cannot be mapped to stereo (L R)" "$msg"
  [ ! -e top_out.wav ] && [ ! -e fcl_out.wav ] && pass "nothing written for refused layouts" || fail "output written"
  no_leftovers channels
  ;;

settings)
  "$helper" generate in.wav 2 48000 6 float
  "$helper" generate in6.wav 6 48000 4 float
  # Each preset reaches the engine with its four values.
  for preset in "podcast -16 -1 15 -50" "streaming -14 -1 9 -45" "broadcast -23 -1 12 -60"; do
    set -- $preset
    "$tool" --single-pass -q in.wav -o p_$1.wav --preset "$1"
    "$helper" reference in.wav r_$1.wav "$2" "$3" "$4" "$5" -20 100 100 0
    identical "preset $1" p_$1.wav r_$1.wav
  done
  # Every option reaches the engine; options win over the preset in any order.
  "$tool" --single-pass -q in6.wav -o all.wav --target -20.5 --true-peak -2 --max-gain 6 --freeze -55 --input-level -25 \
     --correction-high 70 --correction-low 40 --mix-mode 3 --lfe-gain 4 --preset broadcast
  "$helper" reference in6.wav all_ref.wav -20.5 -2 6 -55 -25 70 40 3 4
  identical "all nine settings (5.1)" all.wav all_ref.wav
  # Out-of-range values are clamped like the plug-in's controls, with a warning.
  msg=$("$tool" --single-pass -q in.wav -o clamped.wav --target -40 --mix-mode 2.6 --max-gain=45 2>&1)
  expect_equal "clamping is announced" \
"orvanta-level: --target -40 is outside -30..-10 LUFS; using -30
orvanta-level: --max-gain 45 is outside -10..30 dB; using 30" "$msg"
  "$helper" reference in.wav clamped_ref.wav -30 -1 30 -50 -20 100 100 3
  identical "clamped values reach the engine (mix mode 2.6 -> 3)" clamped.wav clamped_ref.wav
  # The JSON records the settings used.
  "$tool" --single-pass -q in.wav -o j.wav --preset streaming --freeze -44 --json j.json
  grep -q '"settings": {"preset": "streaming", "target": -14, "true-peak": -1, "max-gain": 9, "freeze": -44,' j.json &&
    pass "JSON settings" || fail "JSON settings: $(grep settings j.json)"
  # Usage errors: exit status 2 and one line.
  check_usage() {  # EXPECTED ARGS...
    local expected=$1
    shift
    local msg status
    msg=$("$tool" --single-pass "$@" 2>&1)
    status=$?
    expect_equal "usage error: $*" "2 $expected" "$status $msg"
  }
  check_usage "orvanta-level: --target loud: not a number" in.wav -o x.wav --target loud
  check_usage "orvanta-level: --preset radio: unknown preset (podcast, streaming, broadcast, ebu-r128, ebu-r128-s1, atsc-a85, apple-podcasts, spotify, youtube, aes-td1008)" in.wav -o x.wav --preset radio
  check_usage "orvanta-level: -o takes one input; use -d OUTDIR for several" in.wav in6.wav -o x.wav
  check_usage "orvanta-level: give either -o OUTPUT (one input) or -d OUTDIR" in.wav
  check_usage "orvanta-level: unknown option --loud (see --help)" --loud in.wav -o x.wav
  check_usage "orvanta-level: no input file (see --help)" -o x.wav
  check_usage "orvanta-level: --bits 12: use 8, 16, 24, 32, 32f or 64f" in.wav -o x.wav --bits 12
  check_usage "orvanta-level: --format mp4: unknown format (see --format list)" in.wav -o x.wav --format mp4
  check_usage "orvanta-level: --jobs 0: use a whole number from 1 to 1024" in.wav -d . --jobs 0
  "$tool" --help > help.txt
  grep -q "^Usage: orvanta-level" help.txt && pass "--help" || fail "--help"
  [ ! -e x.wav ] && pass "no output on usage errors" || fail "output written on a usage error"
  ;;

errors)
  # Each case: the exact message, exit status 1, no output, no temporary file.
  "$helper" generate good.wav 2 48000 3 pcm16
  "$helper" generate three.wav 3 48000 1 pcm16
  "$helper" generate slow.wav 1 4000 1 pcm16
  "$helper" generate empty.wav 2 48000 0 pcm16
  echo "just some text, not audio" > text.wav
  head -c 100000 good.wav > cut.wav
  "$helper" generate cut_src.flac 2 48000 3 pcm16
  head -c 60000 cut_src.flac > cut.flac
  mkdir -p folder.wav outdir
  check_error() {  # NAME EXPECTED_MESSAGE ARGS...
    local name=$1 expected=$2
    shift 2
    local msg status
    msg=$("$tool" -q "$@" 2>&1)
    status=$?
    expect_equal "$name" "1 $expected" "$status $msg"
  }
  check_error missing "orvanta-level: nothing.wav: no such file" nothing.wav -o outdir/a.wav
  check_error "not audio" "orvanta-level: text.wav: not an audio file (format not recognised)" text.wav -o outdir/a.wav
  check_error truncated "orvanta-level: cut.wav: truncated (the audio data ends before its header says)" cut.wav -o outdir/a.wav
  check_error "truncated FLAC" "orvanta-level: cut.flac: read error after 24576 frames (flac decoder lost sync): damaged or truncated file" cut.flac -o outdir/a.flac
  check_error empty "orvanta-level: empty.wav: empty (0 frames of audio)" empty.wav -o outdir/a.wav
  check_error channels "orvanta-level: three.wav: 3 channels; orvanta-level levels 1 (mono), 2 (stereo) or 6 (5.1) channels" three.wav -o outdir/a.wav
  check_error rate "orvanta-level: slow.wav: sample rate 4000 Hz is outside 8000..384000 Hz" slow.wav -o outdir/a.wav
  check_error folder "orvanta-level: folder.wav: is a folder, not an audio file" folder.wav -o outdir/a.wav
  check_error "missing output folder (-o)" "orvanta-level: nowhere/a.wav: output folder does not exist" good.wav -o nowhere/a.wav
  check_error "missing output folder (-d)" "orvanta-level: nowhere: output folder does not exist" good.wav -d nowhere
  check_error "output is a folder" "orvanta-level: outdir: is a folder; give a file name" good.wav -o outdir
  mkfifo pipe.wav
  check_error "output is a pipe" "orvanta-level: pipe.wav: is not a regular file; orvanta-level writes files only" \
    good.wav -o pipe.wav --force
  # Never over an input: the same file under another name (a hard link), even with --force.
  ln good.wav alias.wav
  check_error "output is the input (hard link)" \
    "orvanta-level: alias.wav: is an input file; orvanta-level never writes over its input" good.wav -o alias.wav --force
  check_error "output is the input (-d onto its own folder)" \
    "orvanta-level: ./good.wav: is an input file; orvanta-level never writes over its input" good.wav -d . --force
  # An existing destination is kept unless --force.
  echo "keep me" > outdir/exists.wav
  check_error "existing destination" "orvanta-level: outdir/exists.wav: already exists (use --force to replace it)" \
    good.wav -o outdir/exists.wav
  expect_equal "existing destination untouched" "keep me" "$(cat outdir/exists.wav)"
  "$tool" -q good.wav -o outdir/exists.wav --force && pass "--force replaces" || fail "--force replaces"
  # File-size limit: the write fails, the temporary file goes, the old file stays.
  echo "keep me" > outdir/limited.wav
  msg=$( (ulimit -f 64; "$tool" -q good.wav -o outdir/limited.wav --force) 2>&1)
  status=$?
  expect_equal "file-size limit" "1 orvanta-level: outdir/limited.wav: write failed (file size limit exceeded)" "$status $msg"
  expect_equal "file-size limit: old file untouched" "keep me" "$(cat outdir/limited.wav)"
  msg=$( (ulimit -f 64; "$tool" -q good.wav -o outdir/a.flac --format flac) 2>&1)
  expect_equal "file-size limit (FLAC)" "orvanta-level: outdir/a.flac: write failed (file size limit exceeded)" "$msg"
  # Permissions: checked as an unprivileged user (root reads and writes anything).
  cp good.wav locked.wav && chmod 000 locked.wav
  mkdir -p readonly && chmod 555 readonly
  as_user=()
  if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work" && chmod 777 outdir
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  fi
  if "${as_user[@]}" test -r "$tool" 2>/dev/null; then
    msg=$("${as_user[@]}" "$tool" -q locked.wav -o outdir/b.wav 2>&1)
    expect_equal unreadable "orvanta-level: locked.wav: cannot read it (permission denied)" "$msg"
    msg=$("${as_user[@]}" "$tool" -q good.wav -o readonly/b.wav 2>&1)
    expect_equal "output folder not writable (-o)" \
      "orvanta-level: readonly/b.wav: output folder is not writable (permission denied)" "$msg"
    msg=$("${as_user[@]}" "$tool" -q good.wav -d readonly 2>&1)
    expect_equal "output folder not writable (-d)" \
      "orvanta-level: readonly: output folder is not writable (permission denied)" "$msg"
  else
    echo "skipped: permission cases (the tool is not readable by an unprivileged user here)"
  fi
  # One failing file does not stop the others; the status says one failed.
  "$tool" -q good.wav text.wav three.wav -d outdir --jobs 2 2>/dev/null
  expect_equal "batch with failures: status 1" 1 "$?"
  [ -s outdir/good.wav ] && pass "the good file of the batch is levelled" || fail "good file of the batch missing"
  [ ! -e outdir/text.wav ] && [ ! -e outdir/three.wav ] && pass "no output for failed files" || fail "output for failed files"
  no_leftovers errors
  ;;

signals)
  # SIGINT and SIGTERM in the middle of a long file: no output, no temporary
  # file, an existing destination untouched, and the tool ends by the signal.
  # sox writes the long file in a second, also in the sanitizer lanes.
  sox -n -r 48000 -c 2 -b 16 long.wav synth 300 pinknoise vol 0.5
  for sig in INT TERM; do
    echo "keep me" > dest_$sig.wav
    "$tool" -q long.wav -o dest_$sig.wav --force &
    pid=$!
    for _ in $(seq 1 200); do
      [ -n "$(find . -name '.dest_*.orvanta-*' -size +100k)" ] && break
      sleep 0.05
    done
    [ -n "$(find . -name '.dest_*.orvanta-*')" ] && pass "SIG$sig: mid-file (temporary file growing)" ||
      fail "SIG$sig: no temporary file seen"
    kill -$sig $pid
    wait $pid
    status=$?
    expect_equal "SIG$sig: ends by the signal" "$((128 + $(kill -l $sig)))" "$status"
    expect_equal "SIG$sig: destination untouched" "keep me" "$(cat dest_$sig.wav)"
    no_leftovers "SIG$sig"
  done
  ;;

batch)
  # --jobs 2 gives the same bytes as --jobs 1, dithered 16-bit included.
  "$helper" generate a.wav 2 48000 5 pcm16
  "$helper" generate b.wav 1 44100 6 float
  "$helper" generate c.flac 6 48000 4 pcm24
  "$helper" generate d.wav 2 96000 3 pcm24
  mkdir -p one two plots
  "$tool" -q a.wav b.wav c.flac d.wav -d one --jobs 1 --json one.json || fail "--jobs 1 status $?"
  "$tool" -q a.wav b.wav c.flac d.wav -d two --jobs 2 --plot plots || fail "--jobs 2 status $?"
  for f in a.wav b.wav c.flac d.wav; do
    cmp -s one/$f two/$f && pass "$f: --jobs 2 = --jobs 1" || fail "$f: --jobs 2 differs from --jobs 1"
    [ -s plots/${f%.*}.png ] && pass "$f: plot in the folder" || fail "$f: no plot"
  done
  # The report ends with a summary of the batch.
  "$tool" a.wav b.wav -d two --force > summary.txt
  grep -q "^Summary: 2 files, 2 levelled, 0 failed" summary.txt && pass "batch summary" || fail "batch summary: $(cat summary.txt)"
  grep -q '"summary": {"files": 4, "levelled": 4, "failed": 0, "jobs": 1' one.json && pass "JSON summary" ||
    fail "JSON summary"
  # Two inputs with the same name would write the same output: the second is refused.
  mkdir -p sub && cp a.wav sub/a.wav
  msg=$("$tool" -q a.wav sub/a.wav -d two --force 2>&1)
  expect_equal "same output twice" "orvanta-level: two/a.wav: also the output of a.wav; not levelled twice" "$msg"
  no_leftovers batch
  ;;

terminal)
  # --jobs 2 on a terminal (script(1) gives the tool one): progress lines
  # while the jobs run and the same files as without them; then SIGINT while
  # the progress shows: the tool ends by the signal and leaves nothing behind.
  for f in a:8 b:6 c:10 long:300; do
    sox -n -r 48000 -c 2 -b 16 "${f%:*}.wav" synth "${f#*:}" pinknoise vol 0.5
  done
  mkdir -p quiet shown stopped
  "$tool" -q a.wav b.wav c.wav -d quiet --jobs 2 || fail "--jobs 2 without a terminal: status $?"
  script -qefc "'$tool' a.wav b.wav c.wav -d shown --jobs 2" shown.txt >/dev/null
  expect_equal "--jobs 2 on a terminal: status" 0 "$?"
  grep -aq 'elapsed .* left' shown.txt && pass "progress lines on the terminal" || fail "no progress line: $(head -c 300 shown.txt)"
  for f in a b c; do
    cmp -s quiet/$f.wav shown/$f.wav && pass "$f.wav: the same with the progress display" || fail "$f.wav differs"
  done
  script -qefc "sh -c 'echo \$\$ > tool.pid; exec \"$tool\" long.wav a.wav -d stopped --jobs 2'" stopped.txt >/dev/null &
  runner=$!
  for _ in $(seq 1 600); do grep -aq 'long.wav .*elapsed' stopped.txt 2>/dev/null && break; sleep 0.05; done
  kill -INT "$(cat tool.pid)"
  wait $runner
  expect_equal "SIGINT during the progress display: ends by the signal" 130 "$?"
  [ ! -e stopped/long.wav ] && pass "SIGINT: no output" || fail "SIGINT: output written"
  no_leftovers terminal
  ;;

landing)
  # Every preset lands its target within 0.1 LU under its ceiling, on speech
  # levels (the generated programme) and on a quiet, wide programme.
  "$helper" generate prog.wav 2 48000 20 float
  sox prog.wav quiet.wav vol -18dB
  measured() { "$helper" measure "$1" | sed 's/.*"integrated_lufs": \([^,]*\),.*"true_peak_dbtp": \([^}]*\)}/\1 \2/'; }
  for preset in "podcast -16 -1" "streaming -14 -1" "broadcast -23 -1" "ebu-r128 -23 -1" "ebu-r128-s1 -23 -1" \
                "atsc-a85 -24 -2" "apple-podcasts -16 -1" "spotify -14 -1" "youtube -14 -1" "aes-td1008 -18 -1"; do
    set -- $preset
    for input in prog quiet; do
      "$tool" -q $input.wav -o ${input}_$1.wav --preset $1 --json ${input}_$1.json || fail "$input, $1: status $?"
      read -r lufs peak <<<"$(measured ${input}_$1.wav)"
      verdict=$(awk -v l="$lufs" -v p="$peak" -v t="$2" -v c="$3" 'BEGIN { d = l - t; if (d < 0) d = -d;
        print (d <= 0.1 ? "landed" : "missed " l) (p <= c ? "" : " over the ceiling " p) }')
      expect_equal "$input, preset $1: within 0.1 LU of $2 LUFS, under $3 dBTP" landed "$verdict"
    done
  done
  # Levelling style: music keeps its loudness range (0.8 of it or more), or
  # narrows it to the LRA target; speech corrects it away.
  in_lra=$("$helper" measure prog.wav | sed 's/.*"loudness_range_lu": \([^,]*\),.*/\1/')
  for style in "music 40 kept" "music 3 narrowed" "speech - corrected"; do
    set -- $style
    args=(--material $1); [ "$2" != - ] && args+=(--lra-target $2)
    "$tool" -q prog.wav -o style_$1_$2.wav "${args[@]}" || fail "--material $1: status $?"
    out_lra=$("$helper" measure style_$1_$2.wav | sed 's/.*"loudness_range_lu": \([^,]*\),.*/\1/')
    expect_equal "--material $1 --lra-target $2: range $3" "$3" "$(awk -v o="$out_lra" -v i="$in_lra" -v t="$2" 'BEGIN {
      if (o >= 0.8 * i) print "kept"; else if (t != "-" && o >= t - 1 && o <= t + 1) print "narrowed";
      else if (o < 0.5 * i) print "corrected"; else print o " of " i }')"
  done
  grep -q '"changed": \[.*{"setting": "max-gain", "from": 9, "to": [0-9.]*, "why": "raised' quiet_streaming.json &&
    pass "the quiet programme: Max Gain raised, and the JSON says so" || fail "Max Gain raise: $(grep changed quiet_streaming.json)"
  # Where it may not raise Max Gain (given), it stops: status 3, nothing written.
  msg=$("$tool" -q quiet.wav -o stuck.wav --preset streaming --max-gain 3 2>&1)
  expect_equal "a target out of reach: status 3 and the reason" \
    "3 orvanta-level: quiet.wav: not levelled to stuck.wav:" "$? $(cut -d' ' -f1-6 <<<"$msg")"
  grep -q "needs more lift than Max Gain 3.0 dB (given with --max-gain)" <<<"$msg" && pass "the reason names Max Gain" ||
    fail "the reason: $msg"
  [ ! -e stuck.wav ] && pass "a miss is not written" || fail "a miss was written"
  # Verdicts: --check writes nothing and exits 0 only when every file complies;
  # --single-pass writes the plug-in's output and says when it misses.
  check_status() {  # NAME EXPECTED ARGS...
    local name=$1 expected=$2
    shift 2
    "$tool" -q "$@" > /dev/null 2>&1
    expect_equal "$name" "$expected" "$?"
  }
  check_status "--check ebu-r128 on the R128 file" 0 --check ebu-r128 prog_ebu-r128.wav
  check_status "--check spotify on the R128 file" 3 --check spotify prog_ebu-r128.wav
  check_status "--check on two files, one compliant" 3 --check ebu-r128 prog_ebu-r128.wav prog_spotify.wav
  check_status "--check on a missing file" 1 --check ebu-r128 nothing.wav
  check_status "--check with an output" 2 --check ebu-r128 prog.wav -o x.wav
  check_status "--single-pass that misses: written, status 3" 3 prog.wav -o single.wav --single-pass \
    --correction-high 0 --correction-low 0
  [ -s single.wav ] && pass "--single-pass writes its output" || fail "--single-pass output missing"
  "$tool" -q --check ebu-r128-s1 prog_ebu-r128-s1.wav --json check.json
  grep -q '"verdict": {"compliant": true, "preset": "ebu-r128-s1", "integrated": {.*"max_short_term": {.*"pass": true}}' \
    check.json && pass "--check JSON verdict with the short-term limit" || fail "--check JSON: $(cat check.json)"
  "$tool" prog.wav -o table.wav > table.txt
  grep -q "verdict (podcast: -16.0 LUFS +-1.0 LU, true peak <= -1.0 dBTP): compliant" table.txt &&
    pass "the report ends with the verdict" || fail "report verdict: $(cat table.txt)"
  # No lead-in lift: 4 s of room tone at -60 dBFS before the programme get the
  # programme's gain (within 3 dB), not Max Gain.
  sox -n -r 48000 -c 2 -b 16 tone.wav synth 4 pinknoise vol 0.001
  sox tone.wav prog.wav lead.wav
  rms() { sox "$1" -n trim 0 3.5 stats 2>&1 | awk '/RMS lev dB/ { print $4 }'; }
  for mode in landing single; do
    args=(); [ $mode == single ] && args=(--single-pass)
    "$tool" -q lead.wav -o lead_$mode.wav --json lead_$mode.json "${args[@]}"
    read -r li lo <<<"$(tr -d '\n' < lead_$mode.json |
      sed 's/.*"input_loudness": {"integrated_lufs": \([^,]*\),.*"output_loudness": {"integrated_lufs": \([^,]*\),.*/\1 \2/')"
    lift=$(awk -v i="$(rms lead.wav)" -v o="$(rms lead_$mode.wav)" -v li="$li" -v lo="$lo" \
      'BEGIN { printf "%.0f", o - i - (lo - li) }')
    echo "lead-in lift beyond the programme's gain, $mode: $lift dB"
    [ $mode == single ] && single_lift=$lift || landing_lift=$lift
  done
  [ "${landing_lift#-}" -le 3 ] && [ "$single_lift" -ge 8 ] && pass "no lead-in lift (landing $landing_lift dB, single pass $single_lift dB)" ||
    fail "lead-in lift: landing $landing_lift dB, single pass $single_lift dB"
  no_leftovers landing
  ;;

faults)
  "$helper" generate good.wav 2 48000 2 pcm16
  "$helper" generate three.wav 3 48000 1 pcm16
  # Refused inputs release their descriptors: more refusals than descriptors,
  # then a good file, which must still be levelled.
  mkdir -p refused out
  for i in $(seq 1 80); do ln three.wav refused/r$i.wav; done
  ( ulimit -n 48; "$tool" -q refused/*.wav good.wav -d out --jobs 1 ) 2>/dev/null
  expect_equal "80 refused inputs under 48 descriptors: status 1" 1 "$?"
  [ -s out/good.wav ] && pass "the good file after them is levelled" || fail "the good file after 80 refusals failed"
  # Names up to the file system's limit: the temporary names fit beside them.
  long=$(printf 'n%.0s' $(seq 1 250))
  "$tool" -q good.wav -o $long.wav --json $long.json --plot $long.png &&
    [ -s $long.wav ] && [ -s $long.json ] && [ -s $long.png ] && pass "255-byte output, JSON and plot names" ||
    fail "255-byte output names"
  # An input path of more than 1024 bytes.
  deep=$(printf "d%.0s" $(seq 1 200))
  deep="$deep/$deep/$deep/$deep/$deep/$deep"
  mkdir -p "$deep" && cp good.wav "$deep/in.wav"
  "$tool" -q "$deep/in.wav" -o deep_out.wav && pass "a ${#deep}-byte input path" || fail "a ${#deep}-byte input path"
  # Block codecs would pad the output: written as 16-bit PCM, as long as the input.
  "$helper" generate ima.wav 2 48000 1.0123 ima
  "$tool" -q --single-pass ima.wav -o ima_out.wav 2>/dev/null
  expect_equal "IMA ADPCM: as long as the input, 16-bit PCM" "$(frames ima.wav) 10002" \
    "$("$helper" info ima_out.wav | cut -d' ' -f1,4)"
  # The meters hold the same memory after an hour as after a minute.
  grown=$("$helper" meter-memory 3600)
  [ "$grown" -lt 65536 ] && pass "meter memory flat over an hour ($grown bytes)" || fail "meter memory grew by $grown bytes"
  # The manual covers every option of --help.
  "$tool" --help > help.txt
  manual=$(sed 's/\\-/-/g' "$(dirname "$0")/../../cli/orvanta-level.1")
  missing=$(for o in $(grep -o -- '--[a-z][a-z0-9-]*' help.txt | sort -u); do grep -q -- "$o" <<<"$manual" || echo "$o"; done)
  expect_equal "the manual names every option" "" "$missing"
  no_leftovers faults
  ;;

*)
  echo "unknown group $group"
  exit 2
  ;;
esac

echo "$group: $failures failure(s)"
[ $failures -eq 0 ]
