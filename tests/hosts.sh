# Separate hosts on this machine, for tests and benchmarks that need real
# machines answering each other over OpenSSH.  Source this file (sh), then
#
#   hosts_init <stage-dir>      makes the harness directory $HOSTS, a client
#                               key, ssh_config and known_hosts; installs the
#                               cleanup trap.  Exits 77 (skip) with a reason
#                               when this machine cannot run hosts.
#   host_start <name> <addr>    starts host <name>: its own mount and UTS
#                               namespaces, its files bind-mounted over
#                               /etc/KELDA_servers, /usr/sadm, /var/sadm,
#                               /var/adm and /tmp, host name <name>, the
#                               staged object-tool commands in
#                               /usr/sadm/sysadm/bin, and an sshd on <addr>
#   host_unreachable <name> <addr>
#                               an ssh_config entry for a host that does not
#                               answer (nothing listens there)
#   host_run <name> cmd...      runs cmd inside the host, without RUDED_ROOT,
#                               with RS_SSH naming the harness's ssh_config
#                               (or $HOSTS_RS_SSH when set)
#   sshd_stop <name>, sshd_start <name>
#   host_rekey <name>           gives the host's sshd a new host key (the
#                               client's known_hosts keeps the old one)
#   host_path <name> <path>     where the host's <path> lies in $HOSTS
#   hosts_cleanup               ends every process of every host (by PID)
#                               and removes $HOSTS; the trap calls it
#
# A host's own files live in $HOSTS/<name>/ (etc/KELDA_servers, usr/sadm,
# var/sadm, var/adm, tmp, and home/ for root's home inside the host).  When
# /etc, /usr and /var are private overlays inside the host (the upper layer a
# tmpfs of the namespace), so a missing mount point is made there, root's
# home inside the host is home/ (never this machine's /root), and nothing the
# host's programs write there reaches this machine.
# /run is a private tmpfs holding /run/sshd.  Nothing outside $HOSTS is
# written, and every mount vanishes with the namespace when its last
# process ends.
#
# sshd listens only on the host's loopback address and a high port, with a
# host key of its own; root logs in with the harness's key only, no PAM, no
# passwords.  The client side checks host keys strictly against the
# harness's known_hosts.  Each host runs a watchdog: when the process that
# sourced this file is gone (even killed), it ends every process of its
# namespace.

HOSTS_PATH=/usr/sbin:/usr/bin:/sbin:/bin

hosts_skip() {
  echo "SKIP: $*" >&2
  exit 77
}

hosts_fail() {
  echo "hosts: $*" >&2
  exit 1
}

hosts_init() {
  HOSTS_STAGE=$1
  [ "$(id -u)" = 0 ] && [ -z "${FAKEROOTKEY-}" ] ||
    hosts_skip "separate hosts need real root (mount namespaces, sshd)"
  for tool in unshare nsenter mount hostname ssh ssh-keygen /usr/sbin/sshd; do
    command -v "$tool" > /dev/null 2>&1 ||
      hosts_skip "$tool is missing (Debian: util-linux, mount, hostname, openssh-client, openssh-server)"
  done
  getent passwd sshd > /dev/null ||
    hosts_skip "no sshd privilege separation user (install openssh-server)"
  unshare --mount --uts --propagation private true 2> /dev/null ||
    hosts_skip "cannot make mount and UTS namespaces here"
  # The first overlay mount loads the module when it is not loaded yet.
  grep -qw overlay /proc/filesystems ||
    [ -n "$(find "/lib/modules/$(uname -r)" -name 'overlay.ko*' 2> /dev/null)" ] ||
    hosts_skip "the kernel has no overlay file system"
  # The harness directory must stay visible inside the hosts, whose /tmp,
  # /run and parts of /etc, /usr and /var are their own.
  base=${HOSTS_BASE:-$PWD}
  case $(cd "$base" && pwd -P)/ in
    /tmp/* | /run/* | /etc/* | /usr/* | /var/*)
      hosts_skip "the build tree ($base) lies under /tmp, /run, /etc, /usr or /var, which the hosts replace" ;;
  esac
  HOSTS=$(mktemp -d "$base/hosts.XXXXXX") || hosts_fail "mktemp failed"
  HOSTS_NAMES=
  HOSTS_OWNER=$$
  trap 'hosts_cleanup' EXIT
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
  mkdir "$HOSTS/client"
  ssh-keygen -q -t ed25519 -N '' -C hosts-client -f "$HOSTS/client/id" ||
    hosts_fail "ssh-keygen failed"
  : > "$HOSTS/client/known_hosts"
  : > "$HOSTS/client/hosts.conf"
  cat > "$HOSTS/client/defaults.conf" <<EOF
Host *
  User root
  IdentityFile $HOSTS/client/id
  IdentitiesOnly yes
  UserKnownHostsFile $HOSTS/client/known_hosts
  GlobalKnownHostsFile /dev/null
  StrictHostKeyChecking yes
  PasswordAuthentication no
  KbdInteractiveAuthentication no
  ConnectTimeout 5
  LogLevel ERROR
EOF
  cp "$HOSTS/client/defaults.conf" "$HOSTS/client/ssh_config"
}

host_path() { echo "$HOSTS/$1$2"; }

# Runs cmd inside host $1, with a clean environment; RS_SSH is
# $HOSTS_RS_SSH when that is set.
host_run() {
  name=$1
  shift
  nsenter -t "$(cat "$HOSTS/$name/holder.pid")" -m -u -- \
    env -i PATH=$HOSTS_PATH HOME="$HOSTS/$name/home" LANG=C \
    RS_SSH="${HOSTS_RS_SSH:-ssh -F $HOSTS/client/ssh_config}" "$@"
}

# The pids of every process in host $1's mount namespace.
host_pids() {
  holder=$(cat "$HOSTS/$1/holder.pid" 2> /dev/null) || return 0
  ns=$(readlink "/proc/$holder/ns/mnt" 2> /dev/null) || return 0
  ls -l /proc/[0-9]*/ns/mnt 2> /dev/null |
    awk -v ns="$ns" '$NF == ns { split($(NF - 2), p, "/"); print p[3] }'
}

