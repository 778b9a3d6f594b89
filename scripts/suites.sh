# Sourced by scripts/test.sh: how each suite is built, run and counted. Each
# suite adds its summary lines; `status` turns 1 when any fails.
#   suite NAME FUNCTION [ARGS...]   runs one suite, and times it

declare -a summary times
status=0

add_summary() {
    summary+=("$1: $2 passed, $3 failed, $4 skipped")
    [ "$3" = 0 ] || status=1
}

suite() {
    local name=$1 start=$SECONDS rc
    shift
    "$@"
    rc=$?
    times+=("$(printf '%-34s %5d s' "$name" $((SECONDS - start)))")
    return $rc
}

# The value of attribute $2 in the first <testsuites> element of file $1,
# when it is a number.
xml_count() {
    local value
    value=$(grep -m1 -o "<testsuites [^>]*" "$1" 2>/dev/null | grep -o " $2=\"[0-9]*\"" | grep -o '[0-9]\+')
    [ -n "$value" ] && echo "$value"
}

# Sums up one ctest run: every entry's gtest report where it wrote one, and
# one count for each entry without a report. An entry that failed, crashed
# or was not run counts as at least one failure, so the counts are never
# lower than ctest's own. So does a gtest report that is empty, cut short or
# counts no test, a run with no entry at all, and a ctest that failed (its
# exit code, $4 when given) with nothing else to show for it.
report() {
    local suite=$1 dir=$2 junit=$3 rc=${4:-0} passed=0 failed=0 skipped=0 entries=0 name state
    if [ ! -s "$junit" ]; then
        echo "$suite: ctest wrote no results"
        add_summary "$suite" 0 1 0
        return
    fi
    while IFS=$'\t' read -r name state; do
        entries=$((entries + 1))
        local xml=$dir/test-results/$name.xml
        if [ -f "$xml" ]; then
            local tests fails errors skips disabled
            tests=$(xml_count "$xml" tests) fails=$(xml_count "$xml" failures) errors=$(xml_count "$xml" errors)
            disabled=$(xml_count "$xml" disabled) || disabled=0
            if [ -z "$tests" ] || [ -z "$fails" ] || [ -z "$errors" ] || ! grep -q '</testsuites>' "$xml"; then
                echo "$suite: $name: its report is empty or cut short"
                failed=$((failed + 1))
                continue
            fi
            if [ "$tests" = "$disabled" ]; then
                echo "$suite: $name: ran no test"
                failed=$((failed + 1))
                continue
            fi
            fails=$((fails + errors))
            # gtest counts a DISABLED_ test in tests=; it did not run, so it is not a pass.
            skips=$(($(grep -c 'result="skipped"' "$xml") + disabled))
            passed=$((passed + tests - fails - skips))
            failed=$((failed + fails))
            skipped=$((skipped + skips))
            [ "$state" != run ] && [ "$fails" = 0 ] && failed=$((failed + 1))
        elif [ "$state" = run ]; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
    done < <(sed -n 's/.*<testcase name="\([^"]*\)".* status="\([a-z]*\)".*/\1\t\2/p' "$junit")
    if [ $entries = 0 ]; then
        echo "$suite: ran no test"
        failed=$((failed + 1))
    elif [ "$rc" != 0 ] && [ $failed = 0 ]; then
        echo "$suite: ctest failed (exit code $rc) though every entry passed"
        failed=1
    fi
    add_summary "$suite" $passed $failed $skipped
}

build() {
    local preset=$1
    cmake --preset "$preset" >"build/$preset-configure.log" 2>&1 &&
        cmake --build --preset "$preset" -j"$jobs" >"build/$preset-build.log" 2>&1
}

build_failed() {
    tail -40 "build/$2-build.log" "build/$2-configure.log" 2>/dev/null
    echo "$1: the build failed"
    add_summary "$1" 0 1 0
}

