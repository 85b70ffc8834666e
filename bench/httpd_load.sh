#!/usr/bin/env bash
# Load on ztMediaHttpd: wrk with 8 connections for 30 s on /media/list of the sample card, against
# a private ztMediaDBd, all on loopback. Prints requests/s, p99 latency, errors (must be 0) and the
# worker's resident memory before and after (must not grow), then the same as figure lines for
# bench/run. Run by hand, not by CI; needs wrk (Debian package wrk, not installed by scripts/setup).
#   bench/httpd_load.sh [SECONDS] [CONNECTIONS]       (defaults 30 and 8; at most 120 and 64)
set -euo pipefail
cd "$(dirname "$0")/.."

. bench/lib/httpd_env.sh
start_httpd_env httpd_load 30 120 "$@"
url="${base}media/list"

# Warm up (threads, allocator arenas) so that "before" is the steady size, not the empty one.
for _ in $(seq 50); do curl -s -o /dev/null "$url"; done
bytes=$(curl -s "$url" | wc -c)
before=$(rss "$worker")
wrk -t 2 -c "$conns" -d "${seconds}s" --latency "$url" >"$dir/wrk.out"
after=$(rss "$worker")
[ "$(pgrep -P "$httpd")" = "$worker" ] || echo "httpd_load: the worker was replaced during the run" >&2

rps=$(awk '/^Requests\/sec:/ { print $2 }' "$dir/wrk.out")
p99=$(awk '$1 == "99%" { print $2 }' "$dir/wrk.out")
total=$(awk '/requests in/ { print $1 }' "$dir/wrk.out")
non2xx=$(awk '/Non-2xx/ { print $NF }' "$dir/wrk.out")
sockerr=$(awk '/Socket errors/ { gsub(",", ""); print $4 + $6 + $8 + $10 }' "$dir/wrk.out")
errors=$(( ${non2xx:-0} + ${sockerr:-0} ))

echo "ztMediaHttpd /media/list of the sample card ($bytes bytes of JSON per response), $conns connections, ${seconds} s"
echo "  requests:     $total ($rps per second)"
echo "  p99 latency:  $p99"
echo "  errors:       $errors"
echo "  worker RSS:   ${before} kB before, ${after} kB after ($(( after - before )) kB)"

# The figures for bench/run's table. The server's time per request is 1/rps over the whole run;
# its floor is the same list answered in-process (bench_media_list).
inproc=$("$bin/bench_media_list" --benchmark_filter=SampleCard 2>/dev/null |
         awk '$1 == "figure" && $2 == "media_list_sample_card_in_process_us" { print $3 }')
verdict() { awk -v v="$1" -v op="$2" -v t="$3" 'BEGIN { ok = op == "<=" ? v <= t * 1.2 : v * 1.2 >= t; print ok ? "ok" : "MISS" }'; }
per_request=$(awk -v r="$rps" 'BEGIN { printf "%.1f", 1e6 / r }')
figures() {
  echo "figure httpd_list_requests_per_s $rps req/s 1 $rps >=1000 $(verdict "$rps" ">=" 1000)"
  echo "figure httpd_list_errors $errors requests - - =0 $([ "$errors" -eq 0 ] && echo ok || echo MISS)"
  echo "figure httpd_list_p99 $p99 - - - - ok"
  echo "figure httpd_worker_rss_growth_kB $(( after - before )) kB 1 $(( after - before )) <=1024 $(verdict $(( after - before )) "<=" 1024)"
  if [ -n "$inproc" ]; then
    ratio=$(awk -v a="$per_request" -v b="$inproc" 'BEGIN { printf "%.3f", a / b }')
    echo "figure httpd_time_per_request_vs_in_process $per_request us $inproc $ratio <=1.5 $(verdict "$ratio" "<=" 1.5)"
  fi
}
out=$(figures)
echo "$out"
grep -q ' MISS$' <<<"$out" && exit 3
exit 0


