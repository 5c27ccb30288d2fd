#!/usr/bin/env bash
# Runs the reader's fuzzer for a bounded time: fuzz.sh [seconds] (default 120).
# New inputs collect in build-fuzz/corpus; crashes are written to build-fuzz/.
# To keep what it found, merge the new inputs into the committed corpus:
#   build-fuzz/datafile/reader_fuzzer -merge=1 datafile/fuzz/corpus build-fuzz/corpus
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
"$root/scripts/setup.sh" clang libclang-rt-dev
dir="$root/build-fuzz"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQOR_FUZZ=ON -DQOR_BENCHMARKS=OFF >/dev/null
cmake --build "$dir" --target reader_fuzzer ubsan_fatal_check
# Refuse to fuzz with a build in which undefined behaviour does not end the run.
ctest --test-dir "$dir" -R '^UbsanFindingsAreFatal$' --output-on-failure
mkdir -p "$dir/corpus"
cd "$dir"
ASAN_OPTIONS=detect_leaks=1 "$dir/datafile/reader_fuzzer" -max_total_time="$seconds" -timeout=5 \
  -rss_limit_mb=1024 -max_len=4096 -jobs=1 "$dir/corpus" "$root/datafile/fuzz/corpus"
