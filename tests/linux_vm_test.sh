#!/bin/bash
# qv_cspec on emulated hardware: boots a Debian kernel under QEMU (TCG, no
# KVM) with two LSI 53C895A adapters driven by Linux's sym53c8xx, runs the
# built command in the guest through the Linux backend of the SCSI service,
# and compares what comes back over a serial port with what the QEMU
# disks were given and with sg_inq, an independent reader.  Also prints how
# long a whole `qv_cspec -r` takes against one sg_inq per disk (not
# asserted).
#
# usage: linux_vm_test.sh <qv_cspec> <cache dir> <mdevice file>
# Exits 77 (skipped) with one line saying what to install when QEMU,
# busybox, cpio, sg_inq or the kernel cannot be had.  The kernel and the
# initramfs are kept in the cache directory.
set -u
qv_cspec=$1 cache=$2 mdevice=$3
limit=${LINUX_VM_TIMEOUT:-900}  # seconds for the whole boot

skip() { echo "linux_vm: skipped: $*"; exit 77; }
fail() { echo "linux_vm: FAIL: $*"; failed=1; }
failed=0

need="install qemu-system-x86 busybox-static cpio sg3-utils (Debian)"
for tool in qemu-system-x86_64 busybox cpio sg_inq dpkg-deb gzip base64; do
  command -v "$tool" >/dev/null || skip "no $tool: $need"
done
mkdir -p "$cache" || exit 1

