#!/usr/bin/env bash
# The traffic on record, on the real program against the simulator: with --capture the file
# fills frame by frame (the simulator's spoilt CRCs, exception answers and foreign addresses
# marked), a stop adds the figures, the monitor is saved with Ctrl+S through its file dialog,
# and a kill -9 while polling leaves every line of the capture whole. The saved monitor shows
# the same frames as the capture's first session. KEEP_DIR, when set, receives the capture and
# the saved monitor file; SHOT, when set, a screenshot of the window after the save.
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

link="$work/ttyREC"
zt_settings "$work/config" "$link" 115200
"$simulator" --link "$link" --slaves 1-10 --baud 115200 --log "$work/sim.log" \
  --fault "badcrc 2 3" --fault "exception 3 2" --fault "foreign 4 7" </dev/null >"$work/sim.out" &
sim_pid=$!
zt_wait_ready "$work/sim.out" || { echo "simulator not ready"; exit 1; }

export XDG_CONFIG_HOME="$work/config" WORK="$work" PROGRAM="$program" SHOT="${SHOT:-}"
"$ZT_XVFB" bash -c '
  source "$ZT_LINE_SH"
  set -u
  requests() { grep -c " RX 0[1-4] 0[36]" "$WORK/sim.log" || true; }
  # A loaded machine polls slowly: slave 3 costs a 500 ms time-out a round.
  wait_for() {
    for _ in $(seq 300); do eval "$1" && return 0; sleep 0.1; done
    echo "$2 (requests heard: $(requests))"; tail -3 "$WORK/capture.log" "$WORK/app.err"; exit 1
  }
  "$PROGRAM" --capture "$WORK/capture.log" 2>"$WORK/app.err" & app=$!
  trap "kill -9 \$app 2>/dev/null; true" EXIT
  wid=$(zt_find_window) || { echo "no window"; cat "$WORK/app.err"; exit 1; }
  sleep 1
  zt_set_slaves "$wid" 4
  sleep 0.3
  zt_click "$wid" start
  wait_for "[ \$(requests) -gt 40 ]" "no polling"
  zt_click "$wid" stop
  wait_for "grep -q \" ## Tx=\" \"\$WORK/capture.log\"" "no figures at the stop"

  # Ctrl+S on the monitor, then the file dialog takes the path.
  xdotool mousemove --window "$wid" 600 600 click 1
  xdotool key --window "$wid" ctrl+s
  wait_for "dialog=\$(xdotool search --name \"Save the monitor lines\" | head -1); [ -n \"\$dialog\" ]" \
    "no file dialog"
  sleep 0.5
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  {
    xdotool key --window "$dialog" ctrl+a
    xdotool type --window "$dialog" "$WORK/monitor.txt"
    xdotool key --window "$dialog" Return
  } 2>/dev/null
  wait_for "[ -s \"\$WORK/monitor.txt\" ]" "the monitor was not saved"

  # A second session, killed while it polls.
  [ -z "${SHOT:-}" ] || zt_png "$SHOT"
  before=$(requests)
  zt_click "$wid" start
  wait_for "[ \$(requests) -gt \$((before + 30)) ]" "no polling after the save"
  kill -9 $app
  wait $app 2>/dev/null || true
  echo "requests heard: $(requests)"
'
capture="$work/capture.log"
monitor="$work/monitor.txt"
if [ -n "${KEEP_DIR:-}" ]; then
  mkdir -p "$KEEP_DIR"
  cp "$capture" "$KEEP_DIR/capture.log"
  cp "$monitor" "$KEEP_DIR/monitor.txt"
fi
fail() { echo "$1"; tail -5 "$capture"; exit 1; }

# The kill may have cut the one line under way (where it crossed a page of the file); the next
# capture into the file takes that piece off. A run that cannot open its port opens the capture.
killed=$(wc -c <"$capture")
status=0
"$program" --run --port "$work/ttyNONE" --capture "$capture" >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "a run without its port ended with $status"
echo "capture after the kill: $killed bytes, after the next open: $(wc -c <"$capture")"
# Every line whole and of the documented form, the last one too.
[ "$(tail -c1 "$capture" | od -An -c | tr -d " ")" = '\n' ] || fail "the capture ends in half a line"
time='[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{6}'
frame="(Tx|Rx)( [0-9A-F]{2})+( \[(crc-error|exception [0-9A-F]{2}|foreign-address|overflow|incomplete|extra)\])?"
bad=$(grep -cvE "^$time ($frame|-- .+|## .+)$" "$capture" || true)
[ "$bad" -eq 0 ] || { grep -vE "^$time ($frame|-- .+|## .+)$" "$capture" | head -5; fail "$bad lines of another form"; }
for mark in "[crc-error]" "[exception 02]" "[foreign-address]"; do
  grep -qF " $mark" "$capture" || fail "no line marked $mark"
done
[ "$(grep -c " -- start " "$capture")" -eq 2 ] || fail "not two sessions"
grep -qE "^$time ## 3	[0-9]+	0	[0-9]+	0	[1-9]" "$capture" || fail "no figures of slave 3"

# Nothing lost: each request the simulator heard is in the capture (one more may have been on
# its way when the program was killed).
heard=$(grep -c " RX 0[1-4] 0[36]" "$work/sim.log")
sent=$(grep -cE "^$time Tx " "$capture")
echo "requests heard $heard, in the capture $sent"
[ "$sent" -ge "$heard" ] && [ "$sent" -le $((heard + 1)) ] || fail "the capture lost requests"

# The saved monitor: full times in place of ss:zzz, and the frames of the first session as the
# capture has them (the capture's lines the monitor never shows left out).
bad=$(grep -cvE '^(Tx|Rx)-[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}>( [0-9A-F]{2})+(  CRC错误)?$' "$monitor" || true)
[ "$bad" -eq 0 ] || fail "$bad saved lines of another form"
sed -E 's/^(Tx|Rx)-[^>]*>/\1/; s/  CRC错误$//' "$monitor" >"$work/monitor.frames"
awk '/ -- start /{n++} n==1' "$capture" | grep -E " (Tx|Rx) " |
  grep -vE "\[(incomplete|extra|overflow)\]$" | cut -d" " -f3- | sed -E "s/ \[.*\]$//" >"$work/capture.frames"
cmp -s "$work/monitor.frames" "$work/capture.frames" || {
  diff "$work/monitor.frames" "$work/capture.frames" | head
  fail "the saved monitor and the capture differ"
}
echo "frames in the saved monitor: $(wc -l <"$monitor")"
echo "1 passed, 0 failed"
