# Sourced by the LV2 host tests that need JACK: starts a JACK server of the
# test's own (dummy driver, no audio hardware, no real-time privileges) under
# a unique name, and stops it, with every process the test started through
# `started`, when the test exits. Clients never start a server by themselves.
export JACK_DEFAULT_SERVER=orvanta-lv2-test-$$
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
start_jack_server() {  # start_jack_server RATE PERIOD: true once it answers
  timeout 300 jackd --no-realtime -d dummy -r "$1" -p "$2" >jackd.log 2>&1 &
  started $!
  timeout 15 jack_wait -w -t 15 >/dev/null
}
