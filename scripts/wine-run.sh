#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix for its arch,
# with a time limit, and passes its exit code on. ctest uses it as the
# cross-compiling emulator; the test and run scripts use it too.
#   wine-run.sh [--arch=win32|win64] PROGRAM [ARGS...]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
arch=win32
case "${1:-}" in --arch=*) arch=${1#--arch=}; shift ;; esac
wine_use "$arch" || exit 1
"$here/wine-prefix.sh" "$arch" >/dev/null || exit 1
exec timeout -k 5 "${TURFWISE_WINE_TIMEOUT:-240}" "$WINE_LOADER" "$@"
