#!/usr/bin/env bash
# Installs whatever is missing, builds the Linux and Windows targets and runs
# every test: the native unit tests (AddressSanitizer, UndefinedBehaviorSanitizer),
# the Windows tests under Wine in Xvfb, and the scan fuzzer for a bounded time.
# Ends with one summary line per suite; exits non-zero if anything failed.
#   scripts/test.sh            everything
#   FUZZ_SECONDS=5 scripts/test.sh
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
fuzz_seconds=${FUZZ_SECONDS:-30}

"$here/packages.sh" || exit 1

export WINEPREFIX=$root/build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# --- display for the Windows tests ----------------------------------------------
xvfb_pid=
cleanup() {
    wineserver -k >/dev/null 2>&1
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 130); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
        export DISPLAY=:$n
        break
    done
fi

declare -a summary
status=0

# Sums up the gtest reports of one build: "<suite>: N passed, N failed, N skipped".
report() {
    local suite=$1 dir=$2 ctest_rc=$3 tests=0 failed=0 skipped=0 files=0
    for xml in "$dir"/*.xml; do
        [ -f "$xml" ] || continue
        files=$((files + 1))
        local head
        head=$(grep -m1 '<testsuites' "$xml")
        tests=$((tests + $(sed -n 's/.* tests="\([0-9]*\)".*/\1/p' <<<"$head")))
        failed=$((failed + $(sed -n 's/.* failures="\([0-9]*\)".*/\1/p' <<<"$head")))
        failed=$((failed + $(sed -n 's/.* errors="\([0-9]*\)".*/\1/p' <<<"$head")))
        skipped=$((skipped + $(grep -c 'result="skipped"' "$xml")))
    done
    # A test program that crashed or hung wrote no report: count it as one failure.
    if [ "$ctest_rc" != 0 ] && [ "$failed" = 0 ]; then failed=1; fi
    [ "$files" = 0 ] && failed=$((failed + 1))
    summary+=("$suite: $((tests - failed - skipped < 0 ? 0 : tests - failed - skipped)) passed, $failed failed, $skipped skipped")
    [ "$failed" = 0 ] || status=1
}

build() {
    local preset=$1
    cmake --preset "$preset" >"build/$preset-configure.log" 2>&1 &&
        cmake --build --preset "$preset" -j"$jobs" >"build/$preset-build.log" 2>&1
}

mkdir -p build

# --- native -----------------------------------------------------------------------
echo "== native: build"
if build native; then
    rm -f build/native/test-results/*.xml
    echo "== native: tests"
    ctest --preset native -j"$jobs"
    report native build/native/test-results $?
else
    tail -40 build/native-build.log build/native-configure.log
    echo "native: the build failed"
    summary+=("native: 0 passed, 1 failed")
    status=1
fi

# --- windows ----------------------------------------------------------------------
echo "== windows: build"
if build windows; then
    "$here/wine-prefix.sh" || status=1
    rm -f build/windows/test-results/*.xml
    echo "== windows: tests under Wine on $DISPLAY"
    ctest --preset windows
    report windows build/windows/test-results $?
else
    tail -40 build/windows-build.log build/windows-configure.log
    echo "windows: the build failed"
    summary+=("windows: 0 passed, 1 failed")
    status=1
fi

# --- windows, as an ordinary user -----------------------------------------------------
# Wine run by root may write read-only files, so the read-only case of the
# file access is run once more by an unprivileged user in a prefix of its own.
if [ "$(id -u)" = 0 ] && [ -f build/windows/tests/data/class_list_file_tests.exe ]; then
    echo "== windows: read-only file as an unprivileged user"
    ro=$(mktemp -d /tmp/turfwise-user-XXXXXX)
    cp build/windows/tests/data/class_list_file_tests.exe "$ro/"
    chmod 755 "$ro" && chown -R 65534:65534 "$ro"
    as_user() {
        setpriv --reuid=65534 --regid=65534 --clear-groups \
            env HOME="$ro" WINEPREFIX="$ro/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
    }
    as_user timeout 180 wineboot -i >/dev/null 2>&1
    as_user timeout 120 wine "$ro/class_list_file_tests.exe" --gtest_filter='*ReadOnly*' \
        --gtest_output="xml:Z:$ro/results/user.xml"
    rc=$?
    as_user wineserver -k >/dev/null 2>&1
    report windows-user "$ro/results" $rc
    if grep -q 'result="skipped"' "$ro/results/user.xml" 2>/dev/null; then
        echo "windows-user: the read-only case was skipped even for an unprivileged user"
        status=1
    fi
    rm -rf "$ro"
fi

# --- fuzzing ----------------------------------------------------------------------
if [ -x build/native/fuzz/scan_fuzzer ]; then
    echo "== fuzz: scan for ${fuzz_seconds}s"
    seeds=build/native/fuzz/seeds corpus=build/native/fuzz/corpus
    rm -rf "$seeds" && mkdir -p "$seeds" "$corpus"
    build/native/fuzz/make_seeds "$seeds"
    if (cd build/native/fuzz && timeout $((fuzz_seconds + 60)) ./scan_fuzzer -max_total_time="$fuzz_seconds" \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 corpus seeds >fuzz.log 2>&1); then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' build/native/fuzz/fuzz.log)
        echo "fuzz: ${runs:-?} inputs in ${fuzz_seconds}s, no finding"
        summary+=("fuzz: 1 passed, 0 failed")
    else
        tail -40 build/native/fuzz/fuzz.log
        echo "fuzz: a finding; see build/native/fuzz/fuzz.log"
        summary+=("fuzz: 0 passed, 1 failed")
        status=1
    fi
else
    echo "fuzz: the fuzzer was not built"
    summary+=("fuzz: 0 passed, 1 failed")
    status=1
fi

echo
echo "== Summary"
printf '%s\n' "${summary[@]}"
exit $status
