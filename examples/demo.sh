#!/bin/sh
# The qv_cspec demo: builds a simulated cluster of two machines from
# examples/demo.fabric inside the build tree and runs qv_cspec on them,
# step by step, as an administrator would.
#
#   sh examples/demo.sh <build-dir>        (make demo runs it on build/)
set -eu

build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$build" && pwd)
simcluster="$build/stage/bin/simcluster"
qv_cspec="$build/stage/sbin/qv_cspec"
cluster="$build/demo-cluster"
hostadp=usr/ruded/subsys/scsi/resources/hostadp

for program in "$simcluster" "$qv_cspec"; do
  if [ ! -x "$program" ]; then
    echo "demo: $program is missing; build first (make)" >&2
    exit 1
  fi
done

step() {
  printf '\n=== %s\n' "$*"
}

# Runs qv_cspec as machine $1 with the remaining arguments, showing the
# command line.  Report lines go to standard output, warnings and the
# "uninitialized" responder lines to standard error.
on() {
  machine=$1
  shift
  echo "[$machine]# qv_cspec${*:+ $*}"
  if ! out=$(RUDED_ROOT="$cluster/$machine" "$qv_cspec" "$@" 2>&1); then
    printf '%s\n' "$out"
    echo "demo: qv_cspec failed on $machine" >&2
    exit 1
  fi
  if [ -n "$out" ]; then
    printf '%s\n' "$out" | sed 's/^/    /'
  fi
}

# The cspecials listing of each machine named.
listing() {
  for machine in "$@"; do
    echo "[$machine]# ls -l /$hostadp/cspecials"
    (cd "$cluster/$machine/$hostadp/cspecials" && ls -l | sed 's/^/    /')
  done
}

step "Creating the cluster in $cluster"
rm -rf "$cluster"
"$simcluster" create "$here/demo.fabric" "$cluster"
sed -n '/^bus/,$p' "$here/demo.fabric"

step "Report mode: nobody has marked an adapter yet"
on alpha
on beta

step "-i on alpha: its adapters are stamped with its name; beta is not yet"
on alpha -i
on alpha

step "-i on beta"
on beta -i

step "Report mode again: each adapter is set to its machine"
on alpha
on beta

step "-r on each machine: responder nodes named after the far machine"
on alpha -r
on beta -r
listing alpha beta

step "device_info on alpha (Control-A shown as ' | '; no MYLEX line)"
sed 's/\x01/ | /g' "$cluster/alpha/$hostadp/device_info" | sed 's/^/    /'

step "On beta a node nothing asks for is removed and a misnamed one renamed"
mv "$cluster/beta/$hostadp/cspecials/c10" \
   "$cluster/beta/$hostadp/cspecials/old-c10"
: > "$cluster/beta/$hostadp/cspecials/stray"
listing beta
on beta -i -r
listing beta

step "What the hardware remembers: simcluster show"
"$simcluster" show "$cluster" | sed 's/^/    /'

printf '\nThe cluster stays in %s for a closer look:\n' "$cluster"
echo "  RUDED_ROOT=$cluster/alpha $qv_cspec -d"
