#!/usr/bin/env bash
# Runs tools/screenshots.sh into a temporary folder with the programs of this
# build and checks that every picture came out, non-empty, at its size; then
# that the pictures checked in under docs/images/ are the same set at the same
# sizes, and that every picture the README shows is there.
#   screenshots_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(realpath "$1")
src=$(realpath "$2")
out=$(mktemp -d /tmp/quenda-shots.XXXXXX)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# name -> width x height: windows at 1280x800, the dialog at its own fixed
# size, the report page as landscape A4 at 96 dpi.
declare -A expected=(
  [capture]=419x306
  [trend]=1280x800
  [table]=1280x800
  [analysis]=1280x800
  [clinical]=1280x800
  [report]=1123x794
  [nights]=1280x800
  [nights-split]=1280x800
  [nights-report]=1123x794
  [scored-trend]=1600x900
)

# "WxH" of a PNG, from its IHDR chunk (bytes 16..23, big-endian); empty when
# the file is not a PNG.
png_size() {
  local magic
  magic=$(od -An -tx1 -N8 "$1" | tr -d ' \n')
  [ "$magic" = 89504e470d0a1a0a ] || return 0
  local w h
  w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
  h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
  echo "${w}x${h}"
}

check_folder() {
  local dir=$1 name size
  for name in "${!expected[@]}"; do
    [ -s "$dir/$name.png" ] || fail "$dir/$name.png is missing or empty"
    size=$(png_size "$dir/$name.png")
    [ "$size" = "${expected[$name]}" ] || fail "$dir/$name.png is '${size}', expected ${expected[$name]}"
  done
  local count
  count=$(find "$dir" -maxdepth 1 -name '*.png' | wc -l)
  [ "$count" -eq "${#expected[@]}" ] || fail "$dir holds $count pictures, expected ${#expected[@]}"
}

BUILD_DIR=$build "$src/tools/screenshots.sh" "$out" >"$out.log" 2>&1 || { cat "$out.log" >&2; rm -f "$out.log"; fail "tools/screenshots.sh"; }
rm -f "$out.log"
check_folder "$out"
check_folder "$src/docs/images"

shown=$(grep -o 'docs/images/[A-Za-z0-9_-]*\.png' "$src/README.md" | sort -u)
[ -n "$shown" ] || fail "the README shows no picture"
for picture in $shown; do
  [ -s "$src/$picture" ] || fail "the README shows $picture, which does not exist"
done
echo "pictures: ${!expected[*]}"
