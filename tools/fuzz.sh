#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   tools/fuzz.sh [SECONDS] [TARGET...]     default: 60 seconds, every target
# Corpora grow in build-fuzz/corpus/TARGET; crashes land in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh
seconds=${1:-60}; shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(find build-fuzz/tests/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  echo "== $t for ${seconds}s"
  (cd build-fuzz && "tests/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 "corpus/$t")
done
