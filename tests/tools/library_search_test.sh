#!/usr/bin/env bash
# Programs and libraries of the build folder given as $1 look for their libraries only relative
# to themselves and in the system folders, never in the current directory: every RUNPATH entry
# starts with $ORIGIN (an empty entry means the current directory), and the checker started in
# a folder holding decoys named like each library it needs still starts and answers.
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-decoys-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$(dirname "$0")/library_paths.sh"

while IFS= read -r -d '' file; do
  readelf -h "$file" >/dev/null 2>&1 && check_library_paths "$file"
done < <(find "$build/bin" "$build/lib" -type f -print0)

checker="$build/bin/quorvel-check"
decoy="$build/lib/quorvel/libquorvel-dataprovider.so"
for library in $(readelf -d "$checker" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
  cp "$decoy" "$work/$library"
done
out=$(cd "$work" && "$checker" --version 2>&1) || fail "quorvel-check loaded a decoy from the current directory: $out"
grep -q 'quorvel-check' <<<"$out" || fail "quorvel-check --version printed: $out"
echo "PASS"
