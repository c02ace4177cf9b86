#!/usr/bin/env bash
# Runs a command with QLR_FULL_DRIVE naming, as Wine sees it through its drive Z:, a folder on a
# 64 KiB volume of its own, mounted for the run and removed after it, so a write there fills the
# volume up. Mounting takes root; where it cannot be done the run is skipped (77).
# usage: full_drive.sh COMMAND [ARGUMENTS...]
set -u
folder=$(mktemp -d "${TMPDIR:-/tmp}/qlr-full-drive.XXXXXX") || exit 1
mounted=0
cleanup() {
  [ "$mounted" = 1 ] && umount "$folder"
  rmdir "$folder"
}
trap cleanup EXIT
if ! mount -t tmpfs -o size=64k,mode=0777 tmpfs "$folder" 2>/dev/null; then
  echo "no small volume can be mounted here (it takes root): skipped"
  exit 77
fi
mounted=1
QLR_FULL_DRIVE="Z:${folder//\//\\}" "$@"
