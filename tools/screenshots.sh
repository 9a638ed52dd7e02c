#!/usr/bin/env bash
# Regenerates the README's pictures from the real program, without a display:
# the recorder simulator serves an overnight recording, quenda-screenshots plays
# a user at the main window (capture dialog, trend, table, analysis, clinical),
# and quenda-cli prints the report page as a PDF, turned into a PNG.
#   tools/screenshots.sh [OUT_DIR]      OUT_DIR defaults to docs/images
# With BUILD_DIR set, the programs already built there are used as they are
# (the test does this); otherwise they are built in build/ first.
set -euo pipefail
root=$(realpath "$(dirname "$0")/..")
out=$(realpath -m "${1:-$root/docs/images}")
[ -z "${BUILD_DIR:-}" ] || BUILD_DIR=$(realpath "$BUILD_DIR")
cd "$root"

if [ -z "${BUILD_DIR:-}" ]; then
  tools/bootstrap.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$(nproc)" --target quenda-screenshots quenda-cli quenda-recorder-sim
  BUILD_DIR=build
fi
build=$(realpath "$BUILD_DIR")
shots=$build/tools/quenda-screenshots
cli=$build/cli/quenda-cli
sim=$build/tools/quenda-recorder-sim

# Two nights, as a recorder lent out twice would hold them; ID 1 is pictured.
. tools/sim-session.sh
sim_session "$sim" quenda-screenshots --ids "1:8h,2:390m" --no-pacing

mkdir -p "$out"
# The window pictures; this also leaves DefaultCOM and the patient file behind,
# as a user's first session would.
"$shots" --port "${port#/dev/}" --out "$out" --patients patients

# The printed report: the same night downloaded in the terminal, one PDF page
# (its nights go to the session's library, not the user's).
export QUENDA_LIBRARY=$PWD/nights-library.sqlite
mkdir nights
"$cli" download --out nights 2>download.err || { cat download.err >&2; exit 1; }
"$cli" print nights/ID1.dat report.pdf --patients patients
pdftoppm -png -r 96 -singlefile report.pdf "$out/report"
echo "$out/report.png"

# The Nights pages as printed: page one (the chart and the list's start) of
# the session's library, which quenda-screenshots filled.
"$cli" nights report nights.pdf --library nights-library.sqlite --id 1 --from 2026-03-01 --to 2026-03-31 2>/dev/null
pdftoppm -png -r 96 -f 1 -l 1 -singlefile nights.pdf "$out/nights-report"
echo "$out/nights-report.png"
