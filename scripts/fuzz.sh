#!/usr/bin/env bash
# Runs a fuzzer for a bounded time: fuzz.sh [seconds] [target] (default 120 s and
# reader_fuzzer, the data-file reader's; link_fuzzer is the analyzer link's).
# New inputs collect in build-fuzz/corpus (build-fuzz/corpus-link for the link);
# crashes are written to build-fuzz/. To keep what it found, merge the new inputs
# into the committed corpus:
#   build-fuzz/datafile/reader_fuzzer -merge=1 datafile/fuzz/corpus build-fuzz/corpus
#   build-fuzz/collector/link_fuzzer -merge=1 collector/fuzz/corpus build-fuzz/corpus-link
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
target=${2:-reader_fuzzer}
case "$target" in
  reader_fuzzer) folder=datafile; new=corpus; max_len=4096 ;;
  link_fuzzer) folder=collector; new=corpus-link; max_len=8192 ;;
  *) echo "usage: $0 [seconds] [reader_fuzzer|link_fuzzer]" >&2; exit 2 ;;
esac
"$root/scripts/setup.sh" clang libclang-rt-dev
dir="$root/build-fuzz"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQOR_FUZZ=ON -DQOR_BENCHMARKS=OFF >/dev/null
cmake --build "$dir" --target "$target" ubsan_fatal_check
# Refuse to fuzz with a build in which undefined behaviour does not end the run.
ctest --test-dir "$dir" -R '^UbsanFindingsAreFatal$' --output-on-failure
mkdir -p "$dir/$new"
cd "$dir"
ASAN_OPTIONS=detect_leaks=1 "$dir/$folder/$target" -max_total_time="$seconds" -timeout=5 \
  -rss_limit_mb=1024 -max_len="$max_len" -jobs=1 "$dir/$new" "$root/$folder/fuzz/corpus"
