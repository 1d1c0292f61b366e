#!/bin/bash
# Redraws the editor images into a scratch folder and compares them with the
# committed ones. Usage: check-images.sh GENERATOR CHECKER COMMITTED_FOLDER
set -euo pipefail
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
"$1" "$out"
"$2" "$out" "$3"
