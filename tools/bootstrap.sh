#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Quenda needs.
# Safe to run again: apt-get skips what is already there, and the package lists
# are refreshed only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-serialport-dev qt6-connectivity-dev
  libxlsxwriter-dev libedf-dev libudev-dev libbluetooth-dev libx11-dev unzip
  libsqlite3-dev zlib1g-dev  # the library of nights
  libpq-dev postgresql       # the clinic's shared library, and the server its tests start
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation socat
  poppler-utils  # the print tests read their PDFs back with pdfinfo, pdftoppm, pdftotext
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
