#!/usr/bin/env bash
# The installed tree works on its own and for a normal user: installs the build folder given as
# $1 into a temporary prefix, checks the layout (private libraries in the program's own folder,
# compressed manual pages), that every binary is hardened and finds its libraries relative to
# itself, that no installed file mentions the build folder, and then, as an unprivileged user
# (`nobody` when run by root), that the installed checker checks the installed sample, which it
# may not write, from a folder of the user's own, and that the installed window starts (headless)
# on a copy of the sample and stays up.
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
source "$(dirname "$0")/library_paths.sh"

cmake --install "$build" --prefix "$prefix" --strip >/dev/null

for file in bin/quorvel bin/quorvel-check bin/quorvel-pack lib/quorvel/libquorvel-platform.so \
    lib/quorvel/libquorvel-dataprovider.so lib/quorvel/components/dataprovider.component \
    share/applications/quorvel.desktop share/mime/packages/quorvel.xml \
    share/icons/hicolor/scalable/apps/quorvel.svg share/icons/hicolor/16x16/apps/quorvel.png \
    share/icons/hicolor/256x256/apps/quorvel.png share/metainfo/example.quorvel.Quorvel.metainfo.xml \
    share/quorvel/samples/Tobin.acs \
    share/quorvel/samples/AvailAnim.txt share/quorvel/samples/AvailState.txt \
    share/doc/quorvel/changelog.gz share/doc/quorvel/check-report.schema.json \
    share/doc/quorvel/list-report.schema.json; do
  [ -f "$prefix/$file" ] || fail "$file is not installed"
done
for size in 16 22 24 32 48 64 128 256; do
  file -b "$prefix/share/icons/hicolor/${size}x$size/apps/quorvel.png" | grep -q "PNG image data, $size x $size," ||
    fail "no icon of $size x $size pixels"
done
desktop-file-validate "$prefix/share/applications/quorvel.desktop" || fail "the menu entry is not valid"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/example.quorvel.Quorvel.metainfo.xml" >"$work/appstream.txt" ||
  fail "the AppStream entry is not valid: $(cat "$work/appstream.txt")"
public=$(find "$prefix/lib" -maxdepth 1 -type f)
[ -z "$public" ] || fail "libraries in the public library folder: $public"

# Each program's manual page is compressed, names the program and lists every long option of
# its --help.
for program in quorvel quorvel-check quorvel-pack; do
  page="$prefix/share/man/man1/$program.1.gz"
  [ -f "$page" ] || fail "no manual page for $program"
  text=$(gzip -dc "$page") || fail "$program.1.gz is not compressed"
  grep -q "^$program \\\\- " <<<"$text" || fail "the manual page of $program does not name it"
  help=$(QT_QPA_PLATFORM=offscreen timeout 20 "$prefix/bin/$program" --help 2>&1) ||
    fail "$program --help failed: $help"
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qF -- "${option//-/\\-}" <<<"$text" || fail "the manual page of $program lacks $option"
  done
done
# The checker's page names where its report schemas are installed.
checker_page=$(gzip -dc "$prefix/share/man/man1/quorvel-check.1.gz")
for schema in check-report list-report; do
  grep -qF "/usr/share/doc/quorvel/${schema//-/\\-}.schema.json" <<<"$checker_page" ||
    fail "the manual page of quorvel-check does not name the installed $schema.schema.json"
done

# Every ELF file finds its libraries relative to itself or in the system folders only, binds
# every symbol at start-up and keeps its relocations read-only.
while IFS= read -r -d '' file; do
  readelf -h "$file" >/dev/null 2>&1 || continue
  check_library_paths "$file"
  readelf -d "$file" | grep -q 'FLAGS.*\bNOW\b' || fail "${file#$prefix/} is not linked with -z now"
  readelf -lW "$file" | grep -q 'GNU_RELRO' || fail "${file#$prefix/} is not linked with -z relro"
done < <(find "$prefix" -type f -print0)

matches=$(grep -rlF -- "$build" "$prefix" || true)
[ -z "$matches" ] || fail "installed files name the build folder: $matches"

# A normal user: root checks as `nobody`. The installed sample carries no write permission, as
# in a package installed by root, and the user works in a folder of their own. setpriv replaces
# itself with the program, so a program started in the background can be stopped by its id.
chmod a-w "$prefix"/share/quorvel/samples/*
chmod 755 "$prefix"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
fi
give_to_user() { if [ ${#as_user[@]} -gt 0 ]; then chown -R nobody "$@"; fi; }
run_as_user_in() {
  local folder=$1
  shift
  cd "$folder" && exec "${as_user[@]}" env -u LD_LIBRARY_PATH HOME="$folder" TMPDIR="$folder" "$@"
}
give_to_user "$work"
samples="$prefix/share/quorvel/samples"

status=0
(run_as_user_in "$work" "$prefix/bin/quorvel-check" --animations "$samples/AvailAnim.txt" \
  --states "$samples/AvailState.txt" --save "$samples/Tobin.acs" \
  >"$work/report.txt" 2>"$work/errors.txt") || status=$?
[ "$status" -eq 1 ] || fail "checker exit status $status: $(cat "$work/errors.txt")"
grep -qx '  character: Tobin' "$work/report.txt" || fail "no character name in: $(cat "$work/report.txt")"
grep -qx '  result: some names missing' "$work/report.txt" ||
  fail "unexpected result: $(cat "$work/report.txt")"
[ -s "$work/ATobin.txt" ] && [ -s "$work/STobin.txt" ] || fail "the valid lists were not saved"

# The normalization hint comes from a module the checker loads only when a name needs it: the
# installed checker must find it beside its platform library.
mkdir "$work/mowe"
printf 'Name=Mowe\n' >"$work/mowe/Character"
printf 'frames' >"$work/mowe/M"$'\xC3\xB6'"we"
"$prefix/bin/quorvel-pack" "$work/mowe" "$work/mowe.acs" >"$work/pack.txt" 2>&1 ||
  fail "quorvel-pack failed: $(cat "$work/pack.txt")"
printf 'Mo\xCC\x88we\r\n' >"$work/mowe-animations.txt"
: >"$work/mowe-states.txt"
give_to_user "$work"
(run_as_user_in "$work" "$prefix/bin/quorvel-check" --animations "$work/mowe-animations.txt" \
  --states "$work/mowe-states.txt" "$work/mowe.acs" >"$work/mowe.txt" 2>&1) || true
grep -q 'another Unicode normalization' "$work/mowe.txt" ||
  fail "no normalization hint from the installed checker: $(cat "$work/mowe.txt")"

# The window on a copy of the sample, as the README tells a normal user to try it.
mkdir "$work/tobin"
cp "$samples"/* "$work/tobin"
chmod u+w "$work"/tobin/*
give_to_user "$work/tobin"
(run_as_user_in "$work/tobin" QT_QPA_PLATFORM=offscreen "$prefix/bin/quorvel") >"$work/window.txt" 2>&1 &
window=$!
sleep 2
kill -0 "$window" 2>/dev/null || fail "the window ended early: $(cat "$work/window.txt")"
kill "$window"
wait "$window" 2>/dev/null || true
window=""
echo "installed tree OK"
