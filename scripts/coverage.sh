#!/usr/bin/env bash
# Shows what the tests never reach: builds the project with gcc's coverage counters
# (build-coverage/, unoptimised), runs the tests there and prints line and branch
# coverage per library, with a page per file in build-coverage/coverage/index.html.
# A tool for people, not a gate: there is no threshold, and CI does not run it.
#   coverage.sh [ctest flags]    e.g. coverage.sh -R Serial (the counts are then
#                                those of the tests chosen)
# Branches are counted without those of exceptions the compiler adds and those it
# cannot reach, which would only hide the branches of the code. Tests, benchmarks,
# fuzz targets and the string-table generator (a build tool) are not counted.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" gcovr
dir="$root/build-coverage"
# The counters are updated atomically: code that runs on several threads (the
# serial library, the point pool) would otherwise lose counts or wrap them.
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQOR_BENCHMARKS=OFF \
  "-DCMAKE_CXX_FLAGS=--coverage -fprofile-update=atomic" -DCMAKE_EXE_LINKER_FLAGS=--coverage \
  -DCMAKE_SHARED_LINKER_FLAGS=--coverage >/dev/null
cmake --build "$dir"
# Counts of this run only, and none of the compiler check CMake built with the flags.
find "$dir" -name '*.gcda' -delete
find "$dir/CMakeFiles" -path '*/CompilerId*' -name '*.gcno' -delete
ctest --test-dir "$dir" -j "${CTEST_PARALLEL_LEVEL:-$(nproc)}" "$@" ||
  echo "coverage: some tests failed; the figures are those of the tests that ran" >&2
mkdir -p "$dir/coverage"
echo "== coverage (gcovr)"
cd "$dir"  # gcov writes its files where it runs
gcovr --root "$root" --object-directory "$dir" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
  --exclude '.*/(tests|bench|fuzz)/.*' --exclude "$root/serial/tools/.*" --exclude "$dir/.*" \
  --exclude-throw-branches --exclude-unreachable-branches \
  --json-summary "$dir/coverage/summary.json" \
  --html-details "$dir/coverage/index.html" >/dev/null
# The summary is per file; a file counts for the library that compiles it (as
# compile_commands.json has it), a header for the library of its source file, or
# else for the library with the most sources in its folder.
python3 - "$root" "$dir" <<'EOF'
import collections, json, os, re, sys
root, build = sys.argv[1], sys.argv[2]
owner = {}
for entry in json.load(open(os.path.join(build, "compile_commands.json"))):
    m = re.search(r"CMakeFiles/([^/]+)\.dir/", entry.get("output", "") or entry["command"])
    source = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
    if m and not re.search(r"(^|/)(tests|bench|fuzz)/", source):
        owner[source] = m.group(1)
by_folder = collections.defaultdict(collections.Counter)
for source, target in owner.items():
    by_folder[os.path.dirname(source)][target] += 1

def library(path):
    if path in owner:
        return owner[path]
    stem = os.path.splitext(path)[0]
    if stem + ".cpp" in owner:
        return owner[stem + ".cpp"]
    folder = by_folder.get(os.path.dirname(path))
    return folder.most_common(1)[0][0] if folder else os.path.dirname(path) or "."

totals = collections.defaultdict(lambda: [0, 0, 0, 0])
for f in json.load(open(os.path.join(build, "coverage", "summary.json")))["files"]:
    t = totals[library(f["filename"])]
    t[0] += f["line_covered"]; t[1] += f["line_total"]
    t[2] += f["branch_covered"]; t[3] += f["branch_total"]

def cell(covered, total):
    return f"{covered:>6}/{total:<6} {100.0 * covered / total:5.1f}%" if total else f"{'-':>20}"

print(f"{'library':<24} {'lines':>20}   {'branches':>20}")
all_ = [0, 0, 0, 0]
for name in sorted(totals):
    t = totals[name]
    all_ = [a + b for a, b in zip(all_, t)]
    print(f"{name:<24} {cell(t[0], t[1])}   {cell(t[2], t[3])}")
print(f"{'all':<24} {cell(all_[0], all_[1])}   {cell(all_[2], all_[3])}")
EOF
echo "Per file: $dir/coverage/index.html"
