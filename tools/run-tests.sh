#!/usr/bin/env bash
# Builds Quenda and runs every test: once in a plain build, once under
# AddressSanitizer + UndefinedBehaviorSanitizer. Installs what it needs first.
#   tools/run-tests.sh            both builds
#   tools/run-tests.sh --quick    the plain build only
#   tools/run-tests.sh --tsan     the download tests under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh

jobs=$(nproc)
build_and_test() {  # dir, extra cmake args..., then ctest args after --
    local dir=$1; shift
    local cmake_args=() ctest_args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do cmake_args+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    ctest_args=("$@")
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cmake_args[@]}" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" "${ctest_args[@]}"
}

mode=${1:-all}
case "$mode" in
  --tsan)
    build_and_test build-tsan -DQUENDA_SANITIZE=thread -DQUENDA_BUILD_BENCH=OFF -- -L download
    ;;
  --quick)
    build_and_test build
    ;;
  all)
    build_and_test build
    UBSAN_OPTIONS=print_stacktrace=1 \
      build_and_test build-asan -DQUENDA_SANITIZE=address,undefined -DQUENDA_BUILD_BENCH=OFF
    ;;
  *) echo "usage: $0 [--quick|--tsan]" >&2; exit 2 ;;
esac
