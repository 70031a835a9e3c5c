# Makes a Wine prefix ready for MORVA's programs on first use: created, and given the font
# settings of the registry file named. Sourced by wine-run.sh and by the Linux program's
# launcher, with WINEPREFIX and WINEARCH exported.
# Usage: morva_prepare_prefix LOADER PREFIX FONT_SETTINGS
# Wine's own Tahoma, the face behind "MS Shell Dlg" (message boxes, menus): Debian's fonts-wine
# holds it where this Wine does not look, and without it Wine fell back to the first face with
# the character set, a Japanese one, whose backslash and tilde are the yen sign and an overline.
MORVA_WINE_FONTS="/usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf"

morva_prepare_prefix() {
    _loader=$1 _prefix=$2 _fonts=$3
    # The prefix is ready once it exists with the current font settings and fonts.
    _stamp=$( (cat "$_fonts"; echo "$MORVA_WINE_FONTS") | md5sum | cut -c1-32)
    [ "$(cat "$_prefix/.morva-ready" 2>/dev/null)" != "$_stamp" ] || return 0
    mkdir -p "$(dirname "$_prefix")"
    (
        flock 9
        if [ "$(cat "$_prefix/.morva-ready" 2>/dev/null)" != "$_stamp" ]; then
            [ -f "$_prefix/system.reg" ] || { "$_loader" wineboot -i >/dev/null 2>&1 || true; }
            wineserver -w
            # The dialogs' font, "ＭＳ Ｐゴシック", shown with the IPA font where it is missing, and
            # a Japanese fallback for the system's message font, as Windows links one itself.
            # "Arial" as Liberation Sans: without an Arial, Wine falls back to the first Swiss face
            # with the locale's character set, under code page 932 a wide Japanese font that cuts
            # the title.
            "$_loader" regedit /S "$("$_loader" winepath -w "$_fonts" 2>/dev/null)" >/dev/null 2>&1 || true
            wineserver -w
            for _font in $MORVA_WINE_FONTS; do
                [ ! -f "$_font" ] || cp "$_font" "$_prefix/drive_c/windows/Fonts/"
            done
            echo "$_stamp" >"$_prefix/.morva-ready"
        fi
    ) 9>"$_prefix.lock"
}

# Gives a prepared prefix a screen of the given dots per inch (Wine's LogPixels), once.
# Usage: morva_set_dpi LOADER PREFIX DPI
morva_set_dpi() {
    _loader=$1 _prefix=$2 _dpi=$3
    [ "$(cat "$_prefix/.morva-dpi" 2>/dev/null)" != "$_dpi" ] || return 0
    (
        flock 9
        if [ "$(cat "$_prefix/.morva-dpi" 2>/dev/null)" != "$_dpi" ]; then
            "$_loader" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$_dpi" /f >/dev/null 2>&1
            wineserver -w
            echo "$_dpi" >"$_prefix/.morva-dpi"
        fi
    ) 9>"$_prefix.lock"
}
