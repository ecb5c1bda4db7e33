#!/usr/bin/env bash
# The window on a line behind a TCP port: ten slaves polled from the simulator's --tcp line; the
# server drops the connection (polling goes on by itself); the server goes away (the status bar
# and the monitor say so, the window stays responsive while the name is tried again) and comes
# back on the same port (polling resumes); a refused port at start (the box says why).
# SHOT_DIR, when set, receives screenshots of each stage.
set -euo pipefail
source "$(dirname "$0")/../../script/lib/line.sh"
program=$1
simulator=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
zt_settings "$work/config" "tcp://127.0.0.1:$port" 115200

export XDG_CONFIG_HOME="$work/config" WORK="$work" PROGRAM="$program" SIMULATOR="$simulator"
export PORT="$port" SHOT_DIR="${SHOT_DIR:-}"
"$ZT_XVFB" bash -c '
  source "$ZT_LINE_SH"
  set -u
  now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
  shot() { [ -z "$SHOT_DIR" ] || { mkdir -p "$SHOT_DIR"; zt_png "$SHOT_DIR/$1.png"; }; }
  start_sim() {
    rm -f "$WORK/ctl"
    mkfifo "$WORK/ctl"
    "$SIMULATOR" --tcp "$PORT" --slaves 1-10 --baud 115200 --control "$WORK/ctl" \
      --log "$WORK/$1.log" </dev/null >"$WORK/$1.out" 2>&1 &
    sim=$!
    zt_wait_ready "$WORK/$1.out" || { echo "simulator not ready"; exit 1; }
  }
  requests() { grep -c " RX " "$WORK/$1.log" || true; }
  sim="" app=""
  trap "kill \$sim \$app 2>/dev/null; true" EXIT

  start_sim first
  "$PROGRAM" --counts "$WORK/counts" & app=$!
  wid=$(zt_find_window) || { echo "no window"; exit 1; }
  sleep 1
  zt_click "$wid" start
  sleep 0.5
  zt_set_slaves "$wid" 10
  for _ in $(seq 100); do [ "$(requests first)" -gt 200 ] && break; sleep 0.1; done
  [ "$(requests first)" -gt 200 ] || { echo "no polling over TCP"; exit 1; }
  for a in 01 05 0A; do grep -q " TX $a 03 06" "$WORK/first.log" || { echo "slave $a not polled"; exit 1; }; done
  shot polling

  echo drop >"$WORK/ctl"
  sleep 1
  after=$(sed -n "/LINE down/,\$p" "$WORK/first.log" | grep -c " RX " || true)
  echo "requests on the new connection within a second of the drop: $after"
  [ "$after" -gt 50 ] || { echo "polling did not go on after the drop"; exit 1; }

  kill -TERM $sim; wait $sim || true
  sleep 1
  shot gone
  # The window answers while the name is tried again: the setup dialog opens at once.
  asked=$(now_ms)
  zt_click "$wid" settings
  for _ in $(seq 50); do xdotool search --name "^Setup\$" >/dev/null 2>&1 && break; sleep 0.02; done
  xdotool search --name "^Setup\$" >/dev/null 2>&1 || { echo "no setup dialog while the line is gone"; exit 1; }
  echo "setup dialog open $(( $(now_ms) - asked )) ms after the click, the line gone"
  xdotool key Escape
  sleep 0.5

  start_sim second
  ready=$(now_ms)
  for _ in $(seq 300); do [ "$(requests second)" -gt 0 ] && break; sleep 0.01; done
  back=$(( $(now_ms) - ready ))
  echo "first request on the server back $back ms after it was ready"
  [ "$back" -lt 1000 ] || { echo "no resume within a second"; exit 1; }
  sleep 0.3
  shot resumed
  kill -TERM $sim; wait $sim || true
  kill -TERM $app; wait $app || true
  app=""

  # Nobody on the port at start: the box comes (its words: open_failure_test, tcp_line.sh).
  "$PROGRAM" & app=$!
  wid=$(zt_find_window) || { echo "no window"; exit 1; }
  sleep 1
  zt_click "$wid" start
  for _ in $(seq 50); do xdotool search --name "^ZT_MODBUS_K\$" >/dev/null 2>&1 && break; sleep 0.1; done
  xdotool search --name "^ZT_MODBUS_K\$" >/dev/null 2>&1 || { echo "no box for a refused port"; exit 1; }
  kill -KILL $app
'
tx=$(sed -n 's/^Tx=//p' "$work/counts")
er=$(sed -n 's/^Er=//p' "$work/counts")
heard=$(( $(grep -c " RX " "$work/first.log") + $(grep -c " RX " "$work/second.log") ))
echo "program counts: Tx=$tx Er=$er, requests heard: $heard"
[ "$tx" -ge "$heard" ] && [ "$tx" -le $(( heard + 3 )) ] || { echo "requests sent into the lost line"; exit 1; }
[ "$er" -le 3 ] || { echo "errors counted while the line was gone"; exit 1; }
echo "1 passed, 0 failed"
