#!/usr/bin/env bash
# The real program under Xvfb against the simulator: start is clicked in its window, the
# requests arrive at the simulator, and closing the program leaves the settings saved.
set -euo pipefail
source "$(dirname "$0")/../../script/lib/line.sh"
program=$1
simulator=$2

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

link="$work/ttyE2E"
# No "Parity" and no "FlowControl": finding them after the close shows the settings were saved.
zt_settings "$work/config" "$link" 115200

"$simulator" --link "$link" --slaves 1-10 --log "$work/sim.log" </dev/null >"$work/sim.out" &
sim_pid=$!
zt_wait_ready "$work/sim.out" || { echo "simulator not ready"; exit 1; }

export XDG_CONFIG_HOME="$work/config" WORK="$work" PROGRAM="$program"
"$ZT_XVFB" bash -c '
  source "$ZT_LINE_SH"
  set -u
  "$PROGRAM" & app=$!
  wid=$(zt_find_window) || { echo "no window"; kill $app; exit 1; }
  sleep 1
  zt_click "$wid" start
  for _ in $(seq 100); do grep -q " RX 01 03 00 00 00 03 05 CB" "$WORK/sim.log" && break; sleep 0.1; done
  sleep 0.5
  kill -TERM $app
  wait $app
'
grep -q " RX 01 03 00 00 00 03 05 CB" "$work/sim.log" || { echo "no request reached the simulator"; exit 1; }
grep -q " TX 01 03 06" "$work/sim.log" || { echo "the simulator never answered"; exit 1; }
reg="$work/config/zt-modbus-k/registry.reg"
grep -q "\"Port\"=\"$link\"" "$reg" || { echo "port not saved"; cat "$reg"; exit 1; }
grep -q '"Parity"="None"' "$reg" || { echo "settings not saved at close"; cat "$reg"; exit 1; }
echo "1 passed, 0 failed"
