#!/usr/bin/env bash
# The installed shared library exports exactly what the installed headers mark ZT_MEDIA_API: every
# exported symbol belongs to a marked function or class (no runtime, transport or responder
# helper leaks out), every marked name is exported, and no public function goes unmarked.
set -euo pipefail
build=$(dirname "$ZT_BIN_DIR")
work=$(mktemp -d /tmp/ztabi-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "abi_symbols_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work" >/dev/null
lib=$(find "$work" -name 'libztMediaRTOSDB.so.*.*')
[ -n "$lib" ] || fail "no versioned libztMediaRTOSDB.so was installed"
readelf -d "$lib" | grep -Eq 'SONAME.*\[libztMediaRTOSDB\.so\.[0-9]+\]' || fail "no SONAME libztMediaRTOSDB.so.N"

# The macro stands on the line before a function's declaration, or after "class"; a function
# declared in a public header without it would be hidden from the host that calls it.
unmarked=$(find "$work/include" -name '*.h' -exec awk '
  /^[A-Za-z].*[A-Za-z0-9_]\(/ && !/^(inline|constexpr|static_assert|typedef|enum|struct|class|#)/ &&
    prev != "ZT_MEDIA_API" { print FILENAME ": " $0 }
  { prev = $0 }
' {} +)
[ -z "$unmarked" ] || fail "public functions without ZT_MEDIA_API: $unmarked"
marked=$(find "$work/include" -name '*.h' -exec awk '
  fn { if (match($0, /[A-Za-z_][A-Za-z0-9_]*\(/)) print substr($0, RSTART, RLENGTH - 1); fn = 0 }
  /^ZT_MEDIA_API$/ { fn = 1 }
  match($0, /class ZT_MEDIA_API [A-Za-z_][A-Za-z0-9_]*/) { print substr($0, RSTART + 19, RLENGTH - 19) }
' {} + | sort -u)
[ -n "$marked" ] || fail "no declaration is marked ZT_MEDIA_API"

# The function or class each exported symbol belongs to (AddressSanitizer adds an indicator symbol
# beside each exported variable).
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/^__odr_asan\.//' | c++filt |
  sed -E 's/^(typeinfo name for|typeinfo for|vtable for|VTT for) //; s/[^A-Za-z0-9_].*//' | sort -u)
leaked=$(comm -13 <(echo "$marked") <(echo "$exported"))
[ -z "$leaked" ] || fail "exported but not public API: $(echo $leaked)"
missing=$(comm -23 <(echo "$marked") <(echo "$exported"))
[ -z "$missing" ] || fail "marked ZT_MEDIA_API but not exported: $(echo $missing)"
