#!/bin/bash
# The amd64 package on this machine: installed with apt, every plug-in found
# in the folder Debian and its hosts use, by a real host of each format with
# no *_PATH variable set, the tool and its manual from PATH; then purged, and
# nothing of it is left.
#   deb_hosts.sh DEB_DIR
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
. "$here/../host_checks.sh"
deb=$(ls "${1:?package folder}"/orvanta_*_amd64.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "SKIP: no package in $1 (make deb)"; exit 77; }
[ "$(id -u)" -eq 0 ] || { echo "SKIP: installing a package needs root"; exit 77; }
for tool in analyseplugin lv2ls /usr/lib/ardour7/ardour-vst-scanner /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (tools/install-deps.sh)"; exit 77; }
done
unset LADSPA_PATH LV2_PATH VST_PATH VST3_PATH CLAP_PATH LXVST_PATH
apt_get() {  # apt may be locked by another install on this machine
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -y -q "$@" >/dev/null
}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

check "apt installs $(basename "$deb")" apt_get install --no-install-recommends "$(realpath "$deb")"
files=$(dpkg -L orvanta | while read -r f; do [ -f "$f" ] && echo "$f"; done)
# Debian's analyseplugin has no default folder (it searches a folder named
# "DEFAULT_LADSPA_PATH"), so it is given the installed file; ffmpeg searches
# /usr/lib/ladspa itself.
check "analyseplugin reads /usr/lib/ladspa/la_Orvanta64.so" eval 'analyseplugin /usr/lib/ladspa/la_Orvanta64.so | grep -q "Orvanta 5.1"'
check "ffmpeg finds la_Orvanta64 in /usr/lib/ladspa" \
  ffmpeg -v error -nostdin -f lavfi -i anullsrc=r=48000:cl=mono -t 0.5 -af ladspa=file=la_Orvanta64:plugin=orvt_mono -f null -
check "lv2ls lists the three LV2 plug-ins" eval '[ "$(lv2ls | grep -c urn:veltrano:orvanta)" -eq 3 ]'
scan_vst() {
  HOME=$home XDG_CACHE_HOME=$home/.cache LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -q -f "$1" &&
    grep -q "binary=\"$1\"" "$home"/.cache/ardour7/vst/*.v2i
}
check "Ardour's VST scanner reads both effects in /usr/lib/vst" eval 'scan_vst /usr/lib/vst/Orvanta64.so && scan_vst /usr/lib/vst/Orvanta64_51.so'
check "Ardour's VST 3 scanner reads /usr/lib/vst3/Orvanta.vst3" eval \
  'HOME=$home XDG_CACHE_HOME=$home/.cache LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -q -f /usr/lib/vst3/Orvanta.vst3 &&
   grep -q "Orvanta 5.1" "$home"/.cache/ardour7/vst/*.v3i'
check "Qtractor's scanner lists /usr/lib/clap/Orvanta.clap" eval \
  '[ "$(echo CLAP:/usr/lib/clap/Orvanta.clap | HOME=$home timeout 60 /usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan 2>&1 | grep -c "^CLAP|Orvanta.*|/usr/lib/clap/Orvanta.clap|")" -eq 3 ]'
check "orvanta-level and its manual from PATH" eval \
  '[ "$(command -v orvanta-level)" = /usr/bin/orvanta-level ] && orvanta-level --help >/dev/null && man -P cat orvanta-level 2>/dev/null | grep -q orvanta-level'
check "the PipeWire configuration in PipeWire's filter-chain folder" test -f /usr/share/pipewire/filter-chain/orvanta-levelled.conf

check "apt purges it" apt_get purge orvanta
left=$(for f in $files; do [ -e "$f" ] && echo "$f"; done; ls -d /usr/lib/lv2/orvanta.lv2 /usr/lib/vst3/Orvanta.vst3 2>/dev/null)
check "nothing is left behind${left:+: $left}" test -z "$left"
report_checks
