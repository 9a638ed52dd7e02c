#!/usr/bin/env bash
# The layer table holds for the real tree, and the check does catch a break:
# an include or a library link that skips up a floor fails with its file, line
# and rule, while the same kind of include or link downwards passes.
set -euo pipefail
src=$1
check=$src/tools/check-layers.sh

"$check" "$src"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/docs" "$tmp/store" "$tmp/document" "$tmp/views" "$tmp/app"
cp "$src/docs/DEVELOPING.md" "$tmp/docs/"
printf '#include "base/AtomicFile.h"\n#include <vector>\n#include "views/PagePaint.h"\n' > "$tmp/store/Up.cpp"
printf '#include "document/AppContext.h"\n#include "app/MainWindow.h"\n' > "$tmp/views/Window.cpp"
# Each library is made in its folder; a call over several lines is read whole,
# comments and non-project libraries aside.
printf 'add_library(quenda_store STATIC Up.cpp)\n' > "$tmp/store/CMakeLists.txt"
printf 'target_link_libraries(quenda_store PRIVATE quenda_views)\n' > "$tmp/store/more.cmake"
printf 'add_library(quenda_document STATIC AppContext.cpp)\n' > "$tmp/document/CMakeLists.txt"
printf '%s\n' 'add_library(quenda_views' '  STATIC Window.cpp)' \
    'target_link_libraries(quenda_views PUBLIC quenda_document  # quenda_shell in a comment' \
    '  Qt6::Widgets ${SOME_LIBRARY}' '  quenda_shell)' > "$tmp/views/CMakeLists.txt"
printf 'add_library(quenda_shell STATIC Shell.cpp)\ntarget_link_libraries(quenda_shell PUBLIC quenda_views quenda_document)\n' \
    > "$tmp/app/CMakeLists.txt"
if out=$("$check" "$tmp"); then
    echo "FAIL: the check passed a tree with upward includes and links"; exit 1
fi
expect() {
    grep -qF -- "$1" <<<"$out" || { echo "FAIL: expected '$1' in:"; echo "$out"; exit 1; }
}
expect 'store/Up.cpp:3: includes "views/PagePaint.h", but store/ may include only: base '
expect 'views/Window.cpp:2: includes "app/MainWindow.h"'
expect 'views/CMakeLists.txt:5: links quenda_shell (app/), but views/ may link from only: base '
expect 'store/more.cmake:1: links quenda_views (views/), but store/ may link from only: base '
[ "$(wc -l <<<"$out")" -eq 4 ] || { echo "FAIL: expected exactly four breaks:"; echo "$out"; exit 1; }
echo "layering: the tree keeps to the table; planted upward includes and links are caught"
