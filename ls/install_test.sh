#!/bin/sh
# install_test.sh <build dir> <C source> <C compiler> <cmake> [C flags]
#
# Installs the components sspi, ot and ls of the build into a scratch
# prefix, then builds the C program against that prefix twice, once through
# pkg-config and once through find_package(ls), and runs both builds.
set -eu
build=$1 src=$2 cc=$3 cmake=$4 cflags=${5:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/ls_install.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
prefix=$work/prefix

for component in sspi ot ls; do
  "$cmake" --install "$build" --prefix "$prefix" --component "$component" \
    >/dev/null
done
pc=$(dirname "$(find "$prefix" -name ls.pc)")
libdir=$(dirname "$pc")

# pkg-config: ls.pc requires sspi.pc; both find their prefix from where
# they lie.
flags=$(PKG_CONFIG_PATH=$pc pkg-config --cflags --libs ls)
# shellcheck disable=SC2086
"$cc" -std=c11 -Wall -Wextra -Werror -Wstrict-prototypes $cflags \
  -o "$work/prog_pc" "$src" $flags
LD_LIBRARY_PATH=$libdir "$work/prog_pc"

# find_package(ls) gives ls::ls.
mkdir "$work/proj"
cp "$src" "$work/proj/main.c"
cat >"$work/proj/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.24)
project(uses_ls C)
find_package(ls 1 REQUIRED)
add_executable(prog main.c)
target_link_libraries(prog ls::ls)
CMAKE
"$cmake" -S "$work/proj" -B "$work/proj/build" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags" >/dev/null
"$cmake" --build "$work/proj/build" >/dev/null
LD_LIBRARY_PATH=$libdir "$work/proj/build/prog"
echo "installed libls works through pkg-config and find_package"
