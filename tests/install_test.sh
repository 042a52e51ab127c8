#!/bin/sh
# Installs the whole build as a package would (DESTDIR plus a prefix) and
# checks that the result is complete and usable on its own:
#   1. exactly the expected files, links and sonames, nothing with the
#      build tree's path in it, and runpaths relative to the programs;
#   2. the installed programs run and find the installed libraries: a
#      cluster is made with the installed simcluster (which links the
#      installed object-tool commands into each machine) and qv_cspec runs
#      on it;
#   3. the downstream example builds with find_package(sspi) and
#      find_package(ls) against the install, and with pkg-config, and
#      queries a far machine of that cluster through the installed RSClient.
#
# Usage: install_test.sh <build dir> <source dir> <cmake> <generator>
#                        <make program> <C compiler> [C flags] [link flags]
# The install directories come from the environment (BINDIR, SBINDIR,
# LIBDIR, INCLUDEDIR, MANDIR, OTBINDIR), as the build configured them.
set -eu
build=$1 src=$2 cmake=$3 generator=$4 make_program=$5 cc=$6
cflags=${7:-} ldflags=${8:-}
: "${BINDIR:?}" "${SBINDIR:?}" "${LIBDIR:?}" "${INCLUDEDIR:?}" "${MANDIR:?}"
: "${OTBINDIR:?}"

work=$(mktemp -d "${TMPDIR:-/tmp}/qv_install.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
# A prefix that does not exist on this machine: everything must land under
# DESTDIR, nothing at the prefix itself.
prefix_name=/opt/ruded-install-test-$$
dest=$work/dest
prefix=$dest$prefix_name

fail() { echo "install_test: $*" >&2; exit 1; }
. "$src/tests/install_check.sh"

# Keep the build tree's libraries out of reach of the installed programs.
# (LD_LIBRARY_PATH itself stays: fakeroot keeps its own library there.)
LD_LIBRARY_PATH=$(printf '%s' "${LD_LIBRARY_PATH:-}" | tr ':' '\n' |
  grep -v -F "$build" | paste -sd: -) || true
export LD_LIBRARY_PATH

DESTDIR=$dest "$cmake" --install "$build" --prefix "$prefix_name" \
  >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install"; }
[ ! -e "$prefix_name" ] || fail "$prefix_name was written outside DESTDIR"

# --- 1. The file list -------------------------------------------------
expected_files() {
  echo "$SBINDIR/qv_cspec"
  echo "$BINDIR/simcluster"
  for p in OTgetattr OTgetattrs OTgetmethod OTgetmethods OTgetobj \
           OTnextalias OTgetaliases OTput OTperform RSClient OTinit; do
    echo "$OTBINDIR/$p"
  done
  for lib in sspi ls ot; do
    echo "$LIBDIR/lib$lib.so"
    echo "$LIBDIR/lib$lib.so.1"
    echo "$LIBDIR/lib$lib.so.1.0.0"
    for f in Config ConfigVersion Targets Targets-CONFIG; do
      echo "$LIBDIR/cmake/$lib/$lib$f.cmake"
    done
  done
  echo "$LIBDIR/libsspi.a"
  echo "$LIBDIR/libls.a"
  echo "$LIBDIR/pkgconfig/sspi.pc"
  echo "$LIBDIR/pkgconfig/ls.pc"
  echo "$INCLUDEDIR/sspi.h"
  echo "$INCLUDEDIR/ls.h"
  echo "$INCLUDEDIR/ot_records.h"
  for page in man8/qv_cspec.8 man1/simcluster.1 man3/sspi.3 man3/ls.3 \
              man5/sspi.5 man7/ot.7; do
    echo "$MANDIR/$page"
  done
}
expected_files | sort >"$work/expected"
# The per-configuration target file is named after the build type.
(cd "$prefix" && find . -type f -o -type l) | sed 's|^\./||' |
  sed -E 's/Targets-[a-z]+\.cmake$/Targets-CONFIG.cmake/' | sort >"$work/actual"
diff -u "$work/expected" "$work/actual" >"$work/list.diff" ||
  { cat "$work/list.diff"; fail "installed files differ from the list (- missing, + extra)"; }

check_sonames "$prefix/$LIBDIR"

# Programs are executable, and data files are not.
while read -r f; do
  case $f in
    "$SBINDIR"/* | "$BINDIR"/* | "$OTBINDIR"/*)
      [ -x "$prefix/$f" ] || fail "$f is not executable" ;;
    *.h | *.pc | *.cmake | "$MANDIR"/*)
      [ ! -x "$prefix/$f" ] || fail "$f is executable" ;;
  esac
done <"$work/expected"

# No installed text names the build or source tree, and every runpath is
# relative to the file that carries it.
leaks=$(grep -l -r -F -e "$build" -e "$src" "$prefix/$LIBDIR/pkgconfig" \
  "$prefix/$LIBDIR/cmake" "$prefix/$INCLUDEDIR" || true)
[ -z "$leaks" ] || fail "build paths in: $leaks"
for f in "$prefix/$SBINDIR"/* "$prefix/$BINDIR"/* "$prefix/$OTBINDIR"/* \
         "$prefix/$LIBDIR"/*.so.1.0.0; do
  readelf -d "$f" | sed -n 's/.*(R.*PATH).*\[\(.*\)\]/\1/p' | tr ':' '\n' |
    while read -r entry; do
      case $entry in
        '$ORIGIN' | '$ORIGIN/'*) ;;
        *) fail "$f has the runpath entry '$entry'" ;;
      esac
    done
  # Our libraries resolve inside the install, never elsewhere.
  ldd "$f" >"$work/ldd" 2>&1 || fail "ldd $f: $(cat "$work/ldd")"
  ! grep -q 'not found' "$work/ldd" || fail "$f: $(grep 'not found' "$work/ldd")"
  if grep -E 'lib(sspi|ls|ot)\.so' "$work/ldd" | grep -v -F "$prefix/"; then
    fail "$f loads a library from outside the install"
  fi
done

# --- 2. The installed programs ----------------------------------------
check_programs "$src" "$prefix/$SBINDIR" "$prefix/$BINDIR" "$prefix/$OTBINDIR"
cluster=$work/cluster

# --- 3. The downstream example ----------------------------------------
"$cmake" -S "$src/examples/downstream" -B "$work/downstream" -G "$generator" \
  -DCMAKE_MAKE_PROGRAM="$make_program" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log"; fail "configuring the downstream example"; }
"$cmake" --build "$work/downstream" >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; fail "building the downstream example"; }

# beta is a name server of alpha, so the query runs the installed
# OTgetattrs on beta through the installed RSClient.
status=0
RUDED_ROOT=$cluster/alpha "$work/downstream/lsquery" beta:System \
  >"$work/lsquery.out" 2>&1 || status=$?
[ "$status" = 0 ] || { cat "$work/lsquery.out"; fail "lsquery exited $status"; }
! grep -q FAILED "$work/lsquery.out" || fail "$(cat "$work/lsquery.out")"
sed -n '/^beta:System:$/,$p' "$work/lsquery.out" >"$work/answer"
grep -q '^nodename="beta"$' "$work/answer" &&
  grep -q '^name_servers="alpha,beta"$' "$work/answer" ||
  { cat "$work/lsquery.out"; fail "lsquery did not print beta's System object"; }

# The same program through pkg-config, as the README shows it.
check_pkgconfig "$src" "$prefix/$LIBDIR/pkgconfig" "$prefix/$LIBDIR" "$cc" \
  "$cflags" "$ldflags"

echo "install_test: $(wc -l <"$work/expected") files installed and checked;" \
  "programs and the downstream example run from the install"
