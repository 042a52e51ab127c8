#!/bin/sh
# Runs every benchmark built into <build>/bench.
set -e
build=${1:-build}
status=0
for b in "$build"/bench/*_bench; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" || status=1
done
exit $status
