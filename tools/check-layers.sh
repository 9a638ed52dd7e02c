#!/usr/bin/env bash
# Holds every layered folder to the layer table in docs/DEVELOPING.md: an
# `#include "folder/..."` may name only the folders its row lists, or a header
# the exceptions table names for it. Prints each break as file:line and the
# rule, and exits 1 if there is any.
#   tools/check-layers.sh [SOURCE_ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
doc=$root/docs/DEVELOPING.md
[ -r "$doc" ] || { echo "check-layers: cannot read $doc" >&2; exit 2; }

declare -A allowed extra
# Rows of a marked table: "| `folder/` | cells... |" -> "folder<TAB>second cell".
table_rows() {
    awk -v begin="<!-- $1:" -v end="<!-- /$1 -->" '
        index($0, begin) == 1 { inside = 1; next }
        index($0, end) == 1 { inside = 0 }
        inside && /^\| `/ {
            n = split($0, cell, "|")
            folder = cell[2]; gsub(/[` \/]/, "", folder)
            list = cell[3]; gsub(/`/, "", list); gsub(/^ +| +$/, "", list)
            print folder "\t" list
        }' "$doc"
}
while IFS=$'\t' read -r folder list; do allowed[$folder]=" $list "; done < <(table_rows layers)
while IFS=$'\t' read -r folder list; do extra[$folder]=" $list "; done < <(table_rows layer-exceptions)
[ ${#allowed[@]} -gt 0 ] || { echo "check-layers: no layer table in $doc" >&2; exit 2; }

broken=0
for folder in "${!allowed[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r hit; do
        file=${hit%%:*}; rest=${hit#*:}; line=${rest%%:*}; text=${rest#*:}
        [[ $text =~ \"([^\"]+)\" ]] || continue
        target=${BASH_REMATCH[1]}
        to=${target%%/*}
        [ "$to" = "$folder" ] && continue
        [ -n "${allowed[$to]+x}" ] || continue  # not a layered folder (e.g. a generated ui_ header)
        [[ ${allowed[$folder]} == *" $to "* ]] && continue
        [[ ${extra[$folder]:-} == *" $target "* ]] && continue
        echo "${file#"$root"/}:$line: includes \"$target\", but $folder/ may include only:${allowed[$folder]:- nothing}(docs/DEVELOPING.md, layer table)"
        broken=1
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' \
                 --include='*.h' --include='*.cpp' --include='*.cc' --include='*.in' "$root/$folder" || true)
done
exit $broken
