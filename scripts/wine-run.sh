#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, with a time
# limit, and passes its exit code on. ctest uses it as the cross-compiling
# emulator; the test and run scripts use it too.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
"$here/wine-prefix.sh" >/dev/null || exit 1
exec timeout -k 5 "${TURFWISE_WINE_TIMEOUT:-240}" wine "$@"
