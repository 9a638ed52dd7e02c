#!/usr/bin/env bash
# Builds Quenda and runs every test: once in a plain build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer. Installs what it needs first.
# The builds are the presets of CMakePresets.json (build/, build-asan/,
# build-tsan/).
#   tools/run-tests.sh            all three below
#   tools/run-tests.sh --quick    the plain build only
#   tools/run-tests.sh --tsan     the download tests under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh

jobs=$(nproc)
# build_and_test PRESET; TARGETS limits the build.
build_and_test() {
    local preset=$1
    cmake --preset "$preset" >/dev/null
    local targets=()
    [ -n "${TARGETS:-}" ] && targets=(--target ${TARGETS})
    cmake --build --preset "$preset" -j "$jobs" "${targets[@]}"
    ctest --preset "$preset" -j "$jobs"
}

# The tests that run the download's worker threads.
tsan() {
    TARGETS="download_tests cli_tests device_tests capture_dialog_tests" build_and_test tsan
}

mode=${1:-all}
case "$mode" in
  --tsan)
    tsan
    ;;
  --quick)
    build_and_test dev
    ;;
  all)
    build_and_test dev
    build_and_test asan
    tsan
    ;;
  *) echo "usage: $0 [--quick|--tsan]" >&2; exit 2 ;;
esac
