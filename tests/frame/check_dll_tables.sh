#!/bin/bash
# Compares a built plugin DLL's export and import tables with the expected
# lists: every entry exported under its plain name (the version entry under
# its decorated name), and imports only from Windows system DLLs and
# TakeCmd.dll, using only the host functions the plugin declares.
set -u
objdump=$1 arch=$2 dll=$3 dir=$4
fail=0
dump=$(mktemp); trap 'rm -f "$dump" "$dump".*' EXIT
"$objdump" -p "$dll" > "$dump" || { echo "objdump failed on $dll"; exit 1; }

# Exports: the names after "[Ordinal/Name Pointer] Table".
awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[ *[0-9]+\] /{print $NF; next} {on=0}' \
    "$dump" | sort > "$dump.exports"
sed -e 's/#.*//' -e '/^\s*$/d' "$dir/exports.txt" > "$dump.expected"
if [ "$arch" = x86 ]; then echo '?_clver$@@YGHPA_W@Z'; else echo '?_clver$@@YAHPEA_W@Z'; fi >> "$dump.expected"
sort -o "$dump.expected" "$dump.expected"
if ! diff -u "$dump.expected" "$dump.exports" > "$dump.diff"; then
    echo "FAIL: exports of $(basename "$dll") differ from the expected list (- expected, + actual):"
    cat "$dump.diff"; fail=1
else
    echo "ok: $(wc -l < "$dump.exports") exports of $(basename "$dll") as expected"
fi

# Imported DLLs.
grep -i 'DLL Name:' "$dump" | awk '{print tolower($3)}' | sort -u > "$dump.dlls"
sed -e 's/#.*//' -e '/^\s*$/d' "$dir/imports.txt" | tr 'A-Z' 'a-z' | sort -u > "$dump.alloweddlls"
extra=$(comm -23 "$dump.dlls" "$dump.alloweddlls")
if [ -n "$extra" ]; then
    echo "FAIL: $(basename "$dll") imports from DLLs outside the allowed list: $extra"; fail=1
else
    echo "ok: imports only from: $(tr '\n' ' ' < "$dump.dlls")"
fi
grep -qi '^takecmd.dll$' "$dump.dlls" || { echo "FAIL: no imports from TakeCmd.dll"; fail=1; }

# Functions imported from TakeCmd.dll: only the declared host functions.
awk 'tolower($0) ~ /dll name: takecmd.dll/{on=1; next} on && /Hint\/Ord/{next} on && NF==3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/{print $3; next} {on=0}' \
    "$dump" | sort -u > "$dump.hostfns"
bad=$(grep -v -x -E 'Printf|Qprintf|Sprintf|QPuts|CrLf|ExpandVariables|ASCIIToUnicode|QueryTrueName|WildcardComparison|GetAttribute|ParseColors|SetColors' "$dump.hostfns")
if [ -n "$bad" ]; then
    echo "FAIL: unexpected TakeCmd.dll imports: $bad"; fail=1
else
    echo "ok: TakeCmd.dll functions: $(tr '\n' ' ' < "$dump.hostfns")"
fi

# Self-contained: no MinGW runtime DLLs.
if grep -E -i -q 'libstdc\+\+|libgcc|libwinpthread' "$dump.dlls"; then
    echo "FAIL: depends on a MinGW runtime DLL"; fail=1
fi
exit $fail
