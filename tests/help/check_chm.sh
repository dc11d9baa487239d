#!/bin/bash
# Opens the compiled help file and checks that it holds a page for every
# name the plugin implements (the Help entry's topics), the overview, the
# contents tree and index, and the full-text search index.
set -u
chm=$1 pluginh=$2
[ -f "$chm" ] || { echo "FAIL: no help file $chm"; exit 1; }
listing=$(enum_chmLib "$chm") || { echo "FAIL: enum_chmLib cannot open $chm"; exit 1; }

# The implements list as the plugin hands it to the host.
names=$(sed -n '/#define SONARO_IMPLEMENTS/,/^$/p' "$pluginh" | grep -o 'L"[^"]*"' |
        sed -e 's/^L"//' -e 's/"$//' | tr -d '\n' | tr ',' ' ')
[ -n "$names" ] || { echo "FAIL: no implements list in $pluginh"; exit 1; }

fail=0 count=0
has() { grep -q -E "[[:space:]]$1\$" <<< "$listing"; }
for name in $names overview; do
    case $name in
        @*) topic=f_${name#@} ;;
        _*) topic=v$name ;;
        *) topic=$name ;;
    esac
    topic=${topic,,}
    if has "/$topic\\.html"; then count=$((count + 1)); else echo "FAIL: no page /$topic.html"; fail=1; fi
done
for special in '/Sonaro\.hhc' '/Sonaro\.hhk' '/\$FIftiMain' '/#SYSTEM'; do
    has "$special" || { echo "FAIL: ${special//\\/} missing"; fail=1; }
done
# Each page must have content, not just a name.
while read -r size name; do
    [ "$size" -ge 400 ] || { echo "FAIL: $name is only $size bytes"; fail=1; }
done < <(awk '$NF ~ /\.html$/ {print $3, $NF}' <<< "$listing")
[ $fail = 0 ] && echo "ok: $count topic pages, contents, index and search in $(basename "$chm")"
exit $fail
