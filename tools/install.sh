#!/bin/bash
# make install: copies the built plug-ins where hosts look for them.
#   LADSPA libraries (la_Orvanta64.so, la_Orvanta.so) -> ~/.ladspa, or PREFIX/lib/ladspa
#   VST effects (Orvanta*.so)                         -> ~/.vst,    or PREFIX/lib/vst
#   the offline tool (orvanta-level, from ../bin)     -> ~/.local/bin, or PREFIX/bin
#
#   tools/install.sh PLUGIN_DIR [PREFIX]
set -euo pipefail
plugins=${1:?plugin directory}
prefix=${2:-}
if [ -n "$prefix" ]; then
  ladspa_dir=$prefix/lib/ladspa vst_dir=$prefix/lib/vst bin_dir=$prefix/bin
else
  ladspa_dir=$HOME/.ladspa vst_dir=$HOME/.vst bin_dir=$HOME/.local/bin
fi

installed=0
copy() {  # copy FILE DIR
  mkdir -p "$2"
  install -m 0755 "$1" "$2/"
  echo "installed $2/$(basename "$1")"
  installed=$((installed + 1))
}
for f in "$plugins"/la_Orvanta*.so; do [ -e "$f" ] && copy "$f" "$ladspa_dir"; done
for f in "$plugins"/Orvanta*.so; do [ -e "$f" ] && copy "$f" "$vst_dir"; done
tool=$(dirname "$plugins")/bin/orvanta-level
[ -e "$tool" ] && copy "$tool" "$bin_dir"
if [ "$installed" -eq 0 ]; then
  echo "nothing to install in $plugins: run make plugins first" >&2
  exit 1
fi
echo "LADSPA hosts search the directories in LADSPA_PATH (colon-separated); add $ladspa_dir to it if it is not searched already."
