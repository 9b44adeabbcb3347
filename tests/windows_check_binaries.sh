#!/usr/bin/env bash
# Checks the headers of the two Windows DLLs with objdump and windres:
#  - JXelAgtbase.dll takes every agent operation from libxelagtapi.dll by
#    ordinal, exactly the ordinals of the .def, and nothing by name;
#  - it exports exactly the names in EXPORTS (the natives, and the conversion
#    functions under both the GNU and the MSVC C++ names), nothing by ordinal
#    alone;
#  - the stand-in exports the operations at those ordinals without names;
#  - neither imports anything but KERNEL32, the C runtime and, for the bridge,
#    libxelagtapi.dll;
#  - both, and the OTHER DLLs, use one C runtime alone, the build's CRT (ucrt:
#    api-ms-win-crt-*, no msvcrt.dll; msvcrt; msvcr120...; any: whichever the
#    bridge uses): the agent frees what the bridge allocates;
#  - both carry a version resource with an empty Comments and a BuildDate
#    as asctime writes it; the bridge keeps its revision text.
# Usage: windows_check_binaries.sh OBJDUMP WINDRES BRIDGE AGENT DEF EXPORTS VERSION CRT [OTHER...]
set -euo pipefail
[ $# -ge 8 ] || { sed -n '2,17p' "$0"; exit 2; }
objdump=$1 windres=$2 bridge=$3 agent=$4 def=$5 exports=$6 version=$7 crt=$8
shift 8
others=("$@")

failures=0
fail() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }
ok() { printf 'ok: %s\n' "$*"; }
# Both arguments are sorted lists, one item a line.
same() { # what expected actual
    if [ "$2" = "$3" ]; then
        ok "$1"
    else
        fail "$1"
        diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /' || true
    fi
}

# "dll<TAB>ordinal-or-hint<TAB>name" for every import; the name is <none> for
# an import by ordinal, whose ordinal objdump prints in hex.
imports() {
    "$objdump" -p "$1" | awk '
        /^\tDLL Name: / { dll = $3; next }
        dll != "" && /^\tvma:/ { next }
        dll != "" && /^[[:space:]]*$/ { dll = ""; next }
        dll != "" && NF >= 3 { print dll "\t" $2 "\t" $3 }'
}
dll_names() { cut -f1 | sort -u; }
export_names() {
    "$objdump" -p "$1" | awk '
        /^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
        on && /^[[:space:]]*$/ { on = 0 }
        on { print $NF }' | sort
}
export_ordinals() {
    "$objdump" -p "$1" | awk '
        /^Export Address Table -- Ordinal Base/ { on = 1; next }
        on && /^[[:space:]]*$/ { on = 0 }
        on && /Forwarder RVA/ { print "forwarder"; next }
        on { sub(/.*\+base\[ */, ""); sub(/\].*/, ""); print }' | sort -n
}
# The C runtime and KERNEL32 are the only system DLLs allowed.
crt_pattern='msvcrt\.dll|msvcr1[0-2]0\.dll|ucrtbase\.dll|api-ms-win-crt-[a-z0-9-]+\.dll'
foreign_dlls() { grep -viE "^(kernel32\.dll|$crt_pattern)\$" || true; }
# The C runtimes that a list of DLL names reaches, one a line: ucrt, msvcrt, msvcr120...
crt_families() {
    grep -iE "^($crt_pattern)\$" | tr 'A-Z' 'a-z' |
        sed -E 's/^(api-ms-win-crt-.*|ucrtbase\.dll)$/ucrt/; s/\.dll$//' | sort -u || true
}

def_ordinals=$(sed -n 's/^[[:space:]]*[A-Za-z_][A-Za-z0-9_]*[[:space:]]*@\([0-9][0-9]*\)[[:space:]][[:space:]]*NONAME.*$/\1/p' "$def" | sort -n)
def_entries=$(grep -cE '^[[:space:]]*[A-Za-z_][A-Za-z0-9_]*[[:space:]]*@[0-9]+' "$def" || true)
[ "$(printf '%s\n' "$def_ordinals" | grep -c .)" -eq 21 ] && [ "$def_entries" -eq 21 ] ||
    fail "$def: expected 21 operations, each NONAME (found $def_entries, NONAME: $(printf '%s\n' "$def_ordinals" | grep -c .))"

# ---- JXelAgtbase.dll: imports ----
bridge_imports=$(imports "$bridge")
agent_rows=$(printf '%s\n' "$bridge_imports" | awk -F'\t' 'tolower($1) == "libxelagtapi.dll"')
by_name=$(printf '%s\n' "$agent_rows" | awk -F'\t' '$3 != "<none>" { print $3 }')
[ -z "$by_name" ] && ok "bridge imports nothing from libxelagtapi.dll by name" ||
    fail "bridge imports from libxelagtapi.dll by name: $(echo $by_name)"
