#!/usr/bin/env bash
# Checks a built Windows program without running it: its arch, that it needs
# nothing but Windows' own DLLs and imports none of the per-monitor DPI
# functions older Windows lacks, that it carries version information, and for
# a program with windows exactly the imports it starts with and a manifest that
# takes the common controls 6, declares it DPI-aware per monitor and for the
# system, and asks for no execution level (Windows' file virtualization for
# legacy programs must cover it). A console program carries no manifest.
#   check_exe.sh PROGRAM.exe i686|x86_64
set -u
exe=$1 arch=$2
case $arch in
i686)   magic=010b kind="32-bit (PE32)" ;;
x86_64) magic=020b kind="64-bit (PE32+)" ;;
*)      echo "unknown arch $arch"; exit 2 ;;
esac
dump=$("$arch-w64-mingw32-objdump" -p "$exe") || exit 1
status=0
grep -q "Magic[[:space:]]*$magic" <<<"$dump" || { echo "$exe is not a $kind program"; status=1; }
allowed='^(advapi32|comctl32|gdi32|kernel32|msvcrt|user32|shell32)\.dll$'
while read -r dll; do
    if grep -Eqi "$allowed" <<<"$dll"; then
        echo "imports $dll"
    else
        echo "imports $dll, which is not a system DLL"
        status=1
    fi
done < <(sed -n 's/.*DLL Name: //p' <<<"$dump")
# Per-monitor DPI came with Windows 8.1 and 10: a program that imports its
# functions does not start on the systems before, so it looks them up.
newer=$(sed -n '/DLL Name: /,$p' <<<"$dump" | grep -Eo '[A-Za-z]*(DpiForWindow|ForDpi|DpiAwarenessContext|DpiChangeBehavior)[A-Za-z]*' | sort -u)
[ -z "$newer" ] || { echo "$exe imports $(echo $newer), which Windows before 10 lacks"; status=1; }
# Resource types are the entries of the first level of the resource directory.
types=$(sed -n '/Resource Directory section/,$p' <<<"$dump" | sed -n 's/^[0-9a-f]*   Entry: ID: 0x\([0-9a-f]*\),.*/\1/p')
grep -qx 000010 <<<"$types" || { echo "$exe has no version information"; status=1; }
# The manifest is stored as it was written: plain XML in the resource section.
manifest=$(LC_ALL=C sed -n '/<assembly/,/<\/assembly>/p' "$exe" | LC_ALL=C tr -d '\000')
if grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$dump"; then
    grep -qx 000018 <<<"$types" || { echo "$exe has no manifest"; status=1; }
    grep -Eq '<dpiAware[^>]*>[[:space:]]*true[[:space:]]*</dpiAware>' <<<"$manifest" ||
        { echo "$exe does not declare itself DPI-aware"; status=1; }
    grep -Eq '<dpiAwareness[^>]*>[[:space:]]*PerMonitorV2, PerMonitor[[:space:]]*</dpiAwareness>' <<<"$manifest" ||
        { echo "$exe does not declare itself DPI-aware per monitor"; status=1; }
    grep -Eq 'name="Microsoft\.Windows\.Common-Controls"[[:space:]]+version="6\.0\.0\.0"' <<<"$manifest" ||
        { echo "$exe does not take the common controls 6"; status=1; }
    grep -Eqi 'requestedExecutionLevel|trustInfo' <<<"$manifest" &&
        { echo "$exe asks for an execution level, which turns file virtualization off"; status=1; }
    # Loaded when first needed (the Open dialog, a drop, the theme, a screen
    # reader): at start-up every DLL adds to the time before the window shows,
    # under Wine most of all.
    late=$(grep -Eio 'DLL Name: (comdlg32|shell32|uxtheme|oleacc|oleaut32|ole32)\.dll' <<<"$dump" | sed 's/DLL Name: //')
    [ -n "$late" ] &&
        { echo "$exe imports $(echo $late), which it must load only when first needed"; status=1; }
    imports=$(sed -n 's/.*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
    [ "$imports" = "advapi32.dll comctl32.dll gdi32.dll kernel32.dll msvcrt.dll user32.dll " ] ||
        { echo "$exe imports $imports, not exactly advapi32 comctl32 gdi32 kernel32 msvcrt user32"; status=1; }
    what="a manifest with the common controls 6 and DPI awareness, no execution level, no other imports than its six"
else
    grep -qx 000018 <<<"$types" && { echo "$exe carries a manifest"; status=1; }
    what="no manifest"
fi
[ $status = 0 ] && echo "$exe: $kind, system DLLs only, version information, $what"
exit $status
