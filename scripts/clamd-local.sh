#!/usr/bin/env bash
# A private ClamAV daemon for tests and measurements, offline: one signature file of its own, a
# free loopback port, its pid, log and socket in a folder of the caller's. Source this file, then:
#   clamd_start <folder> <signature name> <bytes to detect>   sets CLAMD_PORT and CLAMD_PID
#   clamd_stop                                               ends it (safe to call twice)
# The signature is a .ndb line "<name>:0:*:<hex>"; the daemon reports it as "<name>.UNOFFICIAL".

clamd_free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

clamd_start() {
  local dir=$1 name=$2 bytes=$3 waited=0
  command -v clamd >/dev/null || { echo "clamd: not installed (scripts/setup.sh installs clamav-daemon)" >&2; return 1; }
  mkdir -p "$dir/db"
  printf '%s:0:*:%s\n' "$name" "$(printf '%s' "$bytes" | od -An -tx1 -v | tr -d ' \n')" > "$dir/db/torvane.ndb"
  CLAMD_PORT=$(clamd_free_port)
  cat > "$dir/clamd.conf" <<CONF
DatabaseDirectory $dir/db
TCPSocket $CLAMD_PORT
TCPAddr 127.0.0.1
Foreground yes
PidFile $dir/clamd.pid
LogFile $dir/clamd.log
LocalSocket $dir/clamd.sock
CONF
  clamd -c "$dir/clamd.conf" > "$dir/clamd.out" 2>&1 &
  CLAMD_PID=$!
  until (exec 3<>"/dev/tcp/127.0.0.1/$CLAMD_PORT") 2>/dev/null; do
    if ! kill -0 "$CLAMD_PID" 2>/dev/null || [ $waited -ge 1200 ]; then
      echo "clamd: did not come up on port $CLAMD_PORT:" >&2
      cat "$dir/clamd.out" "$dir/clamd.log" >&2 2>/dev/null || true
      clamd_stop
      return 1
    fi
    sleep 0.05
    waited=$((waited + 1))
  done
}

clamd_stop() {
  if [ -n "${CLAMD_PID:-}" ]; then
    kill "$CLAMD_PID" 2>/dev/null || true
    wait "$CLAMD_PID" 2>/dev/null || true
    CLAMD_PID=
  fi
}
