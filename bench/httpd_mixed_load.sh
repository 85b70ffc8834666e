#!/usr/bin/env bash
# Mixed load on ztMediaHttpd and ztMediaDBd (with a state file, so every write is committed to
# SQLite): wrk with 8 connections for 60 s, loopback only, cycling through the media list, a
# file's metadata and upload-state writes. Prints failed requests (must be 0) and the resident
# memory of the HTTP worker and of the server at start and end (must stay flat), then checks that
# the last state written reads back. Run by hand; needs wrk (Debian package wrk).
#   bench/httpd_mixed_load.sh [SECONDS] [CONNECTIONS]    (defaults 60 and 8; at most 300 and 64)
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/lib/httpd_env.sh
ZT_DB_STATE=1 start_httpd_env httpd_mixed_load 60 300 "$@"

# Requests in turn: list, metadata of a video, upload state writes 0..5 on two files.
cat >"$dir/mix.lua" <<'EOF'
local paths = {
  "/media/list",
  "/media/metadata?t=v5info&p=100ZTCAM/ZX010001.MP4",
}
for s = 0, 5 do
  paths[#paths + 1] = "/media/metadata?t=upload&p=100ZTCAM/ZCAM0002.JPG&status=" .. s
  paths[#paths + 1] = "/media/metadata?t=upload&p=100ZTCAM/ZX010005.MP4&status=" .. s
end
local n = 0
request = function()
  n = n + 1
  return wrk.format("GET", paths[(n % #paths) + 1])
end
EOF

for _ in $(seq 20); do curl -s -o /dev/null "${base}media/list"; done
worker_before=$(rss "$worker"); db_before=$(rss "$db")
wrk -t 2 -c "$conns" -d "${seconds}s" -s "$dir/mix.lua" "${base%/}" >"$dir/wrk.out"
worker_after=$(rss "$worker"); db_after=$(rss "$db")
[ "$(pgrep -P "$httpd")" = "$worker" ] || echo "httpd_mixed_load: the worker was replaced during the run" >&2

total=$(awk '/requests in/ { print $1 }' "$dir/wrk.out")
rps=$(awk '/^Requests\/sec:/ { print $2 }' "$dir/wrk.out")
non2xx=$(awk '/Non-2xx/ { print $NF }' "$dir/wrk.out")
sockerr=$(awk '/Socket errors/ { gsub(",", ""); print $4 + $6 + $8 + $10 }' "$dir/wrk.out")
failed=$(( ${non2xx:-0} + ${sockerr:-0} ))
readback=$(curl -s "${base}media/metadata?t=upload&p=100ZTCAM/ZCAM0002.JPG")

echo "ztMediaHttpd + ztMediaDBd --state, mixed list/metadata/upload writes, $conns connections, ${seconds} s"
echo "  requests:   $total ($rps per second), failed: $failed"
echo "  worker RSS: ${worker_before} kB -> ${worker_after} kB; server RSS: ${db_before} kB -> ${db_after} kB"
echo "  read back:  $(tr -d '\r\n' <<<"$readback" | tail -c 60)"
echo "figure httpd_mixed_failed_requests $failed requests - - =0 $([ "$failed" -eq 0 ] && echo ok || echo MISS)"
echo "figure httpd_mixed_requests_per_s $rps req/s - - - ok"
# Flat: the worker ends within 5 % of its size after the warm-up.
rss_ratio=$(awk -v a="$worker_after" -v b="$worker_before" 'BEGIN { printf "%.3f", a / b }')
rss_ok=$(awk -v r="$rss_ratio" 'BEGIN { print r <= 1.05 ? "ok" : "MISS" }')
echo "figure httpd_mixed_worker_rss_end_vs_start $worker_after kB $worker_before $rss_ratio <=1.05 $rss_ok"
echo "figure httpd_mixed_server_rss_growth_kB $(( db_after - db_before )) kB - - - ok"
grep -q '"us"' <<<"$readback" || { echo "httpd_mixed_load: the upload state does not read back" >&2; exit 3; }
[ "$failed" -eq 0 ] && [ "$rss_ok" = ok ] || exit 3
