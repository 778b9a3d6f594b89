#!/usr/bin/env bash
# Tests the Linux downloads as scripts/package.sh leaves them in dist/: the
# tarball's program in a chroot that holds nothing else, on class lists and a
# Wine prefix made here byte by byte; set and restore on a copy; the .deb's
# fields and files, its program as dpkg-deb -x unpacks it, and lintian; the
# man page against groff and --help; the bash completion; the date a source
# export gives its files. Everything happens under OUT; nothing is installed.
# Writes one line per case, with its outcome, to OUT/junit-linux.xml.
#   scripts/test-linux-package.sh OUT
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
out=${1:?usage: test-linux-package.sh OUT}
cd "$root"
rm -rf "$out"

version=$(cat build/release-linux/version.txt 2>/dev/null)
tarball=dist/turfwise-cli-$version-linux-x86_64.tar.gz
deb=dist/turfwise-cli_${version}_amd64.deb
[ -n "$version" ] && [ -f "$tarball" ] && [ -f "$deb" ] ||
    { echo "no Linux package: run scripts/package.sh first" >&2; exit 1; }
mkdir -p "$out/tarball"
out=$(cd "$out" && pwd)
# The report appears only once every case has run: a run cut short leaves
# none, which counts as a failure.
junit=$out/junit-linux.xml.part
: >"$junit"
tar -xzf "$tarball" -C "$out/tarball" || exit 1
tree=$out/tarball/turfwise-cli-$version
cli=$tree/turfwise-cli

# --- class lists, byte by byte ------------------------------------------------------

bytes() {   # VALUE COUNT: COUNT little-endian bytes of VALUE
    local i
    for ((i = 0; i < $2; ++i)); do printf "\\x$(printf %02x $((($1 >> (8 * i)) & 255)))"; done
}
zeros() { head -c "$1" /dev/zero; }

