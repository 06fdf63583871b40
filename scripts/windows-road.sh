# Sourced: which of the two Windows roads this machine takes for the Windows tests and the
# demo. The kit is 32-bit and is built and checked on every machine; only where 32-bit x86 code
# can run is it also run (under Wine's 32-bit loader). Where it cannot (a kernel that runs 64-bit
# user code only), the same sources built for x86_64 run under wine64 instead.
#
# Sets KESTREL_X86_32 (yes or no: this machine executes 32-bit x86 code), KESTREL_WINDOWS_ARCH
# (32 or 64; given in the environment it forces a road, provided the machine can take it) and
# KESTREL_WINDOWS_WHY (one line saying why that road). The probe runs once per build tree and
# is kept in build/x86-32.
kestrel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# kestrel_probe_x86_32: runs a 96-byte 32-bit x86 Linux program that does nothing but exit
# with status 42; only a machine that executes such code natively gets that status back. The
# guess from the kernel's or dpkg's architecture lists is not certain, and an emulator
# registered for such programs (qemu through binfmt_misc) runs the probe but not Wine.
kestrel_probe_x86_32() {
  local probe status
  if grep -l -s '^magic 7f454c4601010100000000000000000002000300' \
      /proc/sys/fs/binfmt_misc/* | xargs -r grep -l -s '^enabled' | grep -q .; then
    return 1
  fi
  probe=$(mktemp) || return 1
  # ELF header (52 bytes) for an i386 executable whose entry is at 0x08048054, one program
  # header (32 bytes) loading the whole file read and execute at 0x08048000, then the code:
  # mov ebx, 42; mov eax, 1 (exit); int 0x80.
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00%s%s%s' \
    '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00' \
    '\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00' \
    '\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x60\x00\x00\x00\x60\x00\x00\x00' \
    >"$probe"
  printf '\x05\x00\x00\x00\x00\x10\x00\x00\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' \
    >>"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  status=$?
  rm -f "$probe"
  [ "$status" = 42 ]
}

kestrel_machine_file=${KESTREL_BUILD:-$kestrel_root/build}/x86-32
if [ -z "${KESTREL_X86_32:-}" ]; then
  if [ -f "$kestrel_machine_file" ]; then
    KESTREL_X86_32=$(cat "$kestrel_machine_file")
  else
    KESTREL_X86_32=no
    kestrel_probe_x86_32 && KESTREL_X86_32=yes
    mkdir -p "$(dirname "$kestrel_machine_file")" && echo "$KESTREL_X86_32" >"$kestrel_machine_file"
  fi
fi
export KESTREL_X86_32

case "${KESTREL_WINDOWS_ARCH:-}" in
  64)
    KESTREL_WINDOWS_WHY="64-bit (wine64): chosen by KESTREL_WINDOWS_ARCH=64" ;;
  32)
    if [ "$KESTREL_X86_32" = yes ]; then
      KESTREL_WINDOWS_WHY="32-bit (wine): chosen by KESTREL_WINDOWS_ARCH=32"
    else
      KESTREL_WINDOWS_ARCH=64
      KESTREL_WINDOWS_WHY="64-bit (wine64): KESTREL_WINDOWS_ARCH=32 asked for the 32-bit road, but this machine cannot execute 32-bit x86 code"
    fi ;;
  *)
    if [ "$KESTREL_X86_32" = yes ]; then
      KESTREL_WINDOWS_ARCH=32
      KESTREL_WINDOWS_WHY="32-bit (wine): this machine executes 32-bit x86 code, so the kit itself runs"
    else
      KESTREL_WINDOWS_ARCH=64
      KESTREL_WINDOWS_WHY="64-bit (wine64): this machine cannot execute 32-bit x86 code (its kernel runs 64-bit user code only)"
    fi ;;
esac
export KESTREL_WINDOWS_ARCH KESTREL_WINDOWS_WHY
