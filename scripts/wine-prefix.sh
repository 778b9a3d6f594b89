#!/usr/bin/env bash
# Creates the project's own Wine prefix once (never the user's ~/.wine), with
# the Mono and Gecko install prompts turned off.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.turfwise-ready" ] && exit 0
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
[ -f "$WINEPREFIX/.turfwise-ready" ] && exit 0
echo "Creating Wine prefix $WINEPREFIX" >&2
timeout 180 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w
[ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot did not create $WINEPREFIX" >&2; exit 1; }
touch "$WINEPREFIX/.turfwise-ready"
