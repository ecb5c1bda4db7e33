#!/usr/bin/env bash
# The real program loses its line while polling: the simulator on the far end quits, and later a
# new one makes the same link again. While the line is gone the program sends nothing and uses
# next to no processor time; once the link is back, requests reach the new simulator within a
# second. Then the line goes once more and the program is closed while it waits.
# LOST_SECONDS (default 3) is how long the processor time is measured while the line is gone;
# SHOT_DIR, when set, receives screenshots taken while the line is gone and just after the
# resume (at BAUD 2400 the monitor still shows the resume line then; default 115200).
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

link="$work/ttyLOST"
baud="${BAUD:-115200}"
zt_settings "$work/config" "$link" "$baud"

export XDG_CONFIG_HOME="$work/config" WORK="$work" PROGRAM="$program" SIMULATOR="$simulator"
export LINK="$link" BAUD="$baud" LOST_SECONDS="${LOST_SECONDS:-3}" SHOT_DIR="${SHOT_DIR:-}"
"$ZT_XVFB" bash -c '
  source "$ZT_LINE_SH"
  set -u
  now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
  # Processor time of a process so far, in clock ticks (user + system).
  cpu_ticks() { awk "{ print \$14 + \$15 }" "/proc/$1/stat"; }
  shot() {
    [ -n "$SHOT_DIR" ] || return 0
    mkdir -p "$SHOT_DIR"
    xwd -root -silent >"$SHOT_DIR/$1.xwd"
    if command -v xwdtopnm >/dev/null && command -v pnmtopng >/dev/null; then
      xwdtopnm "$SHOT_DIR/$1.xwd" 2>/dev/null | pnmtopng >"$SHOT_DIR/$1.png" && rm "$SHOT_DIR/$1.xwd"
    fi
  }
  start_sim() {
    "$SIMULATOR" --link "$LINK" --slaves 1-10 --baud "$BAUD" --log "$WORK/$1.log" </dev/null >"$WORK/$1.out" &
    sim=$!
    zt_wait_ready "$WORK/$1.out" || { echo "simulator not ready"; exit 1; }
  }
  requests() { grep -c " RX 01 03" "$WORK/$1.log" || true; }
  sim="" app=""
  trap "kill \$sim \$app 2>/dev/null; true" EXIT

  start_sim first
  "$PROGRAM" --counts "$WORK/counts" & app=$!
  wid=$(zt_find_window) || { echo "no window"; kill $app; exit 1; }
  sleep 1
  zt_click "$wid" start
  for _ in $(seq 100); do [ "$(requests first)" -gt 20 ] && break; sleep 0.1; done
  [ "$(requests first)" -gt 20 ] || { echo "no polling on the first line"; exit 1; }

  kill -TERM $sim; wait $sim || true
  sleep 0.3
  shot gone
  before=$(cpu_ticks $app)
  sleep "$LOST_SECONDS"
  after=$(cpu_ticks $app)
  ticks=$(getconf CLK_TCK)
  echo "processor time while the line was gone: $(( (after - before) * 1000 / ticks )) ms in $LOST_SECONDS s"
  [ $(( (after - before) * 1000 / ticks )) -le $(( LOST_SECONDS * 20 )) ] || { echo "it spins"; exit 1; }

  start_sim second
  ready=$(now_ms)
  for _ in $(seq 300); do [ "$(requests second)" -gt 0 ] && break; sleep 0.01; done
  back=$(( $(now_ms) - ready ))
  echo "first request on the new line $back ms after it was made"
  [ "$back" -lt 1000 ] || { echo "no resume within a second"; exit 1; }
  sleep 0.4
  shot resumed
  sleep 0.6

  kill -TERM $sim; wait $sim || true
  sleep 0.5
  closing=$(now_ms)
  kill -TERM $app
  wait $app
  echo "closed $(( $(now_ms) - closing )) ms after the close was asked for, the line gone"
  echo "requests heard: $(requests first) + $(requests second)"
'
# The one request that may have been under way as each line went is all that went unheard.
heard=$(( $(grep -c " RX 01 03" "$work/first.log") + $(grep -c " RX 01 03" "$work/second.log") ))
tx=$(sed -n 's/^Tx=//p' "$work/counts")
er=$(sed -n 's/^Er=//p' "$work/counts")
echo "program counts: Tx=$tx Er=$er"
[ "$tx" -ge "$heard" ] && [ "$tx" -le $(( heard + 2 )) ] || { echo "requests sent into the lost line"; exit 1; }
[ "$er" -le 2 ] || { echo "errors counted while the line was gone"; exit 1; }
echo "1 passed, 0 failed"
