# Sourced by the install and package tests as `source .../host_tree.sh NAME`: sets $build (the
# build tree), $src, $work (a scratch directory removed on exit) and fail() (messages "NAME: ...").
# zt_check_host_tree builds examples/host/upload_summary.cpp against an installed tree with
# nothing but its pkg-config file (the shared library, and the static archive alone), and runs
# both against that tree's ztMediaDBd serving the sample card.
build=$(dirname "$ZT_BIN_DIR")
src=$ZT_SOURCE_DIR
work=$(mktemp -d "/tmp/zt$1-XXXXXX")
trap 'rm -rf "$work"' EXIT
zt_test_name=$1
fail() { echo "$zt_test_name: $*" >&2; exit 1; }

# zt_check_host_tree PREFIX: PREFIX holds bin/, include/ and lib*/ as installed.
zt_check_host_tree() {
  local prefix=$1 pc cxx libdir flags out host server
  pc=$(find "$prefix" -name ztMediaRTOSDB.pc)
  [ -n "$pc" ] || fail "ztMediaRTOSDB.pc was not installed"
  # The same compiler and sanitizer flavour as the installed libraries.
  cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
  local extra=()
  grep -q '^ZT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" && extra=(-fsanitize=address,undefined)
  export PKG_CONFIG_PATH=$(dirname "$pc")
  flags=$(pkg-config --cflags --libs ztMediaRTOSDB) || fail "pkg-config does not know ztMediaRTOSDB"
  libdir=$(pkg-config --variable=libdir ztMediaRTOSDB)
  # shellcheck disable=SC2086
  "$cxx" -std=c++17 -Wall -Wextra -Werror "${extra[@]}" -o "$work/upload_summary" \
    "$src/examples/host/upload_summary.cpp" $flags || fail "the host program did not build"
  readelf -d "$work/upload_summary" | grep -q 'NEEDED.*libztMediaRTOSDB\.so\.' ||
    fail "the host program did not link the shared library"
  # The archive holds everything beneath the client: only its private libraries are added.
  # shellcheck disable=SC2046
  "$cxx" -std=c++17 "${extra[@]}" -o "$work/upload_summary_static" "$src/examples/host/upload_summary.cpp" \
    $(pkg-config --cflags ztMediaRTOSDB) "$libdir/libztMediaRTOSDB.a" \
    $(pkg-config --static --libs-only-l ztMediaRTOSDB | sed 's/-lztMediaRTOSDB//') ||
    fail "the host program did not build against the static archive"

  export ZT_IPC_DIR=$work/ipc LD_LIBRARY_PATH=$libdir
  "$work/upload_summary" >/dev/null 2>&1 && fail "answered without a database"
  "$prefix/bin/ztMediaDBd" --manifest "$src/examples/sample-card.json" 2>"$work/server.log" &
  server=$!
  for _ in $(seq 100); do [ -S "$ZT_IPC_DIR/rtos_media_db" ] && break; sleep 0.1; done
  for host in upload_summary upload_summary_static; do
    out=$("$work/$host" 2>/dev/null) || { kill "$server"; fail "$host: no answer: $(cat "$work/server.log")"; }
    grep -qx "upload state 3: 9 files" <<<"$out" || { kill "$server"; fail "$host: unexpected summary: $out"; }
  done
  kill "$server"
  wait "$server" || true
}
