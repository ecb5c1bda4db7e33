#!/usr/bin/env bash
# A far end that stops taking bytes: the program polls a pseudo-terminal whose other side is
# filled to the brim and never read, so every request's write waits until its time-out
# (1800 ms for eight bytes with the designed timeouts). Prints how long the setup dialog takes
# to open, ten times while the line is stalled (and three times before start, for comparison),
# then the poll rate since start and the program's processor time over SECONDS (default 20)
# more of polling.
#
#   bench/stalled_line.sh [PROGRAM] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source script/lib/line.sh
program=$(realpath "${1:-build/bin/zt-modbus-k}")
seconds=${2:-20}
work=$(mktemp -d)
holder=""
trap '[ -n "$holder" ] && kill "$holder" 2>/dev/null; rm -rf "$work"' EXIT

link="$work/ttySTALL"
zt_settings "$work/config" "$link" 9600
# The far end: fills the pty until the kernel takes no more, then holds it open unread.
python3 - "$link" >"$work/pty.out" <<'PY' &
import fcntl, os, sys, time, tty
master, slave = os.openpty()
tty.setraw(master)
tty.setraw(slave)
fcntl.fcntl(slave, fcntl.F_SETFL, fcntl.fcntl(slave, fcntl.F_GETFL) | os.O_NONBLOCK)
while True:
    try:
        os.write(slave, bytes(1024))
    except BlockingIOError:
        time.sleep(0.05)  # what the line discipline still had room for moves on meanwhile
        try:
            os.write(slave, bytes(1024))
        except BlockingIOError:
            break
name = os.ttyname(slave)
os.close(slave)
os.symlink(name, sys.argv[1])
print("ready", flush=True)
time.sleep(1e6)
PY
holder=$!
zt_wait_ready "$work/pty.out" || { echo "no pseudo-terminal"; exit 1; }

export XDG_CONFIG_HOME="$work/config" WORK="$work" PROGRAM="$program" SECONDS_POLLED="$seconds"
"$ZT_XVFB" bash -c '
  source "$ZT_LINE_SH"
  set -u
  now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
  cpu_ms() { awk -v hz="$(getconf CLK_TCK)" "{ print int((\$14 + \$15) * 1000 / hz) }" "/proc/$1/stat"; }
  # The settings button pressed → the dialog mapped; then it is cancelled.
  dialog() {
    local t0 d; t0=$(now_ms)
    zt_click "$wid" settings
    until xdotool search --onlyvisible --name "^Setup$" >/dev/null 2>&1; do sleep 0.002; done
    echo -n "$(( $(now_ms) - t0 )) "
    d=$(xdotool search --onlyvisible --name "^Setup$" | head -1)
    xdotool mousemove --window "$d" 187 196 click 1
    while xdotool search --onlyvisible --name "^Setup$" >/dev/null 2>&1; do sleep 0.01; done
  }
  "$PROGRAM" --counts "$WORK/counts" & app=$!
  trap "kill $app 2>/dev/null; true" EXIT
  wid=$(zt_find_window) || { echo "no window"; exit 1; }
  sleep 1
  echo -n "setup dialog opened before start (ms): "
  for _ in 1 2 3; do dialog; sleep 0.3; done
  echo
  zt_click "$wid" start
  began=$(now_ms)
  sleep 2
  echo -n "setup dialog opened, line stalled (ms): "
  for _ in $(seq 10); do dialog; sleep "0.$(( RANDOM % 9 + 1 ))"; done
  echo
  cpu=$(cpu_ms $app)
  sleep "$SECONDS_POLLED"
  cpu=$(( $(cpu_ms $app) - cpu ))
  polled=$(( $(now_ms) - began ))
  kill -TERM $app
  wait $app
  tx=$(sed -n "s/^Tx=//p" "$WORK/counts")
  er=$(sed -n "s/^Er=//p" "$WORK/counts")
  echo "polled $polled ms: Tx=$tx Er=$er, $(awk "BEGIN { printf \"%.2f\", $tx * 1000 / $polled }") requests a second"
  echo "processor time over the last $SECONDS_POLLED s: $cpu ms"
'
