#!/usr/bin/env bash
# scripts/wine-run's probe for 32-bit programs, in every branch: a kernel that refuses the
# program with "Exec format error" (a 32-bit loader whose ELF header names a machine this kernel
# does not run), no 32-bit C library, no 32-bit Wine (wine32:i386 not installable), and a
# machine that has all of them.
set -euo pipefail
probe=$1/scripts/wine-run
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp /bin/true "$work/foreign"
printf '\x28' | dd of="$work/foreign" bs=1 seek=18 conv=notrunc status=none  # e_machine: ARM
if said=$(QVT_I386_LOADER="$work/foreign" "$probe" --i686-probe); then
  echo "FAIL: a loader the kernel cannot run passed the probe"; exit 1
fi
[[ $said == *"Exec format error"* ]] || { echo "FAIL: the reason is missing: $said"; exit 1; }
if said=$(QVT_I386_LOADER="$work/missing" "$probe" --i686-probe); then
  echo "FAIL: a missing loader passed the probe"; exit 1
fi
[[ $said == *"is missing"* ]] || { echo "FAIL: $said"; exit 1; }
if said=$(QVT_I386_LOADER=/bin/true QVT_WINE32_LOADER="$work/missing" "$probe" --i686-probe); then
  echo "FAIL: a machine without 32-bit Wine passed the probe"; exit 1
fi
[[ $said == *"32-bit Wine is not installed"* ]] || { echo "FAIL: $said"; exit 1; }
QVT_I386_LOADER=/bin/true QVT_WINE32_LOADER=/bin/true "$probe" --i686-probe ||
  { echo "FAIL: a runnable loader was refused"; exit 1; }
echo "probe: every branch as expected"
