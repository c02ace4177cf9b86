#!/usr/bin/env bash
# Builds the guest: a small Debian 12 amd64 system for full-system emulation whose stock kernel
# runs 32-bit user code, with wine, wine32:i386, wine64, Xvfb, DejaVu fonts, ImageMagick (the
# end-to-end screenshots), the archive peers and cmake (ctest). It boots straight into
# /usr/local/sbin/vm32-init, which mounts the 9p shares run-in-vm.sh offers, runs the command
# found in its control share, writes the output and exit code there, and powers off. No
# bootloader: run-in-vm.sh boots OUTDIR/vmlinuz and OUTDIR/initrd.img directly.
#
# usage: make-image.sh OUTDIR SOURCES_LIST   (as root; every package from the apt lines given)
# Leaves OUTDIR/rootfs.img (raw ext4, sparse), vmlinuz, initrd.img, make-image.log.
# cache.sh calls it with the lines of this machine's own mirror and keeps the result.
set -euo pipefail
out=${1:?usage: make-image.sh OUTDIR SOURCES_LIST}
sources=$(realpath "${2:?usage: make-image.sh OUTDIR SOURCES_LIST}")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "make-image.sh: run as root (mmdebstrap --mode=root, chroot)" >&2; exit 1; }
for tool in mmdebstrap mke2fs qemu-system-x86_64; do
  command -v "$tool" >/dev/null || {
    echo "make-image.sh: $tool is missing (tools/scripts/install-prerequisites.sh installs it)" >&2; exit 1; }
done
mkdir -p "$out"
out=$(cd "$out" && pwd)
start=$SECONDS
log="$out/make-image.log"
: >"$log"
say() { echo "vm32: $*" | tee -a "$log" >&2; }

# --- files laid into the guest ------------------------------------------------------------
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage/usr/local/sbin" "$stage/etc/initramfs-tools/conf.d" "$stage/etc/initramfs-tools/hooks"

# A small initramfs: only the modules listed here (and what they need); udev in it loads them.
cat >"$stage/etc/initramfs-tools/conf.d/vm32.conf" <<'EOF'
MODULES=list
COMPRESS=zstd
EOF
cat >"$stage/etc/initramfs-tools/hooks/vm32-modules" <<'EOF'
#!/bin/sh
# virtio-blk root on ext4, and 9p over virtio for the shares run-in-vm.sh offers.
PREREQ=""
prereqs() { echo "$PREREQ"; }
case "$1" in prereqs) prereqs; exit 0 ;; esac
. /usr/share/initramfs-tools/hook-functions
for m in virtio_pci virtio_blk virtio_rng ext4 crc32c_generic 9pnet_virtio 9p; do
  manual_add_modules "$m"
done
EOF
chmod 755 "$stage/etc/initramfs-tools/hooks/vm32-modules"

cat >"$stage/usr/local/sbin/vm32-init" <<'EOF'
#!/bin/bash
# PID 1 of the guest (kernel argument init=/usr/local/sbin/vm32-init).
# Mounts the control share (9p tag vm32ctl) at /run/vm32 and each share named in its file
# "mounts" (lines: TAG<tab>ABSOLUTE_PATH) at that path; runs /run/vm32/command.sh as root with
# bash in the folder named by /run/vm32/cwd, its output appended to /run/vm32/output (which the
# host follows), its exit code written to /run/vm32/rc; then powers off.
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/root LANG=C.UTF-8 TERM=dumb
mountpoint -q /proc || mount -t proc proc /proc
mountpoint -q /sys || mount -t sysfs sysfs /sys
mountpoint -q /dev || mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mount -t tmpfs -o mode=755 tmpfs /run
mount -t tmpfs -o mode=1777 tmpfs /tmp
mkdir -p /run/lock /tmp/.X11-unix /tmp/.ICE-unix
chmod 1777 /tmp/.X11-unix /tmp/.ICE-unix /run/lock
hostname vm32
ip link set lo up 2>/dev/null
echo 1 >/proc/sys/kernel/sysrq

power_off() {
  sync
  for m in $(awk '$3 == "9p" { print $2 }' /proc/mounts | tac); do umount -l "$m" 2>/dev/null; done
  sync
  echo o >/proc/sysrq-trigger
  sleep 30
}

