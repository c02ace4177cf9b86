#!/usr/bin/env bash
# Runs a shell command as root in the guest that make-image.sh builds, under qemu-system-x86_64.
# Each SHARED_DIR is offered over 9p at the same absolute path; the command starts in the first.
# The command's output is shown as it comes; the exit code is the command's (124: the guest was
# stopped at the time limit; 125: the guest stopped without giving one). The guest's disk is a
# snapshot: every run starts from the same image and leaves it untouched.
#
# usage: run-in-vm.sh IMAGE_DIR 'COMMAND' [SHARED_DIR...]
# The command sees VM32_ACCEL, the accelerator it runs under.
# Environment:
#   VM32_ACCEL    kvm or tcg; by default kvm where it runs the guest, else tcg (full emulation)
#   VM32_TIMEOUT  seconds before the guest is stopped (default 7200)
#   VM32_MEM      guest memory in MiB (default 4096); VM32_SMP guest CPUs (default 2)
#   VM32_PERSIST  1: the guest's writes to its disk are kept (the image's first boot)
#   VM32_LOG      the guest's console (default: IMAGE_DIR/last-console.log)
# The host must not change the shared files while the guest runs: the guest caches them.
# Times go to stderr as "vm32: ..." lines.
set -uo pipefail
usage='usage: run-in-vm.sh IMAGE_DIR COMMAND [SHARED_DIR...]'
img=${1:?$usage}
command=${2:?$usage}
shift 2
img=$(cd "$img" && pwd) || exit 2
for f in vmlinuz initrd.img rootfs.img; do
  [ -f "$img/$f" ] || { echo "run-in-vm.sh: $img/$f is missing (make-image.sh builds it)" >&2; exit 2; }
done
command -v qemu-system-x86_64 >/dev/null || {
  echo "run-in-vm.sh: qemu-system-x86_64 is missing (tools/scripts/install-prerequisites.sh installs it)" >&2; exit 2; }
timeout_s=${VM32_TIMEOUT:-7200}
log=${VM32_LOG:-$img/last-console.log}

# KVM is used where it runs the guest's kernel. Some machines that are guests themselves offer a
# /dev/kvm whose guests never get past the kernel's start; so the image's kernel is booted once
# without a root file system, which under a working KVM panics within seconds, and the answer is
# kept beside the image.
kvm_cpu=host,-arch-capabilities
kvm_runs_guests() {
  local answer=$img/kvm-runs-guests probe
  if [ ! -f "$answer" ]; then
    [ -r /dev/kvm ] && [ -w /dev/kvm ] || return 1
    probe=$(mktemp)
    timeout 30 qemu-system-x86_64 -accel kvm -cpu "$kvm_cpu" -m 256 -display none -monitor none \
      -serial "file:$probe" -no-reboot -nic none -kernel "$img/vmlinuz" -append "console=ttyS0 panic=-1" \
      </dev/null >/dev/null 2>&1
    if grep -q 'Kernel panic' "$probe"; then echo yes; else echo no; fi >"$answer" 2>/dev/null
    rm -f "$probe"
  fi
  [ "$(cat "$answer" 2>/dev/null)" = yes ]
}
accel=${VM32_ACCEL:-}
if [ -z "$accel" ]; then
  if kvm_runs_guests; then accel=kvm; else accel=tcg; fi
fi
append="console=ttyS0 root=/dev/vda rw rootfstype=ext4 rootflags=noinit_itable init=/usr/local/sbin/vm32-init"
append="$append panic=1 mitigations=off quiet loglevel=4"
case "$accel" in
  # The KVM of a machine that is itself a guest may refuse to set IA32_ARCH_CAPABILITIES, and
  # QEMU then stops at once ("failed to set MSR 0x10a"); our guest has no use for it.
  kvm) machine=(-accel kvm -cpu "$kvm_cpu") ;;
  tcg)
    # smap=off: QEMU 7.2's TCG reads the stack of a 32-bit IRET made in user mode with supervisor
    # rights; with SMAP on (as -cpu max offers and Debian's kernel enables) that read faults, the
    # guest kernel oopses and every 32-bit Wine process is killed.
    machine=(-accel tcg,thread=multi -cpu max,smap=off)
    # Else the kernel picks the HPET, whose every read is an emulated device access.
    append="$append tsc=reliable clocksource=tsc"
    ;;
  *) echo "run-in-vm.sh: VM32_ACCEL is kvm or tcg, not '$accel'" >&2; exit 2 ;;
