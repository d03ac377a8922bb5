#!/bin/sh
# Installs into a scratch prefix, then builds a C program against the installed header
# three ways: plain -lkova, pkg-config, and CMake's find_package(Kova).
set -eu
build=$1
source=$2
cc=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(ls -d "$prefix"/lib*/ | head -n1)
libdir=${libdir%/}

"$cc" -std=c11 -Wall -Wextra -Werror -pedantic -I"$prefix/include" \
    "$source/tests/interface/header_c_test.c" -L"$libdir" -lkova -o "$prefix/plain"
LD_LIBRARY_PATH="$libdir" "$prefix/plain"

PKG_CONFIG_PATH="$libdir/pkgconfig" "$cc" -std=c11 \
    "$source/tests/interface/header_c_test.c" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs kova) -o "$prefix/viapc"
LD_LIBRARY_PATH="$libdir" "$prefix/viapc"

mkdir "$prefix/consumer"
cat > "$prefix/consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(consumer C)
find_package(Kova REQUIRED)
add_executable(consumer $source/tests/interface/header_c_test.c)
target_link_libraries(consumer PRIVATE Kova::kova)
CMAKE
cmake -S "$prefix/consumer" -B "$prefix/consumer/build" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$prefix/consumer/build" >/dev/null
LD_LIBRARY_PATH="$libdir" "$prefix/consumer/build/consumer"
