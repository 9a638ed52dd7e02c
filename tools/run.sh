#!/usr/bin/env bash
# Builds Quenda and runs it on its default device: a recorder on a serial port
# when one is attached, otherwise the bundled recorder simulator on a
# pseudo-terminal with a few nights of realistic data.
# Downloads land in build/run/ (one data file per ID).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target quenda-cli quenda-recorder-sim

run=build/run
mkdir -p "$run"
cli=$PWD/build/cli/quenda-cli
sim=$PWD/build/tools/quenda-recorder-sim

# A recorder behind a USB bridge or a real serial port shows up in the list.
if (cd "$run" && "$cli" ports) | cut -f2 | grep -qE '^(cp210|other)$'; then
  echo "Downloading from the attached recorder..."
  cd "$run" && exec "$cli" download
fi

echo "No recorder attached: starting the recorder simulator."
"$sim" --ids "1:8h,2:390m,12:45m" --link "$PWD/$run/recorder" >"$run/sim.out" 2>"$run/sim.err" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null; wait $sim_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$run/sim.out" ] && break; sleep 0.1; done
port=$(head -n 1 "$run/sim.out")
echo "Simulated recorder on $port; downloading (about 40 seconds at 115,200 baud)..."
cd "$run" && "$cli" download --port "$port" --out .
ls -l ID*.dat
