#!/bin/bash
# The sanitizer lanes: runs the tests of a sanitizer build (make sanitize,
# make sanitize-thread) and collects every sanitizer report in one folder.
# Any report fails the lane, also one from a host whose exit status the test
# does not look at (a leak found at exit, say).
#
#   tools/sanitize/run-lane.sh BUILD_DIR address|thread [CTEST_ARGUMENTS...]
#
# Hosts that are not ours (analyseplugin, applyplugin, sox, ffmpeg, lv2apply,
# lv2file, jalv, Qtractor's plug-in scanner) load our sanitized plug-ins, which need the sanitizer's
# run-time first in the process: they run through wrappers, first on PATH,
# that preload it. Their own leaks at exit are not ours, and a suppression
# naming a host would match every leak in it, ours too (the host's main is
# on every stack), so leak checking is off in them; our plug-ins' leaks are
# found in our own test hosts. A host's own crash (jalv's when the JACK
# server goes away) is left to the host and to the test that runs it, which
# may try once more; memory errors of our instrumented code are reported in
# any host. Leaks of system libraries are suppressed by
# tools/sanitize/lsan.supp, each entry explained there.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:?usage: run-lane.sh BUILD_DIR address|thread [CTEST_ARGUMENTS...]}" && pwd)"
kind="${2:?usage: run-lane.sh BUILD_DIR address|thread [CTEST_ARGUMENTS...]}"
shift 2
reports="$build/sanitizer-reports"
rm -rf "$reports" && mkdir -p "$reports"
common="log_path=$reports/report:log_exe_name=1"

case "$kind" in
address)
  runtime="$(gcc -print-file-name=libasan.so)"
  # Full stacks through the system libraries (built without frame
  # pointers), so that a suppression can name the library's own function.
  export ASAN_OPTIONS="$common:detect_leaks=1:fast_unwind_on_malloc=0:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1"
  export LSAN_OPTIONS="suppressions=$here/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="$common:print_stacktrace=1:halt_on_error=1"
  # Ardour's programs deadlock under this run-time before or after they do
  # anything (glibc's locale locks, in bindtextdomain and in p11-kit's exit),
  # with no plug-in loaded at all: their tests stay in the ordinary lane.
  # The package and the live-levelling recipes try the ordinary build in
  # system hosts (the package installs it into /usr/lib); our own hosts run
  # the same plug-ins sanitized.
  excluded="VstArdourScannerCachesTheEffect|lv2_ardour_session|Vst3InArdour"
  excluded+="|DebianPackageInRealHosts|PipeWireLevelledSink|RecipesGStreamerLiquidsoap"
  echo "sanitize: AddressSanitizer with leak checking and UndefinedBehaviorSanitizer"
  echo "sanitize: not in this lane, as they cannot run sanitized programs: the i386 tests" \
       "(qemu-i386), the Windows modules' tests (Wine), the memcheck lane (valgrind), and" \
       "Ardour's LV2 session, VST scanner and VST 3 session (they hang under AddressSanitizer's run-time);" \
       "the package and the PipeWire, GStreamer and liquidsoap recipes run in the ordinary lane only"
  ;;
thread)
  runtime="$(gcc -print-file-name=libtsan.so)"
  export TSAN_OPTIONS="$common:halt_on_error=1:second_deadlock_stack=1:suppressions=$here/tsan.supp"
  excluded=""
  echo "sanitize-thread: ThreadSanitizer"
  ;;
*)
  echo "run-lane.sh: unknown lane '$kind' (address or thread)" >&2
  exit 2
  ;;
esac

wrappers="$build/sanitized-hosts"
rm -rf "$wrappers" && mkdir -p "$wrappers"
qtractor_scan=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
for host in analyseplugin applyplugin sox ffmpeg lv2apply lv2file jalv "$qtractor_scan"; do
  real="$(command -v "$host")" || continue
  host="${host##*/}"
  cat >"$wrappers/$host" <<WRAPPER
#!/bin/sh
export ASAN_OPTIONS="\${ASAN_OPTIONS:+\$ASAN_OPTIONS:}detect_leaks=0:handle_segv=0"
export LD_PRELOAD="$runtime\${LD_PRELOAD:+:\$LD_PRELOAD}"
exec "$real" "\$@"
WRAPPER
  chmod +x "$wrappers/$host"
done
export PATH="$wrappers:$PATH"
[ -x "$wrappers/qtractor_plugin_scan" ] && export QTRACTOR_PLUGIN_SCAN="$wrappers/qtractor_plugin_scan"

cd "$build" || exit 1
ctest --output-on-failure ${excluded:+-E "$excluded"} "$@"
status=$?

shopt -s nullglob
found=("$reports"/report*)
if [ ${#found[@]} -gt 0 ]; then
  for report in "${found[@]}"; do
    echo "---- ${report#"$build"/}"
    cat "$report"
  done
  echo "sanitizer reports: ${#found[@]} (in $reports)" >&2
  exit 1
fi
[ $status -eq 0 ] && echo "$kind lane: no sanitizer report"
exit $status
