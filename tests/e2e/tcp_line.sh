#!/usr/bin/env bash
# The program on a line behind a TCP port, without a window: ten slaves of the simulator's --tcp
# line polled, the connection dropped by the server side (said, and polling resumed on a new
# connection); a server that takes the connection and never answers (every request timed out,
# the cycle never stuck); a server that stops taking connections while the program tries to get
# back (it still stops at once on SIGTERM: the connect runs in the background); a refused port
# and a bad name (status 2 and the reason).
set -euo pipefail
program=$1
simulator=$2

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do { kill "$pid" && wait "$pid"; } 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
field() { python3 -c 'import json,sys; r=json.load(open(sys.argv[1])); print(eval(sys.argv[2]))' "$1" "$2"; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_CONFIG_HOME="$work/config"

# start_sim NAME [OPTIONS]: the simulator on a TCP port of its choice; its name in $line.
start_sim() {
  local name=$1
  shift
  mkfifo "$work/$name.ctl"
  "$simulator" --tcp 0 --slaves 1-10 --baud 115200 --control "$work/$name.ctl" \
    --log "$work/$name.log" "$@" </dev/null >"$work/$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do grep -q '^ready' "$work/$name.out" && break; sleep 0.05; done
  line=$(sed -n 's/^ready //p' "$work/$name.out")
  [ -n "$line" ] || fail "simulator not ready"
}

# 1. Ten slaves over TCP; the server drops the connection after two seconds.
start_sim sim
(sleep 2; echo drop >"$work/sim.ctl") &
status=0
"$program" --run --port "$line" --baud 115200 --slaves 10 --seconds 5 --report "$work/r1.json" \
  >"$work/r1.out" 2>"$work/r1.err" || status=$?
[ "$status" -le 1 ] || { cat "$work/r1.err"; fail "status $status"; }
grep -q "串口已断开：$line，等待重新连接" "$work/r1.err" || { cat "$work/r1.err"; fail "the drop was not said"; }
grep -q "串口已恢复：$line，继续轮询" "$work/r1.err" || { cat "$work/r1.err"; fail "no resume"; }
heard=$(grep -c " RX " "$work/sim.log" || true)
after=$(sed -n '/LINE down/,$p' "$work/sim.log" | grep -c " RX " || true)
tx=$(field "$work/r1.json" 'r["totals"]["requests"]')
missed=$(field "$work/r1.json" 'r["totals"]["missed"]')
answering=$(field "$work/r1.json" 'sum(1 for s in r["slaves"] if s["answered"] > 50)')
echo "ten slaves over TCP, dropped once: Tx=$tx missed=$missed heard=$heard ($after after the drop)"
# The one request under way as the connection went is all that may go unheard.
[ "$tx" -ge "$heard" ] && [ "$tx" -le $(( heard + 1 )) ] || fail "requests sent into the lost line"
[ "$missed" -le 1 ] || fail "$missed missed answers"
[ "$answering" = 10 ] || fail "only $answering slaves answered throughout"
[ "$after" -gt 300 ] || fail "polling did not go on after the drop"

# 2. A server that takes the connection and never answers: every request times out after its
# 500 ms, and the run ends on time.
silent_port=$(free_port)
python3 - "$silent_port" <<'PY' &
import socket, sys
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(1)
client, _ = server.accept()
while client.recv(4096):
    pass
PY
pids+=($!)
sleep 0.3
start=$(now_ms)
status=0
"$program" --run --port "tcp://127.0.0.1:$silent_port" --slaves 2 --seconds 3 \
  --report "$work/r2.json" >"$work/r2.out" 2>"$work/r2.err" || status=$?
took=$(( $(now_ms) - start ))
[ "$status" = 1 ] || { cat "$work/r2.out" "$work/r2.err"; fail "status $status, not 1, with nobody answering"; }
requests=$(field "$work/r2.json" 'r["totals"]["requests"]')
answered=$(field "$work/r2.json" 'sum(s["answered"] for s in r["slaves"])')
echo "a server that never answers: $requests requests, $answered answered, the run took $took ms"
[ "$answered" = 0 ] && [ "$requests" -ge 5 ] && [ "$requests" -le 7 ] || fail "not one request every 500 ms"
[ "$took" -lt 4500 ] || fail "a 3 s run took $took ms"

# 3. The server goes and its port stops taking connections (as a gateway switched off): the
# program keeps trying in the background, and SIGTERM still ends it at once.
start_sim gone
port=${line##*:}
"$program" --run --port "$line" --baud 115200 --slaves 10 --report "$work/r3.json" \
  >"$work/r3.out" 2>"$work/r3.err" &
run=$!
pids+=($run)
sleep 1
kill "${pids[-2]}"
python3 - "$port" <<'PY' &
import socket, sys, time
# A full backlog: every further connect waits for an answer that never comes.
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", int(sys.argv[1])))
server.listen(0)
blocker = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
time.sleep(60)
PY
pids+=($!)
sleep 2
start=$(now_ms)
kill -TERM "$run"
status=0
wait "$run" || status=$?
took=$(( $(now_ms) - start ))
grep -q "串口已断开" "$work/r3.err" || { cat "$work/r3.err"; fail "the loss was not said"; }
if grep -q "串口已恢复" "$work/r3.err"; then fail "resumed on a port that takes no connection"; fi
[ "$(field "$work/r3.json" 'r["stoppedBy"]')" = signal ] || fail "not stopped by the signal"
echo "a port that stopped answering connects: stopped $took ms after SIGTERM (status $status)"
[ "$took" -lt 1000 ] || fail "the program was held $took ms by a connect"

# 4. A refused port and a bad name: status 2 and the reason, at once.
refused=$(free_port)
for name in "tcp://127.0.0.1:$refused" "tcp://[::1:502"; do
  start=$(now_ms)
  status=0
  "$program" --run --port "$name" >"$work/r4.out" 2>"$work/r4.err" || status=$?
  took=$(( $(now_ms) - start ))
  [ "$status" = 2 ] || fail "status $status, not 2, for $name"
  case $name in
    *:$refused) grep -q "127.0.0.1:$refused 拒绝连接" "$work/r4.err" || { cat "$work/r4.err"; fail "no reason"; } ;;
    *) grep -q "“tcp://\[::1:502”不是网络端口名称" "$work/r4.err" || { cat "$work/r4.err"; fail "no reason"; } ;;
  esac
  echo "$name: status 2 in $took ms: $(grep -v QStandardPaths "$work/r4.err" | tr '\n' ' ')"
done
echo "1 passed, 0 failed"
