#!/usr/bin/env bash
# Holds every layered folder to the layer table in docs/DEVELOPING.md: an
# `#include "folder/..."` may name only the folders its row lists, and so may
# a target_link_libraries in its CMake files: a library or program made in one
# folder links only libraries made in the folders its row lists. Prints each
# break as file:line and the rule, and exits 1 if there is any.
#   tools/check-layers.sh [SOURCE_ROOT]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
doc=$root/docs/DEVELOPING.md
[ -r "$doc" ] || { echo "check-layers: cannot read $doc" >&2; exit 2; }

declare -A allowed
# Rows of the marked table: "| `folder/` | cells... |" -> "folder<TAB>second cell".
while IFS=$'\t' read -r folder list; do allowed[$folder]=" $list "; done < <(
    awk '
        index($0, "<!-- layers:") == 1 { inside = 1; next }
        index($0, "<!-- /layers -->") == 1 { inside = 0 }
        inside && /^\| `/ {
            n = split($0, cell, "|")
            folder = cell[2]; gsub(/[` \/]/, "", folder)
            list = cell[3]; gsub(/`/, "", list); gsub(/^ +| +$/, "", list)
            print folder "\t" list
        }' "$doc")
[ ${#allowed[@]} -gt 0 ] || { echo "check-layers: no layer table in $doc" >&2; exit 2; }

broken=0
# report FILE LINE WHAT FOLDER VERB: one break of FOLDER's row.
report() {
    echo "${1#"$root"/}:$2: $3, but $4/ may $5 only:${allowed[$4]:- nothing}(docs/DEVELOPING.md, layer table)"
    broken=1
}

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
        report "$file" "$line" "includes \"$target\"" "$folder" include
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' \
                 --include='*.h' --include='*.cpp' --include='*.cc' --include='*.in' "$root/$folder" || true)
done

# The CMake files of the layered folders. A target belongs to the folder whose
# file makes it (add_library, add_executable).
cmake_files=()
for folder in "${!allowed[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r -d '' file; do cmake_files+=("$file"); done < <(
        find "$root/$folder" \( -name CMakeLists.txt -o -name '*.cmake' \) -print0)
done
[ ${#cmake_files[@]} -gt 0 ] || exit $broken

# The arguments of the commands of interest, comments dropped, one a line:
# "file<TAB>line<TAB>command<TAB>first argument<TAB>argument" for each further
# argument, on the line where it stands, and the first alone for the commands
# that make a target.
cmake_args() {
    awk '
        FNR == 1 { depth = 0 }
        {
            text = $0; sub(/#.*/, "", text)
            if (depth == 0) {
                if (!match(text, /^[[:space:]]*(add_library|add_executable|target_link_libraries)[[:space:]]*\(/)) next
                command = text; sub(/^[[:space:]]*/, "", command); sub(/[[:space:]]*\(.*/, "", command)
                text = substr(text, index(text, "(") + 1); depth = 1; first = ""
            }
            inside = ""
            for (i = 1; i <= length(text) && depth > 0; i++) {
                c = substr(text, i, 1)
                if (c == "(") depth++
                if (c == ")") depth--
                if (depth > 0) inside = inside c
            }
            n = split(inside, word, /[[:space:]]+/)
            for (w = 1; w <= n; w++) {
                if (word[w] == "") continue
                if (first == "") {
                    first = word[w]
                    if (command != "target_link_libraries") print FILENAME "\t" FNR "\t" command "\t" first "\t"
                } else if (command == "target_link_libraries") {
                    print FILENAME "\t" FNR "\t" command "\t" first "\t" word[w]
                }
            }
        }' "$@"
}

declare -A made_in
while IFS=$'\t' read -r file line command name lib; do
    [ "$command" = target_link_libraries ] && continue
    rel=${file#"$root"/}
    made_in[$name]=${rel%%/*}
done < <(cmake_args "${cmake_files[@]}")

while IFS=$'\t' read -r file line command name lib; do
    [ "$command" = target_link_libraries ] || continue
    rel=${file#"$root"/}
    from=${made_in[$name]:-${rel%%/*}}
    to=${made_in[$lib]:-}
    [ -n "$to" ] || continue  # a keyword, a system or Qt library, a variable
    [ "$to" = "$from" ] && continue
    [[ ${allowed[$from]} == *" $to "* ]] && continue
    report "$file" "$line" "links $lib ($to/)" "$from" "link from"
done < <(cmake_args "${cmake_files[@]}")
exit $broken
