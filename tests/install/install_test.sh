#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks what landed there, starts
# the installed program offscreen through its desktop launcher, and runs the
# installed CLI against the installed recorder simulator.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$1
root=$(mktemp -d /tmp/quenda-install.XXXXXX)
sim_pid=; app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$root/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/quenda bin/quenda-cli bin/quenda-recorder-sim bin/quenda-desktop \
         lib/quenda/libQuendaResource.so share/applications/quenda.desktop \
         share/icons/hicolor/48x48/apps/quenda.png share/man/man1/quenda-cli.1 \
         share/doc/quenda/60-quenda-cp210x.rules; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done
grep -qx "Exec=$prefix/bin/quenda-desktop" "$prefix/share/applications/quenda.desktop" || fail "desktop Exec line"
# Captured first: with pipefail, grep -q closing a pipe early fails the producer.
libraries=$(ldd "$prefix/bin/quenda")
! grep -q "not found" <<<"$libraries" || fail "unresolved libraries: $libraries"
grep -q '^\.TH QUENDA-CLI 1' "$prefix/share/man/man1/quenda-cli.1" || fail "man page"
for picture in $(grep -o 'docs/images/[a-z]*\.png' "$prefix/share/doc/quenda/README.md"); do
  [ -s "$prefix/share/doc/quenda/$picture" ] || fail "the installed README's $picture"
done

# The installed CLI: version, help, and a download from the installed simulator.
version=$("$prefix/bin/quenda-cli" --version)
grep -qE '^quenda-cli [0-9]+\.[0-9]+\.[0-9]+$' <<<"$version" || fail "--version: $version"
help=$("$prefix/bin/quenda-cli" --help)
# Every command in --help and in the man page's synopsis (read with \- as -).
man=$(sed 's/\\-/-/g' "$prefix/share/man/man1/quenda-cli.1")
for c in ports download set-clock delete analyze print export events --help --version; do
  grep -qE -- "quenda-cli .*$c( |$)" <<<"$help" || fail "--help lacks $c"
  grep -qE -- "^\.B (quenda-cli )?$c( |$)" <<<"$man" || fail "the man page lacks $c"
done
work=$root/work; mkdir -p "$work"; cd "$work"
"$prefix/bin/quenda-recorder-sim" --ids "2:600" --no-pacing >sim.out 2>sim.err & sim_pid=$!
for _ in $(seq 50); do [ -s sim.out ] && break; sleep 0.1; done
pty=$(head -n1 sim.out)
[ -n "$pty" ] || fail "the simulator printed no pty"
"$prefix/bin/quenda-cli" download --port "$pty" --out . >download.out 2>download.err || fail "download: $(cat download.err)"
grep -q "ID   2" download.out || fail "download listed no ID 2"
analysis=$("$prefix/bin/quenda-cli" analyze ID2.dat --json)
grep -q '"clinical":{"valid_samples":600' <<<"$analysis" || fail "analyze: $analysis"

# The installed program through its launcher: it runs in a new, private
# per-user configuration folder and stays up until it is ended.
export XDG_CONFIG_HOME=$root/config XDG_DATA_HOME=$root/data QT_QPA_PLATFORM=offscreen
"$prefix/bin/quenda-desktop" >app.out 2>app.err & app_pid=$!
# Start-up is slow under the sanitizers on a busy machine: wait for the
# resource library to be mapped (its loading comes late in start-up), or for
# the program to end.
for _ in $(seq 300); do
  kill -0 "$app_pid" 2>/dev/null || break
  grep -q "libQuendaResource.so" "/proc/$app_pid/maps" 2>/dev/null && break
  sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null || fail "the program ended at once: $(cat app.err)"
[ "$(stat -c %a "$XDG_CONFIG_HOME/Quenda")" = 700 ] || fail "config folder mode"
[ "$(readlink -f /proc/$app_pid/cwd)" = "$(readlink -f "$XDG_CONFIG_HOME/Quenda")" ] || fail "working folder"
grep -q "libQuendaResource.so" "/proc/$app_pid/maps" || fail "the installed resource library was not loaded"
# A fresh install: the patient file is made silently in the data home (a
# message box would stop start-up before it; the program also says on stderr
# what a box drawn offscreen shows), nothing beside the program.
patients=$XDG_DATA_HOME/Quenda/bldb/pationtrec.dat
for _ in $(seq 300); do
  [ -e "$patients" ] && break
  kill -0 "$app_pid" 2>/dev/null || break
  sleep 0.1
done
[ -f "$patients" ] || fail "no patient file at $patients: $(cat app.err)"
! grep -q "pationtrec" app.err || fail "a message about the patient file: $(cat app.err)"
[ ! -e "$prefix/bin/bldb" ] || fail "bldb was made beside the installed program"
echo "installed program, launcher, CLI and simulator work from $prefix"
