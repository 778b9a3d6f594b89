#!/usr/bin/env bash
# The test command's counting, on reports made up to be broken: each must
# come out as a failure of its suite, with the summary still printed; and on
# the report of a real GoogleTest program ($1) with a test passed, one
# skipped and one disabled.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
cd "$root"
. scripts/suites.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/turfwise-suites-XXXXXX")
trap 'rm -rf "$work"' EXIT

# A ctest run of the entries given as NAME:STATE; a gtest report for each
# NAME that has a file of that name under $work/reports.
ctest_run() {
    local dir=$work/$1 entry
    shift
    mkdir -p "$dir/test-results"
    {
        echo '<?xml version="1.0" encoding="UTF-8"?>'
        echo "<testsuite name=\"x\" tests=\"$#\">"
        for entry in "$@"; do
            printf '\t<testcase name="%s" classname="%s" time="0.1" status="%s">\n\t</testcase>\n' \
                "${entry%%:*}" "${entry%%:*}" "${entry#*:}"
        done
        echo '</testsuite>'
    } >"$dir/ctest-junit.xml"
}

gtest_xml() {   # DIR NAME TESTS FAILURES
    cat >"$work/$1/test-results/$2.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<testsuites tests="$3" failures="$4" disabled="0" errors="0" time="0.1" name="AllTests">
  <testsuite name="T" tests="$3" failures="$4" disabled="0" errors="0" time="0.1">
  </testsuite>
</testsuites>
XML
}

ctest_run good a:run b:run; gtest_xml good a 3 0
report good "$work/good" "$work/good/ctest-junit.xml" 0

ctest_run exitcode a:run; gtest_xml exitcode a 2 0
report exitcode "$work/exitcode" "$work/exitcode/ctest-junit.xml" 8

ctest_run none
report none "$work/none" "$work/none/ctest-junit.xml" 0

ctest_run nofilter a:run; gtest_xml nofilter a 0 0
report nofilter "$work/nofilter" "$work/nofilter/ctest-junit.xml" 0

ctest_run empty a:run; : >"$work/empty/test-results/a.xml"
report empty "$work/empty" "$work/empty/ctest-junit.xml" 0

ctest_run cut a:run; gtest_xml cut a 4 0; head -c 120 "$work/cut/test-results/a.xml" >"$work/cut/a" && mv "$work/cut/a" "$work/cut/test-results/a.xml"
report cut "$work/cut" "$work/cut/ctest-junit.xml" 0

report nojunit "$work/nojunit" "$work/nojunit/ctest-junit.xml" 0

ctest_run outcomes a:run; "${1:-}" --gtest_output="xml:$work/outcomes/test-results/a.xml" >/dev/null
report outcomes "$work/outcomes" "$work/outcomes/ctest-junit.xml" 0
ctest_run alldisabled a:run; "${1:-}" --gtest_filter='*DISABLED_*' --gtest_output="xml:$work/alldisabled/test-results/a.xml" >/dev/null
report alldisabled "$work/alldisabled" "$work/alldisabled/ctest-junit.xml" 0

mkdir -p "$work/unbuilt/ui" "$work/unbuilt/cli"
static_checks unbuilt "$work/unbuilt" i686 >/dev/null

expected=(
    "good: 4 passed, 0 failed, 0 skipped"
    "exitcode: 2 passed, 1 failed, 0 skipped"
    "none: 0 passed, 1 failed, 0 skipped"
    "nofilter: 0 passed, 1 failed, 0 skipped"
    "empty: 0 passed, 1 failed, 0 skipped"
    "cut: 0 passed, 1 failed, 0 skipped"
    "nojunit: 0 passed, 1 failed, 0 skipped"
    "outcomes: 1 passed, 0 failed, 2 skipped"
    "alldisabled: 0 passed, 1 failed, 0 skipped"
    "unbuilt: 0 passed, 2 failed, 0 skipped"
)
bad=0
for i in "${!expected[@]}"; do
    if [ "${summary[$i]:-}" != "${expected[$i]}" ]; then
        echo "FAIL: expected '${expected[$i]}', got '${summary[$i]:-<none>}'"
        bad=1
    fi
done
[ "$status" = 1 ] || { echo "FAIL: the broken suites left status $status"; bad=1; }
[ $bad = 0 ] && echo "suites_test: ${#expected[@]} summaries counted as expected"
exit $bad
