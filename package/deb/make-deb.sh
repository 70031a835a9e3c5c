#!/bin/sh
# Makes morva_VERSION_amd64.deb in the Linux build folder (build-linux/ unless one is given) from
# the program built there and the files beside this script. Its Depends are read off the program:
# the shared libraries it links (dpkg-shlibdeps), the Wine loader and the Wine libraries whose
# DLLs it imports, and the fonts its Wine settings name, each by the package that holds it here.
set -e
umask 022
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$top/build-linux}" && pwd)
version=$(sed -n 's/^project(MORVA VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
program=$build/morva.exe.so
loader=/usr/lib/wine/wine64
wine_dlls=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows
[ -f "$program" ] || { echo "make-deb: no $program; build the Linux program first" >&2; exit 1; }

work=$build/deb
root=$work/root
rm -rf "$work"
mkdir -p "$root/DEBIAN" "$work/debian"

install -D -m 0755 "$top/linux/morva.sh" "$root/usr/bin/morva"
install -D -m 0644 "$program" "$root/usr/lib/morva/morva.exe.so"
strip --strip-unneeded --remove-section=.comment --remove-section=.note "$root/usr/lib/morva/morva.exe.so"
install -D -m 0644 "$top/scripts/wine-prefix.sh" "$root/usr/share/morva/wine-prefix.sh"
install -D -m 0644 "$top/scripts/wine-fonts.reg" "$root/usr/share/morva/wine-fonts.reg"
install -D -m 0644 "$top/scripts/wine-fonts-latin.reg" "$root/usr/share/morva/wine-fonts-latin.reg"
install -D -m 0644 "$here/morva.desktop" "$root/usr/share/applications/morva.desktop"
for size in 16 24 32 48 64 128 256; do
    icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/morva.png
    mkdir -p "$(dirname "$icon")"
    # The program's own 32 x 32 icon, its pixels kept sharp at every size.
    convert "$top/res/morva.ico[0]" -filter point -resize "${size}x${size}" -strip \
        -define png:exclude-chunks=date,time "png32:$icon"
done
install -D -m 0644 "$here/60-morva-ftdi.rules" "$root/usr/lib/udev/rules.d/60-morva-ftdi.rules"
install -D -m 0644 "$here/60-morva-cmsis-dap.rules" "$root/usr/lib/udev/rules.d/60-morva-cmsis-dap.rules"
mkdir -p "$root/usr/share/man/man1" "$root/usr/share/doc/morva"
sed "s/@VERSION@/$version/g" "$here/morva.1" | gzip -9n >"$root/usr/share/man/man1/morva.1.gz"
install -m 0644 "$here/copyright" "$root/usr/share/doc/morva/copyright"
# The user's guide with its pictures, the Verilator example to copy, and the BSDL file to practise on.
install -m 0644 "$top/docs/guide.md" "$top/docs/window.png" "$top/docs/cable-list.png" \
    "$top/docs/no-cable.png" "$top/docs/chain-window.png" "$top/docs/chain-window-ja.png" \
    "$top/docs/pin-view.png" "$top/docs/pin-view-ja.png" "$top/docs/svf-step.png" "$top/docs/svf-step-ja.png" \
    "$root/usr/share/doc/morva/"
install -D -m 0644 -t "$root/usr/share/doc/morva/examples/verilator-tap" "$top/examples/verilator-tap/Makefile" \
    "$top/examples/verilator-tap/tap.v" "$top/examples/verilator-tap/chain.v" "$top/examples/verilator-tap/rbb_server.cpp"
install -D -m 0644 -t "$root/usr/share/doc/morva/examples/bsdl" "$top/examples/bsdl/morva_demo.bsd"
sed "s/@VERSION@/$version/g" "$here/changelog" | gzip -9n >"$root/usr/share/doc/morva/changelog.gz"

owner() {
    dpkg -S "$(readlink -f "$1")" 2>/dev/null | head -n 1 | cut -d: -f1
}
# Shared libraries, with the versions their symbols need.
printf 'Source: morva\n\nPackage: morva\nArchitecture: amd64\n' >"$work/debian/control"
libraries=$(cd "$work" && dpkg-shlibdeps -O "$root/usr/lib/morva/morva.exe.so" | sed -n 's/^shlibs:Depends=//p')
# The loader, and the Wine libraries of the DLLs the program names.
packages=$(owner "$loader")
for dll in $(strings -a "$program" | grep -ix '[a-z0-9_]*\.dll' | tr 'A-Z' 'a-z' | sort -u); do
    [ -f "$wine_dlls/$dll" ] && packages="$packages $(owner "$wine_dlls/$dll")"
done
# The fonts the prefix's settings map the program's fonts to.
for family in $(cat "$top/scripts/wine-fonts.reg" "$top/scripts/wine-fonts-latin.reg" | iconv -f UTF-16 -t UTF-8 | sed -n 's/^"[^"]*"="\([^"]*\)"\r\{0,1\}$/\1/p' |
                tr ' ' '_' | sort -u); do
    family=$(echo "$family" | tr '_' ' ')
    if [ "$(fc-match -f '%{family[0]}' "$family")" != "$family" ]; then
        echo "make-deb: the font $family is not installed here" >&2
        exit 1
    fi
    packages="$packages $(owner "$(fc-match -f '%{file}' "$family")")"
done
for package in $packages; do
    [ -n "$package" ] || { echo "make-deb: a file the program needs belongs to no package" >&2; exit 1; }
done
depends=$(echo "$libraries, $(echo $packages | tr ' ' '\n' | sort -u | paste -sd, | sed 's/,/, /g')")

(cd "$root" && find usr -type f -exec md5sum {} + | sort -k 2) >"$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/md5sums"
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$(du -sk "$root/usr" | cut -f1)/" \
    -e "s/@DEPENDS@/$depends/" "$here/control.in" >"$root/DEBIAN/control"
dpkg-deb --root-owner-group -Zxz --build "$root" "$build/morva_${version}_amd64.deb" >/dev/null
echo "$build/morva_${version}_amd64.deb"
