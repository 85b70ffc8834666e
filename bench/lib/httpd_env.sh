# Sourced by the ztMediaHttpd load scripts: checks SECONDS and CONNECTIONS, starts a private
# ztMediaDBd on the sample card (with a state file in its folder when ZT_DB_STATE=1) and a
# ztMediaHttpd on a free loopback port, and stops both on exit. Sets: bin, seconds, conns, dir,
# db (server pid), httpd (supervisor pid), worker (worker pid), base (http://127.0.0.1:PORT/).
#   start_httpd_env NAME DEFAULT_SECONDS MAX_SECONDS [SECONDS] [CONNECTIONS]
rss() { awk '/^VmRSS/ { print $2 }' "/proc/$1/status"; }

start_httpd_env() {
  local name=$1 max=$3
  bin=${ZT_BIN_DIR:-build/bin}
  seconds=${4:-$2}
  conns=${5:-8}
  command -v wrk >/dev/null || { echo "$name: wrk is missing (apt-get install wrk)" >&2; exit 1; }
  [[ $seconds =~ ^[0-9]+$ && $seconds -ge 1 && $seconds -le $max ]] || { echo "$name: SECONDS 1..$max" >&2; exit 1; }
  [[ $conns =~ ^[0-9]+$ && $conns -ge 1 && $conns -le 64 ]] || { echo "$name: CONNECTIONS 1..64" >&2; exit 1; }
  for prog in ztMediaDBd ztMediaHttpd; do
    [ -x "$bin/$prog" ] || { echo "$name: $bin/$prog is missing; build first" >&2; exit 1; }
  done
  dir=$(mktemp -d "/tmp/$name-XXXXXX")
  export ZT_IPC_DIR=$dir/ipc
  pids=()
  trap stop_httpd_env EXIT
  local state=()
  [ "${ZT_DB_STATE:-0}" = 1 ] && state=(--state "$dir/card.sqlite")
  "$bin/ztMediaDBd" --manifest examples/sample-card.json "${state[@]}" 2>"$dir/db.log" &
  db=$!
  pids+=("$db")
  for _ in $(seq 100); do [ -S "$ZT_IPC_DIR/rtos_media_db" ] && break; sleep 0.1; done
  [ -S "$ZT_IPC_DIR/rtos_media_db" ] || { echo "$name: ztMediaDBd did not start" >&2; cat "$dir/db.log" >&2; exit 1; }
  mkfifo "$dir/httpd.out"
  "$bin/ztMediaHttpd" --port 0 >"$dir/httpd.out" 2>"$dir/httpd.log" &
  httpd=$!
  pids+=("$httpd")
  local line
  read -r -t 10 line <"$dir/httpd.out" || { echo "$name: ztMediaHttpd did not start" >&2; cat "$dir/httpd.log" >&2; exit 1; }
  base="${line##* }"
  worker=$(pgrep -P "$httpd")
}

stop_httpd_env() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$dir"
}
