#!/usr/bin/env bash
# Builds the Debian package from this checkout with dpkg-buildpackage, in a copy of it without
# its build folders and its git folder (nothing built before goes into it, and a checkout with
# no git folder, as scripts/test-as-user.sh makes, builds the same), and has lintian judge the
# result: fails on any error or warning. Informational notes that stay are overridden in
# debian/quorvel.lintian-overrides, each with its reason, so a clean package gives an empty
# report. The .deb and the .changes land in build/ (or $BUILD_DIR); the package builds in
# $BUILD_DIR/package/, made anew each time.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(mkdir -p "${BUILD_DIR:-build}" && cd "${BUILD_DIR:-build}" && pwd)
work=$build_dir/package
rm -rf "$work" "$build_dir"/quorvel_* "$build_dir"/quorvel-dbgsym_*
mkdir -p "$work/quorvel"
tar --exclude='./build*' --exclude="./${build_dir#"$PWD"/}" --exclude=./.git -cf - . |
  tar -xf - -C "$work/quorvel"
start=$SECONDS
(cd "$work/quorvel" && dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1) ||
  { tail -n 40 "$work/build.log" >&2; echo "package.sh: dpkg-buildpackage failed; the log: $work/build.log" >&2; exit 1; }
echo "== dpkg-buildpackage took $((SECONDS - start)) s"
mv "$work"/quorvel_* "$work"/quorvel-dbgsym_* "$build_dir"/
changes=$(ls "$build_dir"/quorvel_*.changes)
echo "== lintian $changes"
status=0
report=$(lintian --fail-on error,warning --display-level '>=pedantic' "$changes" 2>&1) || status=$?
echo "${report:-lintian: no errors, warnings or notes}"
sha256sum "$build_dir"/quorvel_*.deb
exit "$status"
