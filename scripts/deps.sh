#!/bin/sh
# Installs what building and testing need, on Debian 12 as root; does nothing when all is there.
set -e
packages="cmake make python3 g++-mingw-w64-i686 wine wine32:i386 xvfb xauth xdotool imagemagick googletest fonts-ipafont-gothic"

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root (or install these packages yourself):$missing" >&2
    exit 1
fi
# wine32 is a 32-bit package: the i386 architecture must be known before it can be found.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends $missing
