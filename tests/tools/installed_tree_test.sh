#!/usr/bin/env bash
# The installed tree works on its own: installs the build folder given as $1 into a temporary
# prefix, checks the layout, that no installed binary searches the build folder for libraries,
# that the installed checker checks the installed sample, that the installed window starts
# (headless) and stays up, and that no installed file mentions the build folder.
set -euo pipefail
build=$(cd "$1" && pwd)
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-installed-XXXXXX")
work=$(mktemp -d "${TMPDIR:-/tmp}/quorvel-work-XXXXXX")
window=""
cleanup() {
  [ -n "$window" ] && kill "$window" 2>/dev/null || true
  rm -rf "$prefix" "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" --strip >/dev/null

for file in bin/quorvel bin/quorvel-check bin/quorvel-pack lib/libquorvel-platform.so \
    lib/quorvel/libquorvel-dataprovider.so lib/quorvel/components/dataprovider.component \
    share/applications/quorvel.desktop share/mime/packages/quorvel.xml \
    share/icons/hicolor/48x48/apps/quorvel.png share/quorvel/samples/Tobin.acs \
    share/quorvel/samples/AvailAnim.txt share/quorvel/samples/AvailState.txt; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done

# Every ELF file finds its libraries relative to itself or in the system folders only.
while IFS= read -r -d '' file; do
  readelf -h "$file" >/dev/null 2>&1 || continue
  paths=$(readelf -d "$file" | sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p')
  IFS=: read -ra entries <<<"$paths"
  for entry in "${entries[@]}"; do
    case "$entry" in
      '$ORIGIN'*) ;;
      *) fail "${file#$prefix/} searches $entry for libraries" ;;
    esac
  done
done < <(find "$prefix" -type f -print0)

matches=$(grep -rlF -- "$build" "$prefix" || true)
[ -z "$matches" ] || fail "installed files name the build folder: $matches"

# The installed checker on the installed sample, from a start-up directory of its own, and with
# nothing in the environment pointing at the build.
cp "$prefix"/share/quorvel/samples/Avail*.txt "$work"
cd "$work"
status=0
env -u LD_LIBRARY_PATH "$prefix/bin/quorvel-check" --save "$prefix/share/quorvel/samples/Tobin.acs" \
  >report.txt 2>errors.txt || status=$?
[ "$status" -eq 1 ] || fail "checker exit status $status: $(cat errors.txt)"
grep -qx '  character: Tobin' report.txt || fail "no character name in: $(cat report.txt)"
grep -qx '  result: some names missing' report.txt || fail "unexpected result: $(cat report.txt)"
[ -s ATobin.txt ] && [ -s STobin.txt ] || fail "the valid lists were not saved"

# The installed window starts and keeps running.
env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen "$prefix/bin/quorvel" >window.txt 2>&1 &
window=$!
sleep 2
kill -0 "$window" 2>/dev/null || fail "the window ended early: $(cat window.txt)"
kill "$window"
wait "$window" 2>/dev/null || true
window=""
echo "installed tree OK"
