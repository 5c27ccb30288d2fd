#!/usr/bin/env bash
# Sets up the machine, builds everything and starts Gasbridge on a demonstration
# data root, collecting from COM1, with Gasmimic playing the analyzer on COM2 at the
# other end of the cable.
#
# The demonstration lives in build/demo and touches none of the user's settings:
#   registry.reg   its settings store (QOR_REGISTRY): the data root, automatic
#                  creation of patients, and the stand-in automation server
#   root/          the data root: ZQTDATA.INI registers the demonstration patient
#                  (id "1", folder 12345678.$90, the patient Gasmimic's messages
#                  name); DATA/ takes the patients' folders and the transfer log
#   comports/      COM1 and COM2, the two ends of a pseudo-terminal pair (socat): a
#                  null-modem cable between the collector and the simulator
#   automation.log every call the stand-in automation server received
#
# With a display Gasbridge starts (hidden behind its notification icon when the
# desktop has one) and Gasmimic's window opens: press Start or Send. Gasbridge runs
# until it is closed with its Close button.
# Without one (no DISPLAY or WAYLAND_DISPLAY) the two run on Qt's offscreen
# platform for a short self-check: Gasmimic sends its typed message, then its
# canned full message, then a real ABL80 capture goes down the cable; Gasbridge
# ends after RUN_SECONDS (default 20) and what it filed and logged is shown.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" socat
"$root/scripts/build.sh" release
echo "Built in $root/build."
# Drive C: of the settings ("C:\ZQT\") is this per-user folder (platform/paths.h).
mkdir -p "${QOR_DRIVES:-${XDG_DATA_HOME:-$HOME/.local/share}/qor/drives}/c"

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo/root/DATA" "$demo/comports"
cat > "$demo/root/ZQTDATA.INI" <<'EOF'
[Registered]
1=12345678.$90\PATIENT.
EOF
cat > "$demo/registry.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{6EB172E1-23B9-11D1-AF5F-444553540000}\\InprocServer32]
@="$root/build/collector/libwardvorta_standin.so"

[HKEY_CURRENT_USER\\Software\\QOR Fluvantronics AB\\Wardvorta\\2.0\\File Paths]
"ZQTData"="$demo/root/ZQTDATA.INI"

[HKEY_CURRENT_USER\\SOFTWARE\\QOR Fluvantronics AB\\Vistameter\\External Collect\\1.0\\ABL]
"AutoCreate"=dword:00000001
"ParameterGrouping"=dword:00000000
"UseFirstTen"=dword:00000000
EOF
export QOR_REGISTRY="$demo/registry.reg"
export QOR_COMPORTS="$demo/comports"
export QOR_AUTOMATION_LOG="$demo/automation.log"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  # The toolkit and Gasbridge's single-instance guard want a private runtime folder.
  mkdir -m 700 "$demo/runtime"
  export XDG_RUNTIME_DIR="$demo/runtime"
fi

# The serial cable: two pseudo-terminals joined by socat.
socat pty,raw,echo=0,link="$demo/comports/COM1" pty,raw,echo=0,link="$demo/comports/COM2" &
cable=$!
collector=""
watchdog=""
cleanup() {
  for pid in $watchdog $collector $cable; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -e "$demo/comports/COM1" ] && [ -e "$demo/comports/COM2" ] && break
  sleep 0.1
done
if ! [ -e "$demo/comports/COM1" ] || ! [ -e "$demo/comports/COM2" ]; then
  echo "run.sh: socat made no pseudo-terminals in $demo/comports" >&2
  exit 1
fi
gasbridge="$root/build/collector/gasbridge"
gasmimic="$root/build/simulator/gasmimic"
print_monitor_file="$root/build/collector/tools/print_monitor_file"

# Waits (at most a minute) until Gasbridge holds COM1 open, so that the first
# message finds it listening.
wait_for_com1() {
  local device fd
  device=$(readlink -f "$demo/comports/COM1")
  for _ in $(seq 600); do
    kill -0 "$collector" 2>/dev/null || return 1
    for fd in /proc/"$collector"/fd/*; do
      [ "$(readlink "$fd" 2>/dev/null)" = "$device" ] && return 0
    done
    sleep 0.1
  done
  return 1
}

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Gasbridge collects from COM1; Gasmimic sends on COM2. Close Gasbridge with its Close button."
  echo "What is filed goes to $demo/root/DATA (see the README, \"Looking at what was filed\")."
  "$gasbridge" COM1 &
  collector=$!
  wait_for_com1 || echo "run.sh: Gasbridge has not opened COM1 (yet)" >&2
  "$gasmimic" --com 2 || true
  wait "$collector" || true
  collector=""
  exit 0
fi

seconds=${RUN_SECONDS:-20}
echo "No display: Gasbridge and Gasmimic run offscreen for $seconds s."
export QT_QPA_PLATFORM=offscreen
"$gasbridge" COM1 --quit-after="$seconds" &
collector=$!
# Should Gasbridge ever fail to end by itself, it is ended.
(
  for _ in $(seq $((seconds + 30))); do
    sleep 1
    kill -0 "$collector" 2>/dev/null || exit 0
  done
  kill "$collector" 2>/dev/null
) &
watchdog=$!
if ! wait_for_com1; then
  echo "run.sh: Gasbridge did not open COM1" >&2
  exit 1
fi
echo "Gasmimic sends its typed message..."
# Start with a 2 s interval: one message at the first tick, and the time is up
# before the next (a message in flight always ends first).
"$gasmimic" --com 2 --interval 2 --start --quit-after 3 || true
echo "Gasmimic sends its canned message..."
"$gasmimic" --com 2 --send-canned-once --quit-after 30 || true
echo "A real ABL80 capture goes down the cable..."
# ENQ, the captured frames, EOT; the ACKs that come back are read off the line so
# that nothing waits for them.
timeout 3 cat "$demo/comports/COM2" > /dev/null 2>&1 &
(printf '\005'; cat "$root/collector/tests/data/02_abl80basic_capture_frames.astm"; printf '\004') \
  > "$demo/comports/COM2"
wait "$collector" || true
collector=""
echo
echo "== Filed (build/demo/root/DATA), shown with build/collector/tools/print_monitor_file:"
find "$demo/root/DATA" -type f -printf '  %P (%s bytes)\n' | sort
echo
(cd "$demo/root/DATA" && find . -type f -name '*.vor' -printf '%P\0' | sort -z |
  xargs -0 -r "$print_monitor_file")
echo
echo "== Transfer log (build/demo/root/DATA/ABL 625 Logfile.txt):"
sed 's/^/  /' "$demo/root/DATA/ABL 625 Logfile.txt" | tr -d '\r'
echo "== Calls to the automation object (build/demo/automation.log):"
sed 's/^/  /' "$demo/automation.log" 2>/dev/null || echo "  (none)"
# Three messages went down the cable; each ends with TransferDone() once filed.
done_count=$(grep -c 'TransferDone()' "$demo/automation.log" 2>/dev/null || true)
echo
if [ "${done_count:-0}" -ne 3 ]; then
  echo "Self-check failed: Gasbridge finished ${done_count:-0} of the 3 messages." >&2
  exit 1
fi
echo "Self-check passed: Gasbridge filed all 3 messages."
