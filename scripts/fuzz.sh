#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for SECONDS seconds, one at
# a time, starting from the seed inputs in fuzz/corpus/<target>/ (read only). Inputs the fuzzer
# finds go to build-fuzz/corpus/<target>/, the input of a crash to build-fuzz/crashes/, the
# fuzzer's output to build-fuzz/logs/. Exits non-zero when any target crashed.
#
#   scripts/fuzz.sh SECONDS [TARGET...]    targets: description_json conf_description curve_points
#                                                   host_values startup_tree (all by default)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
  echo "usage: scripts/fuzz.sh SECONDS [TARGET...]" >&2
  exit 2
fi
seconds=$1
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(description_json conf_description curve_points host_values startup_tree)

if ! grep -qw avx512bw /proc/cpuinfo; then
  echo "fuzz.sh: the fuzz build needs a processor with AVX-512 (F, BW, VL, DQ); this one lacks it" >&2
  exit 2
fi

scripts/setup.sh
build=build-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
mkdir -p "$build/logs" "$build/crashes"
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_FUZZ=ON \
  -DQOR_BUILD_TESTS=OFF -DQOR_BUILD_BENCHMARKS=OFF "${launcher[@]}" >"$build/logs/configure.log"
cmake --build "$build" -j"${QOR_FUZZ_JOBS:-$(nproc)}" --target "${targets[@]}"

# The targets write their description files and trees afresh for every input: keep them in memory,
# in a folder of this run's own, removed at the end (libFuzzer leaves without cleaning up).
scratch_parent=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_parent=/dev/shm
TMPDIR=$(mktemp -d "$scratch_parent/qor-fuzz-run.XXXXXX")
export TMPDIR
trap 'rm -rf "$TMPDIR"' EXIT

failed=0
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target"
  log="$build/logs/$target.log"
  dictionary=()
  case $target in
    description_json | conf_description | startup_tree) dictionary=(-dict=fuzz/description.dict) ;;
    curve_points) dictionary=(-dict=fuzz/curve.dict) ;;
  esac
  status=0
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    "${dictionary[@]}" -artifact_prefix="$build/crashes/$target-" "$build/corpus/$target" "fuzz/corpus/$target" \
    >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "$target: ${runs:-0} executions in ${seconds} s, no crash"
  else
    failed=1
    artifact=$(sed -n 's/.*Test unit written to \(.*\)/\1/p' "$log" | tail -n 1)
    echo "$target: CRASHED after ${runs:-?} executions (exit $status); input ${artifact:-not saved}, log $log"
    grep -m 3 -E "ERROR: |runtime error|==[0-9]+==" "$log" | sed 's/^/    /' || true
  fi
done
exit "$failed"
