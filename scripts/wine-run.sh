#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix for its arch,
# with a time limit, and passes its exit code on. ctest uses it as the
# cross-compiling emulator; the test and run scripts use it too. --dpi runs it
# on a screen of that DPI, in the project's prefix for it (also taken from
# TURFWISE_WINE_DPI).
#   wine-run.sh [--arch=win32|win64] [--dpi=N] PROGRAM [ARGS...]
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$here/wine-env.sh"
arch=win32 dpi=${TURFWISE_WINE_DPI:-}
case "${1:-}" in --arch=*) arch=${1#--arch=}; shift ;; esac
case "${1:-}" in --dpi=*) dpi=${1#--dpi=}; shift ;; esac
wine_use "$arch" $dpi || exit 1
"$here/wine-prefix.sh" "$arch" $dpi >/dev/null || exit 1
run() { timeout -k 5 "${TURFWISE_WINE_TIMEOUT:-240}" "$WINE_LOADER" "$@"; }
[ -n "${TURFWISE_DISPLAY_EACH:-}" ] || { run "$@"; exit; }

# A screen of its own, so that ctest may run two windowed tests at once
# without one's windows, focus or clicks reaching the other's.
shown=$(mktemp) || exit 1
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$shown" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$shown"' EXIT
for _ in $(seq 100); do [ -s "$shown" ] && break; sleep 0.05; done
[ -s "$shown" ] || { echo "wine-run.sh: Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(head -n1 "$shown") run "$@"
