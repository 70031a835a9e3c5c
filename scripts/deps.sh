#!/bin/sh
# Installs what a purpose needs, on Debian 12; does nothing when all is there. As a normal user it
# only checks, and names what to install.
# Usage: deps.sh [PURPOSE]
#   test     (the default) building both builds and running every test: the README's commands
#   package  scripts/package.sh: the Windows programs, the Linux program, the zip and the .deb
#   linux    building the Linux program alone
#   open     scripts/open.sh: the Linux program built and run, the fonts its Wine settings name,
#            and a virtual display with a screenshot where there is no display
#   open-windows  scripts/open.sh --windows: the same for MORVASIM.EXE under 32-bit Wine
#   bench    scripts/bench.sh: the tests' packages (OpenOCD among them, the benchmark's peer)
set -e
purpose=${1:-test}
linux="cmake make g++ wine64 wine64-tools libftdi1-dev libusb-1.0-0-dev"
# The zip: the cross compiler. The .deb: dpkg-shlibdeps, the icons' conversion, and the fonts the
# program's Wine settings name (the package depends on them, so they must be found here).
package="$linux g++-mingw-w64-i686 dpkg-dev imagemagick fontconfig fonts-ipafont-gothic fonts-liberation"
# The tests: 32-bit Wine for the Windows programs, a virtual display and real input, GoogleTest,
# the peers and tools the tests drive, the Japanese locale's fonts, a window manager; clang with
# libFuzzer and the sanitizers for the readers' fuzzing harness.
test="$package python3 locales fonts-wine wine wine32:i386 xvfb xauth xdotool x11-xserver-utils x11-utils openbox
      googletest sigrok-cli lintian verilator openocd clang libclang-rt-14-dev"
open="$linux fonts-ipafont-gothic fonts-liberation xvfb xauth xdotool imagemagick"
case $purpose in
    test) packages=$test ;;
    open) packages=$open ;;
    open-windows) packages="$open g++-mingw-w64-i686 fonts-wine wine wine32:i386" ;;
    bench) packages=$test ;;
    package) packages=$package ;;
    linux) packages=$linux ;;
    *) echo "deps.sh: no purpose \"$purpose\"; give test, package, linux, open, open-windows or bench" >&2; exit 2 ;;
esac

ensure_japanese_locale() {
    # The tests also run the programs under a Japanese locale (code page 932 under Wine).
    [ "$purpose" = test ] || [ "$purpose" = bench ] || return 0
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
# One package list that cannot be read (a mirror in the middle of a sync) must not stop the rest:
# the install goes on with the lists there are, and says what it could not have.
if ! apt-get update -q; then
    echo "deps.sh: some package lists could not be updated; going on with those there are" >&2
fi
if ! apt-get install -y -q $missing; then
    # One at a time, to name each that cannot be had.
    lacking=""
    for package in $missing; do
        apt-get install -y -q "$package" >/dev/null 2>&1 || lacking="$lacking $package"
    done
    if [ -n "$lacking" ]; then
        echo "deps.sh: these packages could not be installed:$lacking" >&2
        exit 1
    fi
fi
ensure_japanese_locale
