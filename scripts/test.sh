#!/usr/bin/env bash
# Sets up the machine, runs the boundary and format checks (check.sh: the
# platform boundary, the Qt-free libraries, the layout), builds the project twice
# (optimised, and with the address and undefined-behaviour sanitizers) and runs
# every test in both builds; the fuzzer's corpus is replayed as one of the tests.
# The threaded tests (label "threads") run a third time under ThreadSanitizer, and
# the serial library is built with clang's thread-safety analysis, which checks
# its lock annotations.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
echo "== boundary and format checks"
"$root/scripts/check.sh"
jobs=$(nproc)
for kind in release asan; do
  echo "== $kind build"
  "$root/scripts/build.sh" "$kind"
  dir="$root/build"
  [ "$kind" = asan ] && dir="$root/build-asan"
  echo "== $kind tests"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
done
# The threaded code (the serial library) runs its tests under ThreadSanitizer too.
echo "== tsan build"
"$root/scripts/build.sh" tsan
echo "== tsan tests (threaded)"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1" \
  ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" -L threads
# The serial library's locks are annotated (serial/SerLock.h): clang checks them.
echo "== clang thread-safety build (serial)"
cmake -S "$root" -B "$root/build-clang-tsa" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQOR_BENCHMARKS=OFF \
  -DCMAKE_CXX_COMPILER=clang++ \
  "-DCMAKE_CXX_FLAGS=-Wthread-safety -Wthread-safety-beta -Werror=thread-safety -Werror=thread-safety-beta" \
  >/dev/null
cmake --build "$root/build-clang-tsa" --target serial serial_form serial_component serial_tests
