# Shared by the scripts that run the program against the slave simulator. Source it.

# zt_settings CONFIG_HOME PORT BAUD: a settings store that points the program at PORT. The other
# line settings are left out and read as their defaults.
zt_settings() {
  mkdir -p "$1/zt-modbus-k"
  cat > "$1/zt-modbus-k/registry.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\\Software\\ZT_MODBUS_K\\ComPort]
"Port"="$2"
"BaudRate"="$3"
REG
}

# zt_wait_ready OUTPUT: waits (5 s at most) for the simulator's ready line in its output file.
zt_wait_ready() {
  for _ in $(seq 100); do
    grep -q '^ready' "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  return 1
}

# Driving the program's window under Xvfb. "$ZT_XVFB" COMMAND runs COMMAND on an X server of its
# own (script/lib/with-xvfb); the shell it starts sources this file again through ZT_LINE_SH
# (functions do not pass through to it).
export ZT_LINE_SH="$(realpath "${BASH_SOURCE[0]}")"
export ZT_XVFB="$(dirname "$ZT_LINE_SH")/with-xvfb"

# zt_find_window: prints the main window's id once it is shown (10 s at most).
zt_find_window() {
  local wid
  for _ in $(seq 100); do
    wid=$(xdotool search --name "ZT_DEZAVA" 2>/dev/null | head -1)
    [ -n "$wid" ] && { echo "$wid"; return 0; }
    sleep 0.1
  done
  return 1
}

# zt_click WID BUTTON: presses settings, start or stop (the buttons' centres in the window).
zt_click() {
  case $2 in
    settings) xdotool mousemove --window "$1" 72 44 click 1 ;;
    start) xdotool mousemove --window "$1" 188 44 click 1 ;;
    stop) xdotool mousemove --window "$1" 304 44 click 1 ;;
    *) echo "zt_click: no button $2" >&2; return 2 ;;
  esac
}

# zt_set_slaves WID COUNT: types the slave count and confirms it with Enter.
zt_set_slaves() {
  xdotool mousemove --window "$1" 400 46 click 1 key ctrl+a type "$2"
  xdotool key --window "$1" Return
}

# zt_png OUT [xwd options]: saves the display (the whole screen unless xwd is given -id WID) as
# a PNG picture.
zt_png() {
  local out=$1
  shift
  [ $# -gt 0 ] || set -- -root
  xwd -silent "$@" | xwdtopnm 2>/dev/null | pnmtopng >"$out"
}
