#!/bin/sh
# morva: starts MORVA's Linux program, morva.exe.so, with Wine's 64-bit loader in MORVA's own Wine
# prefix, made on first start under the user's home (MORVA_WINEPREFIX chooses another). The
# program is found beside this script (a build folder) or in ../lib/morva (installed), its Wine
# settings beside it or in ../share/morva.
set -e
here=$(dirname "$(readlink -f "$0")")
find_beside() {
    for folder in "$here" "$here/$2"; do
        if [ -f "$folder/$1" ]; then
            (cd "$folder" && pwd)
            return 0
        fi
    done
    echo "morva: $1 is neither in $here nor in $here/$2; reinstall MORVA" >&2
    return 2
}
program=$(find_beside morva.exe.so ../lib/morva)
settings=$(find_beside wine-prefix.sh ../share/morva)
loader=/usr/lib/wine/wine64
if [ ! -x "$loader" ]; then
    echo "morva: Wine's 64-bit loader $loader is missing; install the package wine64" >&2
    exit 2
fi
. "$settings/wine-prefix.sh"
morva_choose_prefix "${MORVA_WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/morva/wine}" "$settings"
prefix=$morva_prefix
export WINEPREFIX="$prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
morva_prepare_prefix "$loader" "$prefix" "$morva_fonts"
exec "$loader" "$program/morva.exe.so" "$@"
