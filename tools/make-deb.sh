#!/bin/bash
# make deb: the amd64 and i386 packages from the built tree, with
# dpkg-buildpackage and debhelper, into OUTDIR, each checked by lintian.
#   tools/make-deb.sh OUTDIR
set -euo pipefail
out=${1:?output folder}
cd "$(dirname "$0")/.."
mkdir -p "$out"
version=$(dpkg-parsechangelog -S Version)
for arch in amd64 i386; do
  # The i386 modules come from the tree's own i386 build: a cross build to
  # dpkg, whose build dependencies are the amd64 ones (-d).
  dpkg-buildpackage -b -us -uc -d -a"$arch" -j1 \
    --buildinfo-file="$out/orvanta_${version}_$arch.buildinfo" --buildinfo-option=-u"$out" \
    --changes-file="$out/orvanta_${version}_$arch.changes" --changes-option=-u"$out"
done
# What debhelper left in debian/ goes; the build tree stays.
debian/rules clean >/dev/null
status=0
for arch in amd64 i386; do
  lintian --fail-on error,warning "$out/orvanta_${version}_$arch.changes" || status=1
done
ls -l "$out"/*.deb
exit $status
