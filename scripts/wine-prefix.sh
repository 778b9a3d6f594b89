#!/usr/bin/env bash
# Creates the project's own Wine prefix for one arch once (never the user's
# ~/.wine), with the Mono and Gecko install prompts turned off. With a DPI, the
# project's prefix for that screen DPI (see wine_use); each takes about 700 MB.
#   wine-prefix.sh [win32|win64] [DPI]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
dpi=${2:-}
wine_use "${1:-win32}" $dpi || exit 1
[ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.turfwise-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.turfwise-ready" ] && exit 0
echo "Creating Wine prefix $WINEPREFIX" >&2
timeout 180 "$WINE_LOADER" wineboot -i >/dev/null 2>&1
timeout 60 "$WINESERVER" -w
[ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot did not create $WINEPREFIX" >&2; exit 1; }
if [ -n "$dpi" ] && [ "$dpi" != 96 ]; then
    # Wine reads the screen's DPI from both keys when a program starts.
    for key in 'HKCU\Control Panel\Desktop' \
               'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
        timeout 60 "$WINE_LOADER" reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
            { echo "cannot set the screen DPI in $WINEPREFIX" >&2; exit 1; }
    done
    timeout 60 "$WINESERVER" -w
fi
touch "$WINEPREFIX/.turfwise-ready"
