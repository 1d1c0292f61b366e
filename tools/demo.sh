#!/bin/bash
# The main job: level a generated programme and show what the leveler did.
set -euo pipefail
build="${1:-build}"
"$build/tools/leveler_demo"
