#!/usr/bin/env bash
# Creates the project's own Wine prefix for one arch once (never the user's
# ~/.wine), with the Mono and Gecko install prompts turned off. With a DPI, the
# project's prefix for that screen DPI (see wine_use), a copy of the arch's
# usual prefix where that one is ready; each takes 0.7 to 1.3 GB.
#   wine-prefix.sh [win32|win64] [DPI]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
dpi=${2:-}
wine_use "${1:-win32}" $dpi || exit 1
# Debian's Wine 8 looks for its own fonts (fonts-wine) at "<data dir>\../fonts",
# a path its file layer does not resolve, so it loads none of them; without
# Marlett the caption's buttons come out as "0 1 r". Fonts in the prefix's
# own Fonts folder are loaded at every start. Copied under another name and
# renamed, so that a Wine starting meanwhile never reads half a font.
wine_fonts() {
    local from=/usr/share/wine/fonts to=$WINEPREFIX/drive_c/windows/Fonts
    [ -f "$to/marlett.ttf" ] || [ ! -f "$from/marlett.ttf" ] || [ ! -d "$to" ] ||
        { cp "$from/marlett.ttf" "$to/.marlett.ttf.new" && mv "$to/.marlett.ttf.new" "$to/marlett.ttf"; }
}
[ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.turfwise-ready" ] && { wine_fonts; exit 0; }
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.turfwise-ready" ] && { wine_fonts; exit 0; }
base=$(unset WINEPREFIX; wine_use "${1:-win32}" && echo "$WINEPREFIX")
if [ -n "$dpi" ] && [ "$dpi" != 96 ] && [ -f "$base/.turfwise-ready" ]; then
    # A copy is as good as a new prefix at a fraction of the time: wineboot
    # takes half a minute where qemu runs 32-bit Wine. Wine saves a registry
    # file under another name and renames it, so a copy never holds half of one.
    echo "Creating Wine prefix $WINEPREFIX as a copy of $base" >&2
    rm -rf "$WINEPREFIX.copy"
    cp -a "$base" "$WINEPREFIX.copy" && rm -f "$WINEPREFIX.copy/.turfwise-ready" &&
        rm -rf "$WINEPREFIX" && mv "$WINEPREFIX.copy" "$WINEPREFIX" ||
        { echo "cannot copy $base to $WINEPREFIX" >&2; exit 1; }
else
    echo "Creating Wine prefix $WINEPREFIX" >&2
    timeout 180 "$WINE_LOADER" wineboot -i >/dev/null 2>&1
    timeout 60 "$WINESERVER" -w
fi
[ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot did not create $WINEPREFIX" >&2; exit 1; }
# Sets a DWORD value in a section of a registry file of a prefix no Wine
# server has open; false when the section is not there.
set_reg_dword() {
    local file=$1
    # Through the environment: awk would read the backslashes of -v values as escapes.
    SECTION=$2 NAME="\"$3\"=" LINE=$(printf '"%s"=dword:%08x' "$3" "$4") awk '
        BEGIN { sec = ENVIRON["SECTION"]; name = ENVIRON["NAME"]; line = ENVIRON["LINE"] }
        index($0, sec " ") == 1 || $0 == sec { inside = 1; print; next }
        inside && /^#/ { print; next }
        inside && !done { print line; done = 1 }
        inside && index($0, name) == 1 { next }
        $0 == "" { inside = 0 }
        { print }
        END { exit !done }' "$file" >"$file.new" && mv "$file.new" "$file" || { rm -f "$file.new"; return 1; }
}

if [ -n "$dpi" ] && [ "$dpi" != 96 ]; then
    # Wine reads the screen's DPI from both keys when a program starts. Written
    # straight into the files: each "reg add" would start Wine and its
    # services once more.
    timeout 60 "$WINESERVER" -w
    set_reg_dword "$WINEPREFIX/user.reg" '[Control Panel\\Desktop]' LogPixels "$dpi" &&
        set_reg_dword "$WINEPREFIX/system.reg" \
            '[System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]' LogPixels "$dpi" ||
        { echo "cannot set the screen DPI in $WINEPREFIX" >&2; exit 1; }
fi
wine_fonts
touch "$WINEPREFIX/.turfwise-ready"
