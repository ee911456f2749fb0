#!/usr/bin/env bash
# fuzz/run.sh [SECONDS] [TARGET...]
# Builds the libFuzzer programs (clang, address and undefined-behaviour sanitizers, in
# build-fuzz/) and runs each target for SECONDS (default 20), two at a time, starting from
# its seed corpus fuzz/corpus/TARGET. New inputs go to build-fuzz/corpus/TARGET (the seeds are
# left alone); a crash, leak, timeout or sanitizer report leaves its input in
# build-fuzz/findings/ and makes the script exit 1. Prints executions and coverage per target.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-20}
shift || true
build=${VOXDA_FUZZ_BUILD:-$root/build-fuzz}

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOXDA_FUZZ=ON \
  -DVOXDA_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target fuzz >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$root"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
mkdir -p "$build/findings" "$build/logs"

runone() {  # target
  local t=$1
  mkdir -p "$build/corpus/$t"
  # Leak detection is on; the per-input time limit catches hangs.
  if ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz_$t" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$t-" \
    "$build/corpus/$t" "$root/fuzz/corpus/$t" >"$build/logs/$t.log" 2>&1; then
    echo "ok $t"
  else
    echo "FAILED $t"
  fi
}
export -f runone
export build root seconds

printf '%s\n' "${targets[@]}" | xargs -P 2 -I{} bash -c 'runone {}' | sort >"$build/logs/results"

status=0
printf '%-18s %12s %8s %8s %8s  %s\n' target executions cov ft corpus result
for t in "${targets[@]}"; do
  log=$build/logs/$t.log
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
  last=$(grep -E '^#[0-9]+' "$log" | tail -1)
  cov=$(echo "$last" | grep -o 'cov: [0-9]*' | grep -o '[0-9]*' || true)
  ft=$(echo "$last" | grep -o 'ft: [0-9]*' | grep -o '[0-9]*' || true)
  corp=$(echo "$last" | grep -o 'corp: [0-9]*' | grep -o '[0-9]*' || true)
  result=$(grep -q "^ok $t\$" "$build/logs/results" && echo ok || echo "FAILED (see $log)")
  [ "$result" = ok ] || status=1
  printf '%-18s %12s %8s %8s %8s  %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "${corp:-?}" "$result"
done
exit $status
