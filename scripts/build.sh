#!/usr/bin/env bash
# Configures and builds one build tree: build.sh [release|asan|tsan] (default release).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-release}
case "$kind" in
  release) dir="$root/build"; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  asan) dir="$root/build-asan"; flags=(-DCMAKE_BUILD_TYPE=Debug -DQOR_SANITIZE=ON -DQOR_BENCHMARKS=OFF) ;;
  tsan) dir="$root/build-tsan"; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQOR_TSAN=ON -DQOR_BENCHMARKS=OFF) ;;
  *) echo "usage: $0 [release|asan|tsan]" >&2; exit 2 ;;
esac
cmake -S "$root" -B "$dir" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$dir"
