#!/bin/bash
# Qtractor's plug-in scanner reads "CLAP:/path/file.clap" on stdin and prints
# CLAP|name|audio ins:outs|midi ins:outs|controls in:out|flags|path|index|id
# per plug-in (the meters count as control outputs). 77: no Qtractor (skip).
set -uo pipefail
module=$1
# QTRACTOR_PLUGIN_SCAN: the scanner through a wrapper (the sanitizer lane's).
scanner=${QTRACTOR_PLUGIN_SCAN:-/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan}
[ -x "$scanner" ] || { echo "Qtractor is not installed (tools/install-deps.sh installs it)"; exit 77; }
source "$(dirname "$0")/../host_checks.sh"
listing=$(echo "CLAP:$module" | timeout 60 "$scanner" 2>&1)
echo "$listing"
check "Orvanta Mono: 1 channel, 8 controls, 2 meters, editor" \
  grep -qF "CLAP|Orvanta Mono|1:1|0:0|8:2|GUI,EXT,RT|$module|0|" <<<"$listing"
check "Orvanta Stereo: 2 channels, 8 controls, 2 meters, editor" \
  grep -qF "CLAP|Orvanta Stereo|2:2|0:0|8:2|GUI,EXT,RT|$module|1|" <<<"$listing"
check "Orvanta 5.1: 6 channels, 9 controls, 2 meters, editor" \
  grep -qF "CLAP|Orvanta 5.1|6:6|0:0|9:2|GUI,EXT,RT|$module|2|" <<<"$listing"
report_checks
