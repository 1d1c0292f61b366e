#!/bin/bash
# make install: copies the built plug-ins where hosts look for them.
#   LADSPA libraries (la_Orvanta64.so, la_Orvanta.so) -> ~/.ladspa, or PREFIX/lib/ladspa
#   VST effects (Orvanta*.so)                         -> ~/.vst,    or PREFIX/lib/vst
#   the offline tool (orvanta-level, from ../bin)     -> ~/.local/bin, or PREFIX/bin
#   its manual page (orvanta-level.1)                 -> ~/.local/share/man/man1, or PREFIX/share/man/man1
#   LV2 bundle (orvanta.lv2/)                         -> ~/.lv2,    or PREFIX/lib/lv2
#   VST 3 bundle (Orvanta.vst3/)                      -> ~/.vst3,   or PREFIX/lib/vst3
#   CLAP module (Orvanta.clap)                        -> ~/.clap,   or PREFIX/lib/clap
# Only this machine's architecture goes there. The other architecture's
# LADSPA, VST and CLAP modules go below ~/.local/lib/<multiarch triplet> (or
# PREFIX/lib/<triplet>), where only hosts of that architecture are pointed: a
# host that meets a module it cannot load may stop on it (Audacity asks
# about "incompatible plug-ins"). The VST 3 bundle holds every architecture
# in folders of its own, as the format wants.
#
#   tools/install.sh PLUGIN_DIR [PREFIX]
set -euo pipefail
plugins=${1:?plugin directory}
prefix=${2:-}
if [ -n "$prefix" ]; then
  ladspa_dir=$prefix/lib/ladspa vst_dir=$prefix/lib/vst lv2_dir=$prefix/lib/lv2 bin_dir=$prefix/bin
  man_dir=$prefix/share/man/man1 vst3_dir=$prefix/lib/vst3 clap_dir=$prefix/lib/clap
else
  ladspa_dir=$HOME/.ladspa vst_dir=$HOME/.vst lv2_dir=$HOME/.lv2 bin_dir=$HOME/.local/bin vst3_dir=$HOME/.vst3
  man_dir=$HOME/.local/share/man/man1 clap_dir=$HOME/.clap
fi

case "$(uname -m)" in
  i?86) native=i386 foreign=x86_64 ;;
  *) native=x86_64 foreign=i386 ;;
esac
foreign_lib=${prefix:-$HOME/.local}/lib/$foreign-linux-gnu

installed=0
copy() {  # copy FILE DIR
  mkdir -p "$2"
  install -m 0755 "$1" "$2/"
  echo "installed $2/$(basename "$1")"
  installed=$((installed + 1))
}
# The x86-64 builds carry "64" in their names; the CLAP modules share one
# name and lie in folders of their own.
place() {  # place FILE ARCH FORMAT_DIR FORMAT
  [ -e "$1" ] || return 0
  if [ "$2" = "$native" ]; then copy "$1" "$3"; else copy "$1" "$foreign_lib/$4"; fi
}
for f in "$plugins"/la_Orvanta*.so; do
  case "$f" in *64.so) a=x86_64 ;; *) a=i386 ;; esac
  place "$f" "$a" "$ladspa_dir" ladspa
done
for f in "$plugins"/Orvanta*.so; do
  case "$f" in */Orvanta64*) a=x86_64 ;; *) a=i386 ;; esac
  place "$f" "$a" "$vst_dir" vst
done
place "$plugins/Orvanta.clap" x86_64 "$clap_dir" clap
place "$plugins/i386/Orvanta.clap" i386 "$clap_dir" clap
tool=$(dirname "$plugins")/bin/orvanta-level
if [ -e "$tool" ]; then
  copy "$tool" "$bin_dir"
  mkdir -p "$man_dir"
  install -m 0644 "$(dirname "$(realpath "$0")")/../cli/orvanta-level.1" "$man_dir/"
  echo "installed $man_dir/orvanta-level.1"
fi
# A bundle is replaced whole: built aside, then moved into place, so a host
# never sees half a bundle.
copy_bundle() {  # copy_bundle BUNDLE DIR
  [ -d "$1" ] || return 0
  local name
  name=$(basename "$1")
  mkdir -p "$2"
  rm -rf "$2/$name.new"
  cp -r "$1" "$2/$name.new"
  rm -rf "${2:?}/$name"
  mv "$2/$name.new" "$2/$name"
  echo "installed $2/$name"
  installed=$((installed + 1))
}
copy_bundle "$plugins/orvanta.lv2" "$lv2_dir"
copy_bundle "$plugins/Orvanta.vst3" "$vst3_dir"
if [ "$installed" -eq 0 ]; then
  echo "nothing to install in $plugins: run make plugins first" >&2
  exit 1
fi
echo "LADSPA hosts search the directories in LADSPA_PATH (colon-separated); add $ladspa_dir to it if it is not searched already."
if [ -d "$foreign_lib" ]; then
  echo "The $foreign modules are in $foreign_lib/{ladspa,vst,clap}: point only $foreign hosts there (LADSPA_PATH, the host's VST folders, CLAP_PATH)."
fi
