#!/usr/bin/env bash
# Where a Windows program's bytes go, from the link map the build writes beside
# it (build/<dir>/ui/Turfwise.map, build/<dir>/cli/turfwise-cli.map): bytes per
# library, or per object with --objects, and per kind of section, largest
# first. Debug sections are left out; .bss takes no room in the file.
#   scripts/sizes.sh [--objects] MAP [LINES]
set -euo pipefail
mode=lib
[ "${1:-}" = --objects ] && { mode=obj; shift; }
map=${1:?usage: sizes.sh [--objects] MAP [LINES]}
lines=${2:-25}
# Only the memory map: the first part lists archive members and discarded sections.
sed -n '/^Linker script and memory map/,$p' "$map" | awk -v mode="$mode" '
function hex(s,   i, v) {
    v = 0; s = tolower(substr(s, 3))
    for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return v
}
function add(sec, size, file,   n, p, key, kind) {
    if (file ~ /^0x/) return                  # a value the linker script writes (LONG 0x0)
    if (mode == "lib" && match(file, /[^\/]*\.a\(/)) key = substr(file, RSTART, RLENGTH - 1)
    else { n = split(file, p, "/"); key = p[n] }
    if (key == "stuff") key = "(relocations)"    # ld calls .reloc "dll stuff"
    if (sec ~ /^\.debug|^\.stab/) return
    kind = sec ~ /^\.text/ ? "text" : sec ~ /^\.rdata/ ? "rdata" : sec ~ /^\.eh_frame/ ? "eh_frame" : \
           sec ~ /^\.pdata/ ? "pdata" : sec ~ /^\.xdata/ ? "xdata" : sec ~ /^\.data/ ? "data" : \
           sec ~ /^\.bss/ ? "bss" : sec ~ /^\.idata/ ? "idata" : "other"
    bytes[key, kind] += size; total[key] += size; kinds[kind] = 1
}
/^[^ ]/ { pending = ""; next }
# A long input section name has its address and size on the next line.
/^ [^ *][^ ]*$/ { pending = $1; next }
{
    if (pending != "" && $1 ~ /^0x/ && $2 ~ /^0x/ && NF >= 3) add(pending, hex($2), $NF)
    else if ($1 !~ /^0x|^\*/ && $2 ~ /^0x/ && $3 ~ /^0x/ && NF >= 4) add($1, hex($3), $NF)
    pending = ""
}
END {
    n = split("text rdata data eh_frame pdata xdata idata other bss", order, " ")
    printf "%-52s", "library"; for (i = 1; i <= n; i++) if (order[i] in kinds) printf " %8s", order[i]
    printf " %8s\n", "total"
    for (k in total) {
        printf "%-52s", substr(k, 1, 52)
        for (i = 1; i <= n; i++) if (order[i] in kinds) printf " %8d", bytes[k, order[i]]
        printf " %8d\n", total[k]
    }
}' | { IFS= read -r head; echo "$head"; sort -k "$(awk '{print NF}' <<<"$head")" -nr | head -n "$lines"; }
