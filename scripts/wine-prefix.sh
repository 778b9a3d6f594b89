#!/usr/bin/env bash
# Creates the project's own Wine prefix for one arch once (never the user's
# ~/.wine), with the Mono and Gecko install prompts turned off.
#   wine-prefix.sh [win32|win64]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
wine_use "${1:-win32}" || exit 1
[ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.turfwise-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.turfwise-ready" ] && exit 0
echo "Creating Wine prefix $WINEPREFIX" >&2
timeout 180 "$WINE_LOADER" wineboot -i >/dev/null 2>&1
timeout 60 "$WINESERVER" -w
[ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot did not create $WINEPREFIX" >&2; exit 1; }
touch "$WINEPREFIX/.turfwise-ready"
