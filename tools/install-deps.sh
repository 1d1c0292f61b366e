#!/bin/bash
# Installs the Debian packages that building and testing need, when they are
# missing; with the argument "fuzz", also those of make fuzz. As root it runs apt-get; otherwise it prints the command and fails.
set -euo pipefail

native=(cmake g++ g++-multilib make pkg-config libgtest-dev libbenchmark-dev
        ladspa-sdk qemu-user sox ffmpeg libcairo2-dev libx11-dev libxtst-dev
        xvfb xdotool imagemagick fonts-liberation ardour valgrind
        # Windows modules: cross toolchains and Wine to test them
        g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64
        binutils-mingw-w64-i686 wine64 wine
        # LV2 bundle and the LV2 hosts it is tried in
        lv2-dev liblilv-dev lilv-utils sordi jalv jackd2 lv2file
        # the CLAP plug-ins: Qtractor's plug-in scanner tries them
        qtractor
        # the offline tool: audio files and loudness measurement
        libsndfile1-dev libebur128-dev
        # the offline tool's benchmark programmes: synthetic speech
        espeak-ng
        # make deb and the Windows installer; i686 binutils strip the i386 package
        debhelper lintian binutils-i686-linux-gnu nsis zip
        # live levelling: PipeWire with WirePlumber on a private D-Bus session
        pipewire pipewire-bin wireplumber dbus-daemon
        # the recipes' hosts: GStreamer's lv2 element and liquidsoap
        gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good liquidsoap
        # the batch recipe across folders (and machines)
        parallel)
# make fuzz (tools/install-deps.sh fuzz): clang and its libFuzzer run-time,
# which make test does not need.
if [ "${1:-}" = fuzz ]; then
  native+=(clang libclang-rt-14-dev)
fi
# The i386 editor's libraries are unpacked by tools/i386-sysroot.sh, not
# installed: that needs only the i386 package lists (added below).

missing=()
for p in "${native[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
need_i386=0
dpkg --print-foreign-architectures | grep -qx i386 || need_i386=1
[ ${#missing[@]} -eq 0 ] && [ $need_i386 -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages. Run as root:" >&2
  [ $need_i386 -eq 1 ] && echo "  dpkg --add-architecture i386 && apt-get update" >&2
  echo "  apt-get install -y ${missing[*]}" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
# A package list that fails to download (a mirror in mid-sync) is not fatal:
# apt keeps the lists it has.
apt-get update -q || echo "apt-get update reported errors; going on with the lists it has" >&2
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
