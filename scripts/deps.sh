#!/bin/sh
# Installs what building and testing need, on Debian 12 as root; does nothing when all is there.
set -e
packages="cmake make python3 locales fonts-wine g++-mingw-w64-i686 wine wine32:i386 wine64 wine64-tools libftdi1-dev xvfb xauth xdotool imagemagick googletest fonts-ipafont-gothic fonts-liberation sigrok-cli dpkg-dev lintian fontconfig verilator x11-xserver-utils openbox x11-utils"

ensure_japanese_locale() {
    # The tests also run the programs under a Japanese locale (code page 932 under Wine).
    if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf-\?8$'; then
        [ "$(id -u)" -eq 0 ] || { echo "Run as root to generate the ja_JP.UTF-8 locale" >&2; exit 1; }
        sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
        locale-gen >/dev/null
    fi
}

missing=""
for package in $packages; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done
if [ -z "$missing" ]; then
    ensure_japanese_locale
    exit 0
fi

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
apt-get install -y -q $missing
ensure_japanese_locale
