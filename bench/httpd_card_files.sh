#!/usr/bin/env bash
# The card's files over ztMediaHttpd --card: a 100 MB file downloaded with curl from ztMediaHttpd
# and from lighttpd serving the same folder on the same machine (best of ROUNDS, interleaved;
# target at least 0.8x lighttpd's rate), and the thumbnails of a page of 100 photos (4000x3000,
# no embedded thumbnail: every one decoded at reduced scale) fetched on one keep-alive
# connection, per second. Installs lighttpd (Debian package) when it is missing; run by hand.
#   bench/httpd_card_files.sh [ROUNDS]      (default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${ZT_BIN_DIR:-build/bin}
rounds=${1:-5}
[[ $rounds =~ ^[0-9]+$ && $rounds -ge 1 && $rounds -le 50 ]] || { echo "httpd_card_files: ROUNDS 1..50" >&2; exit 1; }
[ -x "$bin/ztMediaHttpd" ] || { echo "httpd_card_files: $bin/ztMediaHttpd is missing; build first" >&2; exit 1; }
if ! command -v lighttpd >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends lighttpd >/dev/null
fi
command -v ffmpeg >/dev/null || { echo "httpd_card_files: ffmpeg is missing (scripts/setup installs it)" >&2; exit 1; }

dir=$(mktemp -d /tmp/httpd_card_files-XXXXXX)
pids=()
stop() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap stop EXIT

folder=$dir/card/DCIM/100ZTCAM
mkdir -p "$folder"
head -c 100000000 /dev/urandom >"$folder/ZX010001.MP4"
ffmpeg -v error -f lavfi -i testsrc2=size=4000x3000 -frames:v 1 -q:v 3 -f mjpeg "$dir/photo.jpg"
photos=()
for i in $(seq 1 100); do
  name=$(printf 'ZCAM%04d.JPG' "$i")
  cp "$dir/photo.jpg" "$folder/$name"
  photos+=("$name")
done

mkfifo "$dir/httpd.out"
"$bin/ztMediaHttpd" --port 0 --card "$dir/card" >"$dir/httpd.out" 2>"$dir/httpd.log" &
pids+=("$!")
read -r -t 10 line <"$dir/httpd.out" || { echo "httpd_card_files: ztMediaHttpd did not start" >&2; exit 1; }
zt=${line##* }

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$dir/lighttpd.conf" <<EOF
server.document-root = "$dir/card"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$dir/lighttpd.log"
mimetype.assign = (".MP4" => "video/mp4", ".JPG" => "image/jpeg")
EOF
lighttpd -D -f "$dir/lighttpd.conf" &
pids+=("$!")
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/DCIM/100ZTCAM/ZX010001.MP4" && break; sleep 0.1; done

rate() { curl -s -o /dev/null -w '%{speed_download}' "$1"; }
best_zt=0; best_lt=0
for _ in $(seq "$rounds"); do
  r=$(rate "${zt}media/file/100ZTCAM/ZX010001.MP4"); best_zt=$(awk -v a="$best_zt" -v b="$r" 'BEGIN { print (b > a ? b : a) }')
  r=$(rate "http://127.0.0.1:$port/DCIM/100ZTCAM/ZX010001.MP4"); best_lt=$(awk -v a="$best_lt" -v b="$r" 'BEGIN { print (b > a ? b : a) }')
done

urls=()
for p in "${photos[@]}"; do urls+=(-o /dev/null "${zt}media/thumbnail/100ZTCAM/$p"); done
start=$(date +%s.%N)
codes=$(curl -s -w '%{http_code}\n' "${urls[@]}" | sort | uniq -c | tr -s ' ')
end=$(date +%s.%N)
per_s=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", 100 / (b - a) }')
thumb_bytes=$(curl -s "${urls[2]}" | wc -c)

mb() { awk -v v="$1" 'BEGIN { printf "%.0f", v / 1e6 }'; }
ratio=$(awk -v a="$best_zt" -v b="$best_lt" 'BEGIN { printf "%.2f", a / b }')
echo "100 MB file, best of $rounds: ztMediaHttpd $(mb "$best_zt") MB/s, lighttpd $(mb "$best_lt") MB/s (ratio $ratio)"
echo "100 thumbnails of 4000x3000 photos (decoded, ${thumb_bytes} bytes each): $per_s per second; statuses:$codes"
verdict=$(awk -v r="$ratio" 'BEGIN { print ((r * 1.2 >= 0.8) ? "ok" : "MISS") }')
echo "figure httpd_file_download_MB_per_s $(mb "$best_zt") MB/s $(mb "$best_lt") $ratio >=0.8 $verdict"
echo "figure httpd_thumbnails_per_s $per_s 1/s - - - ok"
[ "$verdict" = ok ] || exit 3
