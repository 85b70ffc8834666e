#!/usr/bin/env bash
# Concurrency of ztMediaHttpd on the sample card, as ratios within one run (wrk, loopback):
#  - /media/list with 8 connections against 1: requests per second (target >= 1.6x on 2 cores);
#  - a probe client (wrk, 1 connection) while 200 hostile connections are open (idle ones, ones
#    that send a request a byte a second, ones that send requests and never read) against the
#    same probe without them (target >= 0.8x), and the probe's errors (must be 0).
# Run by hand or by bench/run; needs wrk (Debian package wrk) and python3.
#   bench/httpd_concurrency.sh [SECONDS]     (seconds per round, default 10, at most 60)
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/lib/httpd_env.sh
start_httpd_env httpd_concurrency 10 60 "${1:-}" 8
url="${base}media/list"
port=${base##*:}; port=${port%/}
for _ in $(seq 50); do curl -s -o /dev/null "$url"; done

# Requests per second of wrk with $1 connections; errors are added to $dir/errors.
rate() {
  wrk -t "$(( $1 < 2 ? 1 : 2 ))" -c "$1" -d "${seconds}s" "$url" >"$dir/wrk.out"
  awk '/Non-2xx/ { e += $NF } /Socket errors/ { gsub(",", ""); e += $4 + $6 + $8 + $10 }
       END { print e + 0 }' "$dir/wrk.out" >>"$dir/errors"
  awk '/^Requests\/sec:/ { print $2 }' "$dir/wrk.out"
}

# Opens 200 hostile connections and holds them until killed.
hostile() {
  python3 - "$port" >"$dir/hostile.log" 2>&1 <<'PY' &
import socket, sys, time
port = int(sys.argv[1])
def conn(first=b""):
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    if first:
        s.sendall(first)
    return s
idle = [conn() for _ in range(67)]
deaf = [conn(b"GET /media/list HTTP/1.1\r\nHost: x\r\n\r\n" * 200) for _ in range(67)]
slow = [conn() for _ in range(66)]
line = b"GET /media/list HTTP/1.1\r\nHost: x\r\n\r\n"
for i in range(10**6):
    for s in slow:
        try:
            s.send(line[i % len(line):i % len(line) + 1])
        except OSError:
            pass
    time.sleep(1)
PY
  echo $!
}

one=$(rate 1); eight=$(rate 8)
alone=$(rate 1)
hostile_pid=$(hostile); sleep 2
besieged=$(rate 1)
kill "$hostile_pid"; wait "$hostile_pid" 2>/dev/null || true
errors=$(awk '{ e += $1 } END { print e + 0 }' "$dir/errors")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v * 1.2 >= t) ? "ok" : "MISS" }'; }
scale=$(ratio "$eight" "$one"); siege=$(ratio "$besieged" "$alone")
echo "ztMediaHttpd /media/list of the sample card, ${seconds} s per round"
echo "  1 connection: $one req/s; 8 connections: $eight req/s (${scale}x)"
echo "  probe alone: $alone req/s; beside 200 hostile connections: $besieged req/s (${siege}x)"
out=$(
  echo "figure httpd_list_8_connections_vs_1 $eight req/s $one $scale >=1.6 $(verdict "$scale" 1.6)"
  echo "figure httpd_probe_with_200_hostile_vs_alone $besieged req/s $alone $siege >=0.8 $(verdict "$siege" 0.8)"
  echo "figure httpd_concurrency_errors $errors requests - - =0 $([ "$errors" -eq 0 ] && echo ok || echo MISS)"
)
echo "$out"
grep -q ' MISS$' <<<"$out" && exit 3
exit 0
