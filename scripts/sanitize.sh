#!/usr/bin/env bash
# Builds everything (module, AI module, frei0r plug-ins, tests, qorfx) with a sanitizer and runs the
# whole test suite under it:
#   scripts/sanitize.sh address   AddressSanitizer + UndefinedBehaviorSanitizer, leaks included
#   scripts/sanitize.sh thread    ThreadSanitizer
# Any finding fails the run. Extra arguments go to ctest (e.g. -R Concurrency).
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
  address|thread) shift ;;
  *) echo "usage: scripts/sanitize.sh address|thread [ctest arguments]" >&2; exit 1 ;;
esac

bash scripts/setup.sh
build="build-$mode"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_SANITIZE="$mode" \
  -DQOR_BUILD_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

if [ "$mode" = address ]; then
  export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
else
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/sanitizers/tsan.supp"
fi
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" "$@"
