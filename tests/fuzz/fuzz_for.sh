#!/usr/bin/env bash
# One fuzzer for a fixed time from its committed seed corpus, in a fresh working corpus, niced
# (it runs beside work that keeps time); a crash's input lands in the tree as crash-*.
#   fuzz_for.sh SECONDS FUZZER SEED_CORPUS WORK_CORPUS [libFuzzer options...]
set -euo pipefail
seconds=$1 fuzzer=$2 seeds=$3 work=$4
shift 4
rm -rf "$work" && mkdir -p "$work"
exec nice -n 19 "$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
  -malloc_limit_mb=512 -artifact_prefix="$(dirname "$work")/" "$@" "$work" "$seeds"
