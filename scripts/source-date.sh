#!/usr/bin/env bash
# Prints the time, in seconds since 1970, that the packages date their files
# by: SOURCE_DATE_EPOCH where the caller sets it (as Debian's builds do), else
# the time of the checkout's commit, else, in an export of the sources with
# no history, the newest source file's time (an archive made by git archive
# dates every file by its commit).
#   scripts/source-date.sh [SOURCE-FOLDER]
set -euo pipefail
cd "${1:-$(dirname "${BASH_SOURCE[0]}")/..}"
if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
    [[ $SOURCE_DATE_EPOCH =~ ^[0-9]+$ ]] || { echo "SOURCE_DATE_EPOCH is not a number: $SOURCE_DATE_EPOCH" >&2; exit 1; }
    echo "$SOURCE_DATE_EPOCH"
    exit 0
fi
# Only a history of this folder's own: an export unpacked inside another
# repository would otherwise take that one's commit.
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ] && when=$(git log -1 --format=%ct 2>/dev/null); then
    echo "$when"
    exit 0
fi
# What a build leaves is newer than the sources and would change the date of
# a second build.
newest=$(find . \( -path ./build -o -path ./out -o -path ./dist -o -path ./.git \) -prune \
    -o -type f -printf '%Ts\n' | sort -n | tail -1)
[ -n "$newest" ] || { echo "no source files in $(pwd)" >&2; exit 1; }
echo "$newest"
