# Sourced: what this machine can run.
# runs_32bit_code succeeds when the kernel starts i386 programs. Some of our machines run 64-bit
# user code only (IA-32 emulation off: every i386 program fails with "Exec format error"), and
# there no 32-bit Windows program can run under Wine. The probe is the smallest i386 program
# there is (one ELF header, one segment, exit(0) through int 0x80): it needs no i386 library, so
# it answers the same before and after any package is installed.
# Only "Exec format error" means no 32-bit code: a folder mounted noexec refuses every program
# ("Permission denied"), and then the probe is tried from the next folder.
qlr_machine_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

runs_32bit_code() {
  local dir probe out rc
  for dir in "$qlr_machine_top/build" "${TMPDIR:-/tmp}" /dev/shm /var/tmp "$HOME"; do
    mkdir -p "$dir" 2>/dev/null
    probe=$(mktemp "$dir/.qlr-probe.XXXXXX" 2>/dev/null) || continue
    printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x28\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
    chmod +x "$probe"
    out=$("$probe" 2>&1)
    rc=$?
    rm -f "$probe"
    [ "$rc" -eq 0 ] && return 0
    case "$out" in *"Exec format error"*) return 1 ;; esac
  done
  echo "machine.sh: no folder here lets a program start; taken as a machine that runs no 32-bit code" >&2
  return 1
}

# Where the i686 product's Windows tests run: natively under wine32 where the machine runs 32-bit
# code, else in the emulated guest (tools/vm32). QLR_I686_IN_GUEST takes the guest anyway, to try
# the guest's way on a machine that needs none: 1 with KVM where it runs the guest, tcg under full
# emulation, as on our machines without KVM.
i686_tests_in_guest() {
  case "${QLR_I686_IN_GUEST:-0}" in
    1 | tcg) return 0 ;;
    0) ! runs_32bit_code ;;
    *) echo "QLR_I686_IN_GUEST is 1, tcg or 0, not '$QLR_I686_IN_GUEST'" >&2; return 2 ;;
  esac
}

# The Windows build whose programs this machine starts: the product (i686) where 32-bit code
# runs, else the same code built for x86_64.
windows_test_preset() {
  if runs_32bit_code; then echo windows; else echo windows64; fi
}
