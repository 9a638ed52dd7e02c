#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   tools/fuzz.sh [SECONDS] [TARGET...]     default: 60 seconds, every target
#   FUZZ_RUNS=N tools/fuzz.sh 0 [TARGET...] N executions instead of a time limit
# Corpora grow in build-fuzz/corpus/TARGET, starting from the checked-in seeds
# in tests/fuzz/corpus/TARGET (read, never written); crashes land in build-fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh
seconds=${1:-60}; shift || true
cmake --preset fuzz >/dev/null
targets=("$@")
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build build-fuzz -j "$(nproc)" --target "${targets[@]}"
else
  cmake --build build-fuzz -j "$(nproc)"
  mapfile -t targets < <(find build-fuzz/tests/fuzz -maxdepth 1 -type f -executable -name 'fuzz_*' -printf '%f\n' | sort)
fi
if [ -n "${FUZZ_RUNS:-}" ]; then limit=(-runs="$FUZZ_RUNS"); else limit=(-max_total_time="$seconds"); fi
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t"
  seeds=()
  [ -d "tests/fuzz/corpus/$t" ] && seeds=("../tests/fuzz/corpus/$t")
  echo "== $t (${limit[*]})"
  (cd build-fuzz && "tests/fuzz/$t" "${limit[@]}" -print_final_stats=1 "corpus/$t" "${seeds[@]}")
done
