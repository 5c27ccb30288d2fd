#!/usr/bin/env bash
# Builds the optimised tree and runs the benchmarks: bench.sh [benchmark flags].
# The flags go to every benchmark program (a filter that matches none of one
# program's benchmarks leaves its table empty).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
"$root/build/datafile/datafile_bench" "$@"
"$root/build/datamodel/datamodel_bench" "$@"
"$root/build/datamodel/datamodel_paint_bench" "$@"
"$root/build/datamodel/saveitnew_bench" "$@"
"$root/build/serial/serial_bench" "$@"
"$root/build/platform/qt/platform_qt_startup_bench" "$@"
"$root/build/collector/gasbridge_bench" "$@"
"$root/build/collector/gasbridge_network_bench" "$@"
"$root/build/simulator/gasmimic_bench" "$@"