# A texture class (opcode 0x00A1) with its texture list right behind it and
# the texture name record behind that. NAME is a printf format: \xNN for a
# byte of the game's Windows-1252.
textured_class() {   # NUMBER TYPE NAME ENTRIES
    local name
    name=$(printf "$3"; echo .) && name=${name%.}
    printf '\xa1\x00'; bytes "$1" 2; bytes "$2" 2; bytes 10 4
    printf '\x64\x00\x00\x00'; bytes "$4" 2; zeros $((2 * $4))
    printf '\x43\x00'; bytes $((12 + ${#name} + 1)) 2; zeros 8; printf '%s\0' "$name"
}

# Four classes behind a 64-byte header record: two as the game ships them, a
# negative class number with a name beyond ASCII, a code with no name.
# Writes where each class's surface type lies to FILE.types.
make_class_list() {   # FILE
    local file=$1 LC_ALL=C
    {
        printf '\x01\x00'; zeros 56; bytes 64 4; zeros 2
    } >"$file"
    : >"$file.types"
    local class
    for class in "0 2 WATER000.BMP 1" "1 10 CITY001.BMP 2" "-5 6 CAF\\xc9.BMP 1" "7 0x1234 LAND003.BMP 3"; do
        echo $(($(stat -c %s "$file") + 4)) >>"$file.types"
        # shellcheck disable=SC2086
        textured_class $class >>"$file"
    done
    printf '\x00\x00' >>"$file"
}

# Made once; each case takes a copy.
make_class_list "$out/classlist.bgl"
copy_class_list() { cp "$out/classlist.bgl" "$1"; }

listing() {
    cat <<'LIST'
  0 [1] WATER000.BMP Type= Water
  1 [2] CITY001.BMP Type= City
 -5 [1] CAFÉ.BMP Type= Long grass
  7 [3] LAND003.BMP Type= UNKNOWN(1234)
LIST
}

# A Wine prefix as a 64-bit Wine leaves it after the game's 32-bit installer:
# the game's entry in the registry's 32-bit view, drive C: a link in
# dosdevices, the game under "Program Files".
write_prefix() {   # PREFIX
    local prefix=$1 game='Program Files/Microsoft Games/Combat Flight Simulator'
    mkdir -p "$prefix/dosdevices" "$prefix/drive_c/$game/Scenery/All/Scenery"
    ln -s ../drive_c "$prefix/dosdevices/c:"
    cat >"$prefix/system.reg" <<'REG'
WINE REGISTRY Version 2
;; All keys relative to \\Machine

#arch=win64

[Software\\Microsoft\\Windows\\CurrentVersion] 1700000000
"ProgramFilesDir"="C:\\Program Files"

[Software\\Wow6432Node\\Microsoft\\Microsoft Games\\Combat Flight Simulator\\1.00] 1700000000
#time=1d9c0a1b2c3d4e5
"PATH"="C:\\Program Files\\Microsoft Games\\Combat Flight Simulator"
REG
    copy_class_list "$prefix/drive_c/$game/Scenery/All/Scenery/CLASSLIST.BGL"
}

# --- running the cases --------------------------------------------------------------

# A case fails when it complains at all, or returns non-zero.
bad=0
fail() { echo "  $*"; bad=1; return 1; }

# The output of a run is kept in $ran, its exit status in $rc.
ran= rc=
run() {
    ran=$("$@" 2>&1)
    rc=$?
}

expect() {   # WHAT STATUS EXPECTED: $rc and $ran after a run
    [ "$rc" = "$2" ] || { fail "$1: exit status $rc, expected $2; it printed:"; printf '%s\n' "$ran" | sed 's/^/    /' | head -20; return 1; }
    [ "$ran" = "$3" ] || { fail "$1: printed, expected:"; diff <(printf '%s\n' "$3") <(printf '%s\n' "$ran") | sed 's/^/    /' | head -20; return 1; }
}

case_() {   # NAME FUNCTION
    local state=fail start=$SECONDS
    echo "== linux package: $1"
    if ("$2" && [ $bad = 0 ]); then state=run; fi
    [ $state = run ] && echo "   passed ($((SECONDS - start)) s)" || echo "   FAILED"
    printf '<testcase name="%s" status="%s">\n' "$1" $state >>"$junit"
}

# Root goes in with chroot; anyone else through a user namespace of their
# own. With an environment of nothing but HOME.
chroot=$(command -v chroot || echo /usr/sbin/chroot)
in_chroot() {   # DIR COMMAND...
    local dir=$1
    shift
    if [ "$(id -u)" = 0 ]; then
        env -i HOME=/ "$chroot" "$dir" "$@"
    else
        env -i HOME=/ "$(command -v unshare)" -r "$chroot" "$dir" "$@"
    fi
}

# --- the cases ----------------------------------------------------------------------

tarball_contents() {
    local files
    files=$(cd "$out/tarball" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' ')
    [ "$files" = "./turfwise-cli-$version ./turfwise-cli-$version/README.txt ./turfwise-cli-$version/turfwise-cli ./turfwise-cli-$version/turfwise-cli.1 ./turfwise-cli-$version/turfwise-cli.bash-completion " ] ||
        fail "the tarball holds: $files"
    [ -x "$cli" ] || fail "turfwise-cli is not executable"
    local header
    header=$(readelf -h -l -d -S -W "$cli" 2>&1) || fail "readelf: $header"
    grep -q 'Machine:.*X86-64' <<<"$header" || fail "turfwise-cli is not an x86_64 program"
    ! grep -q '(NEEDED)' <<<"$header" || fail "turfwise-cli needs a shared library: $(grep '(NEEDED)' <<<"$header")"
    ! grep -q 'INTERP' <<<"$header" || fail "turfwise-cli asks for a program interpreter"
    ! grep -q '\.symtab' <<<"$header" || fail "turfwise-cli is not stripped"
    grep -q "turfwise-cli-$version-linux-x86_64.tar.gz" "$tree/README.txt" &&
        grep -q "turfwise-cli_${version}_amd64.deb" "$tree/README.txt" || fail "README.txt does not name both downloads"
}

# A root with nothing but the program in it: no loader, no libc, no /etc.
chroot_alone() {
    local dir=$out/chroot-alone
    mkdir -p "$dir" && cp "$cli" "$dir/"
    run in_chroot "$dir" /turfwise-cli --version
    expect "--version" 0 "turfwise-cli $version" || return 1
    run in_chroot "$dir" /turfwise-cli --help
    [ $rc = 0 ] && grep -q '^Usage: turfwise-cli ' <<<"$ran" || fail "--help: exit status $rc, printed: $ran" || return 1
    # No prefix at $HOME/.wine: the game cannot be found.
    run in_chroot "$dir" /turfwise-cli list
    [ $rc = 2 ] && grep -q 'cannot locate Combat Flight Simulator' <<<"$ran" || fail "list with no prefix: exit status $rc, printed: $ran"
}

list_exactly() {
    local dir=$out/chroot-list
    mkdir -p "$dir" && cp "$cli" "$dir/"
    copy_class_list "$dir/CLASSLIST.BGL"
    local before
    before=$(md5sum <"$dir/CLASSLIST.BGL")
    run in_chroot "$dir" /turfwise-cli list --file /CLASSLIST.BGL
    expect "list" 0 "$(listing)" || return 1
    run in_chroot "$dir" /turfwise-cli list --water --file /CLASSLIST.BGL
    expect "list --water" 0 "  0 [1] WATER000.BMP Type= Water" || return 1
    [ "$(md5sum <"$dir/CLASSLIST.BGL")" = "$before" ] || fail "list changed the file"
}

# Found through the registry: the prefix at $HOME/.wine, then $WINEPREFIX.
wine_prefix() {
    mkdir -p "$out/home"
    write_prefix "$out/home/.wine"
    run env -u WINEPREFIX HOME="$out/home" "$cli" list
    expect "list in \$HOME/.wine" 0 "$(listing)" || return 1
    write_prefix "$out/prefix with spaces"
    run env WINEPREFIX="$out/prefix with spaces" HOME=/nonexistent "$cli" list
    expect "list in \$WINEPREFIX" 0 "$(listing)"
}

# set stores the surface types asked for and nothing else; restore puts the
# backup back byte for byte.
set_and_restore() {
    local dir=$out/edit file original types
    mkdir -p "$dir"
    original=$out/classlist.bgl file=$dir/CLASSLIST.BGL
    cp "$original" "$file"
    mapfile -t types <"$original.types"
    run "$cli" set Forest --class 1 --position 3 --file "$file"
    expect "set" 0 "Backup saved as $file.bak
position 1, class 1: City -> Forest
position 3, class 7: UNKNOWN(1234) -> Forest
2 classes changed." || return 1
    # cmp -l: offset from 1, then both bytes in octal. City 10 -> Forest 11; 0x1234 -> 11.
    local changed
    changed=$(cmp -l "$original" "$file" | awk '{ print $1 - 1, $2, $3 }' | tr '\n' ' ')
    [ "$changed" = "${types[1]} 12 13 ${types[3]} 64 13 $((types[3] + 1)) 22 0 " ] ||
        fail "set changed these bytes (offset, before, after in octal): $changed" || return 1
    cmp -s "$original" "$file.bak" || fail "the backup is not the file as it was" || return 1
    [ "$(ls -A "$dir" | tr '\n' ' ')" = "CLASSLIST.BGL CLASSLIST.BGL.bak " ] || fail "set left: $(ls -A "$dir")" || return 1
    run "$cli" restore --file "$file"
    [ $rc = 0 ] || fail "restore: exit status $rc, printed: $ran" || return 1
    cmp "$original" "$file" || fail "restore did not put the backup back"
}

deb_fields_and_files() {
    local field value
    for field in Package:turfwise-cli Version:$version Architecture:amd64; do
        value=$(dpkg-deb -f "$deb" "${field%%:*}")
        [ "$value" = "${field#*:}" ] || fail "${field%%:*} is '$value', expected '${field#*:}'" || return 1
    done
    value=$(dpkg-deb -f "$deb" Maintainer)
    [[ $value =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$value'" || return 1
    value=$(dpkg-deb -f "$deb" Description)
    [ "$(wc -l <<<"$value")" -gt 2 ] || fail "the Description has no long description: '$value'" || return 1
    # A static program needs no other package.
    for field in Depends Pre-Depends; do
        value=$(dpkg-deb -f "$deb" $field)
        [ -z "$value" ] || fail "$field: $value" || return 1
    done
    local files
    files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort | tr '\n' ' ')
    [ "$files" = "./usr/bin/turfwise-cli ./usr/share/bash-completion/completions/turfwise-cli ./usr/share/doc/turfwise-cli/changelog.gz ./usr/share/doc/turfwise-cli/copyright ./usr/share/lintian/overrides/turfwise-cli ./usr/share/man/man1/turfwise-cli.1.gz " ] ||
        fail "the .deb holds: $files" || return 1
    if dpkg-deb -c "$deb" | awk '{ print $2 }' | grep -vqx root/root; then fail "a file of the .deb is not root's"; fi
}

deb_program() {
    local dir=$out/deb
    mkdir -p "$dir"
    dpkg-deb -x "$deb" "$dir" || return 1
    run "$dir/usr/bin/turfwise-cli" --version
    expect "--version" 0 "turfwise-cli $version" || return 1
    copy_class_list "$out/deb.bgl"
    run "$dir/usr/bin/turfwise-cli" list --file "$out/deb.bgl"
    expect "list" 0 "$(listing)" || return 1
    zcat "$dir/usr/share/man/man1/turfwise-cli.1.gz" | cmp -s - "$tree/turfwise-cli.1" &&
        cmp -s "$dir/usr/share/bash-completion/completions/turfwise-cli" "$tree/turfwise-cli.bash-completion" ||
        fail "the .deb's man page or completion is not the tarball's"
}

deb_lintian() {
    command -v lintian >/dev/null || fail "lintian is not installed (scripts/packages.sh installs it)" || return 1
    # Its unpacking stays in OUT too. Root is warned against, not refused:
    # that note is not a finding.
    mkdir -p "$out/lintian"
    run env TMPDIR="$out/lintian" HOME="$out/lintian" lintian --fail-on error,warning "$deb"
    ran=$(grep -v '^running with root privileges' <<<"$ran")
    expect "lintian" 0 ""
}

man_page() {
    local man=$tree/turfwise-cli.1 section
    run groff -man -ww -z "$man"
    expect "groff -man -ww -z" 0 "" || return 1
    for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS FILES ENVIRONMENT "EXIT STATUS" EXAMPLES; do
        grep -qx "\.SH \"\?$section\"\?" "$man" || fail "no $section section" || return 1
    done
}

# Every option and command of --help is in the man page's OPTIONS and
# COMMANDS, and no other.
man_page_and_help() {
    local man=$tree/turfwise-cli.1 help
    help=$("$cli" --help) || fail "--help failed" || return 1
    section() {   # NAME: the header line of each .TP entry of that section, plain
        sed -n "/^\.SH $1\$/,/^\.SH /p" "$man" | sed -n '/^\.TP/{n;p}' | sed 's/\\-/-/g; s/\\f[BIRP]//g'
    }
    local in_help in_man
    in_help=$(grep -o -- '--[a-z][a-z-]*' <<<"$help" | LC_ALL=C sort -u | tr '\n' ' ')
    in_man=$(section OPTIONS | grep -o -- '--[a-z][a-z-]*' | LC_ALL=C sort -u | tr '\n' ' ')
    [ "$in_help" = "$in_man" ] || fail "options: --help has $in_help; the man page has $in_man" || return 1
    in_help=$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" | sed -n 's/^  \([a-z][a-z]*\).*/\1/p' | LC_ALL=C sort | tr '\n' ' ')
    in_man=$(section COMMANDS | sed -n 's/^\.B[IR]* \([a-z][a-z]*\).*/\1/p' | LC_ALL=C sort | tr '\n' ' ')
    [ -n "$in_help" ] && [ "$in_help" = "$in_man" ] || fail "commands: --help has $in_help; the man page has $in_man"
}

# What bash offers, with only the completion loaded, for the words given.
complete_words() {   # WORD... (the last is the one completed)
    bash --norc --noprofile -c '
        . "$0" || exit 1
        # A ":" word is one bash broke out of its neighbours.
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_LINE=${COMP_LINE// : /:}; COMP_POINT=${#COMP_LINE}
        _turfwise_cli turfwise-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" " "
    ' "$tree/turfwise-cli.bash-completion" turfwise-cli "$@"
}

completion() {
    local got help types
    got=$(complete_words set wa)
    [ "$got" = "water " ] || fail "'set wa' completes to '$got'" || return 1
    got=$(complete_words --ga)
    [ "$got" = "--game-folder " ] || fail "'--ga' completes to '$got'" || return 1
    got=$(complete_words set --class 5 LONG)
    [ "$got" = "long-grass " ] || fail "'set --class 5 LONG' completes to '$got'" || return 1
    # The surface types as --help names them, a hyphen for a blank.
    help=$("$cli" --help)
    types=$(grep -o 'TYPE is one of .*' <<<"$help" | sed 's/^TYPE is one of //; s/ ([0-9]*),\?/\n/g' |
        sed 's/^ *//; /^$/d; s/ /-/g' | tr 'A-Z' 'a-z' | LC_ALL=C sort | tr '\n' ' ')
    got=$(complete_words set '')
    [ "$got" = "$types" ] || fail "'set' offers '$got'; --help names '$types'" || return 1
    # Files and folders, names with blanks included, as typed with their
    # backslashes; a drive's in the Wine prefix, after the colon bash broke at.
    local dir=$out/completion prefix=$out/completion-prefix
    mkdir -p "$dir/game folder" "$prefix/dosdevices" "$prefix/drive_c/Program Files" && : >"$dir/CLASSLIST copy.BGL"
    ln -s ../drive_c "$prefix/dosdevices/c:"
    got=$(cd "$dir" && complete_words --file '')
    [ "$got" = "CLASSLIST copy.BGL game folder " ] || fail "'--file' offers '$got'" || return 1
    got=$(cd "$dir" && complete_words list --game-folder '')
    [ "$got" = "game folder " ] || fail "'--game-folder' offers '$got'" || return 1
    got=$(cd "$dir" && complete_words --game-folder = 'game\ f')
    [ "$got" = "game folder " ] || fail "'--game-folder=game\ f' offers '$got'" || return 1
    got=$(WINEPREFIX=$prefix complete_words --file C : '/Program\ F')
    [ "$got" = "/Program Files/ " ] || fail "'--file C:/Program\ F' offers '$got'"
}

# A source export has no history of its own, even unpacked inside another
# repository (this one): its newest file dates it, not 1970 nor the other's
# commit, unless SOURCE_DATE_EPOCH says otherwise.
export_date() {
    local dir=$out/export
    mkdir -p "$dir/scripts" "$dir/dist" && cp scripts/source-date.sh "$dir/scripts/" && : >"$dir/dist/made.deb"
    touch -d @1000000000 "$dir/scripts/source-date.sh" && touch -d @1100000000 "$dir/CMakeLists.txt"
    run env -u SOURCE_DATE_EPOCH "$dir/scripts/source-date.sh"
    expect "the export's date" 0 1100000000 || return 1
    run env SOURCE_DATE_EPOCH=1200000000 "$dir/scripts/source-date.sh"
    expect "SOURCE_DATE_EPOCH" 0 1200000000
}

case_ tarball tarball_contents
case_ chroot chroot_alone
case_ list list_exactly
case_ wine-prefix wine_prefix
case_ set-restore set_and_restore
case_ deb deb_fields_and_files
case_ deb-program deb_program
case_ lintian deb_lintian
case_ man-page man_page
case_ man-page-help man_page_and_help
case_ completion completion
case_ export-date export_date
mv "$junit" "$out/junit-linux.xml"
