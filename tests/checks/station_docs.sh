#!/usr/bin/env bash
# The station session of docs/using.md ends as the page shows: its records, then
# "summary: 2 completed, 1 failed, 2 refused" and exit status 1.
program=$1 scenario=$2
status=0
out=$("$program" --station --virtual-time --scenario "$scenario") || status=$?
grep -E '^(record|summary):' <<<"$out"
if [ "$status" = 1 ] && grep -qx 'summary: 2 completed, 1 failed, 2 refused' <<<"$out"; then
  exit 0
fi
echo "the station session did not end as docs/using.md shows (exit $status)"
exit 1
