#!/usr/bin/env bash
# The real program under Xvfb against the simulator: turnaround after an answer (simulator's
# answer written -> the program's next request complete, less the configured pause), the
# answer time-out, polls per second, CPU and resident memory of the program.
#
#   bench/poll_timing.sh [SECONDS] [BAUD] [SLAVES]      (defaults 30 115200 10)
#   LINE=tcp bench/poll_timing.sh ...                   the same over a TCP connection
#
# Needs a built tree (build/bin). The simulator emulates the line's byte times at BAUD.
set -euo pipefail
source "$(dirname "$0")/../script/lib/line.sh"
cd "$(dirname "$0")/.."
seconds=${1:-30}
baud=${2:-115200}
slaves=${3:-10}
case $baud in
  2400) pause=100 ;; 4800) pause=50 ;; 9600) pause=25 ;; 19200) pause=12 ;;
  38400) pause=6 ;; 57600) pause=4 ;; 115200) pause=2 ;; *) pause=500 ;;
esac

work=$(mktemp -d)
link=$work/ttyBENCH
# LINE=tcp: the simulator serves the line on a loopback TCP port, as a device server would.
if [ "${LINE:-pty}" = tcp ]; then line_option=(--tcp 0); else line_option=(--link "$link"); fi
# SIM_FAULT="silent 2" (any simulator command) adds a fault; then the time-outs are reported.
build/bin/zt-modbus-slave-sim "${line_option[@]}" --slaves 1-10 --baud "$baud" --log "$work/sim.log" \
  ${SIM_FAULT:+--fault "$SIM_FAULT"} \
  </dev/null >"$work/sim.out" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; rm -rf "$work"' EXIT
zt_wait_ready "$work/sim.out" || { echo "simulator not ready"; exit 1; }
port=$(sed -n 's/^ready \([^ ]*\).*/\1/p' "$work/sim.out")
[ "${LINE:-pty}" = tcp ] || port=$link
zt_settings "$work/config" "$port" "$baud"
echo "line: $port"

export XDG_CONFIG_HOME="$work/config" WORK="$work" SECONDS_RUN="$seconds" SLAVES="$slaves"
"$ZT_XVFB" bash -c '
  source "$ZT_LINE_SH"
  build/bin/zt-modbus-k & app=$!
  wid=$(zt_find_window) || { echo "no window"; kill $app; exit 1; }
  sleep 1
  zt_set_slaves $wid "$SLAVES"
  sleep 0.3
  zt_click $wid start
  sleep 2
  ticks=$(getconf CLK_TCK)
  read -r _ _ _ _ _ _ _ _ _ _ _ _ _ u0 s0 _ < /proc/$app/stat
  rss0=$(awk "/VmRSS/{print \$2}" /proc/$app/status)
  start=$(date +%s.%N)
  sleep "$SECONDS_RUN"
  read -r _ _ _ _ _ _ _ _ _ _ _ _ _ u1 s1 _ < /proc/$app/stat
  rss1=$(awk "/VmRSS/{print \$2}" /proc/$app/status)
  end=$(date +%s.%N)
  awk -v u=$((u1 - u0)) -v s=$((s1 - s0)) -v t=$ticks -v a=$start -v b=$end -v r0=$rss0 -v r1=$rss1 \
    "BEGIN { printf \"cpu %.1f %% of a core, rss %d kB -> %d kB\n\", 100 * (u + s) / t / (b - a), r0, r1 }"
  kill -TERM $app; wait $app
' 2>/dev/null | tee "$work/cpu.txt"

# Overhead per answered request: the simulator's answer written -> the next request complete,
# less the pause.
awk -v pause=$pause '$2 == "TX" { tx = $1 } $2 == "RX" { if (tx != "") print ($1 - tx) / 1000.0 - pause; tx = "" }' \
  "$work/sim.log" | sort -n > "$work/gaps"
# The simulator's own share: request complete -> its answer written, less the line time
# (1.75 ms silence + 19 bytes of ten bits) of a read of three registers.
awk -v baud=$baud '$2 == "RX" { rx = $1 } $2 == "TX" && rx != "" {
    line = (baud > 19200 ? 1750 : 35e6 / baud) + 19 * 1e7 / baud
    d[++n] = ($1 - rx - line) / 1000.0; s += d[n]; rx = "" }
  END { if (n) printf "simulator late beyond the line time: mean %.2f ms\n", s / n }' "$work/sim.log"
awk -v pause=$pause '{ s += $1 } END { if (NR) printf "overhead beyond the %d ms pause: mean %.2f ms\n", pause, s / NR }' "$work/gaps"
awk '$2 == "RX" { n++; if (first == "") first = $1; last = $1 }
     END { printf "requests %d, %.1f per second\n", n, (n - 1) / ((last - first) / 1e6) }' "$work/sim.log"
awk -v pause=$pause '{ g[NR] = $1 } END {
  printf "overhead beyond the %d ms pause: median %.2f ms, p90 %.2f ms, p99 %.2f ms, max %.2f ms\n",
    pause, g[int(NR * 0.5)], g[int(NR * 0.9)], g[int(NR * 0.99)], g[NR] }' "$work/gaps"
if [ -n "${SIM_FAULT:-}" ]; then
  # An unanswered request -> the next request: the answer time-out.
  awk '$2 == "RX" { if (pending != "") print ($1 - pending) / 1000.0; pending = $1; answered = 0 }
       $2 == "TX" { answered = 1; pending = "" }' "$work/sim.log" | sort -n > "$work/timeouts"
  awk '{ t[NR] = $1 } END { if (NR) printf "answer time-out: %d seen, median %.1f ms, min %.1f ms, max %.1f ms\n",
    NR, t[int(NR * 0.5) + 1], t[1], t[NR] }' "$work/timeouts"
fi
