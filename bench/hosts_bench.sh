#!/bin/sh
# Remote libls calls between two hosts over OpenSSH (tests/hosts.sh): the
# mean time of a bare "ssh beta true", of a remote LSQueryattr on beta (the
# ls_call driver: registry, temporary file, RSClient, ssh, OTgetattr), and
# of the same query with connection sharing (ControlMaster auto,
# ControlPersist).  Fails when the query costs more than 1.5 times the
# bare ssh.  Skipped (status 0) when this machine cannot run hosts.
#
#   hosts_bench.sh <object-tool bin dir> <ls_call> <source dir> [runs]
set -u
otbin=$1 ls_call=$2 src=$3 runs=${4:-10}
HOSTS_BASE=$(dirname "$ls_call")
# The harness skips with status 77, which is no failure for a benchmark.
( . "$src/tests/hosts.sh"
  hosts_init "$otbin"
  host_start alpha 127.0.0.2
  host_start beta 127.0.0.3
  host_run alpha "$src/tools/ls-host-setup" beta > /dev/null || exit 1
  host_run beta "$src/tools/ls-host-setup" alpha > /dev/null || exit 1
  printf 'size="12"\n' | host_run beta /usr/sadm/sysadm/bin/OTput -A disk1 -I - ||
    exit 1
  cfg=$HOSTS/client/ssh_config
  shared="ssh -F $cfg -o ControlMaster=auto -o ControlPath=$HOSTS/cm-%C -o ControlPersist=60"
  # Each loop runs inside alpha and prints its mean in microseconds.
  loop='n=$1; shift; s=$(date +%s%N); i=0
    while [ $i -lt $n ]; do "$@" > /dev/null || exit 1; i=$((i + 1)); done
    echo $((($(date +%s%N) - s) / n / 1000))'
  bare=$(host_run alpha sh -c "$loop" - "$runs" \
    ssh -F "$cfg" -o BatchMode=yes -T beta true) || exit 1
  query=$(host_run alpha sh -c "$loop" - "$runs" \
    "$ls_call" attr beta:disk1 size) || exit 1
  HOSTS_RS_SSH=$shared
  # The first run opens the shared connection.
  host_run alpha "$ls_call" attr beta:disk1 size > /dev/null || exit 1
  sharing=$(host_run alpha sh -c "$loop" - "$runs" \
    "$ls_call" attr beta:disk1 size) || exit 1
  host_run alpha $shared -O exit beta 2> /dev/null
  HOSTS_RS_SSH=
  ratio=$(awk -v q="$query" -v b="$bare" 'BEGIN { printf "%.2f", q / b }')
  ms() { awk -v us="$1" 'BEGIN { printf "%.1f ms", us / 1000 }'; }
  echo "mean of $runs runs each, from alpha to beta:"
  echo "  bare ssh beta true                 $(ms "$bare")"
  echo "  remote LSQueryattr beta:disk1      $(ms "$query")  (${ratio}x the bare ssh; target <= 1.5x)"
  echo "  the same, connection shared        $(ms "$sharing")"
  awk -v r="$ratio" 'BEGIN { exit !(r <= 1.5) }' ||
    { echo "the remote query costs more than 1.5x the bare ssh" >&2; exit 1; }
)
status=$?
[ $status = 77 ] && exit 0
exit $status
