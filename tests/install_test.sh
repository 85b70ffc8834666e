#!/usr/bin/env bash
# Installs the build into a scratch prefix, checks what a host program sees there (the public
# headers alone, each standing on its own), and links and runs the host example against it: this
# is how an integrator builds against the client with `cmake --install`.
set -euo pipefail
# shellcheck source=support/host_tree.sh
source "$ZT_SOURCE_DIR/tests/support/host_tree.sh" install_test

cmake --install "$build" --prefix "$work/prefix" >/dev/null
public=(ztMediaDB.h dbProtocol.h dbNameRules.h ztMediaResponders.h ztMediaExport.h CAHMediaList.h MediaShareInfo.h
        Comparinator.h CompareFactory.h)
for f in bin/ztMediaDBd bin/ztMediaChecker bin/ztWomListen "${public[@]/#/include/ztMedia/}"; do
  [ -e "$work/prefix/$f" ] || fail "$f was not installed"
done
for d in libztMediaRTOSDB platform cah gcore gtl; do
  [ ! -e "$work/prefix/include/ztMedia/$d" ] || fail "internal headers installed: include/ztMedia/$d"
done

zt_check_host_tree "$work/prefix"
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
for h in "${public[@]}"; do  # each public header stands on its own
  # shellcheck disable=SC2046
  echo "#include \"ztMedia/$h\"" |
    "$cxx" -std=c++17 -Wall -Wextra -Werror -fsyntax-only -x c++ - $(pkg-config --cflags ztMediaRTOSDB) ||
    fail "ztMedia/$h does not build on its own"
done
