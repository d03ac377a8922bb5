#!/bin/sh
# Installs what Kova needs to build and test (Debian packages), then builds it in build/.
set -eu
cd "$(dirname "$0")/.."
packages="cmake make g++ gcc-multilib g++-multilib libgtest-dev pkg-config binutils libsqlite3-dev sqlite3 libcli11-dev"
missing=""
for p in $packages; do
    dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
if [ -n "$missing" ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing >/dev/null
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
