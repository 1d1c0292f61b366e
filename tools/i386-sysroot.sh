#!/bin/bash
# Unpacks the i386 run-time libraries of the editor (cairo, X11 and what they
# load) into a private folder, for linking the i386 VST libraries and running
# their tests under qemu-i386. The packages are unpacked, not installed: a
# multiarch install needs the i386 and amd64 versions of every shared package
# to match, which an archive in mid-update does not always offer.
set -euo pipefail
root="${1:?usage: i386-sysroot.sh DIR}"
[ -f "$root/.complete" ] && exit 0

packages=(libcairo2 libx11-6 libxtst6 libxi6 libxext6 libxrender1 libxcb1
          libxcb-render0 libxcb-shm0 libxau6 libxdmcp6 libbsd0 libmd0
          libpixman-1-0 libpng16-16 zlib1g libfreetype6 libbrotli1
          libfontconfig1 libexpat1)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$root"
(cd "$work" && apt-get download -q "${packages[@]/%/:i386}" >/dev/null)
for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$root"; done
touch "$root/.complete"
