#!/usr/bin/env bash
# The real program under Xvfb is ended by a signal while a modal window is open: SIGTERM with
# the setup dialog showing, then Ctrl+C (SIGINT) with the box that says the port cannot be
# opened. Each time the process ends within a few seconds and its settings are saved first.
set -euo pipefail
source "$(dirname "$0")/../../script/lib/line.sh"
program=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export WORK="$work" PROGRAM="$program"
"$ZT_XVFB" bash -c '
  source "$ZT_LINE_SH"
  set -u
  # Gone, or a zombie waiting for this shell to collect it.
  gone() { [ ! -e /proc/$1 ] || [ "$(cut -d" " -f3 /proc/$1/stat 2>/dev/null)" = Z ]; }
  now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
  # end_while_open NAME BUTTON WINDOW SIGNAL: opens the modal window WINDOW (its exact title)
  # with BUTTON, sends SIGNAL and waits (10 s at most) for the program to end.
  end_while_open() {
    export XDG_CONFIG_HOME="$WORK/$1"
    zt_settings "$XDG_CONFIG_HOME" "$WORK/ttyNONE" 9600
    "$PROGRAM" 2>"$WORK/$1.err" & app=$!
    wid=$(zt_find_window) || { echo "$1: no window"; kill -KILL $app; return 1; }
    sleep 1
    # The focus is elsewhere, as in the terminal Ctrl+C is typed in: the box has no owner window.
    xdotool windowfocus --sync "$(xwininfo -root | awk "/Window id/ { print \$4 }")"
    # A click the loaded machine lost is made again; one that lands while the modal window is
    # on its way goes to the blocked main window and changes nothing.
    for _ in 1 2 3; do
      zt_click "$wid" "$2"
      for _ in $(seq 30); do xdotool search --name "^$3\$" >/dev/null 2>&1 && break 2; sleep 0.1; done
    done
    xdotool search --name "^$3\$" >/dev/null 2>&1 || { echo "$1: no $3"; kill -KILL $app; return 1; }
    asked=$(now_ms)
    kill -"$4" $app
    for _ in $(seq 100); do gone $app && break; sleep 0.1; done
    gone $app || { echo "$1: still running 10 s after SIG$4 with $3 open"; kill -KILL $app; return 1; }
    status=0
    wait $app || status=$?
    app=""
    echo "$1: ended $(( $(now_ms) - asked )) ms after SIG$4, exit status $status"
    [ "$status" = 0 ] || return 1
    grep -q "\"Parity\"=\"None\"" "$XDG_CONFIG_HOME/zt-modbus-k/registry.reg" ||
      { echo "$1: settings not saved"; return 1; }
  }
  failed=0
  end_while_open dialog settings Setup TERM || failed=1
  end_while_open box start ZT_MODBUS_K INT || failed=1
  exit $failed
'
echo "1 passed, 0 failed"
