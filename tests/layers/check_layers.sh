#!/bin/bash
# Who may include whom is written down once, in docs/architecture.md, and
# held to here, so that the document and the code cannot drift apart.
#  - The folders of src/ are layers in the order of the line
#      Layers, bottom to top: sys, base, ...
#    A folder's files include headers of their own folder and of those its
#    row of the table lists under "May call" ("every folder below": all lower
#    layers; "the operating system only": none).  A row lists only folders
#    below its own.
#  - The modules of the stand-in shell (x.h with x.cpp) are in the order of
#      Shell modules, bottom to top: ...
#    and include only the shell's headers of modules below their own.
set -u
src=$1 doc=$2 shell=$(dirname "$1")/host/shell
fail=0
bad() { echo "FAIL: $*"; fail=1; }

# The names on the document's line "$1, bottom to top: ..." into `order`,
# their places into `rank`.
declare -a order
declare -A rank
read_order() {
    local line i
    line=$(grep -m1 "^$1, bottom to top:" "$doc") || { echo "FAIL: no line \"$1, bottom to top:\" in $doc"; exit 1; }
    read -r -a order <<< "$(sed -e 's/^[^:]*://' -e 's/[,.`]/ /g' <<< "$line")"
    [ ${#order[@]} -gt 1 ] || { echo "FAIL: the line \"$1\" names fewer than two"; exit 1; }
    rank=()
    for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done
}

# Every quoted include under $1, as file:line:path.
includes() {
    grep -rn --include='*.h' --include='*.cpp' --include='*.rc' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$1" |
        sed 's/^\([^:]*:[0-9]*\):[^"]*"\([^"]*\)".*/\1:\2/'
}

# src/: the layers and the table's "May call" column.
read_order Layers
layers=${#order[@]}
for dir in "$src"/*/; do
    name=$(basename "$dir")
    [ -n "${rank[$name]+x}" ] || bad "src/$name is not in the layer order"
done
declare -A may  # a folder's row: " name name ... "
while IFS='|' read -r folder cell; do
    if [ -z "${rank[$folder]+x}" ]; then bad "the table has a row for $folder/, which is in no layer"; continue; fi
    [ -z "${may[$folder]+x}" ] || bad "the table has two rows for $folder/"
    case $cell in
    'the operating system only') list=() ;;
    'every folder below') list=("${order[@]:0:${rank[$folder]}}") ;;
    *) IFS=', ' read -r -a list <<< "$cell" ;;
    esac
    for name in "${list[@]}"; do
        if [ -z "${rank[$name]+x}" ]; then bad "the row of $folder/ lists $name, which is in no layer"
        elif [ "${rank[$name]}" -ge "${rank[$folder]}" ]; then bad "the row of $folder/ lists $name/, which is not below it"
        fi
    done
    may[$folder]=" ${list[*]} "
done < <(awk -F'|' '
    table && !/^\|/ { exit }
    table && !/^\|[- |]*$/ { f = $2; c = $(NF - 1); gsub(/[` \/]/, "", f); gsub(/[`\/]/, "", c)
                             gsub(/^ +| +$/, "", c); print f "|" c }
    /^\| *Folder *\|.*\| *May call *\| *$/ { table = 1 }' "$doc")
for name in "${order[@]}"; do
    [ -d "$src/$name" ] || bad "the layer line names $name, which is no folder of src/"
    [ -n "${may[$name]+x}" ] || bad "$name/ has no row in the table"
done
while IFS=: read -r file number path; do
    file=${file#"$src"/} from=${file%%/*} to=${path%%/*}
    [ "$to" != "$path" ] && [ "$to" != "$from" ] && [ -n "${may[$from]+x}" ] || continue
    if [ -z "${rank[$to]+x}" ]; then bad "src/$file:$number: $from/ includes $to/, which is in no layer"
    elif [[ ${may[$from]} != *" $to "* ]]; then bad "src/$file:$number: $from/ includes $to/, which its row does not list"
    fi
done < <(includes "$src")

# host/shell: its modules in one order.
read_order 'Shell modules'
for file in "$shell"/*.h "$shell"/*.cpp; do
    name=$(basename "${file%.*}")
    [ -n "${rank[$name]+x}" ] || bad "host/shell/$name is not in the shell's order"
done
for name in "${order[@]}"; do
    compgen -G "$shell/$name.*" > /dev/null || bad "the shell's order names $name, which has no file"
done
while IFS=: read -r file number path; do
    file=$(basename "$file") to=${path#host/shell/}
    from=${file%.*} to=${to%.h}
    [ -n "${rank[$from]+x}" ] && [ -n "${rank[$to]+x}" ] && [ "$to" != "$from" ] || continue
    [ "${rank[$to]}" -lt "${rank[$from]}" ] ||
        bad "host/shell/$file:$number: $from includes $to, which is not below it"
done < <(includes "$shell")

[ $fail -eq 0 ] && echo "OK: $layers layers as the table allows, ${#order[@]} shell modules in order"
exit $fail