run_ctest() {
    local suite=$1 preset=$2 dir=$root/$3
    rm -f "$dir"/test-results/*.xml "$dir/ctest-junit.xml" "$dir"/turfwise-dialog-*dpi.png
    local rc=0
    ctest --preset "$preset" --output-junit "$dir/ctest-junit.xml" || rc=$?
    report "$suite" "$dir" "$dir/ctest-junit.xml" $rc
}

# The read-only cases (file access, command line) once more, by an
# unprivileged user in a prefix of its own: Wine run by root may write
# read-only files.
readonly_as_user() {
    local suite=$1 arch=$2 dir=$3
    [ "$(id -u)" = 0 ] && [ -f "$dir/tests/data/class_list_file_tests.exe" ] || return 0
    echo "== $suite: read-only files as an unprivileged user"
    local ro tests=(class_list_file_tests cli_tests)
    ro=$(mktemp -d /tmp/turfwise-user-XXXXXX)
    cp "$dir/tests/data/class_list_file_tests.exe" "$dir/tests/cli/cli_tests.exe" "$dir/cli/turfwise-cli.exe" "$ro/"
    mkdir -p "$ro/test-results"
    chmod 755 "$ro" && chown -R 65534:65534 "$ro"
    (
        wine_use "$arch"
        as_user() {
            setpriv --reuid=65534 --regid=65534 --clear-groups \
                env HOME="$ro" WINEPREFIX="$ro/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$@"
        }
        as_user timeout 180 "$WINE_LOADER" wineboot -i >/dev/null 2>&1
        for t in "${tests[@]}"; do
            as_user timeout 120 "$WINE_LOADER" "$ro/$t.exe" --gtest_filter='*ReadOnly*' \
                --gtest_output="xml:Z:$ro/test-results/$t.xml"
            echo $? >"$ro/$t.rc"
        done
        as_user "$WINESERVER" -k >/dev/null 2>&1
    )
    local t state
    for t in "${tests[@]}"; do
        state=fail
        [ "$(cat "$ro/$t.rc" 2>/dev/null)" = 0 ] && state=run
        printf '<testcase name="%s" status="%s">\n' "$t" $state
    done >"$ro/junit.xml"
    report "$suite" "$ro" "$ro/junit.xml"
    if grep -q 'result="skipped"' "$ro"/test-results/*.xml 2>/dev/null; then
        echo "$suite: a read-only case was skipped even for an unprivileged user"
        summary[${#summary[@]}-1]="$suite: 0 passed, 1 failed, 0 skipped"
        status=1
    fi
    rm -rf "$ro"
}

# --- the suites ---------------------------------------------------------------------

native_tests() {
    echo "== native: build"
    build native || { build_failed native native; return; }
    echo "== native: tests"
    run_ctest native native build/native
}

# The 32-bit build runs natively, under qemu (its lines then say "emulated"),
# or, where neither can be had, is only checked.
windows_tests() {
    local arch=$1 preset name bits dir how=
    case $arch in
    win32) preset=windows name=windows-i686 bits=i686 ;;
    win64) preset=windows64 name=windows-x86_64 bits=x86_64 ;;
    esac
    dir=build/$preset
    echo "== $name: build"
    build $preset || { build_failed $name $preset; return; }
    if [ $arch = win32 ] && ! runs_32bit; then
        echo "$name: $(no_32bit_reason); checking the programs without running them"
        summary+=("$name: skipped ($(no_32bit_reason))")
    else
        [ $arch = win32 ] && [ "$(i686_how)" = emulated ] && how=" (emulated)"
        "$here/wine-prefix.sh" $arch || status=1
        [ $arch = win64 ] && start_release_builds
        echo "== $name$how: tests under Wine, two at a time, each in an Xvfb of its own"
        TURFWISE_DISPLAY_EACH=1 run_ctest "$name$how" $preset $dir
        readonly_as_user "$name-user$how" $arch $dir
    fi
    if [ $arch = win32 ]; then
        static_checks $name-static $dir $bits
    fi
}

# The built programs, without running them: arch, system DLLs only, version
# information, the manifest.
static_checks() {
    local suite=$1 dir=$2 bits=$3 exe passed=0 failed=0
    for exe in $dir/ui/Turfwise.exe $dir/cli/turfwise-cli.exe; do
        if [ ! -f "$exe" ]; then
            echo "$suite: $exe was not built"
            failed=$((failed + 1))
        elif tests/support/check_exe.sh "$exe" $bits; then
            passed=$((passed + 1))
        else
            failed=$((failed + 1))
        fi
    done
    add_summary $suite $passed $failed 0
}

# The package's release builds, in the background while the 64-bit Wine tests
# run: those mostly wait on windows, and the builds, at a lower priority, take
# the idle cores.
release_builds=
start_release_builds() {
    nice -n 10 "$here/package.sh" --build-only >build/release-builds.log 2>&1 &
    release_builds=$!
}

# The release package, and the end-to-end tests on the programs it ships:
# the Windows ones under Wine, the Linux downloads as they are.
package_tests() {
    echo "== package"
    # Its builds are then up to date; where they failed, package.sh says why.
    [ -z "$release_builds" ] || wait "$release_builds"
    if ! "$here/package.sh" >build/package.log 2>&1; then
        tail -20 build/package.log
        echo "package: the release package was not made"
        add_summary package 0 1 0
        return
    fi
    tail -4 build/package.log
    add_summary package 1 0 0
    local out=$root/build/package-tests how=
    "$here/test-package.sh" "$out"
    if runs_32bit; then
        [ "$(i686_how)" = emulated ] && how=" (emulated)"
        report "package-programs-i686$how" "$out" "$out/junit-win32.xml"
    else
        summary+=("package-programs-i686: skipped ($(no_32bit_reason))")
    fi
    report package-programs-x86_64 "$out" "$out/junit-win64.xml"
    "$here/test-linux-package.sh" "$root/build/package-tests-linux"
    report package-linux "$root/build/package-tests-linux" "$root/build/package-tests-linux/junit-linux.xml"
}

fuzz_run() {
    if [ ! -x build/native/fuzz/scan_fuzzer ]; then
        echo "fuzz: the fuzzer was not built"
        add_summary fuzz 0 1 0
        return
    fi
    echo "== fuzz: scan for ${fuzz_seconds}s"
    local seeds=build/native/fuzz/seeds corpus=build/native/fuzz/corpus runs
    rm -rf "$seeds" && mkdir -p "$seeds" "$corpus"
    build/native/fuzz/make_seeds "$seeds"
    if (cd build/native/fuzz && timeout $((fuzz_seconds + 60)) ./scan_fuzzer -max_total_time="$fuzz_seconds" \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 corpus seeds >fuzz.log 2>&1); then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' build/native/fuzz/fuzz.log)
        echo "fuzz: ${runs:-?} inputs in ${fuzz_seconds}s, no finding"
        add_summary fuzz 1 0 0
    else
        tail -40 build/native/fuzz/fuzz.log
        echo "fuzz: a finding; see build/native/fuzz/fuzz.log"
        add_summary fuzz 0 1 0
    fi
}

# --- Xvfb, when there is no display -------------------------------------------------

xvfb_pid=
start_display() {
    [ -z "${DISPLAY:-}" ] || return 0
    local n
    for n in $(seq 90 130); do
        [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
        Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
        export DISPLAY=:$n
        return 0
    done
}

stop_display() {
    local arch
    for arch in win32 win64; do
        (wine_use $arch && "$WINESERVER" -k >/dev/null 2>&1)
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}

# --- what is printed at the end -----------------------------------------------------

closing_report() {
    # The dialog as the tests at 96 and 192 DPI saw it, from each Windows build that ran.
    local dir dpi shot
    echo
    echo "== Screenshots"
    for dir in build/windows build/windows64; do
        for dpi in 96 192; do
            shot=$dir/turfwise-dialog-${dpi}dpi.png
            [ -s "$shot" ] && echo "$dpi DPI: $root/$shot"
        done
    done
    echo
    echo "== Time"
    printf '%s\n' "${times[@]}"
    printf '%-34s %5d s\n' "all" $SECONDS
    echo
    echo "== Summary"
    printf '%s\n' "${summary[@]}"
}