# The kernel: the current Debian linux-image, downloaded once into the cache.
modules="scsi_common scsi_mod scsi_transport_spi sym53c8xx sg"
kernel=$(ls "$cache"/boot/vmlinuz-* 2>/dev/null | head -n 1)
if [ -z "$kernel" ]; then
  pkg=$(apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9].*-amd64\)$/\1/p' | head -n 1)
  [ -n "$pkg" ] || skip "apt knows no linux-image-amd64: run apt-get update; $need"
  rm -f "$cache"/*.deb
  (cd "$cache" && apt-get download "$pkg") >"$cache/download.log" 2>&1 ||
    skip "cannot download $pkg (see $cache/download.log); $need"
  patterns=('./boot/vmlinuz-*')
  for m in $modules; do patterns+=("*/$m.ko"); done
  dpkg-deb --fsys-tarfile "$cache"/"$pkg"_*.deb |
    tar -x -C "$cache" --wildcards "${patterns[@]}" || skip "cannot unpack $pkg"
  rm -f "$cache"/*.deb
  kernel=$(ls "$cache"/boot/vmlinuz-* | head -n 1)
fi

# The guest: busybox, the modules, qv_cspec and sg_inq with their libraries.
initrd=$cache/initrd.gz
if [ ! -s "$initrd" ] || [ "$qv_cspec" -nt "$initrd" ] ||
   [ "$0" -nt "$initrd" ] || [ "$mdevice" -nt "$initrd" ]; then
  root=$cache/initramfs
  rm -rf "$root"
  mkdir -p "$root"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,tmp,mod,etc/conf/cf.d}
  cp "$(command -v busybox)" "$root/bin/busybox"
  for m in $modules; do
    cp "$(find "$cache/lib" -name "$m.ko" | head -n 1)" "$root/mod/" ||
      skip "kernel module $m missing from $cache/lib"
  done
  cp "$qv_cspec" "$root/usr/sbin/qv_cspec"
  cp "$(command -v sg_inq)" "$root/usr/bin/sg_inq"
  cp "$mdevice" "$root/etc/conf/cf.d/mdevice"
  for lib in $(ldd "$qv_cspec" "$(command -v sg_inq)" "$root/bin/busybox" 2>/dev/null |
               awk '/=> \// { print $3 } /^\t\// { print $1 }' | sort -u); do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
  done
  cat >"$root/init" <<'EOF'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for m in scsi_common scsi_mod scsi_transport_spi sym53c8xx sg; do
  insmod /mod/$m.ko
done
hostname vmnode
# The results go out on the second serial port, apart from the kernel's
# messages on the console.
exec >/dev/ttyS1
mkdir -p /usr/ruded/subsys/scsi/resources/hostadp /var/lib
emit() { echo "@@@BEGIN $1"; base64 <"$2"; echo "@@@END $1"; }
run() {  # name, command...
  name=$1; shift
  "$@" >/tmp/out 2>/tmp/err
  echo $? >/tmp/status
  emit "$name.out" /tmp/out; emit "$name.err" /tmp/err
  emit "$name.status" /tmp/status
}
cd /tmp
run report qv_cspec -d
run set qv_cspec -i -r
run again qv_cspec
emit device_info /usr/ruded/subsys/scsi/resources/hostadp/device_info
ls -l /usr/ruded/subsys/scsi/resources/hostadp/cspecials >/tmp/ls
emit ls /tmp/ls
emit adapters /var/lib/ruded/adapters
disks=
for d in 0:0:0 0:0:1 0:0:2 0:0:3 0:0:4 1:0:0; do
  sg=/dev/$(ls /sys/bus/scsi/devices/$d:0/scsi_generic)
  disks="$disks $sg"
  run "sg_inq.$d" sg_inq --page=0x80 $sg
done
n=10
t0=$(cut -d' ' -f1 /proc/uptime)
i=0; while [ $i -lt $n ]; do qv_cspec -r >/dev/null 2>&1; i=$((i+1)); done
t1=$(cut -d' ' -f1 /proc/uptime)
i=0; while [ $i -lt $n ]; do
  for sg in $disks; do sg_inq --page=0x80 $sg >/dev/null 2>&1; done
  i=$((i+1))
done
t2=$(cut -d' ' -f1 /proc/uptime)
echo "@@@BENCH $n $t0 $t1 $t2"
echo "@@@DONE"
poweroff -f
EOF
  chmod 755 "$root/init"
  (cd "$root" && find . | cpio -o -H newc --quiet) | gzip -1 >"$initrd.new" &&
    mv "$initrd.new" "$initrd" || { echo "linux_vm: cannot build $initrd"; exit 1; }
fi

# The hardware: on the first adapter a disk of each reader and a CD-ROM,
# on the second one disk.  id|vendor|product|revision|serial
first=(
  "0|SYMBIOS|RAID LUN|0312|SYM4711C0ABC99"
  "1|EMC|SYMMETRIX|5266|EMC001928X7"
  "2|HP|C3010M1|HP05|HPA0034567"
  "3|MYLEX|DAC960|0101|MYL0000001"
  "4|SEAGATE|ST15150N|0022|3BF0123456789ABCDEFGHIJKLMNOPQRS"
)
second=("0|QUANTUM|ATLAS II|0A0A|QM12345678")
args=(-accel tcg -nographic -no-reboot -m 384 -kernel "$kernel"
      -initrd "$initrd"
      -append "console=ttyS0 quiet panic=-1 scsi_mod.scan=sync"
      -device lsi53c895a,id=scsi0 -device lsi53c895a,id=scsi1)
n=0
add_disk() {  # bus, "id|vendor|product|revision|serial"
  IFS='|' read -r id vendor product rev serial <<<"$2"
  args+=(-blockdev "null-co,node-name=disk$n,size=1048576,read-zeroes=on"
         -device "scsi-hd,bus=$1.0,scsi-id=$id,drive=disk$n,vendor=$vendor,product=$product,ver=$rev,serial=$serial")
  n=$((n + 1))
}
for d in "${first[@]}"; do add_disk scsi0 "$d"; done
args+=(-device scsi-cd,bus=scsi0.0,scsi-id=5)
for d in "${second[@]}"; do add_disk scsi1 "$d"; done

console=$cache/console.log output=$cache/output.log
rm -f "$output"
args+=(-serial mon:stdio -serial "file:$output")
qemu_pid=
stop_qemu() {
  if [ -n "$qemu_pid" ]; then
    kill "$qemu_pid" 2>/dev/null
    wait "$qemu_pid" 2>/dev/null
  fi
  qemu_pid=
}
trap stop_qemu EXIT
trap 'exit 1' HUP INT TERM
# timeout ends QEMU even if this script is killed outright.
timeout -s KILL "$((limit + 30))" qemu-system-x86_64 "${args[@]}" \
  </dev/null >"$console" 2>&1 &
qemu_pid=$!
start=$SECONDS
while kill -0 "$qemu_pid" 2>/dev/null; do
  if [ $((SECONDS - start)) -ge "$limit" ]; then
    echo "linux_vm: FAIL: the guest did not finish in $limit s; console:"
    tail -n 20 "$console"
    exit 1
  fi
  sleep 1
done
wait "$qemu_pid"
qemu_pid=
echo "linux_vm: $(basename "$kernel") booted and ran in $((SECONDS - start)) s"
tr -d '\r' <"$output" >"$output.txt"
grep -q '^@@@DONE' "$output.txt" || {
  echo "linux_vm: FAIL: the guest did not finish its run; console:"
  tr -d '\r' <"$console" | tail -n 30
  exit 1
}

section() {  # name: the decoded text the guest sent
  sed -n "/^@@@BEGIN $1\$/,/^@@@END $1\$/p" "$output.txt" | sed '1d;$d' |
    base64 -d
}
expect() {  # what, expected, actual
  [ "$2" = "$3" ] && return
  fail "$1: expected"
  printf '%s\n' "$2" | sed 's/^/    /'
  echo "  got"
  printf '%s\n' "$3" | sed 's/^/    /'
}

dir=/usr/ruded/subsys/scsi/resources/hostadp/cspecials
for run in report set again; do
  expect "status of $run" 0 "$(section $run.status)"
done
expect "report" "Initiator $dir/c0: uninitialized
Initiator $dir/c10: uninitialized" "$(section report.out)"
section report.err | grep -q '^Open tmp node: c20t0d0s0, Errno=6$' ||
  fail "the report's debug lines show no ENXIO for host 2"
expect "-i -r output" "" "$(section set.out)"
expect "-i -r errors" "qv_cspec: IO_SCSI failure (5)
qv_cspec: unable to obtain serial number for device c0t2d0s0 (Vendor ID <HP      >)" \
  "$(section set.err)"
expect "report after -i" "Initiator $dir/c0: set to c0:vmnode
Initiator $dir/c10: set to c10:vmnode" "$(section again.out)"

# device_info: one line per disk, serials cut as each vendor's reader does;
# HP (no page E0h), MYLEX and the CD-ROM give none.
line() {  # adapter, "id|vendor|product|revision|serial", characters
  IFS='|' read -r id vendor product rev serial <<<"$2"
  printf 'c%s\001c%st%sd0s0\001%-8s\001%-16s\001%-4s\001%s' \
    "$1" "$1" "$id" "$vendor" "$product" "$rev" "${serial:0:$3}"
}
want="$(line 0 "${first[0]}" 10)
$(line 0 "${first[1]}" 9)
$(line 0 "${first[4]}" 28)
$(line 10 "${second[0]}" 28)"
expect "device_info" "$(printf '%s' "$want" | tr '\001' '|')" \
  "$(section device_info | tr '\001' '|')"

# The initiator nodes, in the local-use majors 240-243.
nodes=$(section ls | awk '/^c/ { print $NF, $5, $6 }')
expect "cspecials" "c0 240, 112
c10 240, 65648" "$nodes"
expect "adapters file" 2 "$(section adapters | grep -c '^/devices/pci[^ ]* 0 fe')"

# Every serial agrees with sg_inq's page 80h, cut as the reader cuts it.
while IFS=$'\001' read -r adapter device vendor product rev serial; do
  t=${device#c*t} host=0
  [ "$adapter" = c10 ] && host=1
  full=$(section "sg_inq.$host:0:${t%%d*}.out" |
         sed -n 's/^ *Unit serial number: *//p')
  case $vendor in SYMBIOS*) cut=10 ;; "EMC     ") cut=9 ;; *) cut=28 ;; esac
  expect "serial of $device against sg_inq" "${full:0:$cut}" "$serial"
done < <(section device_info)

bench=$(sed -n 's/^@@@BENCH //p' "$output.txt")
if [ -n "$bench" ]; then
  echo "$bench" | awk '{ n = $1; q = ($3 - $2) / n * 1000; s = ($4 - $3) / n * 1000;
    printf "linux_vm: in the guest (TCG): qv_cspec -r %.0f ms, one sg_inq --page=0x80 per disk (6) %.0f ms, ratio %.2f\n",
      q, s, (s > 0 ? q / s : 0) }'
fi
[ "$failed" = 0 ] || { echo "linux_vm: guest output kept in $output.txt"; exit 1; }
echo "linux_vm: passed"