imported_ordinals=$(printf '%s\n' "$agent_rows" | awk -F'\t' '$3 == "<none>" { print $2 }' |
    while read -r hex; do printf '%d\n' "0x$hex"; done | sort -n)
same "bridge imports the 21 .def ordinals from libxelagtapi.dll ($(echo $imported_ordinals))" \
    "$def_ordinals" "$imported_ordinals"
bridge_dlls=$(printf '%s\n' "$bridge_imports" | dll_names)
extra=$(printf '%s\n' "$bridge_dlls" | grep -vix 'libxelagtapi.dll' | foreign_dlls)
[ -z "$extra" ] && ok "bridge imports only from: $(echo $bridge_dlls)" ||
    fail "bridge imports from $(echo $extra)"

# ---- JXelAgtbase.dll: exports ----
same "bridge exports exactly the names of $(basename "$exports")" \
    "$(grep . "$exports" | sort)" "$(export_names "$bridge")"
[ "$(export_ordinals "$bridge" | grep -c .)" -eq "$(grep -c . "$exports")" ] &&
    ok "bridge exports nothing by ordinal alone" ||
    fail "bridge exports $(export_ordinals "$bridge" | grep -c .) entries for $(grep -c . "$exports") names"

# ---- libxelagtapi.dll (the stand-in) ----
agent_ordinals=$(export_ordinals "$agent")
missing=$(comm -23 <(printf '%s\n' "$def_ordinals" | sort) <(printf '%s\n' "$agent_ordinals" | sort))
[ -z "$missing" ] && ok "stand-in exports every .def ordinal" ||
    fail "stand-in lacks ordinals $(echo $missing)"
unexpected=$(export_names "$agent" | grep -v '^xelagt_test_' || true)
[ -z "$unexpected" ] && ok "stand-in names only its test control ($(export_names "$agent" | grep -c .) names)" ||
    fail "stand-in exports by name: $(echo $unexpected)"
agent_dlls=$(imports "$agent" | dll_names)
extra=$(printf '%s\n' "$agent_dlls" | foreign_dlls)
[ -z "$extra" ] && ok "stand-in imports only from: $(echo $agent_dlls)" ||
    fail "stand-in imports from $(echo $extra)"

# ---- One C runtime, the build's ----
[ "$crt" = any ] && crt=$(imports "$bridge" | dll_names | crt_families)
for dll in "$bridge" "$agent" "${others[@]}"; do
    families=$(imports "$dll" | dll_names | crt_families)
    [ "$families" = "$crt" ] && ok "$(basename "$dll") uses the C runtime $crt only" ||
        fail "$(basename "$dll") uses the C runtimes '$(echo $families)', not $crt alone"
done

# ---- Version resources ----
weekday='(Sun|Mon|Tue|Wed|Thu|Fri|Sat)'
month='(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)'
asctime="^$weekday $month ( [1-9]|[12][0-9]|3[01]) ([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9] [0-9]{4}\$"
for dll in "$bridge" "$agent"; do
    name=$(basename "$dll")
    if ! resources=$("$windres" -J coff -O rc -i "$dll" 2>&1); then
        fail "$name: no version resource: $resources"
        continue
    fi
    values=$(printf '%s\n' "$resources" | sed -n 's/^ *VALUE "\([A-Za-z]*\)", "\(.*\)"$/\1\t\2/p')
    value() { printf '%s\n' "$values" | awk -F'\t' -v k="$1" '$1 == k { print $2; found = 1 } END { exit !found }'; }
    for key in Comments CompanyName FileDescription FileVersion InternalName LegalCopyright \
        OriginalFilename ProductName ProductVersion BuildDate; do
        value "$key" >/dev/null || fail "$name: no $key in the version resource"
    done
    [ "$(value Comments || echo '<none>')" = "" ] && ok "$name: Comments is empty" ||
        fail "$name: Comments is '$(value Comments || true)'"
    [ "$(value OriginalFilename || true)" = "$name" ] || fail "$name: OriginalFilename is '$(value OriginalFilename || true)'"
    for key in FileVersion ProductVersion; do
        [ "$(value $key || true)" = "$version" ] || fail "$name: $key is '$(value $key || true)', not $version"
    done
    date=$(value BuildDate || true)
    if ! printf '%s\n' "$date" | grep -qE "$asctime"; then
        fail "$name: BuildDate '$date' is not as asctime writes it"
    elif [ "$(date -u -d "$date" '+%a %b %e %H:%M:%S %Y' 2>/dev/null)" != "$date" ]; then
        fail "$name: BuildDate '$date' is no real date (weekday?)"
    else
        ok "$name: version $version, BuildDate '$date'"
    fi
done

grep -aq '@(#)JXelAgtbase \$Revision: ' "$bridge" && ok "bridge carries its revision text" ||
    fail "no revision text in the bridge"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