modprobe -q 9pnet_virtio; modprobe -q 9p
mkdir -p /run/vm32
opts="trans=virtio,version=9p2000.L,msize=512000"
if ! mount -t 9p -o "$opts,cache=none" vm32ctl /run/vm32; then
  echo "vm32-init: no control share (9p tag vm32ctl); powering off" >/dev/console
  power_off
fi
# cache=loose: Wine's server opens files O_NONBLOCK, and without the page cache such a read on
# 9p returns at most one 9p message (msize); Wine reads a PE section with one unchecked pread, so
# the rest of a larger section stays zero and the program runs into zeroed code.
if [ -f /run/vm32/mounts ]; then
  while IFS=$'\t' read -r tag path; do
    [ -n "$tag" ] || continue
    mkdir -p "$path"
    mount -t 9p -o "$opts,cache=loose" "$tag" "$path" ||
      echo "vm32-init: cannot mount $tag at $path" >/dev/console
  done </run/vm32/mounts
fi
read -r up _ </proc/uptime
echo "$up" >/run/vm32/started
cd "$(cat /run/vm32/cwd 2>/dev/null || echo /)" 2>/dev/null || cd /
setsid bash /run/vm32/command.sh </dev/null >>/run/vm32/output 2>&1
rc=$?
read -r up _ </proc/uptime
echo "$up" >/run/vm32/finished
echo "$rc" >/run/vm32/rc
# End what the command left running (Xvfb, wineserver), so the shares unmount cleanly.
kill -TERM -1 2>/dev/null; sleep 1; kill -KILL -1 2>/dev/null
power_off
EOF
chmod 755 "$stage/usr/local/sbin/vm32-init"

# Run once, in the guest, by the first boot below: the i386 triggers that could not run in the
# chroot (the building machine may run no 32-bit code), then checks.
cat >"$stage/usr/local/sbin/vm32-firstboot" <<'EOF'
#!/bin/bash
set -u
echo "== 32-bit code"; /lib/ld-linux.so.2 --help | head -n 1 || exit 1
echo "== i386 caches"
q=/usr/lib/i386-linux-gnu/gdk-pixbuf-2.0/gdk-pixbuf-query-loaders
[ -x "$q" ] && "$q" --update-cache && echo "gdk-pixbuf loaders (i386) cached"
g=/usr/lib/i386-linux-gnu/glib-2.0/gio-querymodules
[ -x "$g" ] && "$g" /usr/lib/i386-linux-gnu/gio/modules && echo "gio modules (i386) cached"
ldconfig
echo "== dpkg --audit"; dpkg --audit && echo "(nothing)"
echo "== versions"; uname -r; /usr/lib/wine/wine --version; dpkg-query -W wine32:i386 wine64 xvfb cmake
EOF
chmod 755 "$stage/usr/local/sbin/vm32-firstboot"
echo vm32 >"$stage/etc/hostname"
printf '127.0.0.1\tlocalhost\n127.0.1.1\tvm32\n::1\tlocalhost ip6-localhost ip6-loopback\n' >"$stage/etc/hosts"
printf '/dev/vda\t/\text4\trw,noatime,noinit_itable\t0\t1\n' >"$stage/etc/fstab"

# --- the root file system --------------------------------------------------------------------
rootfs="$out/rootfs"
rm -rf "$rootfs"
packages=(
  linux-image-amd64 initramfs-tools kmod udev zstd mawk mount iproute2 procps
  wine wine64 wine32:i386 xvfb xauth x11-utils fonts-dejavu-core imagemagick cmake
  zip unzip p7zip-full libarchive-tools
  # What Wine loads when present and the developers' machines happen to have (for amd64): the
  # same for i386, so 32-bit Wine behaves alike (X extensions, gnutls). No OpenGL (Mesa, LLVM).
  libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxinerama1:i386
  libxcomposite1:i386 libxfixes3:i386 libxxf86vm1:i386 libgnutls30:i386 libdbus-1-3:i386
)
# Kernel modules that a virtio guest never loads (about two thirds of them by size).
prune='kernel/drivers/gpu kernel/drivers/net/wireless kernel/drivers/net/ethernet kernel/drivers/media
       kernel/drivers/infiniband kernel/drivers/staging kernel/drivers/bluetooth kernel/drivers/isdn
       kernel/drivers/iio kernel/drivers/scsi kernel/drivers/usb kernel/drivers/hid kernel/drivers/input
       kernel/drivers/mmc kernel/drivers/mtd kernel/drivers/hwmon kernel/drivers/platform kernel/drivers/misc
       kernel/drivers/atm kernel/drivers/nfc kernel/drivers/thunderbolt kernel/drivers/edac
       kernel/sound kernel/net/wireless kernel/net/mac80211 kernel/net/bluetooth kernel/fs/ocfs2
       kernel/fs/xfs kernel/fs/btrfs kernel/fs/gfs2 kernel/fs/nfs kernel/fs/nfsd kernel/fs/ceph kernel/fs/smb
       kernel/fs/f2fs kernel/fs/jfs kernel/fs/reiserfs kernel/fs/ubifs'
