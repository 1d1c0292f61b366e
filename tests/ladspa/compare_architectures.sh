#!/bin/bash
# Runs the scenario host on x86-64 and, under qemu-i386, on i386, and checks
# that both pass and print the same output digests.
set -euo pipefail
host64=$1 lib64=$2 host32=$3 lib32=$4
for f in "$host32" "$lib32"; do
  [ -e "$f" ] || { echo "missing $f (build the i386 tree first)"; exit 1; }
done
out64=$("$host64" "$lib64")
out32=$(qemu-i386 "$host32" "$lib32")
echo "$out32"
if ! diff <(grep '^digest' <<<"$out64") <(grep '^digest' <<<"$out32"); then
  echo "i386 output differs from x86-64"
  exit 1
fi
echo "i386 and x86-64 outputs are bit-identical"
