#!/usr/bin/env bash
# Sets up the machine and builds everything. (Runs the collector against the
# simulator once the two programs exist.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
echo "Built in $root/build."
