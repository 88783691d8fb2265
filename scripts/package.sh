#!/usr/bin/env bash
# Makes the Debian package from the build in build/ (or $BUILD_DIR) and has lintian judge it:
# fails on any error or warning. Informational notes that stay are overridden in
# packaging/lintian-overrides, each with its reason, so a clean package gives an empty report.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
rm -f "$build_dir"/quorvel_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/quorvel_*.deb)
echo "== lintian $deb"
status=0
report=$(lintian --fail-on error,warning --display-level '>=pedantic' "$deb" 2>&1) || status=$?
echo "${report:-lintian: no errors, warnings or notes}"
exit "$status"
