#!/bin/sh
# Installs the sspi component into a temporary prefix and builds a C client
# against it three ways: with pkg-config, with the static archive, and with
# find_package(sspi) in a CMake project.  Each client must run.
# Usage: install_test.sh <build dir> <cc> <cflags> <cmake> <make program>
set -eu
build=$1 cc=$2 cflags=$3 cmake=$4 make_program=$5
tmp=$(mktemp -d "${TMPDIR:-/tmp}/sspi_install.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

fail() { echo "install_test: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" --component sspi >"$tmp/install.log"
pc=$(find "$prefix" -name sspi.pc)
[ -n "$pc" ] || fail "no sspi.pc installed"
[ -f "$prefix/include/sspi.h" ] || fail "no include/sspi.h installed"
export PKG_CONFIG_PATH="$(dirname "$pc")"
libdir=$(pkg-config --variable=libdir sspi)
for f in libsspi.so libsspi.so.1 libsspi.so.1.0.0 libsspi.a; do
  [ -e "$libdir/$f" ] || fail "no $f in $libdir"
done
[ "$(readlink "$libdir/libsspi.so.1")" = libsspi.so.1.0.0 ] || fail "soname link"

cat >"$tmp/client.c" <<'C'
#include <sspi.h>
#include <stdio.h>
#include <string.h>
int main(void) {
  KeywordList* list = CreateKeywordList();
  char value[SSPI_VALUE_BUFFER];
  AddKeywordToList(list, "who", "client");
  AddValueToList(list, "who", "installed");
  if (GetKeywordFmList(list, "who", value) != 0) return 1;
  printf("%s\n", value);
  return DestroyKeywordList(list) == 0 && strcmp(value, "client,installed") == 0 ? 0 : 1;
}
C
cd "$tmp"
# shellcheck disable=SC2046,SC2086
"$cc" $cflags -std=c11 client.c $(pkg-config --cflags --libs sspi) -o shared_client
[ "$(LD_LIBRARY_PATH="$libdir" ./shared_client)" = client,installed ] ||
  fail "pkg-config client"
# shellcheck disable=SC2046,SC2086
"$cc" $cflags -std=c11 client.c $(pkg-config --cflags sspi) "$libdir/libsspi.a" \
  $(pkg-config --static --libs-only-l sspi | sed 's/-lsspi//') -o static_client
[ "$(./static_client)" = client,installed ] || fail "static client"

mkdir project
cp client.c project/
cat >project/CMakeLists.txt <<'CM'
cmake_minimum_required(VERSION 3.24)
project(client C)
find_package(sspi 1 REQUIRED)
add_executable(client client.c)
target_link_libraries(client sspi::sspi)
CM
"$cmake" -S project -B project/build -G Ninja -DCMAKE_MAKE_PROGRAM="$make_program" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$tmp/configure.log" || { cat "$tmp/configure.log"; fail "find_package"; }
"$cmake" --build project/build >"$tmp/build.log" || { cat "$tmp/build.log"; fail "build"; }
[ "$(LD_LIBRARY_PATH="$libdir" project/build/client)" = client,installed ] ||
  fail "find_package client"
echo "installed sspi works through pkg-config, libsspi.a and find_package"
