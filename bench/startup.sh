#!/usr/bin/env bash
# Start-up time: from starting the program to its first painted window, under Xvfb, RUNS times
# (default 10) against one X server; prints each time and the median.
#
#   bench/startup.sh [RUNS]
#
# Needs a built tree (build/bin). The program runs with settings of its own (a missing port is
# fine: it opens nothing before start is pressed).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" RUNS="$runs"
script/lib/with-xvfb bash -c '
  for _ in $(seq "$RUNS"); do
    start=$(date +%s%6N)
    painted=$(build/bin/zt-modbus-k --exit-after-first-paint 2>/dev/null | awk "/^first paint/ { print \$3 }")
    echo $(( (painted - start) / 1000 ))
  done' | sort -n >"$work/times"
echo "start-up to first painted window (ms): $(tr '\n' ' ' <"$work/times")"
awk '{ t[NR] = $1 } END { printf "median %d ms, min %d ms, max %d ms\n", t[int((NR + 1) / 2)], t[1], t[NR] }' "$work/times"
