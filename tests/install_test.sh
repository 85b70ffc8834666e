#!/usr/bin/env bash
# Installs the build into a scratch prefix, builds examples/host/upload_summary.cpp against it with
# nothing but pkg-config (the shared library, and the static archive alone), and runs it against a
# ztMediaDBd serving the sample card: this is how an integrator links the client.
set -euo pipefail
build=$(dirname "$ZT_BIN_DIR")
src=$ZT_SOURCE_DIR
work=$(mktemp -d /tmp/ztinstall-XXXXXX)
server=""
cleanup() {
  [ -z "$server" ] || { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
public=(ztMediaDB.h dbProtocol.h dbNameRules.h ztMediaResponders.h ztMediaExport.h CAHMediaList.h MediaShareInfo.h
        Comparinator.h CompareFactory.h)
for f in bin/ztMediaDBd bin/ztMediaChecker bin/ztWomListen "${public[@]/#/include/ztMedia/}"; do
  [ -e "$work/prefix/$f" ] || fail "$f was not installed"
done
for d in libztMediaRTOSDB platform cah gcore gtl; do
  [ ! -e "$work/prefix/include/ztMedia/$d" ] || fail "internal headers installed: include/ztMedia/$d"
done
pc=$(find "$work/prefix" -name ztMediaRTOSDB.pc)
[ -n "$pc" ] || fail "ztMediaRTOSDB.pc was not installed"

# The same compiler and sanitizer flavour as the installed libraries.
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
cxx=$(cache CMAKE_CXX_COMPILER)
extra=()
[ "$(cache ZT_SANITIZE)" = "ON" ] && extra=(-fsanitize=address,undefined)
export PKG_CONFIG_PATH=$(dirname "$pc")
flags=$(pkg-config --cflags --libs ztMediaRTOSDB) || fail "pkg-config does not know ztMediaRTOSDB"
# shellcheck disable=SC2086
"$cxx" -std=c++17 -Wall -Wextra -Werror "${extra[@]}" -o "$work/upload_summary" \
  "$src/examples/host/upload_summary.cpp" $flags || fail "the host program did not build"
readelf -d "$work/upload_summary" | grep -q 'NEEDED.*libztMediaRTOSDB\.so\.' ||
  fail "the host program did not link the shared library"
# The static archive holds everything beneath the client: nothing but its private libraries is needed.
libdir=$(pkg-config --variable=libdir ztMediaRTOSDB)
# shellcheck disable=SC2046
"$cxx" -std=c++17 "${extra[@]}" -o "$work/upload_summary_static" "$src/examples/host/upload_summary.cpp" \
  $(pkg-config --cflags ztMediaRTOSDB) "$libdir/libztMediaRTOSDB.a" $(pkg-config --static --libs-only-l libcjson) \
  -lpthread -lrt || fail "the host program did not build against the static archive"
for h in "${public[@]}"; do  # each public header stands on its own
  # shellcheck disable=SC2086
  echo "#include \"ztMedia/$h\"" | "$cxx" -std=c++17 -Wall -Wextra -Werror -fsyntax-only -x c++ - $flags ||
    fail "ztMedia/$h does not build on its own"
done

export ZT_IPC_DIR=$work LD_LIBRARY_PATH=$libdir
"$work/upload_summary" >/dev/null 2>&1 && fail "answered without a database"
"$work/prefix/bin/ztMediaDBd" --manifest "$src/examples/sample-card.json" 2>"$work/server.log" &
server=$!
for _ in $(seq 100); do [ -S "$work/rtos_media_db" ] && break; sleep 0.1; done
for host in upload_summary upload_summary_static; do
  out=$("$work/$host" 2>/dev/null) || fail "$host: no answer: $(cat "$work/server.log")"
  grep -qx "upload state 3: 9 files" <<<"$out" || fail "$host: unexpected summary: $out"
done
