# Sourced by the LV2 host tests that need JACK: starts a JACK server of the
# tests' own (dummy driver, no audio hardware, no real-time privileges) under
# a name no other program uses, and stops it, with every process the test
# started through `started`, when the test exits. Clients never start a
# server by themselves. The tests take turns (ctest RESOURCE_LOCK), so one
# fixed name serves them all: JACK keeps a machine-wide table of at most 8
# servers and frees the entry of a server that died without signing off only
# when a server of the same name starts, so names made unique per run would
# fill the table after a few crashed runs.
# Start long-lived processes under `timeout -k 5 ...`: a process that does not
# end on the stop signal (jackd sometimes waits on a departed client) is
# killed 5 s later. The server waits up to 10 s (not 0.5 s) for a client's
# process cycle before it drops the client: on a loaded test machine a host
# that is busy starting up would otherwise be thrown out.
# A test sources this first and calls run_once_more_on_failure with its
# arguments before it starts anything.
export JACK_DEFAULT_SERVER=orvanta-lv2-test
export JACK_NO_START_SERVER=1
jack_pids=()
started() { jack_pids+=("$1"); }
stop_started() {
  # Clients first, the server last.
  for ((i = ${#jack_pids[@]} - 1; i >= 0; i--)); do
    kill "${jack_pids[$i]}" 2>/dev/null
    wait "${jack_pids[$i]}" 2>/dev/null
  done
}
start_jack_server() {  # start_jack_server RATE PERIOD: true once it runs its driver
  timeout -k 5 300 jackd --no-realtime --timeout 10000 -d dummy -r "$1" -p "$2" >jackd.log 2>&1 &
  started $!
  if ! timeout 15 jack_wait -w -t 15 >/dev/null; then
    sed 's/^/        jackd: /' jackd.log
    return 1
  fi
  # The server answers before its driver runs; a client that connects in
  # between may be dropped. The driver's ports show that it runs.
  local t
  for ((t = 0; t < 75; t++)); do
    jack_lsp 2>/dev/null | grep -qx system:playback_1 && return 0
    sleep 0.2
  done
  return 1
}
# On a loaded machine the JACK server now and then drops a client in the
# middle of a run; the whole test then runs once more on a fresh server, and
# says so.
run_once_more_on_failure() {  # run_once_more_on_failure "$@" of the test
  [ -n "${ORVANTA_JACK_TRY:-}" ] && return 0
  ORVANTA_JACK_TRY=1 bash "$0" "$@" && exit 0
  echo "        first try failed; once more on a fresh JACK server"
  ORVANTA_JACK_TRY=2 exec bash "$0" "$@"
}
