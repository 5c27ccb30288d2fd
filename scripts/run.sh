#!/usr/bin/env bash
# Sets up the machine and builds everything. (Runs the collector against the
# simulator once the two programs exist.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
echo "Built in $root/build."
# Drive C: of the settings ("C:\ZQT\") is this per-user folder (platform/paths.h).
mkdir -p "${QOR_DRIVES:-${XDG_DATA_HOME:-$HOME/.local/share}/qor/drives}/c"
