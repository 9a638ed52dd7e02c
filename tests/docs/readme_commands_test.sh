#!/usr/bin/env bash
# Every command the README and docs/DEVELOPING.md show (their indented code
# lines) is run, so no example drifts from the program. quenda-cli lines run
# here, in the order shown, in an empty folder against the recorder simulator,
# exactly as a user would type them. Every other line must be listed below
# with the test or script that runs it (checked to still contain it), or with
# why it is only run by hand; a line in neither place fails the test.
#   readme_commands_test.sh BUILD_DIR SOURCE_DIR [WITH_BENCH (1|0)]
set -euo pipefail
build=$(realpath "$1")
src=$(realpath "$2")
with_bench=${3:-1}  # the sanitizer builds leave the benchmarks out
fail() { echo "FAIL: $*" >&2; exit 1; }

# line -> "FILE: TEXT" (FILE runs it and contains TEXT) or "by hand: why".
declare -A elsewhere=(
  ["./tools/run.sh"]="by hand: builds into the source tree's build/ and starts the program"
  ["./tools/run-tests.sh"]=".ci/run: tools/run-tests.sh"
  ["cmake --build build && (cd build && cpack -G DEB)"]="tests/install/deb_test.sh: cpack -G DEB"
  ["sudo apt install ./build/quenda_*.deb"]="by hand: installs into the system"
  ["cmake --install build --prefix ~/.local"]="tests/install/install_test.sh: cmake --install"
  ["sudo adduser \$USER dialout"]="by hand: changes the system's groups"
  ["sudo cp /usr/share/doc/quenda/60-quenda-cp210x.rules /etc/udev/rules.d/"]="tests/install/install_test.sh: share/doc/quenda/60-quenda-cp210x.rules"
  ["tools/screenshots.sh"]="tests/docs/CMakeLists.txt: screenshots_test.sh"
  ["./tools/fuzz.sh 60"]="by hand: a clang build of its own, minutes long"
  ["FUZZ_RUNS=10000000 ./tools/fuzz.sh 0 fuzz_settings"]="by hand: a clang build of its own, minutes long"
  # A clinic's shared library: its server is the clinic's, not this test's.
  ["sudo -u postgres createdb quenda"]="by hand: makes a database on the clinic's server"
  ["quenda-cli nights init postgresql://db.clinic.example/quenda"]="by hand: needs the clinic's PostgreSQL server"
  ["GRANT quenda_read TO alice;"]="by hand: SQL in psql on the clinic's server"
  ["GRANT quenda_change TO nurse;"]="by hand: SQL in psql on the clinic's server"
  ["quenda-cli nights list --library postgresql://db.clinic.example/quenda"]="by hand: needs the clinic's PostgreSQL server"
  ["export QUENDA_LIBRARY='postgresql://db.clinic.example/quenda?sslmode=verify-full'"]="by hand: names the clinic's server for later commands"
  ["quenda-cli nights copy --from ~/.local/share/Quenda/library.sqlite --to postgresql://db.clinic.example/quenda"]="by hand: needs the clinic's PostgreSQL server"
)

# The indented code lines of a Markdown file (a block starts after a blank
# line), trailing comments and blanks removed.
code_lines() {
  awk '
    /^[ \t]*$/ { blank = 1; next }
    /^    / && (blank || code) { code = 1; blank = 0; sub(/^ +/, ""); sub(/[ \t]+#.*$/, ""); print; next }
    { code = 0; blank = 0 }
  ' "$1"
}

# A recorder with a fortnight of ID 1's nights (the middle one broken in two,
# nights 8 and 9) and a night of ID 2, remembered in Quenda.ini as after an
# earlier download, so the README's lines without --port find it.
. "$src/tools/sim-session.sh"
sim_session "$build/tools/quenda-recorder-sim" quenda-readme --ids "1:14n,2:390m" --no-pacing --erase-delay-ms 100
export PATH="$build/cli:$build/tools:$PATH"
mkdir session
# Downloads are kept under the user's data folder: keep this session's to itself.
export XDG_DATA_HOME=$PWD/data
printf '[setup]\nDefaultCOM=%s\n' "${port#/dev/}" >session/Quenda.ini

ran=0
for doc in README.md docs/DEVELOPING.md; do
  while IFS= read -r line; do
    # A quenda-cli line listed above needs what this test has not (a server).
    [[ $line == quenda-cli\ * && -n "${elsewhere[$line]+set}" ]] && line="listed: $line"
    case "$line" in
      quenda-cli\ *)
        (cd session && bash -c "$line") >out.txt 2>&1 || { cat out.txt >&2; fail "$doc: $line"; }
        ran=$((ran + 1))
        ;;
      build/bench/*)
        # Timings are not tests: the benchmark only has to be built.
        bench=${line%% *}
        [ "$with_bench" = 0 ] || [ -x "$build/${bench#build/}" ] || fail "$doc: $bench is not built"
        ;;
      *)
        line=${line#listed: }
        [ -n "${elsewhere[$line]+set}" ] || fail "$doc shows '$line', which no test runs: run it here or list it"
        where=${elsewhere[$line]}
        if [[ $where != "by hand: "* ]]; then
          file=${where%%: *}
          grep -qF -- "${where#*: }" "$src/$file" || fail "$file no longer runs '$line'"
        fi
        ;;
    esac
  done < <(code_lines "$src/$doc")
done

# The session made what the README says it makes.
for f in ID1.dat ID2.dat night1.pdf trend2.pdf night1.xlsx night1.edf night1-events.txt download-log.txt download-dump.bin \
         nights.csv first-night.edf nights.pdf; do
  [ -s "session/$f" ] || fail "the README's session did not make $f"
done
[ "$ran" -ge 10 ] || fail "only $ran quenda-cli lines found in the README"
echo "ran $ran quenda-cli lines"
