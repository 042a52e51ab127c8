#!/bin/sh
# Builds the Debian packages from a copy of the tree, checks them with
# lintian, installs them with dpkg into a throw-away root and checks them
# there:
#   1. lintian reports no error and no warning;
#   2. each package holds exactly its files; qv-cspec's configuration is
#      made of conffiles, and its unit, enabled on install, does nothing
#      until /etc/default/qv_cspec says so; systemd-analyze accepts it;
#   3. the sonames, and the symbols files name exactly what each library
#      exports (nm -D);
#   4. man finds every page in its section and formats it without warning;
#   5. the packaged programs run on a simulated cluster, and with the
#      packaged mdevice every node lands in Linux's local-use character
#      majors 240-243;
#   6. the downstream example builds against the -dev packages with
#      pkg-config and runs.
# Usage: package_test.sh <source dir> <C compiler>
# Exits 77 (skipped) when a tool it needs is not installed.
set -eu
src=$1 cc=$2

need=
for tool in dpkg-buildpackage dh lintian systemd-analyze man; do
  command -v "$tool" >/dev/null 2>&1 || need="$need $tool"
done
if [ -n "$need" ]; then
  echo "package_test: skipped, not installed:$need (make deps installs them)"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/qv_package.XXXXXX")
chmod 755 "$work"  # man may read the pages as another user
trap 'rm -rf "$work"' EXIT INT TERM
fail() { echo "package_test: $*" >&2; exit 1; }
. "$src/tests/install_check.sh"

# --- The build, from a copy: the tree gets no debian/ debris and its own
# build directories stay as they are.  The copy holds what git would commit.
copy=$work/ruded
mkdir "$copy"
if (cd "$src" && git ls-files --cached --others --exclude-standard) \
     >"$work/files" 2>/dev/null; then
  while IFS= read -r f; do
    [ -e "$src/$f" ] || [ -L "$src/$f" ] && printf '%s\n' "$f"
  done <"$work/files" >"$work/present"
  tar -C "$src" -cf - -T "$work/present" | tar -C "$copy" -xf -
else
  tar -C "$src" --exclude=./.git --exclude='./build*' --exclude=./fuzz-out \
    -cf - . | tar -C "$copy" -xf -
fi
# The outer make's flags are not for debian/rules.
(cd "$copy" && env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL \
  DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" DEB_BUILD_PROFILES=nocheck \
  dpkg-buildpackage -us -uc -b) >"$work/build.log" 2>&1 ||
  { tail -40 "$work/build.log"; fail "dpkg-buildpackage failed"; }

# --- 1. lintian -------------------------------------------------------
lintian --fail-on error,warning "$work"/ruded_*.changes >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian found errors or warnings"; }

# --- Install into a root of its own.  The maintainer scripts run here with
# DPKG_ROOT set (they only enable the unit, inside that root); the system's
# own libraries are not in that root, hence --force-depends.
root=$work/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates"
: >"$admin/status"
packages="qv-cspec libsspi1 libsspi-dev libls1 libls-dev ruded-simulator"
debs=
for p in $packages; do debs="$debs $(echo "$work/${p}_"*.deb)"; done
# shellcheck disable=SC2086
dpkg --root="$root" --force-script-chrootless --force-depends --log=/dev/null \
  -i $debs >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }

# --- 2. What each package holds --------------------------------------
ma=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
lib=/usr/lib/$ma
expected() {
  case $1 in
    qv-cspec) printf '%s\n' /usr/sbin/qv_cspec /usr/share/man/man8/qv_cspec.8.gz \
      /etc/conf/cf.d/mdevice /etc/ruded/excludelist /usr/ruded/config/excludelist \
      /etc/default/qv_cspec /lib/systemd/system/qv_cspec.service \
      /lib/udev/rules.d/60-qv_cspec.rules ;;
    libsspi1) printf '%s\n' "$lib/libsspi.so.1" "$lib/libsspi.so.1.0.0" ;;
    libls1) printf '%s\n' "$lib/libls.so.1" "$lib/libls.so.1.0.0" ;;
    libsspi-dev) printf '%s\n' /usr/include/sspi.h "$lib/libsspi.so" \
      "$lib/libsspi.a" "$lib/pkgconfig/sspi.pc" \
      /usr/share/man/man3/sspi.3.gz /usr/share/man/man5/sspi.5.gz
      for f in Config ConfigVersion Targets Targets-CONFIG; do
        echo "$lib/cmake/sspi/sspi$f.cmake"
      done ;;
    libls-dev) printf '%s\n' /usr/include/ls.h /usr/include/ot_records.h \
      "$lib/libls.so" "$lib/libls.a" \
      "$lib/pkgconfig/ls.pc" "$lib/libot.so" /usr/share/man/man3/ls.3.gz
      for f in Config ConfigVersion Targets Targets-CONFIG; do
        echo "$lib/cmake/ls/ls$f.cmake"
        echo "$lib/cmake/ot/ot$f.cmake"
      done ;;
    ruded-simulator) printf '%s\n' /usr/bin/simcluster "$lib/libot.so.1" \
      "$lib/libot.so.1.0.0" /usr/share/man/man1/simcluster.1.gz \
      /usr/share/man/man7/ot.7.gz
      for p in OTgetattr OTgetattrs OTgetmethod OTgetmethods OTgetobj \
               OTnextalias OTgetaliases OTput OTperform RSClient OTinit; do
        echo "/usr/libexec/ruded/$p"
      done ;;
  esac
  printf '%s\n' "/usr/share/doc/$1/changelog.gz" "/usr/share/doc/$1/copyright"
  [ ! -f "$copy/debian/$1.lintian-overrides" ] ||
    echo "/usr/share/lintian/overrides/$1"
}
for p in $packages; do
  expected "$p" | sort >"$work/expected"
  # The per-configuration target file is named after the build type.
  dpkg-query --admindir="$admin" -L "$p" | while IFS= read -r f; do
    [ -d "$root$f" ] && [ ! -L "$root$f" ] || printf '%s\n' "$f"
  done | sed -E 's/Targets-[a-z]+\.cmake$/Targets-CONFIG.cmake/' |
    sort >"$work/actual"
  diff -u "$work/expected" "$work/actual" ||
    fail "$p holds other files than it should (- missing, + extra)"
