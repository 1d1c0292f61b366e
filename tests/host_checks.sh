# Sourced by the shell tests that drive real hosts: `check` runs a command and
# prints "ok" or "FAILED" with its description; `report_checks` prints the
# count and returns non-zero when any check failed (the test's exit code).
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok      $what"; passed=$((passed + 1)); else echo "FAILED  $what"; failed=$((failed + 1)); fi
}
report_checks() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
