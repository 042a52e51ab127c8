#!/bin/sh
# Builds the fuzz targets with clang (address and undefined-behaviour
# sanitizers plus libFuzzer) and runs each for the given number of seconds
# on a copy of its seed corpus.  Any crash fails the run.
set -e
seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
# fuzzer-no-link gives every library the coverage counters the fuzzer
# steers by, not only the targets themselves.
san="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_FUZZ=ON -DBUILD_TESTING=OFF \
    -DCMAKE_C_FLAGS="$san" -DCMAKE_CXX_FLAGS="$san" \
    -DCMAKE_EXE_LINKER_FLAGS="$san" -DCMAKE_SHARED_LINKER_FLAGS="$san"
fi
cmake --build "$build" -j "$(nproc)"
status=0
for f in "$build"/fuzz/*_fuzz; do
  [ -x "$f" ] || continue
  name=$(basename "$f" _fuzz)
  work="$build/corpus/$name"
  mkdir -p "$work"
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$work/"
  echo "== $name: ${seconds}s"
  if ! "$f" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$build/$name-" "$work" 2>"$build/$name.log"; then
    echo "fuzz target $name failed; see $build/$name.log" >&2
    tail -n 40 "$build/$name.log" >&2
    status=1
  fi
  grep -E '^stat::number_of_executed_units' "$build/$name.log" || true
done
exit $status