host_config_entry() {  # name addr port
  cat >> "$HOSTS/client/hosts.conf" <<EOF
Host $1
  HostName $2
  Port $3
  HostKeyAlias $1
EOF
  # ssh_config takes the first value it meets: the hosts come before the
  # defaults of "Host *".
  cat "$HOSTS/client/hosts.conf" "$HOSTS/client/defaults.conf" \
    > "$HOSTS/client/ssh_config"
}

host_unreachable() {
  host_config_entry "$1" "$2" 1
}

host_start() {
  name=$1 addr=$2
  h=$HOSTS/$name
  case $addr in 127.*) ;; *) hosts_fail "$addr is not a loopback address" ;; esac
  mkdir -p "$h/etc" "$h/usr/sadm/sysadm/bin" "$h/var/sadm" "$h/var/adm" \
    "$h/tmp" "$h/home" "$h/ssh" "$h/ovl"
  chmod 1777 "$h/tmp"
  chmod 700 "$h/home"
  : > "$h/etc/KELDA_servers"
  for p in "$HOSTS_STAGE"/*; do ln -s "$p" "$h/usr/sadm/sysadm/bin/"; done
  ssh-keygen -q -t ed25519 -N '' -C "$name" -f "$h/ssh/host_key" ||
    hosts_fail "ssh-keygen failed"
  cat > "$h/init.sh" <<EOF
set -e
h=$h
mount -t tmpfs -o mode=0700 hosts-ovl "\$h/ovl"
overlay() {
  mkdir "\$h/ovl/\$1.up" "\$h/ovl/\$1.work"
  mount -t overlay overlay \
    -o "lowerdir=/\$1,upperdir=\$h/ovl/\$1.up,workdir=\$h/ovl/\$1.work" "/\$1"
}
overlay etc
overlay usr
overlay var
[ -e /etc/KELDA_servers ] || : > /etc/KELDA_servers
mkdir -p /usr/sadm /var/sadm /var/adm
awk -F: -v OFS=: -v home="\$h/home" '\$1 == "root" { \$6 = home } 1' \
  /etc/passwd > "\$h/ovl/passwd"
cat "\$h/ovl/passwd" > /etc/passwd
mount --bind "\$h/etc/KELDA_servers" /etc/KELDA_servers
mount --bind "\$h/usr/sadm" /usr/sadm
mount --bind "\$h/var/sadm" /var/sadm
mount --bind "\$h/var/adm" /var/adm
mount --bind "\$h/tmp" /tmp
mount -t tmpfs -o mode=0755 hosts-run /run
mkdir -m 0755 /run/sshd
hostname $name
echo ready > "\$h/ready"
# The watchdog: when the harness is gone, nothing of this host outlives it.
while kill -0 $HOSTS_OWNER 2> /dev/null; do sleep 1; done
me=\$(readlink /proc/\$\$/ns/mnt)
# Listed first, killed after: the listing's own processes are gone by then.
pids=\$(ls -l /proc/[0-9]*/ns/mnt 2> /dev/null | awk -v ns="\$me" -v self=\$\$ '
  \$NF == ns { split(\$(NF - 2), p, "/"); if (p[3] != self) print p[3] }')
