#!/usr/bin/env bash
# Builds the Debian package with CPack and checks its control data and files.
#   deb_test.sh BUILD_DIR
set -euo pipefail
build=$1
out=$(mktemp -d /tmp/quenda-deb.XXXXXX)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$out"/*.deb)
info=$(dpkg-deb --info "$deb")
grep -q "Package: quenda" <<<"$info" || fail "package name"
grep -q "Architecture: $(dpkg --print-architecture)" <<<"$info" || fail "architecture"
depends=$(echo "$info" | sed -n 's/^ *Depends: //p')
for d in libqt6widgets6 libqt6gui6 libqt6printsupport6 libudev1 libfftw3-double3 qt6-qpa-plugins fonts-liberation; do
  grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done
contents=$(dpkg-deb --contents "$deb")
for f in ./usr/bin/quenda ./usr/bin/quenda-cli ./usr/bin/quenda-recorder-sim ./usr/bin/quenda-desktop \
         ./usr/share/applications/quenda.desktop ./usr/share/icons/hicolor/48x48/apps/quenda.png \
         ./usr/share/man/man1/quenda-cli.1 ./usr/share/doc/quenda/60-quenda-cp210x.rules \
         ./usr/share/doc/quenda/copyright; do
  grep -q " $f\$" <<<"$contents" || fail "$f missing from the package"
done
# The library folder follows GNUInstallDirs (lib, or lib/<multiarch> under /usr).
grep -qE " \./usr/lib(/[a-z0-9_]+-linux-gnu)?/quenda/libQuendaResource\.so\$" <<<"$contents" \
  || fail "the resource library is missing from the package"
# The programs and the library are stripped: no debug information in the package.
unpacked="$out/root"
mkdir -p "$unpacked"
dpkg-deb --extract "$deb" "$unpacked"
for f in usr/bin/quenda usr/bin/quenda-cli usr/bin/quenda-recorder-sim $(cd "$unpacked" && ls usr/lib*/quenda/libQuendaResource.so usr/lib/*/quenda/libQuendaResource.so 2>/dev/null); do
  [ -f "$unpacked/$f" ] || fail "$f not unpacked"
  if readelf -S "$unpacked/$f" | grep -qE '\.debug_|\.symtab'; then fail "$f is not stripped"; fi
done
# The copyright file is machine-readable (DEP-5) and names the licence.
copyright="$unpacked/usr/share/doc/quenda/copyright"
head -n 1 "$copyright" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" \
  || fail "copyright: no Format line"
grep -qx "License: GPL-3+" "$copyright" || fail "copyright: no GPL-3+ licence"
desktop=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/quenda.desktop)
grep -qx "Exec=/usr/bin/quenda-desktop" <<<"$desktop" || fail "desktop Exec line in the package"
echo "$deb: $(echo "$depends" | tr -d '\n')"
