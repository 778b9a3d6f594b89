#!/usr/bin/env bash
# Installs whatever is missing, builds the Linux target and both Windows
# targets and runs every test: the native unit tests (AddressSanitizer,
# UndefinedBehaviorSanitizer), the Windows tests under Wine in Xvfb (64-bit
# always, 32-bit where this machine runs 32-bit programs), the release package
# with the end-to-end tests on its programs, and the scan fuzzer for a bounded
# time. Ends with one summary line per suite; exits non-zero if
# anything failed.
#   scripts/test.sh                      everything
#   FUZZ_SECONDS=5 scripts/test.sh
#   TURFWISE_NO_32BIT=1 scripts/test.sh  as on a machine that runs no 32-bit programs
set -u
# Read whole before it runs: the file may change while a run goes on.
{
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${FUZZ_SECONDS:-30}
. "$here/suites.sh"

suite install "$here/packages.sh" || exit 1
. "$here/wine-env.sh"
# Each Windows build picks its own prefix (build/wineprefix, build/wineprefix64).
unset WINEPREFIX
# The native tests that need Wine run here, where it is installed, not skip.
export TURFWISE_REQUIRE_WINE=1
start_display
trap stop_display EXIT
mkdir -p build

#     time line        what it runs
suite native           native_tests
suite windows-i686     windows_tests win32
suite windows-x86_64   windows_tests win64
suite package          package_tests
suite fuzz             fuzz_run

closing_report
exit $status
}
