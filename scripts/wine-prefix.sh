# Makes a Wine prefix ready for MORVA's programs on first use: created, and given the font
# settings of the registry file named. Sourced by wine-run.sh and by the Linux program's
# launcher, with WINEPREFIX and WINEARCH exported.
# Usage: morva_prepare_prefix LOADER PREFIX FONT_SETTINGS
morva_prepare_prefix() {
    _loader=$1 _prefix=$2 _fonts=$3
    # The prefix is ready once it exists with the current font settings.
    _stamp=$(md5sum <"$_fonts" | cut -c1-32)
    [ "$(cat "$_prefix/.morva-ready" 2>/dev/null)" != "$_stamp" ] || return 0
    # Said where a person waits at a terminal: the first start is silent for some seconds otherwise.
    [ ! -t 2 ] || echo "Preparing MORVA's Wine settings, once: some seconds" >&2
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
            echo "$_stamp" >"$_prefix/.morva-ready"
        fi
    ) 9>"$_prefix.lock"
}

# The prefix and font settings for the locale MORVA runs in, as morva_prefix and morva_fonts.
# Under a Japanese locale the messages are shown in the IPA face, as a Japanese Windows shows
# them; under any other in a Latin face (Liberation Sans for Wine's Tahoma, which Debian's Wine
# does not find) linked to the IPA faces for Japanese glyphs, whose backslash and tilde are
# themselves, not a yen sign and an overline. Each setting has a prefix of its own, the Japanese
# one beside the other as PREFIX-ja: one prefix with both gave the Japanese boxes either face.
# Usage: morva_choose_prefix PREFIX SETTINGS_FOLDER
morva_choose_prefix() {
    case "${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}" in
        ja*) morva_prefix=$1-ja morva_fonts=$2/wine-fonts.reg ;;
        *) morva_prefix=$1 morva_fonts=$2/wine-fonts-latin.reg ;;
    esac
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
