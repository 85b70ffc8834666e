#!/usr/bin/env bash
# Packages this build with scripts/package (lintian must find no error), unpacks the packages
# into a scratch root as dpkg would install them, and checks that root: the host example builds
# against the -dev package and runs against the packaged ztMediaDBd, every program has a man page
# that renders without a warning, and the service units pass systemd-analyze verify and rate "OK"
# or better in systemd-analyze security.
set -euo pipefail
# shellcheck source=support/host_tree.sh
source "$ZT_SOURCE_DIR/tests/support/host_tree.sh" package_test

"$src/scripts/package" --from "$build" --out "$work/debs" >/dev/null || fail "scripts/package failed"
root=$work/root
for deb in "$work"/debs/*.deb; do dpkg-deb -x "$deb" "$root"; done

zt_check_host_tree "$root/usr"

for program in "$root"/usr/bin/*; do
  name=$(basename "$program")
  page=$(find "$root/usr/share/man/man1" "$root/usr/share/man/man8" -name "$name.[18].gz")
  [ -n "$page" ] || fail "$name has no man page"
  warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man -l $page: $warnings"
done

# The units are checked within the unpacked root, beside the host's own units they refer to.
units=$root/usr/lib/systemd/system
services=("$units"/*.service)
[ ${#services[@]} -eq 2 ] || fail "expected the units of ztMediaDBd and ztMediaHttpd: ${services[*]}"
cp -rn /usr/lib/systemd/system/. "$units/"
verify=$(systemd-analyze verify --root="$root" --man=no "${services[@]}" 2>&1) || fail "systemd-analyze verify: $verify"
[ -z "$verify" ] || fail "systemd-analyze verify: $verify"
# Exposure below 5.0 ("OK"); the threshold counts in tenths.
systemd-analyze security --offline=yes --root="$root" --threshold=49 "${services[@]}" >"$work/security" 2>&1 ||
  fail "a unit rates worse than OK: $(grep 'Overall' "$work/security")"
