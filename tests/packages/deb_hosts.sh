#!/bin/bash
# The amd64 package installed with apt: every plug-in found in Debian's folder
# by a real host with no *_PATH set, the tool and its manual from PATH; then
# purged, leaving nothing.   deb_hosts.sh DEB_DIR
set -uo pipefail
. "$(dirname "$0")/../host_checks.sh"
deb=$(ls "${1:?}"/orvanta_*_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] && [ "$(id -u)" -eq 0 ] || { echo "SKIP: no package in $1 (make deb), or not root"; exit 77; }
a=/usr/lib/ardour7 q=/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
[ -x $a/ardour-vst-scanner ] && [ -x $q ] && command -v analyseplugin lv2ls >/dev/null ||
  { echo "SKIP: a host is missing (tools/install-deps.sh)"; exit 77; }
unset LADSPA_PATH LV2_PATH VST_PATH VST3_PATH CLAP_PATH LXVST_PATH
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -q "$@" >/dev/null; }
export HOME=$(mktemp -d) LD_LIBRARY_PATH=$a; export XDG_CACHE_HOME=$HOME/.cache
trap 'rm -rf "$HOME"' EXIT
check "apt installs $(basename "$deb")" apt_get install --no-install-recommends "$(realpath "$deb")"
files=$(dpkg -L orvanta | while read -r f; do [ -f "$f" ] && echo "$f"; done)
# Debian's analyseplugin has no default folder (it looks in one named
# "DEFAULT_LADSPA_PATH"): it gets the file; ffmpeg searches /usr/lib/ladspa.
check "analyseplugin and ffmpeg: /usr/lib/ladspa/la_Orvanta64.so" eval 'analyseplugin /usr/lib/ladspa/la_Orvanta64.so | grep -c "Orvanta 5.1" >/dev/null &&
  ffmpeg -v error -f lavfi -i anullsrc=r=48000:cl=mono -t 0.5 -af ladspa=file=la_Orvanta64:plugin=orvt_mono -f null -'
check "lv2ls lists the three LV2 plug-ins" eval '[ "$(lv2ls | grep -c urn:veltrano:orvanta)" -eq 3 ]'
check "Ardour's VST 2 and VST 3 scanners: /usr/lib/vst, /usr/lib/vst3" eval \
  '$a/ardour-vst-scanner -q -f /usr/lib/vst/Orvanta64.so && $a/ardour-vst-scanner -q -f /usr/lib/vst/Orvanta64_51.so &&
   [ "$(cat $XDG_CACHE_HOME/ardour7/vst/*.v2i | grep -c "binary=\"/usr/lib/vst/")" -ge 2 ] &&
   $a/ardour-vst3-scanner -q -f /usr/lib/vst3/Orvanta.vst3 && grep -q "Orvanta 5.1" $XDG_CACHE_HOME/ardour7/vst/*.v3i'
check "Qtractor's scanner: /usr/lib/clap/Orvanta.clap" eval \
  '[ "$(echo CLAP:/usr/lib/clap/Orvanta.clap | timeout 60 $q 2>&1 | grep -c "^CLAP|Orvanta.*|/usr/lib/clap/")" -eq 3 ]'
check "orvanta-level, its manual, the PipeWire configuration" eval '[ "$(command -v orvanta-level)" = /usr/bin/orvanta-level ] &&
  man -P cat orvanta-level 2>/dev/null | grep -c orvanta-level >/dev/null && [ -f /usr/share/pipewire/filter-chain/orvanta-levelled.conf ]'
check "apt purges it" apt_get purge orvanta
left=$(for f in $files /usr/lib/lv2/orvanta.lv2 /usr/lib/vst3/Orvanta.vst3; do [ -e "$f" ] && echo "$f"; done)
check "nothing is left behind${left:+: $left}" test -z "$left"
report_checks
