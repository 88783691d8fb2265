#!/usr/bin/env bash
# The package builds to the same bytes twice: given the .deb of one scripts/package.sh build
# ($1), builds the package again from this checkout in another folder, at least a minute after
# the first (so that a time of building would show), and compares each .deb of the two builds
# byte for byte. Where they differ, diffoscope shows what differs, and the script fails.
set -euo pipefail
cd "$(dirname "$0")/.."
first=$(realpath "$1")
first_dir=$(dirname "$first")
second_dir=$(mktemp -d "${TMPDIR:-/var/tmp}/quorvel-second-build-XXXXXX")
trap 'rm -rf "$second_dir"' EXIT
wait_for=$(($(stat -c %Y "$first") + 60 - $(date +%s)))
if [ "$wait_for" -gt 0 ]; then
  echo "== waiting $wait_for s, for a minute between the builds"
  sleep "$wait_for"
fi
echo "== the second build, in $second_dir"
BUILD_DIR=$second_dir bash scripts/package.sh >"$second_dir/package.txt" ||
  { cat "$second_dir/package.txt" >&2; exit 1; }
status=0
for deb in "$first_dir"/quorvel_*.deb "$first_dir"/quorvel-dbgsym_*.deb; do
  [ -e "$deb" ] || continue
  again="$second_dir/$(basename "$deb")"
  sha256sum "$deb" "$again"
  if ! cmp -s "$deb" "$again"; then
    echo "FAIL: $(basename "$deb") differs between the two builds:" >&2
    diffoscope --text - "$deb" "$again" >&2 || true
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "reproducible: both builds gave the same bytes"
exit "$status"