kill -KILL \$pids 2> /dev/null
exit 0
EOF
  unshare --mount --uts --propagation private -- sh "$h/init.sh" \
    > "$h/init.log" 2>&1 &
  echo $! > "$h/holder.pid"
  HOSTS_NAMES="$HOSTS_NAMES $name"
  i=0
  until [ -f "$h/ready" ]; do
    kill -0 "$(cat "$h/holder.pid")" 2> /dev/null ||
      hosts_fail "host $name did not start: $(cat "$h/init.log")"
    i=$((i + 1))
    [ $i -lt 100 ] || hosts_fail "host $name did not start in 10 s"
    sleep 0.1
  done
  # A high port that is free on addr: sshd says when it listens.
  port=$(( 20000 + ($$ * 7 + ${#HOSTS_NAMES} * 131) % 40000 ))
  tries=0
  while :; do
    sshd_write_config "$name" "$addr" "$port"
    sshd_start "$name" && break
    tries=$((tries + 1))
    [ $tries -lt 5 ] || hosts_fail "sshd of $name did not start: $(cat "$h/ssh/sshd.log")"
    port=$(( 20000 + (port + 977) % 40000 ))
  done
  host_config_entry "$name" "$addr" "$port"
  echo "$name $(cat "$h/ssh/host_key.pub")" >> "$HOSTS/client/known_hosts"
}

sshd_write_config() {  # name addr port
  h=$HOSTS/$1
  cat > "$h/ssh/sshd_config" <<EOF
ListenAddress $2:$3
HostKey $h/ssh/host_key
PidFile none
PermitRootLogin prohibit-password
PubkeyAuthentication yes
AuthorizedKeysFile $HOSTS/client/id.pub
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
UseDNS no
StrictModes no
PrintMotd no
PrintLastLog no
X11Forwarding no
AllowTcpForwarding no
MaxStartups 100
MaxSessions 100
LogLevel INFO
EOF
}

# Starts host $1's sshd; fails when it does not listen within 5 s.
sshd_start() {
  h=$HOSTS/$1
  : > "$h/ssh/sshd.log"
  nsenter -t "$(cat "$h/holder.pid")" -m -u -- env -i PATH=$HOSTS_PATH \
    /usr/sbin/sshd -D -e -f "$h/ssh/sshd_config" 2>> "$h/ssh/sshd.log" &
  echo $! > "$h/ssh/sshd.pid"
  i=0
  until grep -q "Server listening" "$h/ssh/sshd.log"; do
    if ! kill -0 "$(cat "$h/ssh/sshd.pid")" 2> /dev/null; then
      wait "$(cat "$h/ssh/sshd.pid")" 2> /dev/null
      return 1
    fi
    i=$((i + 1))
    [ $i -lt 50 ] || { sshd_stop "$1"; return 1; }
    sleep 0.1
  done
}

sshd_stop() {
  h=$HOSTS/$1
  pid=$(cat "$h/ssh/sshd.pid" 2> /dev/null) || return 0
  kill -TERM "$pid" 2> /dev/null
  wait "$pid" 2> /dev/null
  rm -f "$h/ssh/sshd.pid"
}

host_rekey() {
  h=$HOSTS/$1
  sshd_stop "$1"
  rm -f "$h/ssh/host_key" "$h/ssh/host_key.pub"
  ssh-keygen -q -t ed25519 -N '' -C "$1" -f "$h/ssh/host_key" ||
    hosts_fail "ssh-keygen failed"
  sshd_start "$1" || hosts_fail "sshd of $1 did not restart"
}

hosts_cleanup() {
  status=$?
  trap - EXIT HUP INT TERM
  [ -n "${HOSTS-}" ] || return $status
  for name in $HOSTS_NAMES; do
    pids=$(host_pids "$name")
    [ -n "$pids" ] && kill -TERM $pids 2> /dev/null
  done
  # TERM first; what is left after 3 s gets KILL; what outlives 10 s is
  # reported, and the harness fails.
  i=0
  for name in $HOSTS_NAMES; do
    while pids=$(host_pids "$name") && [ -n "$pids" ]; do
      i=$((i + 1))
      if [ $i -ge 100 ]; then
        echo "hosts: processes of $name do not end: $pids" >&2
        status=1
        break
      fi
      [ $i -lt 30 ] || kill -KILL $pids 2> /dev/null
      sleep 0.1
    done
  done
  wait 2> /dev/null
  rm -rf "$HOSTS"
  HOSTS=
  exit $status
}
