#!/bin/bash
# The folders of src/ form layers: a file may include headers of its own
# folder and of folders below it, never of one above it or beside it.  The
# order is the one docs/architecture.md writes down, on its line
#   Layers, bottom to top: sys, base, ...
# so the document and this check cannot drift apart.
set -u
src=$1 doc=$2
line=$(grep -m1 '^Layers, bottom to top:' "$doc") ||
    { echo "FAIL: no layer line in $doc"; exit 1; }
read -r -a layers <<< "$(sed -e 's/^Layers, bottom to top://' -e 's/[,.`]/ /g' <<< "$line")"
[ ${#layers[@]} -gt 1 ] || { echo "FAIL: the layer line names no layers"; exit 1; }

declare -A rank
for i in "${!layers[@]}"; do rank[${layers[$i]}]=$i; done

fail=0
# Every folder of src/ has its place.
for dir in "$src"/*/; do
    name=$(basename "$dir")
    [ -n "${rank[$name]+x}" ] || { echo "FAIL: src/$name is not in the layer order"; fail=1; }
done

# Every include of a folder's header points down or stays at home.
while IFS=: read -r file number text; do
    from=${file#"$src"/}; from=${from%%/*}
    to=$(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^/"]*\)\/.*/\1/p' <<< "$text")
    [ -n "$to" ] && [ "$to" != "$from" ] || continue
    [ -n "${rank[$from]+x}" ] || continue
    if [ -z "${rank[$to]+x}" ]; then
        echo "FAIL: ${file#"$src"/}:$number includes $to/, which is in no layer"; fail=1
    elif [ "${rank[$to]}" -gt "${rank[$from]}" ]; then
        echo "FAIL: ${file#"$src"/}:$number: $from/ includes $to/, a layer above it"; fail=1
    fi
done < <(grep -rn --include='*.h' --include='*.cpp' --include='*.rc' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$src")

[ $fail -eq 0 ] && echo "OK: ${#layers[@]} layers, every include points down"
exit $fail
