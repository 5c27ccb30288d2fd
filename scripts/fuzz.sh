#!/usr/bin/env bash
# Runs a fuzzer for a bounded time: fuzz.sh [seconds] [reader|model|save|link|walk|stream] (default
# 120 s, reader). The reader's fuzzer feeds bytes to the tagged data-file reader,
# the model's to the data model (series, axes, points, browse items), the save
# component's to the save component as the monitor-data file it loads, checks and
# extends, the link's to Gasbridge's analyzer link and record parsing, the walk's
# through Gasbridge's core: link, message queue, walk and filing (on the link's corpus),
# the stream's to Gasbridge's two TCP stream decoders (the analyzer feed, the relay link).
# New inputs collect in build-fuzz/corpus-<target>; crashes are written to build-fuzz/.
# To keep what it found, merge the new inputs into the committed corpus:
#   build-fuzz/datafile/reader_fuzzer -merge=1 datafile/fuzz/corpus build-fuzz/corpus-reader
#   build-fuzz/datamodel/model_fuzzer -merge=1 datamodel/fuzz/corpus build-fuzz/corpus-model
#   build-fuzz/datamodel/saveitnew_fuzzer -merge=1 datamodel/fuzz/saveitnew_corpus build-fuzz/corpus-save
#   build-fuzz/collector/link_fuzzer -merge=1 collector/fuzz/corpus build-fuzz/corpus-link
#   build-fuzz/collector/walk_fuzzer -merge=1 collector/fuzz/corpus build-fuzz/corpus-walk
#   build-fuzz/collector/stream_fuzzer -merge=1 collector/fuzz/stream_corpus build-fuzz/corpus-stream
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-120}
target=${2:-reader}
program=${target}_fuzzer
corpus=fuzz/corpus
case "$target" in
  reader) folder=datafile; max_len=4096 ;;
  model) folder=datamodel; max_len=4096 ;;
  save) folder=datamodel; max_len=8192; program=saveitnew_fuzzer; corpus=fuzz/saveitnew_corpus ;;
  link) folder=collector; max_len=8192 ;;
  walk) folder=collector; max_len=8192 ;;
  stream) folder=collector; max_len=8192; corpus=fuzz/stream_corpus ;;
  *) echo "usage: $0 [seconds] [reader|model|save|link|walk|stream]" >&2; exit 2 ;;
esac
"$root/scripts/setup.sh" clang libclang-rt-dev
dir="$root/build-fuzz"
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQOR_FUZZ=ON -DQOR_BENCHMARKS=OFF >/dev/null
cmake --build "$dir" --target "$program" ubsan_fatal_check
# Refuse to fuzz with a build in which undefined behaviour does not end the run.
ctest --test-dir "$dir" -R '^UbsanFindingsAreFatal$' --output-on-failure
mkdir -p "$dir/corpus-$target" "$dir/log-$target"
# Each target keeps its job log (fuzz-0.log) in a folder of its own, so that two
# targets can run at once; crashes still land in build-fuzz/.
cd "$dir/log-$target"
ASAN_OPTIONS=detect_leaks=1 "$dir/$folder/$program" -max_total_time="$seconds" -timeout=5 \
  -rss_limit_mb=1024 -max_len="$max_len" -jobs=1 -artifact_prefix="$dir/" \
  "$dir/corpus-$target" "$root/$folder/$corpus"
