#!/usr/bin/env bash
# ztOffload against cp on the same files and the same disk: a card of large videos (copy rate) and
# one of small photos (cost per file), each round with a fresh database (every file awaits upload)
# and a fresh DEST. ztOffload syncs every file and folder and reads each copy back, so its fair
# baseline is cp followed by sync of DEST; plain cp (which leaves the data in the page cache) is
# shown beside it. Best of ROUNDS rounds each. Prints figure lines for bench/run.
#   bench/offload_copy.sh [ROUNDS] [VIDEOS] [PHOTOS]     (defaults 3, 24 videos of 16 MiB, 400 photos of 100 KiB)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${ZT_BIN_DIR:-build/bin}
rounds=${1:-3}; videos=${2:-24}; photos=${3:-400}
for prog in ztMediaDBd ztOffload; do
  [ -x "$bin/$prog" ] || { echo "offload_copy: $bin/$prog is missing; build first" >&2; exit 1; }
done
dir=$(mktemp -d /tmp/offload_copy-XXXXXX)
export ZT_IPC_DIR=$dir/ipc
server=""
cleanup() { [ -z "$server" ] || { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true; }; rm -rf "$dir"; }
trap cleanup EXIT

mkdir -p "$dir/videos/DCIM/100ZTCAM" "$dir/photos/DCIM/100ZTCAM"
for i in $(seq -w 1 "$videos"); do head -c $((16 << 20)) /dev/urandom >"$dir/videos/DCIM/100ZTCAM/ZX0100$(printf %02d $((10#$i))).MP4"; done
for i in $(seq 1 "$photos"); do head -c 102400 /dev/urandom >"$dir/photos/DCIM/100ZTCAM/$(printf 'ZCAM%04d.JPG' "$i")"; done

now() { date +%s.%N; }
# Seconds taken by ztOffload on card $1 (a fresh server: every file awaits upload).
offload_time() {
  "$bin/ztMediaDBd" --card "$1" 2>"$dir/db.log" & server=$!
  for _ in $(seq 100); do "$bin/ztMediaDBd" ctl ready >/dev/null 2>&1 && break; sleep 0.1; done
  rm -rf "$dir/dest"; sync
  local t0; t0=$(now)
  "$bin/ztOffload" --card "$1" --to "$dir/dest" --once >"$dir/offload.out" || { tail -3 "$dir/offload.out" >&2; exit 2; }
  awk -v a="$t0" -v b="$(now)" 'BEGIN { print b - a }'
  kill "$server"; wait "$server" 2>/dev/null || true; server=""
}
# Seconds taken by cp -r of card $1's folder, then `sync -f` of DEST when $2 is "sync".
cp_time() {
  rm -rf "$dir/dest"; sync
  local t0; t0=$(now)
  cp -r "$1/DCIM/100ZTCAM" "$dir/dest"
  [ "$2" != sync ] || sync -f "$dir/dest"
  awk -v a="$t0" -v b="$(now)" 'BEGIN { print b - a }'
}
min() { sort -g | head -1; }
best() { for _ in $(seq "$rounds"); do "$@"; done | min; }

mib=$(( videos * 16 ))
t_off=$(best offload_time "$dir/videos")
t_cps=$(best cp_time "$dir/videos" sync)
t_cp=$(best cp_time "$dir/videos" nosync)
p_off=$(best offload_time "$dir/photos")
p_cps=$(best cp_time "$dir/photos" sync)

rate() { awk -v m="$mib" -v t="$1" 'BEGIN { printf "%.0f", m / t }'; }
per_file() { awk -v n="$photos" -v t="$1" 'BEGIN { printf "%.2f", t * 1000 / n }'; }
r_off=$(rate "$t_off"); r_cps=$(rate "$t_cps"); r_cp=$(rate "$t_cp")
f_off=$(per_file "$p_off"); f_cps=$(per_file "$p_cps")
echo "ztOffload vs cp, best of $rounds, $videos videos of 16 MiB and $photos photos of 100 KiB, on $(df --output=fstype "$dir" | tail -1)"
echo "  videos: ztOffload $r_off MiB/s, cp + sync $r_cps MiB/s, cp alone $r_cp MiB/s"
echo "  photos: ztOffload $f_off ms per file, cp + sync $f_cps ms per file"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" 'BEGIN { print (r * 1.2 >= t) ? "ok" : "MISS" }'; }
q=$(ratio "$r_off" "$r_cps"); q_plain=$(ratio "$r_off" "$r_cp")
out=$(
  echo "figure offload_rate_vs_cp_sync $r_off MiB/s $r_cps $q >=0.9 $(verdict "$q" 0.9)"
  echo "figure offload_rate_vs_cp_alone $r_off MiB/s $r_cp $q_plain - ok"
  echo "figure offload_small_photo_per_file $f_off ms $f_cps $(ratio "$f_off" "$f_cps") - ok"
)
echo "$out"
grep -q ' MISS$' <<<"$out" && exit 3
exit 0
