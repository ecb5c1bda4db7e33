#!/usr/bin/env bash
# The program and mbpoll (Debian's general Modbus command-line client) side by side in one run,
# each against a simulator of its own on a fresh pseudo-terminal pair: ten slaves, three
# holding registers each, the line's byte times emulated at BAUD. The program runs without a
# window (--run: the window's own poll cycle); mbpoll polls addresses 1..10 in its fastest loop
# (-l 11, the shortest poll rate it takes). Printed for both: polls per second, CPU ms per poll,
# and the turnaround (the simulator's answer written -> the next request complete, less the
# pause each leaves after an answer: the program's by the baud rate, mbpoll's poll rate of
# 11 ms, which it sleeps after every slave) at the median and p99, then the ratios.
#
#   bench/versus_mbpoll.sh [SECONDS] [BAUD]      (defaults 20 115200)
#   ZT_BIN=/path/to/zt-modbus-k bench/...         another build of the program (before/after)
#
# Needs a built tree (build/bin) and mbpoll (script/bootstrap installs it).
set -euo pipefail
source "$(dirname "$0")/../script/lib/line.sh"
cd "$(dirname "$0")/.."
seconds=${1:-20}
baud=${2:-115200}
case $baud in
  2400) pause=100 ;; 4800) pause=50 ;; 9600) pause=25 ;; 19200) pause=12 ;;
  38400) pause=6 ;; 57600) pause=4 ;; 115200) pause=2 ;; *) echo "baud: one of 2400..115200" >&2; exit 2 ;;
esac
command -v mbpoll >/dev/null || { echo "mbpoll is missing: script/bootstrap installs it" >&2; exit 2; }

work=$(mktemp -d)
sim="" client=""
trap 'kill $client $sim 2>/dev/null; rm -rf "$work"' EXIT
ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Microseconds of CLOCK_MONOTONIC, the simulator log's clock.
now_us() { python3 -c 'import time; print(int(time.monotonic() * 1e6))'; }

# measure NAME PAUSE COMMAND...: runs COMMAND against a fresh simulator and prints
# "NAME polls_per_s cpu_ms_per_poll p50 p99" for the SECONDS in the middle of its run.
measure() {
  local name=$1 gap=$2
  shift 2
  local link="$work/tty-$name"
  build/bin/zt-modbus-slave-sim --link "$link" --slaves 1-10 --baud "$baud" --log "$work/$name.log" \
    </dev/null >"$work/$name.sim" 2>&1 &
  sim=$!
  zt_wait_ready "$work/$name.sim" || { echo "simulator not ready" >&2; exit 1; }
  LINK=$link "$@" >/dev/null 2>"$work/$name.err" &
  client=$!
  sleep 1.5
  local c0 t0 c1 t1
  c0=$(cpu_ticks $client); t0=$(now_us)
  sleep "$seconds"
  c1=$(cpu_ticks $client); t1=$(now_us)
  kill -TERM $client 2>/dev/null; wait $client 2>/dev/null || true
  kill $sim; wait $sim 2>/dev/null || true
  client="" sim=""
  # Requests completed in the window, and each answer -> next request gap less the pause.
  awk -v t0=$t0 -v t1=$t1 -v pause=$gap '
    $1 < t0 || $1 > t1 { next }
    $2 == "RX" { n++; if (tx != "") print ($1 - tx) / 1000.0 - pause > "/dev/stderr"; tx = "" }
    $2 == "TX" { tx = $1 }
    END { print n }' "$work/$name.log" 2>"$work/$name.gaps" >"$work/$name.n"
  sort -n "$work/$name.gaps" -o "$work/$name.gaps"
  awk -v name=$name -v n="$(cat "$work/$name.n")" -v cpu=$((c1 - c0)) -v hz=$ticks \
      -v span=$(( t1 - t0 )) '{ g[NR] = $1 } END {
    printf "%s %.1f %.3f %.2f %.2f\n", name, n / (span / 1e6), 1000 * cpu / hz / n,
      g[int(NR * 0.5) + 1], g[int(NR * 0.99) + 1] }' "$work/$name.gaps"
}

run_tool() {
  XDG_CONFIG_HOME="$work/config" exec "${ZT_BIN:-build/bin/zt-modbus-k}" --run --port "$LINK" --baud "$baud" \
    --slaves 10 --seconds 3600
}
run_mbpoll() {
  exec mbpoll -m rtu -b "$baud" -P none -a 1:10 -t 4 -r 1 -c 3 -l 11 -o 0.5 "$LINK"
}
export -f run_tool run_mbpoll
export baud work

tool=$(measure zt-modbus-k $pause bash -c run_tool)
peer=$(measure mbpoll 11 bash -c run_mbpoll)
echo "$baud baud, ten slaves, $seconds s each"
printf "%-12s %10s %14s %18s %18s\n" "" "polls/s" "CPU ms/poll" "turnaround p50 ms" "turnaround p99 ms"
for line in "$tool" "$peer"; do
  read -r name polls cpu p50 p99 <<<"$line"
  printf "%-12s %10s %14s %18s %18s\n" "$name" "$polls" "$cpu" "$p50" "$p99"
done
read -r _ tp tc t50 t99 <<<"$tool"
read -r _ mp mc m50 m99 <<<"$peer"
awk -v tp=$tp -v tc=$tc -v mp=$mp -v mc=$mc -v t50=$t50 -v t99=$t99 -v m50=$m50 -v m99=$m99 'BEGIN {
  printf "%-12s %10.2f %14.2f %18.2f %18.2f\n", "ratio", tp / mp, tc / mc,
    (m50 > 0 ? t50 / m50 : 0), (m99 > 0 ? t99 / m99 : 0) }'
