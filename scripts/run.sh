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
# desktop has one) and Gasmimic's window opens: pick nothing, press Start or Send.
# Gasbridge runs until it is closed with its Close button.
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

# The serial cable: two pseudo-terminals joined by socat.
socat pty,raw,echo=0,link="$demo/comports/COM1" pty,raw,echo=0,link="$demo/comports/COM2" &
cable=$!
trap 'kill $cable 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "$demo/comports/COM1" ] && [ -e "$demo/comports/COM2" ] && break
  sleep 0.1
done
gasbridge="$root/build/collector/gasbridge"
gasmimic="$root/build/simulator/gasmimic"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Gasbridge collects from COM1; Gasmimic sends on COM2. Close Gasbridge with its Close button."
  "$gasbridge" COM1 &
  collector=$!
  sleep 1
  "$gasmimic" --com 2 || true
  wait "$collector"
  exit 0
fi

seconds=${RUN_SECONDS:-20}
echo "No display: Gasbridge and Gasmimic run offscreen for $seconds s."
export QT_QPA_PLATFORM=offscreen
"$gasbridge" COM1 --quit-after="$seconds" &
collector=$!
sleep 2
echo "Gasmimic sends its typed message..."
"$gasmimic" --com 2 --interval 2 --start --quit-after 3 || true
echo "Gasmimic sends its canned message..."
"$gasmimic" --com 2 --send-canned-once --quit-after 10 || true
echo "A real ABL80 capture goes down the cable..."
# ENQ, the captured frames, EOT; the ACKs that come back are read off the line so
# that nothing waits for them.
timeout 3 cat "$demo/comports/COM2" > /dev/null 2>&1 &
(printf '\005'; cat "$root/collector/tests/data/02_abl80basic_capture_frames.astm"; printf '\004') \
  > "$demo/comports/COM2"
wait "$collector"
echo
echo "== Filed (build/demo/root/DATA):"
find "$demo/root/DATA" -type f -printf '  %P (%s bytes)\n' | sort
echo "== Transfer log:"
sed 's/^/  /' "$demo/root/DATA/ABL 625 Logfile.txt"
echo "== Calls to the automation object:"
sed 's/^/  /' "$demo/automation.log" 2>/dev/null || echo "  (none)"
