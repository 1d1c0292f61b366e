#!/bin/bash
# Unpacks the i386 build of Debian's Ardour VST scanner and the libraries it
# loads into DIR, so that the i386 effect libraries can be scanned by a real
# 32-bit host under qemu-i386. The packages are downloaded and unpacked, not
# installed (the amd64 Ardour stays the system's). Safe to run concurrently:
# the first caller unpacks, the others wait for it.
#   ardour-i386-scanner.sh DIR     exit 0: DIR/usr/lib/ardour7/ardour-vst-scanner exists
#                                  exit 77: the packages cannot be had here
set -uo pipefail
root="${1:?usage: ardour-i386-scanner.sh DIR}"
mkdir -p "$root"
exec 9>"$root.lock"
flock 9
[ -f "$root/.complete" ] && exit 0

packages=(ardour libglibmm-2.4-1v5 libsigc++-2.0-0v5 libglib2.0-0 libxml2 libarchive13
          libcurl3-gnutls libacl1 libblkid1 libbrotli1 libffi8 libgmp10 libgnutls30
          libgssapi-krb5-2 libhogweed6 libicu72 libidn2-0 libk5crypto3 libkrb5-3
          libkrb5support0 libldap-2.5-0 liblz4-1 libmount1 libnettle8 libnghttp2-14
          libp11-kit0 libpcre2-8-0 libpsl5 librtmp1 libsasl2-2 libssh2-1 libssl3
          libtasn1-6 libunistring2 libzstd1 zlib1g liblzma5 libbz2-1.0 libselinux1
          libcom-err2 libkeyutils1)

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if ! (cd "$work" && apt-get download -q "${packages[@]/%/:i386}" >/dev/null 2>&1); then
  echo "cannot download the i386 scanner packages (no i386 package lists or no archive)" >&2
  exit 77
fi
for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$root" || exit 1; done
[ -x "$root/usr/lib/ardour7/ardour-vst-scanner" ] || exit 1
touch "$root/.complete"