esac

ctl=$(mktemp -d /tmp/vm32-ctl.XXXXXX)
qemu_pid=
follower=
cleanup() {
  [ -n "$qemu_pid" ] && kill "$qemu_pid" 2>/dev/null
  [ -n "$follower" ] && kill "$follower" 2>/dev/null
  rm -rf "$ctl" "$ctl.qemu.out"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
printf '#!/bin/bash\nexport VM32_ACCEL=%s\n%s\n' "$accel" "$command" >"$ctl/command.sh"
: >"$ctl/output"
shares=()
n=0
for dir in "$@"; do
  # Mounted in the guest at the path as named (paths recorded in a build name it so), served from
  # where it really is.
  at=$(cd "$dir" && pwd) && real=$(cd "$dir" && pwd -P) || exit 2
  [ "$n" = 0 ] && printf '%s\n' "$at" >"$ctl/cwd"
  printf 'vm32share%d\t%s\n' "$n" "$at" >>"$ctl/mounts"
  shares+=(-virtfs "local,path=$real,mount_tag=vm32share$n,security_model=none,multidevs=remap,id=vm32share$n")
  n=$((n + 1))
done

drive="file=$img/rootfs.img,if=virtio,format=raw"
if [ "${VM32_PERSIST:-0}" = 1 ]; then drive="$drive,cache=writeback"; else drive="$drive,cache=unsafe,snapshot=on"; fi

t0=$SECONDS
qemu-system-x86_64 \
  "${machine[@]}" -smp "${VM32_SMP:-2}" -m "${VM32_MEM:-4096}" \
  -nographic -monitor none -serial "file:$log" -no-reboot -nic none \
  -kernel "$img/vmlinuz" -initrd "$img/initrd.img" -append "$append" \
  -drive "$drive" \
  -device virtio-rng-pci \
  -virtfs "local,path=$ctl,mount_tag=vm32ctl,security_model=none,id=vm32ctl" \
  "${shares[@]}" \
  </dev/null >"$ctl.qemu.out" 2>&1 &
qemu_pid=$!
tail -n +1 -f --pid="$qemu_pid" "$ctl/output" &
follower=$!
echo "vm32: guest started ($accel, ${VM32_SMP:-2} CPUs, ${VM32_MEM:-4096} MiB)" >&2

status=running
while kill -0 "$qemu_pid" 2>/dev/null; do
  if [ "$status" = running ] && [ -f "$ctl/started" ]; then
    status=started
    echo "vm32: booted in $((SECONDS - t0)) s" >&2
  fi
  if [ $((SECONDS - t0)) -ge "$timeout_s" ]; then
    status=timeout
    kill "$qemu_pid" 2>/dev/null
    sleep 2
    kill -KILL "$qemu_pid" 2>/dev/null
    break
  fi
  sleep 0.5
done
wait "$qemu_pid" 2>/dev/null
qemu_rc=$?
qemu_pid=
wait "$follower" 2>/dev/null
follower=
if [ -s "$ctl.qemu.out" ]; then grep -v '^$' "$ctl.qemu.out" | sed 's/^/vm32: qemu: /' >&2; fi

if [ -f "$ctl/rc" ]; then
  rc=$(cat "$ctl/rc")
elif [ "$status" = timeout ]; then
  echo "vm32: stopped after $timeout_s s (the guest's console: $log)" >&2
  rc=124
else
  echo "vm32: the guest stopped without an exit code (qemu exit $qemu_rc; the guest's console: $log):" >&2
  tail -n 30 "$log" >&2
  rc=125
fi
echo "vm32: guest ran $((SECONDS - t0)) s, exit code $rc" >&2
exit "$rc"
