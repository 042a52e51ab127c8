#!/bin/sh
# libls between two hosts over OpenSSH (tests/hosts.sh): inside alpha,
# every operation on beta's objects answers as beta answers them itself;
# when beta cannot be reached, refuses alpha or fails its command, the
# call fails with a log entry and leaves no temporary file on either host.
#
#   hosts_test.sh <object-tool bin dir> <ls_call> <source dir>
set -u
otbin=$1 ls_call=$2 src=$3
. "$src/tests/hosts.sh"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# No ZU_* file may be left on either host.
check_tmp() {
  for name in alpha beta; do
    left=$(ls "$(host_path $name /tmp)" | grep '^ZU_')
    [ -z "$left" ] || fail "$1: left on $name: $left"
  done
}

# The log lines of alpha that the last call added, matching a pattern.
log_mark() {
  log_lines=$(cat "$(host_path alpha /var/adm/oam.log)" 2> /dev/null | wc -l)
}
log_new() {
  tail -n +$((log_lines + 1)) "$(host_path alpha /var/adm/oam.log)"
}

expect_log() {  # what pattern
  log_new | grep -q -- "$2" || fail "$1: no log line matching: $2
$(log_new)"
}

hosts_init "$otbin"
host_start alpha 127.0.0.2
host_start beta 127.0.0.3
host_unreachable gamma 127.0.0.4

