# Checks shared by the install tests (install_test.sh for a DESTDIR install,
# package_test.sh for the Debian packages in a throw-away root), sourced by
# them.  Each takes the directories of one installed tree and runs in a
# subshell of its own; the caller sets $work (a scratch directory) and
# defines fail().

# The soname links of the shared libraries in <libdir>: lib<name>.so.1 is a
# link to the file whose SONAME it is.  The unversioned link is checked when
# <libdir> holds it.
check_sonames() (
  d=$1
  for lib in sspi ls ot; do
    if [ -e "$d/lib$lib.so" ] || [ -L "$d/lib$lib.so" ]; then
      [ "$(readlink "$d/lib$lib.so")" = "lib$lib.so.1" ] || fail "lib$lib.so link"
    fi
    [ "$(readlink "$d/lib$lib.so.1")" = "lib$lib.so.1.0.0" ] || fail "lib$lib.so.1 link"
    soname=$(readelf -d "$d/lib$lib.so.1.0.0" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
    [ "$soname" = "lib$lib.so.1" ] || fail "lib$lib soname is '$soname'"
  done
)

# The installed programs: usage errors, then a cluster made by the installed
# simcluster from the demo fabric (which links the installed object-tool
# commands into each machine) on which the installed qv_cspec marks alpha's
# adapters.  Leaves the cluster in $work/cluster.
# Usage: check_programs <source dir> <sbindir> <bindir> <object-tool dir>
#                       [mdevice file for alpha]
check_programs() (
  src=$1 sbindir=$2 bindir=$3 otbindir=$4 mdevice=${5:-}
  empty=$work/empty-root
  mkdir -p "$empty"
  status=0
  RUDED_ROOT=$empty "$sbindir/qv_cspec" -x >"$work/out" 2>"$work/err" || status=$?
  [ "$status" = 1 ] || fail "qv_cspec -x exited $status"
  grep -q '^Usage: .*qv_cspec \[-c\] \[-i|-r\]$' "$work/err" ||
    fail "qv_cspec -x printed: $(cat "$work/err")"
  [ ! -s "$work/out" ] || fail "qv_cspec -x wrote on standard output"

  status=0
  "$bindir/simcluster" >"$work/out" 2>"$work/err" || status=$?
  [ "$status" = 2 ] || fail "simcluster without arguments exited $status"
  grep -q 'usage: simcluster create' "$work/err" ||
    fail "simcluster printed: $(cat "$work/err")"

  cluster=$work/cluster
  "$bindir/simcluster" create "$src/examples/demo.fabric" "$cluster" ||
    fail "installed simcluster create"
  link=$(readlink "$cluster/alpha/usr/sadm/sysadm/bin/RSClient") ||
    fail "no RSClient linked into the machine alpha"
  [ "$link" = "$otbindir/RSClient" ] || fail "RSClient links to $link"
  # OTinit ran from the install and made each machine's System object.
  grep -q '^name_servers="alpha,beta"$' "$cluster/beta/var/sadm/ot/objects/System" ||
    fail "no System object on beta"

  [ -z "$mdevice" ] || cp "$mdevice" "$cluster/alpha/etc/conf/cf.d/mdevice"
  RUDED_ROOT=$cluster/alpha "$sbindir/qv_cspec" -i -r ||
    fail "installed qv_cspec -i -r"
  [ -c "$cluster/alpha/usr/ruded/subsys/scsi/resources/hostadp/cspecials/c0" ] ||
    fail "qv_cspec -i made no initiator node c0"
  "$bindir/simcluster" show "$cluster" >"$work/show" ||
    fail "installed simcluster show"
  grep -q 'adapter alpha c0: set to c0:alpha' "$work/show" ||
    fail "the area of c0 was not written: $(cat "$work/show")"
)

# The downstream example built with pkg-config against the .pc files in
# <pkgconfig dir>, run with the libraries in <libdir>, as the README shows.
# Usage: check_pkgconfig <source dir> <pkgconfig dir> <libdir> <cc> [cflags] [ldflags]
check_pkgconfig() (
  src=$1 pcdir=$2 libdir=$3 cc=$4 cflags=${5:-} ldflags=${6:-}
  pc_libdir=$(PKG_CONFIG_PATH=$pcdir pkg-config --variable=libdir ls) ||
    fail "pkg-config finds no ls in $pcdir"
  [ "$(cd "$pc_libdir" && pwd -P)" = "$(cd "$libdir" && pwd -P)" ] ||
    fail "ls.pc names the library directory $pc_libdir"
  # shellcheck disable=SC2046,SC2086
  PKG_CONFIG_PATH=$pcdir \
  "$cc" $cflags -std=c11 -Wall -Wextra -Werror -o "$work/lsquery_pc" \
    "$src/examples/downstream/main.c" $(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs ls) \
    $ldflags || fail "building with pkg-config --cflags --libs ls"
  LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" \
    "$work/lsquery_pc" >"$work/pc.out" 2>&1 ||
    { cat "$work/pc.out"; fail "the pkg-config build of lsquery failed"; }
)
