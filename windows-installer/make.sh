#!/bin/bash
# make windows-installer: the zip and the NSIS installer of the Windows
# modules in PLUGIN_DIR, into OUTDIR.
#   windows-installer/make.sh PLUGIN_DIR OUTDIR
set -euo pipefail
plugins=$(realpath "${1:?plugin folder}")
out=$(realpath -m "${2:?output folder}")
here=$(cd "$(dirname "$0")" && pwd)
version=$(sed -n '1s/.*(\(.*\)).*/\1/p' "$here/../debian/changelog")
name=Orvanta-$version-windows
stage=$out/$name
rm -rf "$stage" && mkdir -p "$stage"/VST2/x64 "$stage"/VST2/x86 "$stage"/CLAP/x64 "$stage"/CLAP/x86 \
  "$stage"/VST3/Orvanta.vst3/Contents
cp "$plugins"/windows/Orvanta64.dll "$plugins"/windows/Orvanta64_51.dll "$stage"/VST2/x64/
cp "$plugins"/windows/Orvanta.dll "$plugins"/windows/Orvanta_51.dll "$stage"/VST2/x86/
cp "$plugins"/windows/x86_64/Orvanta.clap "$stage"/CLAP/x64/
cp "$plugins"/windows/i386/Orvanta.clap "$stage"/CLAP/x86/
# The bundle's Windows modules only.
cp -r "$plugins"/Orvanta.vst3/Contents/{Resources,x86_64-win,x86-win} "$stage"/VST3/Orvanta.vst3/Contents/
sed 's/$/\r/' > "$stage"/README.txt <<TEXT
Orvanta $version for Windows

Run Orvanta-$version-setup.exe, or copy by hand:
  VST2\\x64\\*.dll       to C:\\Program Files\\VSTPlugins (or your host's VST 2 folder)
  VST2\\x86\\*.dll       to C:\\Program Files (x86)\\VSTPlugins, for 32-bit hosts
  VST3\\Orvanta.vst3    to C:\\Program Files\\Common Files\\VST3
                       (and C:\\Program Files (x86)\\Common Files\\VST3 for 32-bit hosts)
  CLAP\\x64\\Orvanta.clap to C:\\Program Files\\Common Files\\CLAP
  CLAP\\x86\\Orvanta.clap to C:\\Program Files (x86)\\Common Files\\CLAP, for 32-bit hosts
Then let the host rescan its plug-ins.
TEXT
rm -f "$out/$name.zip"
(cd "$out" && zip -q -r -X "$name.zip" "$name")
makensis -V2 -DSTAGE="$stage" -DVERSION="$version" -DOUTFILE="$out/Orvanta-$version-setup.exe" "$here/Orvanta.nsi"
ls -l "$out/$name.zip" "$out/Orvanta-$version-setup.exe"