done

conffiles=$(dpkg-query --admindir="$admin" -W -f='${Conffiles}' qv-cspec |
  awk '{print $1}' | sort | paste -sd' ' -)
[ "$conffiles" = "/etc/conf/cf.d/mdevice /etc/default/qv_cspec /etc/ruded/excludelist" ] ||
  fail "qv-cspec's conffiles are: $conffiles"
[ "$(readlink "$root/usr/ruded/config/excludelist")" = /etc/ruded/excludelist ] ||
  fail "/usr/ruded/config/excludelist does not link to /etc/ruded/excludelist"
! grep -v '^#' "$root/etc/ruded/excludelist" ||
  fail "the packaged exclusion list excludes something"

unit=$root/lib/systemd/system/qv_cspec.service
[ -L "$root/etc/systemd/system/multi-user.target.wants/qv_cspec.service" ] ||
  fail "installing qv-cspec did not enable qv_cspec.service"
# The unit's condition, run as systemd runs it with /etc/default/qv_cspec.
condition=$(sed -n 's/^ExecCondition=//p' "$unit")
[ -n "$condition" ] || fail "qv_cspec.service has no ExecCondition"
gate() {
  (. "$root/etc/default/qv_cspec"; [ -z "${1:-}" ] || QV_CSPEC_ENABLE=$1
   eval "$condition")
}
! gate || fail "qv_cspec.service would run as installed"
gate yes || fail "qv_cspec.service would not run with QV_CSPEC_ENABLE=yes"
grep -q '^ExecStart=/usr/sbin/qv_cspec -i -r$' "$unit" ||
  fail "qv_cspec.service does not run qv_cspec -i -r"
# systemd-analyze checks that the programs exist: the command is the one in
# this root, and man finds the page of Documentation= there.
mkdir "$work/units"
sed "s|/usr/sbin/qv_cspec|$root/usr/sbin/qv_cspec|" "$unit" >"$work/units/qv_cspec.service"
MANPATH=$root/usr/share/man systemd-analyze verify "$work/units/qv_cspec.service" \
  >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "systemd-analyze verify"; }
[ ! -s "$work/verify.log" ] || { cat "$work/verify.log"; fail "systemd-analyze verify warned"; }

# --- 3. Sonames and symbols files ------------------------------------
check_sonames "$root$lib"
for pair in sspi:libsspi1 ls:libls1 ot:ruded-simulator; do
  name=${pair%%:*} p=${pair#*:}
  dpkg-deb -I "$work/${p}_"*.deb symbols >"$work/symbols" ||
    fail "$p has no symbols file"
  [ "$(head -1 "$work/symbols")" = "lib$name.so.1 $p #MINVER#" ] ||
    fail "$p's symbols file begins: $(head -1 "$work/symbols")"
  sed -n 's/^ \([^@ ]*\)@Base .*/\1/p' "$work/symbols" | sort >"$work/listed"
  nm -D --defined-only "$root$lib/lib$name.so.1.0.0" | awk '{print $3}' |
    sort >"$work/exported"
  diff -u "$work/listed" "$work/exported" ||
    fail "$p's symbols file differs from what lib$name exports (+ unlisted)"
done

# --- 4. The manual pages ---------------------------------------------
export MANWIDTH=80 LC_ALL=C.UTF-8
for page in 8:qv_cspec 1:simcluster 3:sspi 5:sspi 3:ls 7:ot; do
  section=${page%%:*} name=${page#*:}
  found=$(man -M "$root/usr/share/man" -w "$section" "$name") ||
    fail "man finds no $name($section)"
  [ "$found" = "$root/usr/share/man/man$section/$name.$section.gz" ] ||
    fail "man finds $name($section) at $found"
  warnings=$(man -M "$root/usr/share/man" --warnings "$section" "$name" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$name($section): $warnings"
done

# --- 5. The programs on a simulated cluster --------------------------
LD_LIBRARY_PATH="$root$lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export LD_LIBRARY_PATH
check_programs "$src" "$root/usr/sbin" "$root/usr/bin" "$root/usr/libexec/ruded" \
  "$root/etc/conf/cf.d/mdevice"
nodes=0
for node in "$work/cluster/alpha/usr/ruded/subsys/scsi/resources/hostadp/cspecials"/*; do
  case $(stat -c %t "$node") in
    f0 | f1 | f2 | f3) nodes=$((nodes + 1)) ;;
    *) fail "$node has the major 0x$(stat -c %t "$node")" ;;
  esac
done
[ "$nodes" -gt 1 ] || fail "qv_cspec made $nodes nodes on alpha"

# --- 6. A downstream program against the -dev packages ---------------
check_pkgconfig "$src" "$root$lib/pkgconfig" "$root$lib" "$cc"

echo "package_test: $(echo "$packages" | wc -w) packages lintian-clean, installed" \
  "and checked; $nodes nodes in majors 240-243"
