#!/usr/bin/env bash
# Turfwise.exe is a 32-bit program that needs nothing but Windows' own DLLs.
set -u
exe=$1
dump=$(i686-w64-mingw32-objdump -p "$exe") || exit 1
status=0
grep -q 'Magic[[:space:]]*010b' <<<"$dump" || { echo "$exe is not a 32-bit (PE32) program"; status=1; }
allowed='^(advapi32|comctl32|gdi32|kernel32|msvcrt|user32)\.dll$'
while read -r dll; do
    if grep -Eqi "$allowed" <<<"$dll"; then
        echo "imports $dll"
    else
        echo "imports $dll, which is not a system DLL"
        status=1
    fi
done < <(sed -n 's/.*DLL Name: //p' <<<"$dump")
exit $status
