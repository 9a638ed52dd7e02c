#!/usr/bin/env bash
# Regenerates the README's pictures from the real program, without a display:
# the recorder simulator serves a fortnight of one patient's nights,
# quenda-screenshots plays a user at the main window (capture dialog, the
# Nights window with its summary, then the trend, table, analysis and clinical
# pages of the night with the most desaturations), and quenda-cli prints that
# night's report page and the Nights pages as PDFs, turned into PNGs.
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
  cmake --build build -j "$(nproc)" --target quenda-screenshots quenda-cli quenda-recorder-sim scored_views_tests
  BUILD_DIR=build
fi
build=$(realpath "$BUILD_DIR")
shots=$build/tools/quenda-screenshots
cli=$build/cli/quenda-cli
sim=$build/tools/quenda-recorder-sim

# ID 1 pictured: a fortnight of nights from 2026-12-06, the simulator's own
# (never erased, one night broken by an hour off); ID 2 one night, as a
# recorder lent out twice would hold them.
. tools/sim-session.sh
sim_session "$sim" quenda-screenshots --ids "1:14n,2:390m" --no-pacing
# Kept downloads go to the session's folder, not the user's.
export XDG_DATA_HOME=$work/data
# The Nights pictures split the fortnight at its second week, as at a
# therapy's start.
split=2026-12-13

mkdir -p "$out"
# The window pictures; this also leaves DefaultCOM and the patient file behind,
# as a user's first session would.
"$shots" --port "${port#/dev/}" --out "$out" --patients patients --split "$split"

# The printed report of the night pictured (quenda-screenshots saved it), one
# PDF page.
"$cli" print night.dat report.pdf --patients patients
pdftoppm -png -r 96 -singlefile report.pdf "$out/report"
echo "$out/report.png"

# The Nights pages as printed: page one (the chart, the summary split as in
# the window, the list's start) of the session's library, which
# quenda-screenshots filled (not the user's).
"$cli" nights report nights.pdf --library nights-library.sqlite --id 1 --split "$split" 2>/dev/null
pdftoppm -png -r 96 -f 1 -l 1 -singlefile nights.pdf "$out/nights-report"
echo "$out/nights-report.png"

# A scored sleep study's trend view (events and hypnogram under the SpO2),
# from the synthetic scored night the views' test draws.
scored=$(mktemp -d)
QT_QPA_PLATFORM=offscreen QUENDA_SCREENSHOT_DIR=$scored "$build/tests/views/scored_views_tests" >/dev/null 2>&1
cp "$scored/scored-trend.png" "$out/scored-trend.png"
rm -rf "$scored"
echo "$out/scored-trend.png"
