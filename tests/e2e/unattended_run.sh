#!/usr/bin/env bash
# The program's run without a window, against the slave simulator on a pseudo-terminal and with
# no display at all: ten slaves, one silent and one whose answers carry a bad CRC (status 1, the
# report's counts equal to the simulator's own); then all answering (status 0); a port that does
# not exist (status 2 and the reason); Ctrl+C in the middle (stopped cleanly, report written); a
# progress line a second on a terminal. The stored settings give the port and stay untouched.
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
fail() { echo "FAIL: $*"; exit 1; }

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_CONFIG_HOME="$work/config"
link="$work/ttySIM"
zt_settings "$XDG_CONFIG_HOME" "$link" 115200
settings="$XDG_CONFIG_HOME/zt-modbus-k/registry.reg"
before=$(sha256sum "$settings")

mkfifo "$work/ctl"
"$simulator" --link "$link" --slaves 1-10 --baud 115200 --control "$work/ctl" \
  --fault "silent 4" --fault "badcrc 7" </dev/null >"$work/sim.out" 2>&1 &
sim_pid=$!
zt_wait_ready "$work/sim.out" || fail "simulator not ready"

# sim_stats: the simulator's counts so far, as "ADDRESS REQUESTS" lines and "answers N".
sim_stats() {
  local lines
  lines=$(wc -l <"$work/sim.out")
  echo stats >"$work/ctl"
  for _ in $(seq 50); do
    tail -n +"$((lines + 1))" "$work/sim.out" | grep -q "^stats total" && break
    sleep 0.05
  done
  tail -n +"$((lines + 1))" "$work/sim.out" |
    awk '$1 == "stats" && $3 == "03" { print $2, $4 } $2 == "total" { print "answers", $8 }'
}
sim_command() { echo "$1" >"$work/ctl"; sleep 0.2; }

# report_counts REPORT: "ADDRESS REQUESTS" lines and "answers N" (good answers + bad CRCs).
report_counts() {
  python3 - "$1" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))
for s in r["slaves"]:
    print(s["address"], s["requests"])
print("answers", sum(s["answered"] + s["crcErrors"] for s in r["slaves"]))
PY
}
field() { python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$1" "$2"; }

# 1. One silent slave and one with bad CRCs: status 1, counts as the simulator's.
status=0
"$program" --run --slaves 10 --polls 60 --report "$work/r1.json" --capture "$work/c1.log" >"$work/r1.out" 2>"$work/r1.err" || status=$?
[ "$status" = 1 ] || { cat "$work/r1.out" "$work/r1.err"; fail "status $status, not 1, with a silent slave"; }
[ "$(sim_stats)" = "$(report_counts "$work/r1.json")" ] ||
  { diff <(sim_stats) <(report_counts "$work/r1.json"); fail "report counts differ from the simulator's"; }
[ "$(field "$work/r1.json" 'r["totals"]["requests"], r["totals"]["missed"], r["stoppedBy"]')" = "(60, 12, 'polls')" ] ||
  fail "totals: $(field "$work/r1.json" 'r["totals"]')"
[ "$(field "$work/r1.json" '[(s["answered"], s["crcErrors"]) for s in r["slaves"] if s["address"] in (4, 7)]')" = "[(0, 0), (0, 6)]" ] ||
  fail "slaves 4 and 7: $(field "$work/r1.json" 'r["slaves"][3], r["slaves"][6]')"
grep -q "^FAILED (100 % needed): slave 4 answered 0 of 6 (0 %); slave 7 answered 0 of 6 (0 %).$" "$work/r1.out" ||
  { cat "$work/r1.out"; fail "summary"; }
[ "$(grep -c " Tx 0" "$work/c1.log")" = 60 ] && grep -q " ## Tx=60 Er=12$" "$work/c1.log" ||
  { tail "$work/c1.log"; fail "the capture of the run"; }
if grep -q "answering" "$work/r1.out"; then fail "progress lines when the output is no terminal"; fi
echo "silent and bad-CRC slaves: status 1, counts equal to the simulator's"

# 2. All answering, for a time: status 0; the report on standard output, the summary on stderr.
sim_command "speak 4"
sim_command "badcrc 7 0"
status=0
"$program" --run --slaves 10 --seconds 1.5 --report - >"$work/r2.json" 2>"$work/r2.err" || status=$?
[ "$status" = 0 ] || { cat "$work/r2.err"; fail "status $status, not 0, with all answering"; }
[ "$(field "$work/r2.json" 'r["passed"], r["stoppedBy"], r["totals"]["missed"]')" = "(True, 'seconds', 0)" ] ||
  fail "report of the good run: $(field "$work/r2.json" 'r["totals"]')"
grep -q "^PASSED: every polled slave answered at least 100 % of its requests.$" "$work/r2.err" || fail "summary on stderr"
echo "all answering: status 0, $(field "$work/r2.json" 'r["totals"]["requests"]') requests in 1.5 s"

# 3. A port that does not exist: status 2 and the reason. No settings stored at all: none are made.
status=0
XDG_CONFIG_HOME="$work/empty" "$program" --run --port "$work/ttyNONE" --report "$work/r3.json" \
  >"$work/r3.out" 2>"$work/r3.err" || status=$?
[ "$status" = 2 ] || fail "status $status, not 2, for a missing port"
grep -q "ttyNONE" "$work/r3.err" || { cat "$work/r3.err"; fail "no reason for the missing port"; }
[ ! -e "$work/empty/zt-modbus-k/registry.reg" ] || fail "a settings file was made"
echo "missing port: status 2: $(tr '\n' ' ' <"$work/r3.err")"

# 4. Ctrl+C (SIGINT) and SIGTERM stop at the next tick and still report.
for signal in INT TERM; do
  "$program" --run --slaves 10 --report "$work/r4.json" >"$work/r4.out" 2>&1 &
  run=$!
  sleep 1.5
  kill -"$signal" "$run"
  status=0
  wait "$run" || status=$?
  [ "$status" = 0 ] || { cat "$work/r4.out"; fail "status $status after SIG$signal"; }
  [ "$(field "$work/r4.json" 'r["stoppedBy"]')" = signal ] || fail "stoppedBy after SIG$signal"
done
echo "SIGINT and SIGTERM: stopped, report written"

# 5. On a terminal: one progress line a second.
script -qec "$program --run --slaves 10 --seconds 2.5" /dev/null >"$work/r5.out" </dev/null
progress=$(grep -c "s  Tx=[0-9]*  Er=0  answering 10/10" "$work/r5.out" || true)
[ "$progress" = 2 ] || { cat "$work/r5.out"; fail "$progress progress lines in 2.5 s, not 2"; }
echo "terminal: $progress progress lines"

[ "$(sha256sum "$settings")" = "$before" ] || fail "the settings file was written"
[ ! -e "$settings.lock" ] || fail "a lock file was made"
echo "settings file untouched"
