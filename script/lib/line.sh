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