host_run alpha "$src/tools/ls-host-setup" beta gamma || fail "setup alpha"
host_run beta "$src/tools/ls-host-setup" alpha || fail "setup beta"
[ "$(cat "$(host_path alpha /etc/KELDA_servers)")" = "# name servers of this host, written by ls-host-setup
MaXnAmEsErVrS=2
name_servers=beta
name_servers=gamma" ] || fail "alpha's registry: $(cat "$(host_path alpha /etc/KELDA_servers)")"
put() {  # alias pairs
  printf '%s\n' "$2" | host_run beta /usr/sadm/sysadm/bin/OTput -A "$1" -I - ||
    fail "OTput $1"
}
put disk1 'size="12"
type="disk"
vendor="SEAGATE"
do_size="echo size=$OT_PARAM_blocks; echo host=$(hostname)"'
put disk2 'size="20"
type="disk"'
put disk3 'type="tape"'
put disk4 'size="4"
type="disk"'

# The hosts are apart: each has its own name, registry and store.
[ "$(host_run alpha hostname)" = alpha ] || fail "alpha's host name"
[ "$(host_run beta hostname)" = beta ] || fail "beta's host name"
[ -e /etc/KELDA_servers ] && fail "/etc/KELDA_servers appeared on this machine"
host_run alpha /usr/sadm/sysadm/bin/RSClient -N beta -E hostname > "$HOSTS/out" ||
  fail "RSClient to beta: status $?"
[ "$(cat "$HOSTS/out")" = beta ] || fail "RSClient to beta printed $(cat "$HOSTS/out")"

# One call inside host $on, its answer's lines labelled; a call that fails
# (NULL, -1, a changed list) is a failed check.
call() {  # label ls_call-arguments...
  label=$1
  shift
  host_run "$on" "$ls_call" "$@" > "$HOSTS/one" 2> "$HOSTS/one.err" ||
    fail "$on: $*: status $?: $(cat "$HOSTS/one" "$HOSTS/one.err")"
  sed "s/^/$label /" "$HOSTS/one"
}

# Every operation on beta's objects, inside host $1: one attribute, one
# method, all attributes, all methods and the whole object of disk1; the
# walk of LSQuerynext ("all") from the first alias to the end; the browse
# with Containment beta and type=disk; size=40 put on disk4 and read back;
# do_size performed with blocks=7.
calls() {  # host
  on=$1
  call attr attr beta:disk1 size
  call meth meth beta:disk1 do_size
  call attrs attrs beta:disk1
  call meths meths beta:disk1
  call obj obj beta:disk1
  # The walk ends when no alias is left: NULL (status 1), which a far node
  # reports as a failed command, logged.
  found= steps=0
  while :; do
    found=$(host_run "$on" "$ls_call" next all "beta:$found" 2> "$HOSTS/one.err")
    status=$?
    [ $status = 0 ] && [ $steps -lt 100 ] || break
    echo "next $found"
    steps=$((steps + 1))
  done
  [ $steps -gt 0 ] && [ "$status $found" = "1 NULL" ] ||
    fail "$on: walk ended after $steps steps, status $status: $found $(cat "$HOSTS/one.err")"
  call aliases aliases Containment=beta type=disk
  call put put beta:disk4 size=40 type=disk
  call "put attrs" attrs beta:disk4
  call perform perform beta:disk1 do_size blocks=7
}

# Every operation, from alpha over ssh and on beta itself.
log_mark
calls alpha > "$HOSTS/remote"
calls beta > "$HOSTS/local"
grep -q '^perform host="beta"$' "$HOSTS/remote" ||
  fail "the method did not run on beta: $(cat "$HOSTS/remote")"
grep -q '^next disk4$' "$HOSTS/remote" && grep -q '^aliases beta:disk2$' "$HOSTS/remote" ||
  fail "walk or browse incomplete: $(cat "$HOSTS/remote")"
diff -u "$HOSTS/local" "$HOSTS/remote" >&2 ||
  fail "alpha's answers about beta differ from beta's own"
# The walk's end is the one logged failure: OTnextalias found nothing.
[ "$(log_new | grep -c '^LOG ')" = 1 ] || fail "unexpected log lines: $(log_new)"
expect_log "walk end" "^LOG LS.LSQuerynext 701 1: /usr/sadm/sysadm/bin/RSClient -N beta -E \"OAM_DEVTAB=/etc/device.tab export OAM_DEVTAB;/usr/sadm/sysadm/bin/OTnextalias -C all -P disk4\" > /tmp/ZU_query.* failed$"
check_tmp "operations"

# Faults: the call fails with its log line and leaves nothing behind.
fault() {  # what expected-result log-pattern ls_call-arguments...
  what=$1 want=$2 pattern=$3
  shift 3
  log_mark
  out=$(host_run alpha "$ls_call" "$@" 2> "$HOSTS/err")
  [ "$out" = "$want" ] || fail "$what: got $out"
  expect_log "$what" "$pattern"
  check_tmp "$what"
}
status_of() {  # node command: RSClient's exit status inside alpha
  host_run alpha /usr/sadm/sysadm/bin/RSClient -N "$1" -E "$2" > /dev/null 2>&1
  echo $?
}

[ "$(status_of beta 'exit 1')" = 1 ] || fail "far exit 1 is not RSClient's 1"
fault "far command exits 1" NULL \
  "^LOG LS.LSQuerylist 701 1: .*RSClient -N beta -E .*OTgetattr -A nosuch -K size\" > /tmp/ZU_query.* failed$" \
  attr beta:nosuch size

sshd_stop beta
[ "$(status_of beta true)" = 255 ] || fail "sshd stopped: RSClient is not 255"
fault "sshd stopped" NULL \
  "^LOG LS.LSQuerylist 701 1: .*RSClient -N beta -E .*OTgetattrs -A disk1\" > /tmp/ZU_query.* failed$" \
  attrs beta:disk1
sshd_start beta || fail "beta's sshd did not restart"

host_rekey beta
[ "$(status_of beta true)" = 255 ] || fail "changed host key: RSClient is not 255"
fault "changed host key" "result -1" \
  "^LOG LS.LSPut 701 1: cat /tmp/ZU_param.* | .*RSClient -N beta -E .*OTput -A disk1 -I -\" failed$" \
  put beta:disk1 size=99
grep -q '^size="12"$' "$(host_path beta /var/sadm/ot/objects/disk1)" ||
  fail "the refused put changed beta's disk1"

[ "$(status_of gamma true)" = 255 ] || fail "unreachable node: RSClient is not 255"
fault "registered, not reachable" NULL \
  "^LOG RS.RSPerform 701 1: cat /tmp/ZU_param.* | .*RSClient -N gamma -E .*OTperform -A disk1 -M do_size -I -\" > /tmp/ZU_perform.* failed$" \
  perform gamma:disk1 do_size blocks=1

[ $failures = 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "two hosts: every check held"
