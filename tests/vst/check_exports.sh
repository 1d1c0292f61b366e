#!/bin/sh
# Fails unless every library given exports exactly $EXPECTED_EXPORTS
# (sorted; VSTPluginMain and main when not set).
expected="${EXPECTED_EXPORTS:-VSTPluginMain main} "
status=0
for library in "$@"; do
  exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort | tr '\n' ' ')
  if [ "$exported" != "$expected" ]; then
    echo "$library exports: $exported" >&2
    status=1
  fi
done
exit $status
