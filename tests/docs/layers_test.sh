#!/usr/bin/env bash
# The layer table holds for the real tree, and the check does catch a break:
# an include that skips up a floor fails with its file, line and rule.
set -euo pipefail
src=$1
check=$src/tools/check-layers.sh

"$check" "$src"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/docs" "$tmp/store" "$tmp/views"
cp "$src/docs/DEVELOPING.md" "$tmp/docs/"
printf '#include "base/AtomicFile.h"\n#include <vector>\n#include "views/PagePaint.h"\n' > "$tmp/store/Up.cpp"
printf '#include "document/AppContext.h"\n#include "app/MainWindow.h"\n' > "$tmp/views/Door.cpp"
if out=$("$check" "$tmp"); then
    echo "FAIL: the check passed a tree with upward includes"; exit 1
fi
expect() {
    grep -qF -- "$1" <<<"$out" || { echo "FAIL: expected '$1' in:"; echo "$out"; exit 1; }
}
expect 'store/Up.cpp:3: includes "views/PagePaint.h", but store/ may include only: base '
expect 'views/Door.cpp:2: includes "app/MainWindow.h"'
[ "$(wc -l <<<"$out")" -eq 2 ] || { echo "FAIL: expected exactly two breaks (the exception is a door):"; echo "$out"; exit 1; }
echo "layering: the tree keeps to the table; a planted break is caught"
