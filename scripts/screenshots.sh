#!/usr/bin/env bash
# Pictures of the five pages after opening the sample character, in a real window under Xvfb, on
# a plain screen and on one scaled to 2: docs/screenshots/page-1.png ... page-5.png and
# page-1@2x.png ... page-5@2x.png, and of the stream viewer on Wave (two frames apart), on the
# definition and on the bytes of a spreadsheet's stream (viewer-*.png). The sample is opened from a folder of neutral name,
# ~/characters (or $SCREENSHOT_FOLDER), which must not exist yet and is removed afterwards, so the
# pictures show no build machine's own folders.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
build_dir=${BUILD_DIR:-build}
folder=${SCREENSHOT_FOLDER:-$HOME/characters}
if [ -e "$folder" ]; then
  echo "screenshots.sh: $folder exists; remove it or name another folder in SCREENSHOT_FOLDER" >&2
  exit 2
fi
mkdir "$folder"
trap 'rm -rf "$folder"' EXIT
cp "$build_dir"/samples/* "$folder"
bytes=calamine__issue_643_biff5_formula.xls
cp tests/interop/realworld/$bytes "$folder"
sample=$(ls "$folder"/*.acs | head -n 1)
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 xvfb-run -a -s "-screen 0 800x600x24" \
  "$build_dir/bin/screenshot_pages" "$folder" "$sample" docs/screenshots "" "$folder/$bytes" Book
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 1600x1200x24" \
  "$build_dir/bin/screenshot_pages" "$folder" "$sample" docs/screenshots @2x "$folder/$bytes" Book
ls -l docs/screenshots
