#!/usr/bin/env bash
# Builds Quenda and runs every test: once in a plain build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer. Installs what it needs first.
#   tools/run-tests.sh            all three below
#   tools/run-tests.sh --quick    the plain build only
#   tools/run-tests.sh --tsan     the download tests under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh

jobs=$(nproc)
# build_and_test DIR [cmake args...] [-- ctest args...]; TARGETS limits the build.
build_and_test() {
    local dir=$1; shift
    local cmake_args=() ctest_args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do cmake_args+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    ctest_args=("$@")
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cmake_args[@]}" >/dev/null
    local targets=()
    [ -n "${TARGETS:-}" ] && targets=(--target ${TARGETS})
    cmake --build "$dir" -j "$jobs" "${targets[@]}"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" "${ctest_args[@]}"
}

# The tests that run the download's worker threads.
tsan() {
    TARGETS="download_tests cli_tests device_tests capture_dialog_tests" TSAN_OPTIONS=halt_on_error=1 \
      build_and_test build-tsan -DQUENDA_SANITIZE=thread -DQUENDA_BUILD_BENCH=OFF -- -L download
}

mode=${1:-all}
case "$mode" in
  --tsan)
    tsan
    ;;
  --quick)
    build_and_test build
    ;;
  all)
    build_and_test build
    UBSAN_OPTIONS=print_stacktrace=1 \
      build_and_test build-asan -DQUENDA_SANITIZE=address,undefined -DQUENDA_BUILD_BENCH=OFF
    tsan
    ;;
  *) echo "usage: $0 [--quick|--tsan]" >&2; exit 2 ;;
esac
