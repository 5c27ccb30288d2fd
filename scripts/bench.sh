#!/usr/bin/env bash
# Builds the optimised tree and runs the benchmarks: bench.sh [benchmark flags].
# The flags go to each benchmark program (the data files', the data model's, the save
# component's, the serial library's).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
"$root/build/datafile/datafile_bench" "$@"
"$root/build/datamodel/datamodel_bench" "$@"
"$root/build/datamodel/saveitnew_bench" "$@"
"$root/build/serial/serial_bench" "$@"