say "mmdebstrap: bookworm amd64+i386 from $(wc -l <"$sources") apt lines"
t=$SECONDS
mmdebstrap --mode=root --variant=apt --architectures=amd64,i386 \
  --hook-dir=/usr/share/mmdebstrap/hooks/merged-usr \
  --hook-dir=/usr/share/mmdebstrap/hooks/eatmydata \
  --aptopt='APT::Install-Recommends "false"' \
  --dpkgopt='path-exclude=/usr/share/man/*' \
  --dpkgopt='path-exclude=/usr/share/info/*' \
  --dpkgopt='path-exclude=/usr/share/doc/*' \
  --dpkgopt='path-include=/usr/share/doc/*/copyright' \
  --dpkgopt='path-exclude=/usr/share/locale/*' \
  --dpkgopt='path-include=/usr/share/locale/locale.alias' \
  --essential-hook="cp -a '$stage/.' \"\$1/\"" \
  --include="$(IFS=,; echo "${packages[*]}")" \
  --customize-hook="for d in $(echo $prune); do rm -rf \"\$1\"/lib/modules/*/\$d; done" \
  --customize-hook='for k in "$1"/lib/modules/*; do chroot "$1" depmod -a "$(basename "$k")"; done' \
  --customize-hook='rm -rf "$1"/var/lib/apt/lists/* "$1"/var/cache/apt/*.bin "$1"/var/cache/debconf/*-old "$1"/etc/resolv.conf' \
  bookworm "$rootfs" "$sources" >>"$log" 2>&1 || {
    echo "make-image.sh: mmdebstrap failed; the end of $log:" >&2; tail -n 40 "$log" >&2; exit 1; }
say "mmdebstrap took $((SECONDS - t)) s"

cp -L "$rootfs/vmlinuz" "$out/vmlinuz" 2>/dev/null || cp "$(ls "$rootfs"/boot/vmlinuz-* | tail -n 1)" "$out/vmlinuz"
cp -L "$rootfs/initrd.img" "$out/initrd.img" 2>/dev/null || cp "$(ls "$rootfs"/boot/initrd.img-* | tail -n 1)" "$out/initrd.img"
rm -f "$rootfs"/boot/initrd.img-*   # kept outside; the guest never reads /boot

# --- the image: ext4 made from the folder, no loop mount --------------------------------------
used_mb=$(du -sm "$rootfs" | cut -f1)
files=$(find "$rootfs" -xdev | wc -l)
size_mb=$(( used_mb * 115 / 100 + 1536 ))   # room for what the tests write on the guest's disk
inodes=$(( files * 2 + 65536 ))
img="$out/rootfs.img"
rm -f "$img"
mke2fs -q -t ext4 -L vm32root -m 0 -N "$inodes" -E lazy_itable_init=1,lazy_journal_init=1,root_owner=0:0 \
  -d "$rootfs" "$img" "${size_mb}M" >>"$log" 2>&1
rm -rf "$rootfs" "$stage"
say "rootfs.img: ${size_mb} MiB apparent, $(du -sm "$img" | cut -f1) MiB on disk ($used_mb MiB of files, $files entries)"

# --- first boot: finish the i386 triggers and check that 32-bit code runs, kept in the image ----
t=$SECONDS
VM32_PERSIST=1 VM32_TIMEOUT=900 "$here/run-in-vm.sh" "$out" /usr/local/sbin/vm32-firstboot 2>&1 | tee -a "$log" >&2
rc=${PIPESTATUS[0]}
say "first boot took $((SECONDS - t)) s, exit code $rc"
[ "$rc" -eq 0 ] || exit 1
say "image built in $((SECONDS - start)) s"
